// The engine's UTF-8 text helpers: decoding, case folding as the system folds names, comparison in the
// order of UTF-16 units, and searching without regard to case.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/text.h"

namespace kv {
namespace {

std::string Hex(const std::string& text) {
  std::string out;
  char buffer[4];
  for (unsigned char c : text) {
    std::snprintf(buffer, sizeof buffer, "%02x ", c);
    out += buffer;
  }
  return out;
}

TEST(TextCase, DecodesUtf8AndTakesOneByteOfAMalformedSequence) {
  const struct {
    std::string text;
    std::vector<char32_t> codes;
  } kCases[] = {
      {"a\xC3\xA9", {U'a', 0xE9}},
      {"\xE5\xBC\xA0", {0x5F20}},
      {"\xF0\xA0\xAE\xB7", {0x20BB7}},
      {"\x80x", {0xFFFD, U'x'}},                               // a stray continuation byte
      {"\xC0\xAF", {0xFFFD, 0xFFFD}},                          // an overlong '/'
      {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},              // an encoded surrogate
      {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},  // beyond U+10FFFF
      {"\xE5\xBC", {0xFFFD, 0xFFFD}},                          // cut short
  };
  for (const auto& c : kCases) {
    std::vector<char32_t> codes;
    for (std::size_t i = 0; i < c.text.size();) codes.push_back(NextCodePoint(c.text, &i));
    EXPECT_EQ(codes, c.codes) << Hex(c.text);
  }
  std::string out;
  for (char32_t code : {char32_t{0x41}, char32_t{0xE9}, char32_t{0x5F20}, char32_t{0x1F600}, char32_t{0xD800}})
    AppendUtf8(code, &out);
  EXPECT_EQ(Hex(out), Hex("A\xC3\xA9\xE5\xBC\xA0\xF0\x9F\x98\x80\xEF\xBF\xBD"));
}

TEST(TextCase, FoldsAsTheSystemFoldsNames) {
  const struct {
    char32_t code;
    char32_t upper;
  } kCases[] = {
      {U'a', U'A'},     {U'Z', U'Z'},       {0xE9, 0xC9},       {0xFF, 0x178},  {0x142, 0x141},  // ł
      {0x3AE, 0x389},   {0x3C3, 0x3A3},     {0x43E, 0x41E},     {0x451, 0x401}, {0xFF41, 0xFF21},
      {0x1F80, 0x1F88},  // a Greek letter with iota subscript takes its titlecase form
      {0xDF, 0xDF},      // sharp s has no single upper case
      {0x131, 0x131},    // dotless i is not folded to ASCII I
      {0x17F, 0x17F},    // nor long s to S
      {0xB5, 0xB5},      // micro sign: only a variant of mu
      {0x3C2, 0x3C2},    // final sigma: only a variant of sigma
      {0x1C5, 0x1C5},    // a titlecase digraph
      {0x5F20, 0x5F20}, {0x20BB7, 0x20BB7}, {0x1F600, 0x1F600},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(UpcaseCodePoint(c.code), c.upper) << std::hex << "U+" << static_cast<unsigned>(c.code);
  EXPECT_EQ(UpperText("\xC5\x82ukasz \xCE\xB5\xCF\x86\xCE\xB1\xCF\x81"),
            "\xC5\x81UKASZ \xCE\x95\xCE\xA6\xCE\x91\xCE\xA1");
}

TEST(TextCase, ComparesWithoutRegardToCaseInTheOrderOfUtf16Units) {
  const struct {
    std::string a;
    std::string b;
    int order;
  } kCases[] = {
      {"abc", "ABC", 0},
      {"\xD0\x9E\xD0\xBB\xD1\x8C\xD0\xB3\xD0\xB0", "\xD0\xBE\xD0\x9B\xD0\xAC\xD0\x93\xD0\x90", 0},  // Ольга / оЛЬГА
      {"a", "b", -1},
      {"ab", "a", 1},
      {"_", "z", 1},                             // '_' (0x5F) after 'Z' (0x5A)
      {"\xC3\xA9", "z", 1},                      // É after ASCII
      {"\xF0\x9F\x98\x80", "\xEF\xBC\xA1", -1},  // U+1F600 (surrogates 0xD83D...) before U+FF21
      {"\xED\x9F\xBF", "\xF0\x9F\x98\x80", -1},  // U+D7FF before the surrogates
      {"stra\xC3\x9F"
       "e",
       "STRASSE", 1},  // ß is no "SS"
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(CompareNoCase(c.a, c.b), c.order) << c.a << " / " << c.b;
    EXPECT_EQ(CompareNoCase(c.b, c.a), -c.order) << c.b << " / " << c.a;
    EXPECT_EQ(SameText(c.a, c.b), c.order == 0) << c.a << " / " << c.b;
  }
}

TEST(TextCase, FindsWithoutRegardToCaseAndTellsTheLengthFound) {
  const struct {
    std::string text;
    std::string what;
    std::size_t at;
    std::size_t length;
  } kCases[] = {
      {"C:\\Program Files\\App\\UNINS000.EXE /x", "unins000.exe", 21, 12},
      {"C:\\\xD0\x9E\xD0\xBB\xD1\x8C\xD0\xB3\xD0\xB0\\a.exe", "\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB3\xD0\xB0", 3, 10},
      // U+2C65 (three bytes) is the lower case of U+023A (two bytes).
      {"x\xC8\xBAy", "\xE2\xB1\xA5", 1, 2},
      {"x\xE2\xB1\xA5y", "\xC8\xBA", 1, 3},
      {"abc", "", 0, 0},
      {"abc", "abcd", std::string::npos, 0},
      {"\xC3\xA9", "\xA9", std::string::npos, 0},  // never in the middle of a character
  };
  for (const auto& c : kCases) {
    std::size_t length = 0;
    EXPECT_EQ(FindNoCase(c.text, c.what, 0, &length), c.at) << c.text << " / " << c.what;
    if (c.at != std::string::npos) {
      EXPECT_EQ(length, c.length) << c.text << " / " << c.what;
    }
  }
}

}  // namespace
}  // namespace kv

#ifdef _WIN32
#include "platform/win32/utf.h"

namespace kv {
namespace {

// The one place the Windows build turns the engine's UTF-8 into the system's UTF-16 and back.
TEST(Win32Utf, ConvertsBothWaysAndReplacesWhatCannotBeRead) {
  const struct {
    std::string utf8;
    std::wstring utf16;
  } kRoundTrips[] = {
      {"", L""},
      {"C:\\app.exe", L"C:\\app.exe"},
      {"\xC5\x81ukasz", L"\u0141ukasz"},
      {"\xE5\xBC\xA0\xE4\xBC\x9F", L"\u5F20\u4F1F"},
      {"\xF0\xA0\xAE\xB7", std::wstring{wchar_t(0xD842), wchar_t(0xDFB7)}},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
  };
  for (const auto& c : kRoundTrips) {
    EXPECT_EQ(Widen(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(Narrow(c.utf16), c.utf8) << c.utf8;
  }
  EXPECT_EQ(Widen("\xC3"), L"\uFFFD") << "a sequence cut short";
  EXPECT_EQ(Widen("\xED\xA0\x80"
                  "x"),
            L"\uFFFD\uFFFD\uFFFDx")
      << "an encoded surrogate";
  EXPECT_EQ(Narrow(std::wstring{wchar_t(0xD800), L'x'}), "\xEF\xBF\xBDx") << "an unpaired high surrogate";
  EXPECT_EQ(Narrow(std::wstring{wchar_t(0xDC00)}), "\xEF\xBF\xBD") << "an unpaired low surrogate";
  const wchar_t terminated[] = L"ab\0cd";
  EXPECT_EQ(NarrowTerminated(terminated, 5), "ab");
  EXPECT_EQ(NarrowTerminated(terminated, 1), "a") << "no NUL within the room given";
}

}  // namespace
}  // namespace kv
#endif
