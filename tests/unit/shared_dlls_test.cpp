// The shared DLL section: value names tested as written, the fault marker, the key left open, progress
// events and stop requests.
#include <gtest/gtest.h>

#include "scan/sections/shared_dlls.h"
#include "tests/testing/section_test.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kSharedDlls = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class SharedDllTest : public SectionTest {
 protected:
  void SetUp() override {
    memory_.files.AddFile("C:\\WINDOWS\\system32\\shared.dll");
    memory_.files.AddFile("C:\\Work\\here.dll");
    memory_.files.AddFile("C:\\Work\\%SystemRoot%\\system32\\literal.dll");
    memory_.files.SetCurrentDirectory("C:\\Work");
  }

  void AddName(const std::string& name) { memory_.registry.SetDword(kSharedDlls, name, 1); }

  ScanOutcome Scan() {
    section_ = std::make_unique<TSharedDLL>(Load());
    return SectionTest::Scan(*section_);
  }

  std::unique_ptr<TSharedDLL> section_;
};

TEST_F(SharedDllTest, NamesAreTestedExactlyAsWritten) {
  struct Case {
    std::string name;
    bool good;
  };
  const std::vector<Case> cases = {
      {"C:\\WINDOWS\\system32\\shared.dll", true},
      {"c:\\windows\\SYSTEM32\\SHARED.DLL", true},
      {"C:\\WINDOWS\\system32\\gone.dll", false},
      {"here.dll", true},                // bare: found in the current folder
      {"shared.dll", false},             // bare: not searched for in the system folder
      {"C:\\WINDOWS\\system32", false},  // a folder
      {"C:\\WINDOWS\\system32\\sh*.dll", true},
      {"C:\\WINDOWS\\system32\\zz*.dll", false},
      {"%SystemRoot%\\system32\\shared.dll", false},  // no path variables replaced
      {"C:\\Work\\%SystemRoot%\\system32\\literal.dll", true},
      {"\"C:\\WINDOWS\\system32\\shared.dll\"", false},  // no quotes taken off
      {"C:\\WINDOWS\\system32\\shared", false},          // no extensions tried
  };
  for (const Case& c : cases) {
    memory_.registry.DeleteKey(kSharedDlls);
    AddName(c.name);
    const Strings expected = c.good ? Strings{} : Strings{c.name, ""};
    EXPECT_EQ(Scan().list, expected) << c.name;
  }
}

TEST_F(SharedDllTest, DataIsNotRead) {
  memory_.registry.SetString(kSharedDlls, "C:\\WINDOWS\\system32\\shared.dll", "C:\\Gone\\x.dll");
  EXPECT_EQ(Scan().list, Strings{});
}

TEST_F(SharedDllTest, FaultLeavesTheNameAndTheRest) {
  AddName("C:\\WINDOWS\\system32\\shared.dll");
  AddName("C:\\Gone\\b.dll");
  AddName("C:\\Gone\\c.dll");
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, (Strings{"C:\\Gone\\b.dll", "C:\\Gone\\c.dll", ""}));
  EXPECT_EQ(outcome.events, 1);
  EXPECT_EQ(section_->Registry.CurrentPath(), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
}

TEST_F(SharedDllTest, CleanScanFiresOneEventPerNameAndKeepsTheKeyOpen) {
  AddName("C:\\WINDOWS\\system32\\shared.dll");
  AddName("here.dll");
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 2);
  EXPECT_EQ(section_->Registry.CurrentPath(), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
  // The next scan starts afresh.
  memory_.registry.DeleteKey(kSharedDlls);
  EXPECT_EQ(SectionTest::Scan(*section_).list, Strings{});
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
}

TEST_F(SharedDllTest, CancelledBeforeTheFirstNameLeavesEveryName) {
  AddName("C:\\Gone\\a.dll");
  AddName("C:\\Gone\\b.dll");
  section_ = std::make_unique<TSharedDLL>(Load());
  section_->Cancelled = true;
  const ScanOutcome outcome = SectionTest::Scan(*section_);
  EXPECT_EQ(outcome.list, (Strings{"C:\\Gone\\a.dll", "C:\\Gone\\b.dll"}));
  EXPECT_EQ(outcome.events, 0);
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
}

TEST_F(SharedDllTest, MissingKeyIsClean) { EXPECT_EQ(Scan().list, Strings{}); }

}  // namespace
}  // namespace kv::testing
