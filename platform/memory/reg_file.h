// Reading of registry files as regedit writes them. The whole file is checked first and turned into a
// list of changes; only a file without a fault is applied, so a bad file changes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/memory/registry_tree.h"

namespace kv {
namespace memreg {

struct RegFileChange {
  enum Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue };
  Kind kind = kCreateKey;
  KeyPath key;
  std::u16string valueName;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// Parses a file (UTF-16LE with a byte-order mark, UTF-8 with one, or Windows-1252). On a fault returns
// false with "line N: what is wrong" in `error`.
bool ParseRegFile(const std::string& bytes, std::vector<RegFileChange>* changes, std::string* error);

// Applies parsed changes in order.
void ApplyRegFileChanges(const std::vector<RegFileChange>& changes, RegistryTree* tree);

}  // namespace memreg
}  // namespace kv
