#include "support/reg_utils.h"

namespace kv {

void RootKeyToString(std::uint32_t rootKey, std::string& name) {
  static const char* const kNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",     "HKEY_LOCAL_MACHINE",
                                       "HKEY_USERS",        "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG",
                                       "HKEY_DYN_DATA"};
  if (rootKey >= 0x80000000u && rootKey <= 0x80000006u) name = kNames[rootKey - 0x80000000u];
}

std::string RootKeyPath(std::uint32_t rootKey, const std::string& path) {
  std::string name;
  RootKeyToString(rootKey, name);
  return path.empty() ? name : name + "\\" + path;
}

}  // namespace kv
