#include "platform/offline/hive_writer.h"

#include <hivex.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/handles.h"

namespace kv::offline {
namespace {

struct HiveCloser {
  void operator()(hive_h* h) const { hivex_close(h); }
};

std::string Errno() { return errno == 0 ? "unknown error" : std::strerror(errno); }

class Writer {
 public:
  Writer(RegistryApi& registry, hive_h* hive, std::vector<std::string>* skipped)
      : registry_(registry), hive_(hive), skipped_(skipped) {}

  bool Copy(RegKey key, hive_node_h node, const std::string& where, const std::function<bool(const std::string&)>& skip,
            std::string* error) {
    std::vector<std::string> names;
    std::vector<char> name(16384 * 3 + 1);
    for (std::uint32_t i = 0;; ++i) {
      std::uint32_t length = static_cast<std::uint32_t>(name.size());
      if (registry_.EnumValue(key, i, name.data(), &length) != kErrorSuccess) break;
      names.emplace_back(name.data(), length);
    }
    std::vector<std::vector<char>> data;
    std::vector<hive_set_value> values;
    data.reserve(names.size());
    for (const std::string& valueName : names) {
      std::uint32_t type = 0, size = 0;
      if (registry_.QueryValueW(key, valueName, &type, nullptr, &size) != kErrorSuccess) continue;
      std::vector<char> bytes(size);
      if (registry_.QueryValueW(key, valueName, &type, reinterpret_cast<std::uint8_t*>(bytes.data()), &size) !=
          kErrorSuccess)
        continue;
      bytes.resize(size);
      if (bytes.size() > kMaxHiveValueBytes) {
        if (skipped_)
          skipped_->push_back(where + " \"" + valueName + "\" (" + std::to_string(bytes.size()) + " bytes)");
        continue;
      }
      data.push_back(std::move(bytes));
      hive_set_value value{};
      value.key = const_cast<char*>(valueName.c_str());
      std::memcpy(&value.t, &type, sizeof type);  // any 32-bit type, not only the library's named ones
      value.len = data.back().size();
      value.value = data.back().data();
      values.push_back(value);
    }
    errno = 0;
    if (!values.empty() && hivex_node_set_values(hive_, node, values.size(), values.data(), 0) != 0) {
      *error = where + ": values not written (" + Errno() + ")";
      return false;
    }
    std::vector<std::string> subkeys;
    for (std::uint32_t i = 0;; ++i) {
      char subkey[1024];
      std::uint32_t length = sizeof subkey;
      if (registry_.EnumKey(key, i, subkey, &length) != kErrorSuccess) break;
      subkeys.emplace_back(subkey, length);
    }
    for (const std::string& subkey : subkeys) {
      if (skip && skip(subkey)) continue;
      RegKey raw = kNoKey;
      if (registry_.OpenKey(key, subkey, kKeyRead, &raw) != kErrorSuccess) continue;
      UniqueRegKey child(registry_, raw);
      hive_node_h childNode = hivex_node_get_child(hive_, node, subkey.c_str());
      errno = 0;
      if (childNode == 0) childNode = hivex_node_add_child(hive_, node, subkey.c_str());
      if (childNode == 0) {
        *error = where + "\\" + subkey + ": key not written (" + Errno() + ")";
        return false;
      }
      if (!Copy(child.get(), childNode, where + "\\" + subkey, nullptr, error)) return false;
    }
    return true;
  }

 private:
  RegistryApi& registry_;
  hive_h* hive_;
  std::vector<std::string>* skipped_;
};

}  // namespace

bool WriteHiveFile(RegistryApi& registry, const std::vector<HivePart>& parts, const std::string& emptyHive,
                   const std::string& out, std::vector<std::string>* skipped, std::string* error) {
  errno = 0;
  std::unique_ptr<hive_h, HiveCloser> hive(hivex_open(emptyHive.c_str(), HIVEX_OPEN_WRITE));
  if (!hive) {
    *error = emptyHive + ": " + Errno();
    return false;
  }
  Writer writer(registry, hive.get(), skipped);
  for (const HivePart& part : parts) {
    hive_node_h node = hivex_root(hive.get());
    std::size_t start = 0;
    while (start < part.under.size()) {
      std::size_t end = part.under.find('\\', start);
      if (end == std::string::npos) end = part.under.size();
      const std::string name = part.under.substr(start, end - start);
      start = end + 1;
      if (name.empty()) continue;
      hive_node_h child = hivex_node_get_child(hive.get(), node, name.c_str());
      if (child == 0) child = hivex_node_add_child(hive.get(), node, name.c_str());
      if (child == 0) {
        *error = out + ": " + part.under + " not written (" + Errno() + ")";
        return false;
      }
      node = child;
    }
    RegKey raw = kNoKey;
    if (registry.OpenKey(part.root, part.path, kKeyRead, &raw) != kErrorSuccess) continue;
    UniqueRegKey key(registry, raw);
    if (!writer.Copy(key.get(), node, part.path, part.skip, error)) return false;
  }
  errno = 0;
  if (hivex_commit(hive.get(), out.c_str(), 0) != 0) {
    *error = out + ": " + Errno();
    return false;
  }
  return true;
}

}  // namespace kv::offline
