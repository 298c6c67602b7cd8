// The Startup group: the machine's and the user's Run keys, and the shortcuts of the startup folders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/cleaner.h"
#include "scan/sections/startup_folders.h"
#include "scan/sections/startup_run.h"
#include "scan/shell.h"
#include "tests/testing/memory_machine.h"
#include "tests/testing/section_test.h"
#include "tests/testing/world.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kHklmRun = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kHkcuRun = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class StartupTest : public SectionTest {
 protected:
  void SetUp() override {
    memory_.files.AddFile("C:\\WINDOWS\\notepad.exe");
    memory_.files.AddFile("C:\\Program Files\\App\\app.exe");
    memory_.registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                               "C:\\Program Files");
  }

  // Runs `section`'s scan and counts its progress events.
  int Scan(TNamedRegStringList& section) { return SectionTest::Scan(section).events; }
};

TEST_F(StartupTest, RunValues) {
  struct Case {
    const char* what;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    bool faulty;
  };
  auto text = [](const std::string& s) { return Utf16Bytes(s); };
  const std::vector<Case> cases = {
      {"a DWORD, whatever its number", REG_DWORD_TYPE, {0, 0, 0, 0}, true},
      {"a big-endian DWORD", REG_DWORD_BIG_ENDIAN_TYPE, {0, 0, 0, 1}, true},
      {"an empty REG_SZ", REG_SZ_TYPE, text(""), false},
      {"rundll32 with a missing DLL", REG_SZ_TYPE, text("rundll32.exe C:\\gone\\gone.dll,Run"), false},
      {"a quoted long path with arguments", REG_SZ_TYPE, text("\"C:\\Program Files\\App\\app.exe\" -tray"), false},
      {"a missing full path", REG_SZ_TYPE, text("C:\\Program Files\\App\\gone.exe"), true},
      {"%ProgramFiles% expanded", REG_EXPAND_SZ_TYPE, text("%PROGRAMFILES%\\App\\app.exe"), false},
      {"%windir% searched as written", REG_EXPAND_SZ_TYPE, text("%windir%\\notepad.exe"), true},
      {"a REG_BINARY path with its NUL",
       REG_BINARY_TYPE,
       {'C', ':', '\\', 'W', 'I', 'N', 'D', 'O', 'W', 'S', '\\', 'n',
        'o', 't', 'e',  'p', 'a', 'd', '.', 'e', 'x', 'e', 0},
       false},
  };
  for (const Case& c : cases) {
    MemoryMachine machine;
    machine.memory.files.AddFile("C:\\WINDOWS\\notepad.exe");
    machine.memory.files.AddFile("C:\\Program Files\\App\\app.exe");
    machine.memory.registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                                      "C:\\Program Files");
    machine.memory.registry.SetValue(kHklmRun, "Entry", c.type, c.data);
    TStartUpSectionHKLM section(machine.Load());
    const int events = Scan(section);
    EXPECT_EQ(section.Strings(), c.faulty ? (Strings{"Entry", ""}) : Strings{}) << c.what;
    EXPECT_EQ(events, c.faulty ? 0 : 1) << c.what;
  }
}

TEST_F(StartupTest, EmptyOrMissingRunKey) {
  memory_.registry.CreateKey(kHkcuRun);
  Engine& engine = Load();
  TStartUpSectionHKLM missing(engine);
  EXPECT_EQ(Scan(missing), 0);
  EXPECT_EQ(missing.Count(), 0);

  TStartUpSectionHKCU empty(engine);
  EXPECT_EQ(Scan(empty), 0);
  EXPECT_EQ(empty.Count(), 0);
}

TEST_F(StartupTest, StopsAtTheFirstFaultyEntry) {
  memory_.registry.SetString(kHklmRun, "a", "C:\\WINDOWS\\notepad.exe");
  memory_.registry.SetString(kHklmRun, "b", "C:\\gone.exe");
  memory_.registry.SetString(kHklmRun, "c", "C:\\WINDOWS\\notepad.exe");
  TStartUpSectionHKLM section(Load());
  EXPECT_EQ(Scan(section), 1);
  EXPECT_EQ(section.Strings(), (Strings{"b", "c", ""}));
  EXPECT_EQ(section.Count(), 3);
  EXPECT_NE(section.Registry.CurrentKey(), kNoKey) << "the key stays open after a fault";

  // A second scan starts afresh.
  memory_.registry.SetString(kHklmRun, "b", "notepad");
  EXPECT_EQ(Scan(section), 3);
  EXPECT_EQ(section.Count(), 0);
  EXPECT_EQ(section.Registry.CurrentKey(), kNoKey);
}

TEST_F(StartupTest, EachSectionReadsItsOwnRoot) {
  memory_.registry.SetString(kHklmRun, "machine", "C:\\WINDOWS\\notepad.exe");
  memory_.registry.SetString(kHkcuRun, "user", "C:\\gone.exe");
  Engine& engine = Load();

  TStartUpSectionHKLM machineSection(engine);
  EXPECT_EQ(machineSection.Registry.RootKey(), HKEY_LOCAL_MACHINE_CODE);
  Scan(machineSection);
  EXPECT_EQ(machineSection.Count(), 0);

  // The user's section selects HKEY_CURRENT_USER again at every scan.
  TStartUpSectionHKCU userSection(engine);
  userSection.Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
  Scan(userSection);
  EXPECT_EQ(userSection.Strings(), (Strings{"user", ""}));
  EXPECT_EQ(userSection.Registry.RootKey(), HKEY_CURRENT_USER_CODE);
}

TEST_F(StartupTest, RunKeyStopRequests) {
  for (const char* name : {"a", "b", "c"}) memory_.registry.SetString(kHkcuRun, name, "C:\\WINDOWS\\notepad.exe");
  Engine& engine = Load();
  TStartUpSectionHKCU section(engine);
  section.OnItemChecked = [&](EngineObject&) { section.Cancelled = true; };
  section.Scan();
  EXPECT_EQ(section.Strings(), (Strings{"b", "c"})) << "the entry in progress is finished, the rest stay";
  EXPECT_EQ(section.Registry.CurrentKey(), kNoKey);

  section.Cancelled = false;
  engine.ShuttingDown = true;
  section.OnItemChecked = nullptr;
  section.Scan();
  EXPECT_EQ(section.Strings(), (Strings{"a", "b", "c"}));
}

// --- Startup folders -----------------------------------------------------------------------------

class StartupFolderTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    memory_.files.AddDirectory("C:\\Start\\Folder");
    memory_.files.AddDirectory("C:\\Common");
  }
  void AddShortcut(const std::string& link, const std::string& target, std::uint32_t attributes = kAttrArchive) {
    memory_.files.AddFile(link, attributes);
    memory_.system.SetShortcut(link, target);
  }
  Engine& LoadWith(const Strings& folders) {
    Engine& engine = Load();
    engine.StartupFolders = folders;
    return engine;
  }
};

TEST_F(StartupFolderTest, NoFoldersOrEmptyOnes) {
  Engine& engine = LoadWith({});
  TStartUpSectionSL section(engine);
  EXPECT_EQ(Scan(section), 0);
  EXPECT_EQ(section.Count(), 0);
  engine.StartupFolders = {"C:\\Start", "C:\\Common", "C:\\Missing"};
  Scan(section);
  EXPECT_EQ(section.Count(), 0);
}

TEST_F(StartupFolderTest, TheFirstBrokenShortcutIsReported) {
  AddShortcut("C:\\Start\\a good.lnk", "C:\\Program Files\\App\\app.exe");
  AddShortcut("C:\\Start\\b deleted.lnk", "C:\\Program Files\\Gone\\gone.exe");
  TStartUpSectionSL section(LoadWith({"C:\\Start"}));
  Scan(section);
  EXPECT_EQ(section.Strings(), Strings{"C:\\Start\\b deleted.lnk"});
}

TEST_F(StartupFolderTest, WhichEntriesAreExamined) {
  struct Case {
    const char* what;
    std::string name;
    std::string target;
    std::uint32_t attributes;
    bool faulty;
  };
  const std::string gone = "C:\\gone.exe";
  const std::vector<Case> cases = {
      {"upper-case extension", "X.LNK", gone, kAttrArchive, true},
      {"read-only, hidden, system", "x.lnk", gone, kAttrReadOnly | kAttrHidden | kAttrSystem, true},
      {"a shortcut to a folder", "x.lnk", "C:\\Program Files\\App", kAttrArchive, true},
      // A shell item without a file-system path (a packaged application) names no file that could be gone.
      {"a shortcut to no file-system path", "x.lnk", "", kAttrArchive, false},
      {"a shortcut to a program that exists", "x.lnk", "C:\\WINDOWS\\notepad.exe", kAttrArchive, false},
      {"only FILE_ATTRIBUTE_NORMAL", "x.lnk", gone, kAttrNormal, false},
      {"compressed", "x.lnk", gone, kAttrArchive | kAttrCompressed, false},
      {"temporary", "x.lnk", gone, kAttrArchive | kAttrTemporary, false},
      {"another extension", "x.pif", gone, kAttrArchive, false},
      {"a longer extension", "x.lnk.bak", gone, kAttrArchive, false},
      {"no extension", "lnk", gone, kAttrArchive, false},
  };
  for (const Case& c : cases) {
    MemoryMachine machine;
    machine.memory.files.AddFile("C:\\WINDOWS\\notepad.exe");
    machine.memory.files.AddDirectory("C:\\Program Files\\App");
    machine.memory.files.AddFile("C:\\Start\\" + c.name, c.attributes);
    machine.memory.system.SetShortcut("C:\\Start\\" + c.name, c.target);
    Engine& engine = machine.Load();
    engine.StartupFolders = {"C:\\Start"};
    TStartUpSectionSL section(engine);
    section.Scan();
    EXPECT_EQ(section.Strings(), c.faulty ? Strings{"C:\\Start\\" + c.name} : Strings{}) << c.what;
  }
}

TEST_F(StartupFolderTest, OnlyShortcutsDirectlyInsideAFolder) {
  AddShortcut("C:\\Start\\Folder\\deep.lnk", "C:\\gone.exe");
  memory_.files.AddDirectory("C:\\Start\\dir.lnk");
  TStartUpSectionSL section(LoadWith({"C:\\Start\\"}));
  Scan(section);
  EXPECT_EQ(section.Count(), 0);
  for (const std::string& call : trace_.Calls())
    EXPECT_EQ(call.find("\\\\*.*"), std::string::npos) << "a folder given with its backslash: " << call;
}

// An unreadable shortcut is faulty on its own, even after a good one.
TEST_F(StartupFolderTest, UnreadableShortcutAfterAGoodOne) {
  AddShortcut("C:\\Start\\a good.lnk", "C:\\WINDOWS\\notepad.exe");
  memory_.files.AddFile("C:\\Start\\b unreadable.lnk");
  memory_.system.SetUnreadableShortcut("C:\\Start\\b unreadable.lnk");
  TStartUpSectionSL section(LoadWith({"C:\\Start"}));
  Scan(section);
  EXPECT_EQ(section.Strings(), Strings{"C:\\Start\\b unreadable.lnk"});
}

TEST_F(StartupFolderTest, FoldersInOrderAndStopRequests) {
  AddShortcut("C:\\Start\\a.lnk", "C:\\WINDOWS\\notepad.exe");
  AddShortcut("C:\\Start\\b.lnk", "C:\\WINDOWS\\notepad.exe");
  AddShortcut("C:\\Common\\broken.lnk", "C:\\gone.exe");
  {
    TStartUpSectionSL section(LoadWith({"C:\\Start", "C:\\Common"}));
    Scan(section);
    EXPECT_EQ(section.Strings(), Strings{"C:\\Common\\broken.lnk"});
  }
  // A stop request made while the first folder is searched takes effect at the next folder.
  TStartUpSectionSL section(LoadWith({"C:\\Start", "C:\\Common"}));
  int events = 0;
  section.OnItemChecked = [&](EngineObject&) {
    if (++events == 3) section.Cancelled = true;
  };
  trace_.Clear();
  section.Scan();
  EXPECT_EQ(section.Count(), 0);
  bool searchedFirst = false;
  for (const std::string& call : trace_.Calls()) {
    if (call.find("C:\\Start\\*.*") != std::string::npos) searchedFirst = true;
    EXPECT_EQ(call.find("C:\\Common"), std::string::npos) << call;
  }
  EXPECT_TRUE(searchedFirst);
  EXPECT_GT(events, 3) << "the first folder is finished";
}

TEST_F(StartupFolderTest, WithoutTheShellLinkObjectTheScanRaises) {
  AddShortcut("C:\\Start\\a.lnk", "C:\\WINDOWS\\notepad.exe");
  memory_.system.SetShellLinkAvailable(false);
  TStartUpSectionSL section(LoadWith({"C:\\Start"}));
  EXPECT_THROW(section.Scan(), ShellLinkError);
}

// --- In the driver -------------------------------------------------------------------------------

TEST_F(StartupTest, TheStartupGroupOfTheDriver) {
  Engine& engine = Load();
  TRegistryCleaner cleaner(engine);
  Strings startup;
  for (const auto& slot : cleaner.Sections())
    if (slot.bit == 1) startup.push_back(slot.section->ClassName());
  EXPECT_EQ(startup, (Strings{"TStartUpSectionHKLM", "TStartUpSectionHKCU", "TStartUpSectionSL"}));

  cleaner.Mask = 1;
  EXPECT_EQ(cleaner.ScanSections(), 0);
  memory_.registry.SetDword(kHkcuRun, "number", 1);
  EXPECT_EQ(cleaner.ScanSections(), 2) << "the user's Run key: the faulty name and the marker";
}

}  // namespace
}  // namespace kv::testing
