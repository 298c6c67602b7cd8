// kvscan's command line: what each argument list asks for, and what counts as a mask.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"

namespace kv::cli {
namespace {

using Action = Options::Action;

TEST(KvscanOptions, ArgumentLists) {
  struct Case {
    std::vector<std::string> args;
    Action action;
    std::optional<std::int32_t> mask;
    bool json;
  };
  const Case cases[] = {
      {{}, Action::kProbe, std::nullopt, false},
      {{"--json"}, Action::kProbe, std::nullopt, true},
      {{"--mask", "8"}, Action::kProbe, 8, false},
      {{"--mask=64", "--json"}, Action::kProbe, 64, true},
      {{"--json", "--mask", "0x7F"}, Action::kProbe, 127, true},
      {{"--mask", "0"}, Action::kProbe, 0, false},
      {{"--mask=-1"}, Action::kProbe, -1, false},
      {{"--help"}, Action::kHelp, std::nullopt, false},
      {{"-h"}, Action::kHelp, std::nullopt, false},
      {{"--version"}, Action::kVersion, std::nullopt, false},
      {{"--mask", "abc"}, Action::kBadUsage, std::nullopt, false},
      {{"--mask", "12x"}, Action::kBadUsage, std::nullopt, false},
      {{"--mask", ""}, Action::kBadUsage, std::nullopt, false},
      {{"--mask"}, Action::kBadUsage, std::nullopt, false},
      {{"--frobnicate"}, Action::kBadUsage, std::nullopt, false},
      {{"extra"}, Action::kBadUsage, std::nullopt, false},
      {{"--json=banana"}, Action::kBadUsage, std::nullopt, false},
      {{"--mask", "1", "--mask", "2"}, Action::kBadUsage, std::nullopt, false},
      {{"--reg", "machine.reg"}, Action::kBadUsage, std::nullopt, false},  // the native build's option only
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& arg : c.args) line += " [" + arg + "]";
    const Options options = ParseOptions(c.args);
    EXPECT_EQ(options.action, c.action) << line << " -> " << options.message;
    if (options.action != Action::kProbe) continue;
    EXPECT_EQ(options.mask, c.mask) << line;
    EXPECT_EQ(options.json, c.json) << line;
  }
}

TEST(KvscanOptions, HelpVersionAndErrorsSayWhat) {
  const Options help = ParseOptions({"--help"});
  EXPECT_NE(help.message.find("--mask"), std::string::npos) << help.message;
  EXPECT_NE(help.message.find("--json"), std::string::npos) << help.message;
  EXPECT_NE(help.message.find("130"), std::string::npos) << help.message;

  const Options version = ParseOptions({"--version"});
  EXPECT_EQ(version.message.rfind("kvscan ", 0), 0u) << version.message;

  const Options bad = ParseOptions({"--mask", "seven"});
  EXPECT_NE(bad.message.find("seven"), std::string::npos) << bad.message;
  EXPECT_NE(UsageText().find("Usage: kvscan [--mask N] [--json] [--help] [--version]"), std::string::npos);
}

TEST(KvscanOptions, MachineOptionsOfTheNativeBuild) {
  const Options both = ParseOptions({"--reg", "m.reg", "--files", "f.txt", "--mask", "4"}, true);
  EXPECT_EQ(both.action, Action::kProbe) << both.message;
  EXPECT_EQ(both.machineReg, "m.reg");
  EXPECT_EQ(both.machineFiles, "f.txt");
  EXPECT_EQ(ParseOptions({"--reg", "m.reg"}, true).action, Action::kBadUsage);
  EXPECT_NE(UsageText(true).find("--reg FILE"), std::string::npos);
}

TEST(KvscanOptions, OfflineOptionsOfTheNativeBuild) {
  const Options offline = ParseOptions(
      {"--offline", "/mnt/win", "--user", "Alice", "--drive", "D=/mnt/d", "--drive", "e=/x", "--json"}, true);
  EXPECT_EQ(offline.action, Action::kProbe) << offline.message;
  EXPECT_EQ(offline.offlineRoot, "/mnt/win");
  EXPECT_EQ(offline.offlineUser, "Alice");
  EXPECT_EQ(offline.offlineDrives, (std::vector<std::string>{"D=/mnt/d", "e=/x"}));
  EXPECT_TRUE(offline.json);
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case bad[] = {
      {{"--user", "Alice"}, "--user and --drive go with --offline"},
      {{"--drive", "D=/mnt/d"}, "--user and --drive go with --offline"},
      {{"--offline", "/mnt/win", "--reg", "m.reg", "--files", "f.txt"},
       "--offline and --reg probe different machines: give one"},
      {{"--offline", "/mnt/win", "--drive", "D"}, "--drive: not a drive letter and a folder (D=DIR): D"},
      {{"--offline", "/mnt/win", "--drive", "D:/mnt/d"}, "--drive: not a drive letter and a folder (D=DIR): D:/mnt/d"},
      {{"--offline", "/mnt/win", "--drive", "1=/mnt/d"}, "--drive: not a drive letter and a folder (D=DIR): 1=/mnt/d"},
  };
  for (const Case& c : bad) {
    const Options options = ParseOptions(c.args, true);
    EXPECT_EQ(options.action, Action::kBadUsage) << c.args.front();
    EXPECT_EQ(options.message, c.message) << c.args.front();
  }
  // The Windows program has no offline options.
  EXPECT_EQ(ParseOptions({"--offline", "/mnt/win"}).action, Action::kBadUsage);
  EXPECT_NE(UsageText(true).find("--offline DIR [--user NAME] [--drive D=DIR]"), std::string::npos);
}

TEST(KvscanOptions, MaskTexts) {
  const struct {
    const char* text;
    std::optional<std::int32_t> mask;
  } cases[] = {
      {"0", 0},
      {"127", 127},
      {"008", 8},  // decimal, never octal
      {"+5", 5},
      {"-1", -1},
      {"2147483647", 2147483647},
      {"-2147483648", std::int32_t{-2147483647} - 1},
      {"2147483648", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"0x7f", 127},
      {"0XFFFFFFFF", -1},
      {"0x100000000", std::nullopt},
      {"0x", std::nullopt},
      {"0xg", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"1.0", std::nullopt},
      {"1e2", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseMask(c.text), c.mask) << "\"" << c.text << "\"";
}

}  // namespace
}  // namespace kv::cli
