// The shared-folder section: the NT share strings, the folder test (network paths, drive roots), both
// walks, the fault marker, progress events, stop requests and the error mode.
#include <gtest/gtest.h>

#include <functional>

#include "scan/sections/shared_folders.h"
#include "tests/testing/memory_machine.h"
#include "tests/testing/section_scan.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;
using namespace std::string_literals;

const std::string kNtShares = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\Shares";
const std::string k9xShares = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan";

// The strings of a share value as Windows NT writes them, with the given folder.
Strings UsualShare(const std::string& folder) {
  return {"CSCFlags=0", "MaxUses=4294967295", "Path=" + folder, "Permissions=0", "Remark=", "Type=0"};
}

std::string Joined(const Strings& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\0';
  return text;
}

TEST(ExtractNtSharePath, TheLineThatBeginsWithPath) {
  struct Case {
    std::string what;
    std::string strings;
    bool found;
    std::string folder;
  };
  const std::vector<Case> cases = {
      {"usual order", Joined(UsualShare("C:\\Data")), true, "C:\\Data"},
      {"Path first", Joined({"Path=C:\\Data", "Permissions=0", "Type=0"}), true, "C:\\Data"},
      {"Permissions before Path", Joined({"Permissions=0", "Path=C:\\Data", "Type=0"}), true, "C:\\Data"},
      {"no Permissions line", Joined({"Remark=x", "Path=C:\\Data"}), true, "C:\\Data"},
      {"last line without its NUL", "Type=0\0Path=C:\\Data"s, true, "C:\\Data"},
      {"empty folder", Joined({"Path=", "Permissions=0"}), true, ""},
      {"folder with blanks and '='", Joined({"Path=C:\\My Data=1"}), true, "C:\\My Data=1"},
      {"first of two Path lines", Joined({"Path=C:\\One", "Path=C:\\Two"}), true, "C:\\One"},
      {"Path= inside another line", Joined({"Remark=see Path=C:\\Data", "Type=0"}), false, ""},
      {"no Path line", Joined({"CSCFlags=0", "Permissions=0", "Type=0"}), false, ""},
      {"nothing", "", false, ""},
  };
  for (const Case& c : cases) {
    std::string folder = "untouched";
    EXPECT_EQ(ExtractNtSharePath(c.strings, folder), c.found) << c.what;
    if (c.found) {
      EXPECT_EQ(folder, c.folder) << c.what;
    }
  }
}

class SharedFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.memory.files.AddDirectory("C:\\Data");
    machine_.memory.files.AddFile("C:\\file.txt");
  }

  void UseWindows9x() { machine_.memory.system.SetVersion(OsVersion{kPlatformWin32Windows, 4, 10, 2222}); }

  ScanOutcome Scan() {
    section_ = std::make_unique<TSharedFolders>(machine_.Load());
    return RunScan(*section_);
  }

  MemoryMachine machine_;
  std::unique_ptr<TSharedFolders> section_;
};

// Folders as both walks see them. D: is a drive without a medium (nothing on it can be found).
struct FolderCase {
  std::string folder;
  bool good;
};
const std::vector<FolderCase> kFolderCases = {
    {"C:\\Data", true},
    {"C:\\Data\\", true},
    {"C:\\Gone", false},
    {"C:\\file.txt", false},
    {"\\\\server\\dir", false},  // a network path
    {"D:\\", true},              // the root of an empty drive
    {"D:\\Gone", false},
    {"D:", false},  // no backslash: not the drive root
    {"C:\\", true},
};

TEST_F(SharedFoldersTest, NtShareFolders) {
  for (const FolderCase& c : kFolderCases) {
    machine_.memory.registry.DeleteKey(kNtShares);
    machine_.memory.registry.SetMultiString(kNtShares, "Share", UsualShare(c.folder));
    const Strings expected = c.good ? Strings{} : Strings{"Share", ""};
    EXPECT_EQ(Scan().list, expected) << c.folder;
  }
}

TEST_F(SharedFoldersTest, NtShareValues) {
  using Registry = MemoryRegistry;
  struct Case {
    std::string what;
    std::function<void(Registry&)> set;
    bool good;
  };
  const std::vector<Case> cases = {
      {"other order",
       [](Registry& r) {
         r.SetMultiString(kNtShares, "Share", {"Type=0", "Path=C:\\Data", "CSCFlags=0", "Remark="});
       },
       true},
      {"Permissions first",
       [](Registry& r) {
         r.SetMultiString(kNtShares, "Share", {"Permissions=0", "Path=C:\\Data"});
       },
       true},
      {"no Path line",
       [](Registry& r) {
         r.SetMultiString(kNtShares, "Share", {"Permissions=0", "Type=0"});
       },
       false},
      {"empty folder",
       [](Registry& r) {
         r.SetMultiString(kNtShares, "Share", {"Path=", "Permissions=0"});
       },
       false},
      {"a string, not a multi-string", [](Registry& r) { r.SetString(kNtShares, "Share", "Path=C:\\Data"); }, false},
      {"DWORD", [](Registry& r) { r.SetDword(kNtShares, "Share", 0); }, false},
  };
  for (const Case& c : cases) {
    machine_.memory.registry.DeleteKey(kNtShares);
    c.set(machine_.memory.registry);
    const Strings expected = c.good ? Strings{} : Strings{"Share", ""};
    EXPECT_EQ(Scan().list, expected) << c.what;
  }
}

TEST_F(SharedFoldersTest, Windows9xShareFolders) {
  UseWindows9x();
  for (const FolderCase& c : kFolderCases) {
    machine_.memory.registry.DeleteKey(k9xShares);
    machine_.memory.registry.SetString(k9xShares + "\\SHARE", "Path", c.folder);
    const Strings expected = c.good ? Strings{} : Strings{"SHARE", ""};
    EXPECT_EQ(Scan().list, expected) << c.folder;
  }
}

TEST_F(SharedFoldersTest, Windows9xShareValues) {
  UseWindows9x();
  using Registry = MemoryRegistry;
  struct Case {
    std::string what;
    std::function<void(Registry&)> set;
    bool good;
  };
  const std::string key = k9xShares + "\\SHARE";
  const std::vector<Case> cases = {
      {"DWORD Path", [&](Registry& r) { r.SetDword(key, "Path", 0); }, false},
      {"big-endian DWORD Path",
       [&](Registry& r) {
         r.SetValue(key, "Path", REG_DWORD_BIG_ENDIAN_TYPE, {0, 0, 0, 1});
       },
       false},
      {"no Path", [&](Registry& r) { r.SetString(key, "Remark", "C:\\Gone"); }, true},
      {"empty Path", [&](Registry& r) { r.SetString(key, "Path", ""); }, true},
      {"path variable", [&](Registry& r) { r.SetString(key, "Path", "%SystemDrive%\\Data", REG_EXPAND_SZ_TYPE); },
       true},
  };
  for (const Case& c : cases) {
    machine_.memory.registry.DeleteKey(k9xShares);
    c.set(machine_.memory.registry);
    const Strings expected = c.good ? Strings{} : Strings{"SHARE", ""};
    EXPECT_EQ(Scan().list, expected) << c.what;
  }
}

TEST_F(SharedFoldersTest, WalkAndKeyFollowThePlatformFamily) {
  machine_.memory.registry.SetMultiString(kNtShares, "NtShare", UsualShare("C:\\Gone"));
  machine_.memory.registry.SetString(k9xShares + "\\9XSHARE", "Path", "C:\\Gone");
  EXPECT_EQ(Scan().list, (Strings{"NtShare", ""}));
  UseWindows9x();
  EXPECT_EQ(Scan().list, (Strings{"9XSHARE", ""}));
}

TEST_F(SharedFoldersTest, FaultLeavesTheShareAndTheRest) {
  for (bool nt : {true, false}) {
    if (nt) {
      machine_.memory.registry.SetMultiString(kNtShares, "A", UsualShare("C:\\Data"));
      machine_.memory.registry.SetMultiString(kNtShares, "B", UsualShare("C:\\Gone"));
      machine_.memory.registry.SetMultiString(kNtShares, "C", UsualShare("C:\\Gone"));
    } else {
      UseWindows9x();
      machine_.memory.registry.SetString(k9xShares + "\\A", "Path", "C:\\Data");
      machine_.memory.registry.SetString(k9xShares + "\\B", "Path", "C:\\Gone");
      machine_.memory.registry.SetString(k9xShares + "\\C", "Path", "C:\\Gone");
    }
    const ScanOutcome outcome = Scan();
    EXPECT_EQ(outcome.list, (Strings{"B", "C", ""})) << (nt ? "NT" : "9x");
    EXPECT_EQ(outcome.events, 1) << (nt ? "NT" : "9x");
    EXPECT_NE(section_->Registry.CurrentKey(), kNoKey) << (nt ? "NT" : "9x");
  }
}

TEST_F(SharedFoldersTest, CleanScansFireOneEventPerShareAndCloseTheKey) {
  machine_.memory.registry.SetMultiString(kNtShares, "A", UsualShare("C:\\Data"));
  machine_.memory.registry.SetMultiString(kNtShares, "B", UsualShare("D:\\"));
  machine_.memory.registry.SetString(k9xShares + "\\A", "Path", "C:\\Data");
  machine_.memory.registry.SetString(k9xShares + "\\B", "Remark", "");
  machine_.memory.registry.SetString(k9xShares + "\\C", "Path", "D:\\");
  ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 2);
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
  UseWindows9x();
  outcome = Scan();
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 3);
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
}

TEST_F(SharedFoldersTest, CancelledBeforeTheFirstShareLeavesEveryName) {
  for (bool nt : {true, false}) {
    if (nt) {
      machine_.memory.registry.SetMultiString(kNtShares, "A", UsualShare("C:\\Gone"));
      machine_.memory.registry.SetMultiString(kNtShares, "B", UsualShare("C:\\Gone"));
    } else {
      UseWindows9x();
      machine_.memory.registry.SetString(k9xShares + "\\A", "Path", "C:\\Gone");
      machine_.memory.registry.SetString(k9xShares + "\\B", "Path", "C:\\Gone");
    }
    section_ = std::make_unique<TSharedFolders>(machine_.Load());
    section_->Cancelled = true;
    const ScanOutcome outcome = RunScan(*section_);
    EXPECT_EQ(outcome.list, (Strings{"A", "B"})) << (nt ? "NT" : "9x");
    EXPECT_EQ(outcome.events, 0) << (nt ? "NT" : "9x");
    EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey) << (nt ? "NT" : "9x");
  }
}

TEST_F(SharedFoldersTest, MissingKeyIsClean) {
  EXPECT_EQ(Scan().list, Strings{});
  UseWindows9x();
  EXPECT_EQ(Scan().list, Strings{});
}

TEST_F(SharedFoldersTest, FolderLookupRunsQuietlyAndRestoresTheErrorMode) {
  machine_.memory.registry.SetMultiString(kNtShares, "Share", UsualShare("C:\\Data"));
  section_ = std::make_unique<TSharedFolders>(machine_.Load());
  machine_.memory.files.SetErrorMode(0);
  machine_.trace.Clear();
  EXPECT_EQ(RunScan(*section_).list, Strings{});
  EXPECT_EQ(machine_.memory.files.ErrorMode(), 0u);
  // The mode is set before the folder's attributes are read.
  const auto& calls = machine_.trace.Calls();
  ASSERT_FALSE(calls.empty());
  std::size_t lookup = 0;
  while (lookup < calls.size() && calls[lookup].find("C:\\Data") == std::string::npos) ++lookup;
  ASSERT_LT(lookup, calls.size());
  ASSERT_GT(lookup, 0u);
  EXPECT_EQ(calls[lookup - 1], "SetErrorMode 1");
}

}  // namespace
}  // namespace kv::testing
