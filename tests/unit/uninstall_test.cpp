// The uninstall section: which subkeys are examined, the uninstall command test (Installer commands,
// rundll32 commands, plain programs), the fault marker, progress events and stop requests.
#include <gtest/gtest.h>

#include "scan/sections/uninstall.h"
#include "tests/testing/section_test.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kUninstall = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kCode = "{5A3C0E1F-9B2D-4C6E-8F10-23456789ABCD}";
const std::string kOtherCode = "{11111111-2222-3333-4444-555555555555}";

class UninstallTest : public SectionTest {
 protected:
  void SetUp() override {
    memory_.files.AddFile("C:\\WINDOWS\\system32\\msiexec.exe");
    memory_.files.AddFile("C:\\WINDOWS\\system32\\rundll32.exe");
    memory_.files.AddFile("C:\\Program Files\\App\\uninst.exe");
    memory_.files.AddFile("C:\\Program Files\\App\\app.dll");
  }

  // An installed program: a display name and, unless null, an uninstall command.
  void AddEntry(const std::string& subkey, const char* command) {
    memory_.registry.SetString(kUninstall + "\\" + subkey, "DisplayName", "Some Program");
    if (command != nullptr) memory_.registry.SetString(kUninstall + "\\" + subkey, "UninstallString", command);
  }

  ScanOutcome Scan() {
    section_ = std::make_unique<TUninstallInfo>(Load());
    return SectionTest::Scan(*section_);
  }

  std::unique_ptr<TUninstallInfo> section_;
};

TEST_F(UninstallTest, UninstallCommands) {
  struct Case {
    std::string command;
    bool good;
  };
  const std::vector<Case> cases = {
      {"", true},
      {"C:\\Program Files\\App\\uninst.exe", true},
      {"\"C:\\Program Files\\App\\uninst.exe\" /S", true},
      {"C:\\Program Files\\App\\gone.exe", false},
      // Windows Installer: the command must name the product code the entry is registered under.
      {"MsiExec.exe /X" + kCode, true},
      {"MsiExec.exe /I" + kCode, true},
      {"msiexec.exe /x" + kCode + " /qn", true},
      {"MsiExec.exe /X" + kOtherCode, false},
      {"MsiExec.exe /qn /X" + kCode, false},  // another option first: the 38 characters are not the code
      {"MsiExec.exe /X", false},              // no product code
      {"MsiExec.exe /XU", false},             // a tail that occurs in the path is no product code
      {"MsiExec.exe " + kCode, false},        // no option
      {"MsiExec.exe /X{5a3c0e1f-9b2d-4c6e-8f10-23456789abcd}", false},  // the comparison keeps case
      // The full path of the Installer is not taken for an Installer command: found is good.
      {"C:\\WINDOWS\\system32\\msiexec.exe /X" + kOtherCode, true},
      {"C:\\Gone\\msiexec.exe /X" + kCode, false},
      // rundll32: the DLL before the comma must resolve.
      {"C:\\WINDOWS\\system32\\rundll32.exe C:\\Program Files\\App\\app.dll,Uninstall", true},
      {"C:\\WINDOWS\\system32\\rundll32.exe C:\\Program Files\\App\\gone.dll,Uninstall", false},
      {"C:\\WINDOWS\\system32\\rundll32.exe C:\\Program Files\\App\\gone.dll", true},  // no comma
      // The bare name is the same program: its DLL must resolve too.
      {"rundll32 C:\\Program Files\\App\\gone.dll,Uninstall", false},
      {"rundll32.exe C:\\Program Files\\App\\app.dll,Uninstall", true},
      {"\"RUNDLL32.EXE\" \"C:\\Program Files\\App\\gone.dll\",Uninstall", false},
      {"%SystemRoot%\\System32\\rundll32.exe C:\\Program Files\\App\\gone.dll,Uninstall", false},
      {"rundll32 C:\\Program Files\\App\\gone.dll", true},
  };
  for (const Case& c : cases) {
    memory_.registry.DeleteKey(kUninstall);
    AddEntry(kCode, c.command.c_str());
    const ScanOutcome outcome = Scan();
    const Strings expected = c.good ? Strings{} : Strings{kCode, ""};
    EXPECT_EQ(outcome.list, expected) << c.command;
  }
}

TEST_F(UninstallTest, OnlyEntriesWithADisplayNameAndNoSystemComponentAreExamined) {
  const char* broken = "C:\\Gone\\uninst.exe";
  memory_.registry.SetString(kUninstall + "\\NoDisplayName", "UninstallString", broken);
  AddEntry("SystemComponent0", broken);
  memory_.registry.SetDword(kUninstall + "\\SystemComponent0", "SystemComponent", 0);
  AddEntry("SystemComponent1", broken);
  memory_.registry.SetDword(kUninstall + "\\SystemComponent1", "SystemComponent", 1);
  AddEntry("NoUninstallString", nullptr);
  AddEntry("NumberCommand", nullptr);
  memory_.registry.SetDword(kUninstall + "\\NumberCommand", "UninstallString", 7);  // reads as empty
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 5);
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
}

TEST_F(UninstallTest, FaultLeavesTheEntryAndTheRestAndItsKeyOpen) {
  AddEntry("A", "C:\\Program Files\\App\\uninst.exe");
  AddEntry("B", "C:\\Gone\\uninst.exe");
  AddEntry("C", "C:\\Gone\\uninst.exe");
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, (Strings{"B", "C", ""}));
  EXPECT_EQ(outcome.events, 1);
  EXPECT_EQ(section_->Registry.CurrentPath(), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\B");
}

TEST_F(UninstallTest, CancelledBeforeTheFirstEntryLeavesEveryName) {
  AddEntry("A", "C:\\Gone\\uninst.exe");
  AddEntry("B", nullptr);
  section_ = std::make_unique<TUninstallInfo>(Load());
  section_->Cancelled = true;
  const ScanOutcome outcome = SectionTest::Scan(*section_);
  EXPECT_EQ(outcome.list, (Strings{"A", "B"}));
  EXPECT_EQ(outcome.events, 0);
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
}

TEST_F(UninstallTest, ShuttingDownStopsLikeCancelled) {
  AddEntry("A", "C:\\Gone\\uninst.exe");
  section_ = std::make_unique<TUninstallInfo>(Load());
  engine_->ShuttingDown = true;
  EXPECT_EQ(SectionTest::Scan(*section_).list, Strings{"A"});
}

TEST_F(UninstallTest, MissingKeyIsClean) {
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 0);
}

}  // namespace
}  // namespace kv::testing
