// The Run MRU section: entries that resolve to programs or folders, short entries, numbers, the order
// string as a presence test only, the fault marker, progress events and stop requests.
#include <gtest/gtest.h>

#include <functional>

#include "scan/sections/mru.h"
#include "tests/testing/section_test.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kRunMru = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";

class MruTest : public SectionTest {
 protected:
  void SetUp() override {
    memory_.files.AddFile("C:\\WINDOWS\\notepad.exe");
    memory_.files.AddFile("C:\\Tools\\tool.exe");
  }

  void SetEntry(const std::string& name, const std::string& data) { memory_.registry.SetString(kRunMru, name, data); }

  ScanOutcome Scan() {
    section_ = std::make_unique<TMRUList>(Load());
    return SectionTest::Scan(*section_);
  }

  std::unique_ptr<TMRUList> section_;
};

TEST_F(MruTest, Entries) {
  using Registry = MemoryRegistry;
  struct Case {
    std::string what;
    std::function<void(Registry&)> set;
    bool good;
  };
  auto text = [](const std::string& s) { return [s](Registry& r) { r.SetString(kRunMru, "a", s); }; };
  const std::vector<Case> cases = {
      {"notepad\\1", text("notepad\\1"), true},
      {"notepad without \\1", text("notepad"), true},
      {"C:\\Windows\\1 (a folder)", text("C:\\Windows\\1"), true},
      {"program with arguments", text("\"C:\\Tools\\tool.exe\" /x\\1"), true},
      {"path variable", text("%SystemRoot%\\notepad.exe\\1"), true},
      {"missing program", text("C:\\Tools\\gone.exe\\1"), false},
      {"missing folder", text("C:\\Gone\\1"), false},
      {"one character", text("x"), false},
      {"empty", text(""), false},
      {"only \\1 (an empty command resolves)", text("\\1"), true},
      {"DWORD", [](Registry& r) { r.SetDword(kRunMru, "a", 1); }, false},
  };
  for (const Case& c : cases) {
    memory_.registry.DeleteKey(kRunMru);
    SetEntry("MRUList", "a");
    c.set(memory_.registry);
    const Strings expected = c.good ? Strings{} : Strings{"a", ""};
    EXPECT_EQ(Scan().list, expected) << c.what;
  }
}

// What the Run box itself accepts is sound history: expanded paths, shell folders, registered URL
// protocols and programs registered by their bare names.
TEST_F(MruTest, WhatTheRunBoxAccepts) {
  MemoryRegistry& registry = memory_.registry;
  memory_.system.SetEnvironment("TEMP", "C:\\Users\\u\\AppData\\Local\\Temp");
  memory_.files.AddDirectory("C:\\Users\\u\\AppData\\Local\\Temp");
  registry.SetString("HKCR\\https", "URL Protocol", "");
  registry.SetString("HKCR\\ms-settings", "URL Protocol", "");
  registry.SetString("HKCR\\nourl", "", "a class, not a protocol");
  registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msedge.exe", "",
                     "C:\\Tools\\tool.exe");
  registry.CreateKey("HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\mine.cmd");
  struct Case {
    const char* data;
    bool good;
  };
  const std::vector<Case> cases = {
      {"%temp%\\1", true},
      {"%TEMP%\\gone\\1", false},
      {"%UNSET%\\1", false},
      {"shell:startup\\1", true},
      {"Shell:AppsFolder\\1", true},
      {"ms-settings:\\1", true},
      {"https://www.bing.com\\1", true},
      {"HTTPS://www.bing.com\\1", true},
      {"nourl:x\\1", false},
      {"gopher://old\\1", false},
      {"msedge\\1", true},
      {"msedge --inprivate\\1", true},
      {"MSEDGE.EXE\\1", true},
      {"mine.cmd\\1", true},
      {"mine\\1", false},
      {"msedgehelper\\1", false},
      {"C:\\msedge\\1", false},
  };
  for (const Case& c : cases) {
    registry.DeleteKey(kRunMru);
    SetEntry("MRUList", "a");
    SetEntry("a", c.data);
    const Strings expected = c.good ? Strings{} : Strings{"a", ""};
    EXPECT_EQ(Scan().list, expected) << c.data;
  }
}

TEST_F(MruTest, EmptyOrMissingOrderExaminesNothing) {
  SetEntry("a", "C:\\Gone\\a.exe\\1");
  SetEntry("b", "x");
  EXPECT_EQ(Scan().list, Strings{});
  SetEntry("MRUList", "");
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 0);
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
}

TEST_F(MruTest, EntryNotNamedInTheOrderIsExaminedToo) {
  SetEntry("MRUList", "a");
  SetEntry("a", "notepad\\1");
  SetEntry("z", "C:\\Gone\\z.exe\\1");
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, (Strings{"z", ""}));
  EXPECT_EQ(outcome.events, 1);
}

TEST_F(MruTest, FaultLeavesTheEntryAndTheRestAndTheKeyOpen) {
  SetEntry("a", "C:\\Gone\\a.exe\\1");
  SetEntry("b", "notepad\\1");
  SetEntry("c", "notepad\\1");
  SetEntry("mrulist", "abc");  // the order value is left out whatever its case
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, (Strings{"a", "b", "c", ""}));
  EXPECT_EQ(outcome.events, 0);
  EXPECT_EQ(section_->Registry.CurrentPath(), "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU");
}

TEST_F(MruTest, CleanScanFiresOneEventPerEntryAndClosesTheKey) {
  SetEntry("MRUList", "ba");
  SetEntry("a", "notepad\\1");
  SetEntry("b", "C:\\Windows\\1");
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 2);
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
}

TEST_F(MruTest, CancelledBeforeTheFirstEntryLeavesEveryName) {
  SetEntry("MRUList", "ab");
  SetEntry("a", "x");
  SetEntry("b", "x");
  section_ = std::make_unique<TMRUList>(Load());
  section_->Cancelled = true;
  const ScanOutcome outcome = SectionTest::Scan(*section_);
  EXPECT_EQ(outcome.list, (Strings{"a", "b"}));
  EXPECT_EQ(outcome.events, 0);
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
}

TEST_F(MruTest, MissingKeyIsClean) { EXPECT_EQ(Scan().list, Strings{}); }

}  // namespace
}  // namespace kv::testing
