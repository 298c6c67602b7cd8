#include "tests/testing/registry_dump.h"

#include <cstdio>
#include <vector>

#include "platform/memory/memory_platform.h"

namespace kv {
namespace test {
namespace {

constexpr std::uint32_t kNameBuffer = 16383 * 3 + 1;  // the longest name, in UTF-8 bytes

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char buffer[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(buffer, sizeof buffer, " %02x", b);
    text += buffer;
  }
  return text;
}

std::vector<std::string> Names(RegistryApi& registry, RegKey key, bool values) {
  std::vector<std::string> names;
  std::vector<char> buffer(kNameBuffer);
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t length = kNameBuffer;
    long status = values ? registry.EnumValue(key, index, buffer.data(), &length)
                         : registry.EnumKey(key, index, buffer.data(), &length);
    if (status != kErrorSuccess) break;
    names.emplace_back(buffer.data(), length);
  }
  return names;
}

void DumpKey(RegistryApi& registry, RegKey key, const std::string& path, std::string* out) {
  *out += path + "\n";
  for (const std::string& name : Names(registry, key, true)) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::vector<std::uint8_t> data;
    long status = registry.QueryValueW(key, name, &type, nullptr, &size);
    if (status == kErrorSuccess) {
      data.resize(size + 2);
      status = registry.QueryValueW(key, name, &type, data.data(), &size);
      data.resize(size);
    }
    *out += path + "\\[" + name + "] ";
    *out += status == kErrorSuccess ? "type=" + std::to_string(type) + " data=" + Hex(data)
                                    : "unreadable (" + std::to_string(status) + ")";
    *out += "\n";
  }
  for (const std::string& name : Names(registry, key, false)) {
    RegKey child = kNoKey;
    if (registry.OpenKey(key, name, kKeyRead, &child) != kErrorSuccess) {
      *out += path + "\\" + name + " unopenable\n";
      continue;
    }
    DumpKey(registry, child, path + "\\" + name, out);
    registry.CloseKey(child);
  }
}

}  // namespace

std::string DumpRegistry(RegistryApi& registry, RegKey key) {
  std::string out;
  DumpKey(registry, key, "", &out);
  return out;
}

}  // namespace test
}  // namespace kv
