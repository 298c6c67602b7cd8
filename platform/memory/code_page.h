// Character helpers shared by the memory platform: the Windows-1252 code page one character at a time (the
// bytes of a REGEDIT4 file), and the case folding with which the registry compares names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {
namespace text {

// One Windows-1252 byte as UTF-16. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the control characters of the same number, as Windows maps them.
char16_t AnsiToUnit(unsigned char c);
// One UTF-16 code unit as Windows-1252; false when the code page has no such character.
bool UnitToAnsi(char16_t unit, unsigned char* c);

// The upper-case form of a UTF-16 code unit for name comparison: the system's folding of the Basic
// Multilingual Plane (support/text.h); a surrogate is its own upper case.
char16_t Upcase(char16_t unit);
std::u16string Upcase(const std::u16string& text);

// Registry names: ordinal comparison of the upper-cased code units (the order in which NT keeps subkeys).
int CompareNoCase(const std::u16string& a, const std::u16string& b);
bool EqualNoCase(const std::u16string& a, const std::u16string& b);
struct NoCaseLess {
  bool operator()(const std::u16string& a, const std::u16string& b) const { return CompareNoCase(a, b) < 0; }
};

}  // namespace text

// Utf8ToUtf16 and text::Upcase in one pass, into `out` (whose room is reused: no allocation once it has
// grown to the longest name), for looking names up.
void Utf8ToUpcasedUtf16(const std::string& utf8, std::u16string* out);
// Utf16ToUtf8 of `n` units, appended to `out`.
void AppendUtf16AsUtf8(const char16_t* units, std::size_t n, std::string* out);
// Utf16LeToUtf8 into `utf8`, through `units`: both rooms reused.
void Utf16LeToUtf8(const std::vector<std::uint8_t>& bytes, std::u16string* units, std::string* utf8);

}  // namespace kv
