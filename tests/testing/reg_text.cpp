#include "tests/testing/reg_text.h"

#include "platform/memory/memory_platform.h"

namespace kv {
namespace test {
namespace {

std::string WithCrLf(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\n' && (result.empty() || result.back() != '\r')) result += '\r';
    result += c;
  }
  return result;
}

}  // namespace

std::string RegFileUtf16(const std::string& utf8Text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : Utf8ToUtf16(WithCrLf(utf8Text))) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string RegFileAnsi(const std::string& utf8Text) { return Utf8ToAnsi(WithCrLf(utf8Text)); }

}  // namespace test
}  // namespace kv
