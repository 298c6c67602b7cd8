#include "platform/win32/utf.h"

#include <cwchar>

#include "support/text.h"

namespace kv {

std::wstring Widen(const std::string& utf8) {
  std::wstring result;
  result.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      result.push_back(static_cast<wchar_t>(c));
      ++i;
      continue;
    }
    const char32_t code = NextCodePoint(utf8, &i);
    if (code >= 0x10000) {
      result.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
      result.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      result.push_back(static_cast<wchar_t>(code));
    }
  }
  return result;
}

std::string Narrow(const wchar_t* utf16, std::size_t length) {
  std::string result;
  result.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    char32_t code = static_cast<char16_t>(utf16[i]);
    if (code < 0x80) {
      result.push_back(static_cast<char>(code));
      continue;
    }
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<char16_t>(utf16[i + 1]) - 0xDC00);
      ++i;
    }
    AppendUtf8(code, &result);  // an unpaired surrogate becomes U+FFFD
  }
  return result;
}

std::string NarrowTerminated(const wchar_t* utf16, std::size_t capacity) {
  std::size_t length = 0;
  while (length < capacity && utf16[length] != L'\0') ++length;
  return Narrow(utf16, length);
}

}  // namespace kv
