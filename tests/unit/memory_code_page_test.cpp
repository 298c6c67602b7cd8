// The conversions between UTF-8, Windows-1252 and UTF-16 that the memory platform uses.
#include <gtest/gtest.h>

#include <string>

#include "platform/memory/memory_platform.h"

namespace kv {
namespace {

std::string Hex(const std::u16string& text) {
  std::string out;
  char unit[8];
  for (char16_t c : text) {
    std::snprintf(unit, sizeof unit, "%04x ", static_cast<unsigned>(c));
    out += unit;
  }
  return out;
}

std::string Hex(const std::string& text) {
  std::string out;
  char byte[4];
  for (char c : text) {
    std::snprintf(byte, sizeof byte, "%02x ", static_cast<unsigned char>(c));
    out += byte;
  }
  return out;
}

TEST(MemoryCodePage, TheHighBlockOfWindows1252MapsBothWays) {
  const struct {
    unsigned char ansi;
    char16_t unit;
  } kCases[] = {
      {0x80, 0x20AC},
      {0x82, 0x201A},
      {0x83, 0x0192},
      {0x84, 0x201E},
      {0x85, 0x2026},
      {0x86, 0x2020},
      {0x87, 0x2021},
      {0x88, 0x02C6},
      {0x89, 0x2030},
      {0x8A, 0x0160},
      {0x8B, 0x2039},
      {0x8C, 0x0152},
      {0x8E, 0x017D},
      {0x91, 0x2018},
      {0x92, 0x2019},
      {0x93, 0x201C},
      {0x94, 0x201D},
      {0x95, 0x2022},
      {0x96, 0x2013},
      {0x97, 0x2014},
      {0x98, 0x02DC},
      {0x99, 0x2122},
      {0x9A, 0x0161},
      {0x9B, 0x203A},
      {0x9C, 0x0153},
      {0x9E, 0x017E},
      {0x9F, 0x0178},
      // The five holes of the code page map to the C1 controls of the same number, as on Windows.
      {0x81, 0x0081},
      {0x8D, 0x008D},
      {0x8F, 0x008F},
      {0x90, 0x0090},
      {0x9D, 0x009D},
      {0x41, 0x0041},
      {0xA0, 0x00A0},
      {0xE9, 0x00E9},
      {0xFF, 0x00FF},
      {0x00, 0x0000},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int{c.ansi});
    const std::string ansi(1, static_cast<char>(c.ansi));
    EXPECT_EQ(Hex(std::u16string(1, c.unit)), Hex(AnsiToUtf16(ansi)));
    EXPECT_EQ(Hex(ansi), Hex(Utf16ToAnsi(std::u16string(1, c.unit))));
  }
}

TEST(MemoryCodePage, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  const struct {
    std::u16string wide;
    std::string ansi;
  } kCases[] = {
      {u"\u263A", "?"},                // a smiley
      {u"\u0080\u009F", "??"},         // C1 controls whose bytes hold other characters
      {u"\u0100\u03B1\u0416", "???"},  // Latin Extended-A, Greek, Cyrillic
      {u"\U0001F600", "??"},           // a surrogate pair gives one '?' per unit
      {u"\xD800x", "?x"},              // a lone surrogate
      {u"a\u20ACb",
       "a\x80"
       "b"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(Hex(c.wide));
    EXPECT_EQ(Hex(c.ansi), Hex(Utf16ToAnsi(c.wide)));
  }
}

TEST(MemoryCodePage, Utf8RoundTripsAndMalformedInputBecomesReplacementCharacters) {
  const struct {
    const char* what;
    std::string utf8;
    std::u16string wide;
    bool roundTrip;
  } kCases[] = {
      {"ASCII", "abc", u"abc", true},
      {"two-byte", "\xC3\xA9", u"\u00E9", true},
      {"three-byte", "\xE2\x82\xAC", u"\u20AC", true},
      {"four-byte", "\xF0\x9F\x98\x80", u"\U0001F600", true},
      {"embedded NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3), true},
      {"stray continuation byte", "a\x80z", u"a\uFFFDz", false},
      {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD", false},
      {"truncated sequence", "\xE2\x82", u"\uFFFD\uFFFD", false},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
      {"Latin-1 byte", "caf\xE9", u"caf\uFFFD", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Hex(c.wide), Hex(Utf8ToUtf16(c.utf8)));
    if (c.roundTrip) {
      EXPECT_EQ(Hex(c.utf8), Hex(Utf16ToUtf8(c.wide)));
    }
  }
  EXPECT_EQ(
      "\xEF\xBF\xBD"
      "x",
      Utf16ToUtf8(u"\xDC00x"))
      << "a lone low surrogate";
  EXPECT_EQ("\xEF\xBF\xBD", Utf16ToUtf8(u"\xD83D")) << "a high surrogate at the end";
}

TEST(MemoryCodePage, Utf8AndAnsiConvertThroughUtf16) {
  EXPECT_EQ(Hex(std::string("caf\xE9 \x80 ?")), Hex(Utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC \xE2\x98\xBA")));
  EXPECT_EQ("caf\xC3\xA9 \xE2\x82\xAC \xC2\x81", AnsiToUtf8("caf\xE9 \x80 \x81"));
}

}  // namespace
}  // namespace kv
