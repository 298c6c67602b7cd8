// The two reports: JSON that stays valid whatever bytes the registry held, and text that never sends a
// control character to the terminal.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "cli/report.h"
#include "cli/text_encoding.h"

namespace kv::cli {
namespace {

using nlohmann::json;

// Windows-1252 and Latin-1 agree on the bytes these tests use (0xA0 to 0xFF).
std::string Latin1ToUtf8(const std::string& text) {
  std::u16string wide;
  for (char c : text) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return Utf16ToUtf8(wide);
}

std::string Identity(const std::string& text) { return text; }

ProbeReport FaultReport(std::vector<std::string> list) {
  ProbeReport report;
  report.result = static_cast<std::int32_t>(list.size());
  report.mask = 127;
  report.section = "TRegFonts";
  report.group = "Font Entries";
  report.list = std::move(list);
  report.explanation = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Gone (TrueType)",
                        "REG_SZ", "gone.ttf", "a font file found neither as written nor in the fonts folder"};
  report.sections = {{"TStartUpSectionHKLM", "Startup", 0, 3, 0.25}, {"TRegFonts", "Font Entries", 3, 1, 1.5}};
  report.ms = 2;
  return report;
}

TEST(KvscanJson, FieldsOfAFault) {
  const json out = json::parse(FormatJson(FaultReport({"Gone (TrueType)", "Later", ""}), Latin1ToUtf8));
  EXPECT_EQ(out["result"], 3);
  EXPECT_EQ(out["mask"], 127);
  EXPECT_EQ(out["clean"], false);
  EXPECT_EQ(out["cancelled"], false);
  EXPECT_EQ(out["section"], "TRegFonts");
  EXPECT_EQ(out["group"], "Font Entries");
  EXPECT_EQ(out["list"], json::array({"Gone (TrueType)", "Later", ""}));
  EXPECT_EQ(out["explanation"]["value"], "Gone (TrueType)");
  EXPECT_EQ(out["explanation"]["data"], "gone.ttf");
  ASSERT_EQ(out["sections"].size(), 2u);
  EXPECT_EQ(out["sections"][1]["name"], "TRegFonts");
  EXPECT_EQ(out["sections"][1]["label"], "Installed fonts");
  EXPECT_EQ(out["sections"][0]["label"], "Run keys of the machine");
  EXPECT_EQ(out["sections"][1]["group"], "Font Entries");
  EXPECT_EQ(out["sections"][1]["count"], 3);
  EXPECT_EQ(out["sections"][1]["items"], 1);
  EXPECT_DOUBLE_EQ(out["sections"][1]["ms"].get<double>(), 1.5);
}

TEST(KvscanJson, CleanAndCancelledHaveNoSection) {
  ProbeReport clean;
  clean.mask = 4;
  const json cleanOut = json::parse(FormatJson(clean, Identity));
  EXPECT_EQ(cleanOut["result"], 0);
  EXPECT_EQ(cleanOut["clean"], true);
  EXPECT_TRUE(cleanOut["section"].is_null());
  EXPECT_TRUE(cleanOut["group"].is_null());
  EXPECT_TRUE(cleanOut["explanation"].is_null());
  EXPECT_EQ(cleanOut["list"], json::array());
  EXPECT_EQ(cleanOut["sections"], json::array());

  ProbeReport cancelled;
  cancelled.cancelled = true;
  cancelled.result = -1;
  const json cancelledOut = json::parse(FormatJson(cancelled, Identity));
  EXPECT_EQ(cancelledOut["result"], -1);
  EXPECT_EQ(cancelledOut["clean"], false);
  EXPECT_EQ(cancelledOut["cancelled"], true);
  EXPECT_TRUE(cancelledOut["section"].is_null());
}

TEST(KvscanJson, StringsSurviveWhateverBytesTheyHold) {
  const struct {
    const char* what;
    std::string text;
    std::string expected;  // after a round trip through the JSON text
  } cases[] = {
      {"quote and backslash", "C:\\a \"b\"", "C:\\a \"b\""},
      {"controls", std::string("tab\there\x01\x1f\n"), std::string("tab\there\x01\x1f\n")},
      {"embedded NUL", std::string("a\0b", 3), std::string("a\0b", 3)},
      {"8-bit text", "caf\xE9 \xA9", "caf\xC3\xA9 \xC2\xA9"},
      {"DEL", "\x7f", "\x7f"},
  };
  for (const auto& c : cases) {
    const std::string text = FormatJson(FaultReport({c.text}), Latin1ToUtf8);
    json out;
    ASSERT_NO_THROW(out = json::parse(text)) << c.what << ": " << text;
    EXPECT_EQ(out["list"][0].get<std::string>(), c.expected) << c.what;
  }
}

TEST(KvscanJson, BytesThatAreNotUtf8StillGiveValidJson) {
  // A converter that lets 8-bit text through unchanged: the JSON must still parse.
  const std::string text = FormatJson(FaultReport({"caf\xE9", "\xFF\xFE", "ok"}), Identity);
  json out;
  ASSERT_NO_THROW(out = json::parse(text)) << text;
  EXPECT_EQ(out["list"][0].get<std::string>(), "caf\xEF\xBF\xBD");  // U+FFFD in place of the stray byte
  EXPECT_EQ(out["list"][2].get<std::string>(), "ok");
}

TEST(KvscanText, VerdictSectionAndList) {
  const std::string text = FormatText(FaultReport({"Gone (TrueType)", "Later", ""}));
  for (const char* expected : {"TRegFonts", "\"Font Entries\"", "result is 3", "Gone (TrueType)", "(empty string)",
                               "gone.ttf", "TStartUpSectionHKLM", "2 sections, 4 items", "TRegFonts: Installed fonts",
                               "TStartUpSectionHKLM  Run keys of the machine"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << " in:\n" << text;

  ProbeReport clean;
  EXPECT_NE(FormatText(clean).find("Clean"), std::string::npos);
  ProbeReport cancelled;
  cancelled.cancelled = true;
  cancelled.result = -1;
  EXPECT_NE(FormatText(cancelled).find("Interrupted"), std::string::npos);
}

// Every section the monitor scans has a label of its own; a class kvscan does not know (a test's own
// section) has none, and its text names it by its class alone.
TEST(KvscanText, EachSectionHasItsOwnLabel) {
  const char* const classes[] = {"TStartUpSectionHKLM",
                                 "TStartUpSectionHKCU",
                                 "TStartUpSectionSL",
                                 "TSharedDLL",
                                 "TRegFonts",
                                 "TUninstallInfo",
                                 "TAppPath",
                                 "TSharedFolders",
                                 "TWinHelp",
                                 "THTMLHelp",
                                 "TMRUList",
                                 "TClsIdTYPES",
                                 "TFileExtCommands"};
  std::set<std::string> labels;
  for (const char* name : classes) {
    const std::string label = SectionLabel(name);
    EXPECT_FALSE(label.empty()) << name;
    EXPECT_TRUE(labels.insert(label).second) << name << " shares its label \"" << label << "\"";
  }
  EXPECT_EQ(SectionLabel("TMadeUpSection"), "");
  ProbeReport report = FaultReport({"x"});
  report.section = "TMadeUpSection";
  EXPECT_NE(FormatText(report).find("found by TMadeUpSection (\"Font Entries\")"), std::string::npos)
      << FormatText(report);
}

TEST(KvscanText, LongListsAreCut) {
  std::vector<std::string> list;
  for (int i = 0; i < 25; ++i) list.push_back("name" + std::to_string(i));
  const std::string text = FormatText(FaultReport(list));
  EXPECT_NE(text.find("name9\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("name10\n"), std::string::npos) << text;
  EXPECT_NE(text.find("... and 15 more"), std::string::npos) << text;
}

TEST(KvscanText, ControlCharactersAreEscaped) {
  EXPECT_EQ(Printable("C:\\x"), "C:\\x");
  EXPECT_EQ(Printable(std::string("a\x1b[2Jb\0c\x7f", 9)), "a\\x1B[2Jb\\x00c\\x7F");
  EXPECT_EQ(Printable("caf\xE9"), "caf\xE9");
  const std::string text = FormatText(FaultReport({"evil\x1b]0;title\x07"}));
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
  EXPECT_EQ(text.find('\x07'), std::string::npos) << text;
}

TEST(KvscanTextEncoding, Utf16ToUtf8) {
  EXPECT_EQ(Utf16ToUtf8(u"abc"), "abc");
  EXPECT_EQ(Utf16ToUtf8(u"\u00e9\u20ac"), "\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800}) + u"x"), "\xEF\xBF\xBDx");  // lone high surrogate
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xDC00})), "\xEF\xBF\xBD");          // lone low surrogate
}

}  // namespace
}  // namespace kv::cli
