#include "bench/memory_sink.h"

namespace kv::bench {
namespace {

std::string FixturePath(std::uint32_t root, const std::string& path) {
  const char* name = root == HKEY_LOCAL_MACHINE_CODE ? "HKLM" : root == HKEY_CURRENT_USER_CODE ? "HKCU" : "HKCR";
  return path.empty() ? std::string(name) : std::string(name) + "\\" + path;
}

}  // namespace

void MemorySink::CreateKey(std::uint32_t root, const std::string& path) {
  machine_.registry.CreateKey(FixturePath(root, path));
}

void MemorySink::SetString(std::uint32_t root, const std::string& path, const std::string& name,
                           const std::string& text, bool expandable) {
  machine_.registry.SetString(FixturePath(root, path), name, text, expandable ? REG_EXPAND_SZ_TYPE : REG_SZ_TYPE);
}

void MemorySink::SetDword(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t value) {
  machine_.registry.SetDword(FixturePath(root, path), name, value);
}

void MemorySink::SetMultiString(std::uint32_t root, const std::string& path, const std::string& name,
                                const std::vector<std::string>& strings) {
  machine_.registry.SetMultiString(FixturePath(root, path), name, strings);
}

void MemorySink::AddFile(const std::string& path) {
  if (!machine_.files.Exists(path)) machine_.files.AddFile(path);
}

void MemorySink::AddFolder(const std::string& path) { machine_.files.AddDirectory(path); }

}  // namespace kv::bench
