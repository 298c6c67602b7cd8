#include "writer/machine_writer.h"

#include "platform/memory/memory_platform.h"

namespace kv {

std::vector<std::uint8_t> StringBytes(const std::string& text) { return Utf16LeBytes(Utf8ToUtf16(text) + u'\0'); }

std::vector<std::uint8_t> DwordBytes(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::vector<std::uint8_t> MultiStringBytes(const std::vector<std::string>& strings) {
  std::u16string joined;
  for (const std::string& s : strings) joined += Utf8ToUtf16(s) + u'\0';
  return Utf16LeBytes(joined + u'\0');
}

}  // namespace kv
