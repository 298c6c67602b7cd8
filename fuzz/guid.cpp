// IsGUIDString against a second, independent reading of the rule: 38 characters, braces at both ends,
// dashes at 9, 14, 19 and 24, hexadecimal digits everywhere else.
#include <string>

#include "fuzz/fuzz_targets.h"
#include "scan/shell.h"

namespace kv::fuzz {
namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool ReferenceIsGuid(const std::string& s) {
  if (s.size() != 38 || s.front() != '{' || s.back() != '}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? s[i] != '-' : !IsHexDigit(s[i])) return false;
  }
  return true;
}

}  // namespace

int FuzzGuid(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Require(IsGUIDString(text) == ReferenceIsGuid(text), "IsGUIDString agrees with the reference reading");
  return 0;
}

}  // namespace kv::fuzz
