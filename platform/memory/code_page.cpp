// Windows-1252, UTF-8 and UTF-16 conversions and the case folding of names.
#include "platform/memory/code_page.h"

#include "platform/memory/memory_platform.h"
#include "support/text.h"

namespace kv {
namespace text {
namespace {

// Windows-1252 bytes 0x80..0x9F; the other bytes are their own code points.
constexpr char16_t kHighBlock[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

char16_t AnsiToUnit(unsigned char c) {
  if (c >= 0x80 && c <= 0x9F) return kHighBlock[c - 0x80];
  return c;
}

bool UnitToAnsi(char16_t unit, unsigned char* c) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    *c = static_cast<unsigned char>(unit);
    return true;
  }
  for (unsigned i = 0; i < 32; ++i) {
    if (kHighBlock[i] == unit) {
      *c = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

char16_t Upcase(char16_t c) { return static_cast<char16_t>(UpcaseCodePoint(c)); }

std::u16string Upcase(const std::u16string& text) {
  std::u16string result(text);
  for (char16_t& c : result) c = Upcase(c);
  return result;
}

int CompareNoCase(const std::u16string& a, const std::u16string& b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = Upcase(a[i]);
    const char16_t y = Upcase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualNoCase(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

}  // namespace text

std::u16string AnsiToUtf16(const std::string& ansi) {
  std::u16string result;
  result.reserve(ansi.size());
  for (char c : ansi) result.push_back(text::AnsiToUnit(static_cast<unsigned char>(c)));
  return result;
}

// Each code unit on its own, as the code-page conversion of the system does: a surrogate pair becomes
// two question marks.
std::string Utf16ToAnsi(const std::u16string& utf16) {
  std::string result;
  result.reserve(utf16.size());
  for (char16_t unit : utf16) {
    unsigned char c;
    result.push_back(text::UnitToAnsi(unit, &c) ? static_cast<char>(c) : '?');
  }
  return result;
}

// Malformed sequences (stray continuation bytes, overlong forms, encoded surrogates, code points beyond
// U+10FFFF, truncated sequences) become U+FFFD, one for each byte that cannot start a sequence.
std::u16string Utf8ToUtf16(const std::string& utf8) {
  std::u16string result;
  result.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t code = NextCodePoint(utf8, &i);
    if (code >= 0x10000) {
      result.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      result.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      result.push_back(static_cast<char16_t>(code));
    }
  }
  return result;
}

// A UTF-8 text never has more UTF-16 units than bytes, so the room is sized once and written in place.
void Utf8ToUpcasedUtf16(const std::string& utf8, std::u16string* out) {
  out->resize(utf8.size());
  char16_t* units = &(*out)[0];
  std::size_t n = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {  // the common case, without decoding
      units[n++] = static_cast<char16_t>(byte >= 'a' && byte <= 'z' ? byte - 32 : byte);
      ++i;
      continue;
    }
    const char32_t code = NextCodePoint(utf8, &i);
    if (code >= 0x10000) {  // surrogates are their own upper case
      units[n++] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      units[n++] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      units[n++] = text::Upcase(static_cast<char16_t>(code));
    }
  }
  out->resize(n);
}

// A surrogate without its partner becomes U+FFFD. A run of ASCII is copied in one step.
void AppendUtf16AsUtf8(const char16_t* units, std::size_t n, std::string* out) {
  for (std::size_t i = 0; i < n; ++i) {
    if (units[i] < 0x80) {
      std::size_t end = i + 1;
      while (end < n && units[end] < 0x80) ++end;
      const std::size_t at = out->size();
      out->resize(at + (end - i));
      char* bytes = &(*out)[at];
      for (std::size_t k = i; k < end; ++k) *bytes++ = static_cast<char>(units[k]);
      i = end - 1;
      continue;
    }
    char32_t code = units[i];
    if (text::IsHighSurrogate(code) && i + 1 < n && text::IsLowSurrogate(units[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(code, out);  // an unpaired surrogate becomes U+FFFD there
  }
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
  std::string result;
  result.reserve(utf16.size());
  AppendUtf16AsUtf8(utf16.data(), utf16.size(), &result);
  return result;
}

std::vector<std::uint8_t> Utf16LeBytes(const std::u16string& utf16) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(utf16.size() * 2);
  for (char16_t unit : utf16) {
    bytes.push_back(static_cast<std::uint8_t>(unit));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

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

std::string Utf16LeToUtf8(const std::vector<std::uint8_t>& bytes) {
  std::u16string units;
  std::string utf8;
  Utf16LeToUtf8(bytes, &units, &utf8);
  return utf8;
}

void Utf16LeToUtf8(const std::vector<std::uint8_t>& bytes, std::u16string* units, std::string* utf8) {
  units->resize(bytes.size() / 2);
  for (std::size_t i = 0; i < units->size(); ++i)
    (*units)[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  utf8->clear();
  AppendUtf16AsUtf8(units->data(), units->size(), utf8);
}

std::string Utf8ToAnsi(const std::string& utf8) { return Utf16ToAnsi(Utf8ToUtf16(utf8)); }

std::string AnsiToUtf8(const std::string& ansi) { return Utf16ToUtf8(AnsiToUtf16(ansi)); }

}  // namespace kv
