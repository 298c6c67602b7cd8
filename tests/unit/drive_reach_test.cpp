// Entries that name a drive, judged by what kind of drive it is: a local drive that holds the file, one
// that does not, a drive mapped to a share that does not answer, and a drive the platform knows but
// cannot look into (an installation probed offline whose drive is not mapped). Only the share rule tells
// the network from a drive that cannot be examined: a share on the network is faulty, a share on a drive
// that cannot be examined is not held against the machine. Every other rule takes both as they are.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "scan/cleaner.h"
#include "scan/resolve.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

enum class EDrive { kHolds, kLacks, kShare, kNotExaminable };

const char* DriveName(EDrive drive) {
  switch (drive) {
    case EDrive::kHolds: return "local drive holding the file";
    case EDrive::kLacks: return "local drive without the file";
    case EDrive::kShare: return "drive mapped to a silent share";
    case EDrive::kNotExaminable: return "drive that cannot be examined";
  }
  return "?";
}

// Drive E: of the given kind, holding (when it can) the files and folder the entries name.
void SetUpDrive(MemoryMachine& machine, EDrive drive) {
  MemoryFileSystem& files = machine.memory.files;
  switch (drive) {
    case EDrive::kHolds:
      files.AddFile("E:\\Apps\\tool.exe");
      files.AddFile("E:\\Apps\\shared.dll");
      files.AddFile("E:\\Apps\\server.dll");
      files.AddFile("E:\\Fonts\\face.ttf");
      files.AddFile("E:\\Help\\guide.chm");
      files.AddDirectory("E:\\Data");
      files.SetDriveType('E', kDriveFixed);
      break;
    case EDrive::kLacks:
      files.AddFile("E:\\other.txt");
      files.SetDriveType('E', kDriveFixed);
      break;
    case EDrive::kShare:
      files.SetNetworkUnreachable("E:\\");
      files.SetDriveType('E', kDriveRemote);
      break;
    case EDrive::kNotExaminable: files.SetDriveType('E', kDriveNotExaminable); break;
  }
}

struct Entry {
  std::string section;  // the section that reports the entry when it is faulty
  std::function<void(MemoryRegistry&)> put;
  bool faultyOnShare;  // whether a drive mapped to a share is held against it
};

const std::vector<Entry>& Entries() {
  static const std::vector<Entry> entries = {
      {"TStartUpSectionHKLM",
       [](MemoryRegistry& r) {
         r.SetString("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Tool", "E:\\Apps\\tool.exe /q");
       },
       false},
      {"TSharedDLL",
       [](MemoryRegistry& r) {
         r.SetDword("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", "E:\\Apps\\shared.dll", 1);
       },
       false},
      {"TRegFonts",
       [](MemoryRegistry& r) {
         r.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Face (TrueType)",
                     "E:\\Fonts\\face.ttf");
       },
       false},
      {"TUninstallInfo",
       [](MemoryRegistry& r) {
         const std::string key = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool";
         r.SetString(key, "DisplayName", "Tool");
         r.SetString(key, "UninstallString", "\"E:\\Apps\\tool.exe\" /uninstall");
       },
       false},
      {"TAppPath",
       [](MemoryRegistry& r) {
         r.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tool.exe", "",
                     "E:\\Apps\\tool.exe");
       },
       false},
      {"TSharedFolders",
       [](MemoryRegistry& r) {
         r.SetMultiString("HKLM\\SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\Shares", "Data",
                          {"CSCFlags=0", "MaxUses=4294967295", "Path=E:\\Data", "Permissions=0", "Remark=", "Type=0"});
       },
       true},
      {"THTMLHelp",
       [](MemoryRegistry& r) { r.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\HTML Help", "guide.chm", "E:\\Help"); },
       false},
      {"TClsIdTYPES",
       [](MemoryRegistry& r) {
         r.SetString("HKCR\\CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32", "", "E:\\Apps\\server.dll");
       },
       false},
      {"TFileExtCommands",
       [](MemoryRegistry& r) {
         r.SetString("HKCR\\.abc", "", "abcfile");
         r.SetString("HKCR\\abcfile\\shell\\open\\command", "", "\"E:\\Apps\\tool.exe\" \"%1\"");
       },
       false},
  };
  return entries;
}

// The first faulty section of a full probe, or "" when the machine is clean.
std::string FirstFault(MemoryMachine& machine) {
  TRegistryCleaner cleaner(machine.Load());
  cleaner.Mask = 127;
  cleaner.ScanSections();
  for (const auto& slot : cleaner.Sections())
    if (slot.section->Count() != 0) return slot.section->ClassName();
  return "";
}

TEST(DriveReach, EachRuleJudgesANameByItsDrive) {
  for (const Entry& entry : Entries()) {
    for (EDrive drive : {EDrive::kHolds, EDrive::kLacks, EDrive::kShare, EDrive::kNotExaminable}) {
      MemoryMachine machine;
      SetUpDrive(machine, drive);
      entry.put(machine.memory.registry);
      const bool faulty = drive == EDrive::kLacks || (drive == EDrive::kShare && entry.faultyOnShare);
      EXPECT_EQ(FirstFault(machine), faulty ? entry.section : "") << entry.section << " on a " << DriveName(drive);
    }
  }
}

// Where a name lies, and that a drive that cannot be examined is never searched.
TEST(DriveReach, NamesOnADriveThatCannotBeExaminedAreNeitherSearchedNorFaulty) {
  MemoryMachine machine;
  machine.memory.files.SetDriveType('E', kDriveNotExaminable);
  machine.memory.files.SetDriveType('Z', kDriveRemote);
  machine.memory.files.AddFile("C:\\Apps\\here.exe");
  Engine& engine = machine.Load();
  struct Case {
    std::string name;
    NameReach reach;
  };
  const std::vector<Case> cases = {
      {"E:\\Apps\\gone.exe", NameReach::kNotExaminable},
      {"e:gone.exe", NameReach::kNotExaminable},
      {"\\??\\E:\\Apps\\gone.exe", NameReach::kNotExaminable},
      {"Z:\\Apps\\gone.exe", NameReach::kNetwork},
      {"\\\\server\\share\\gone.exe", NameReach::kNetwork},
      {"C:\\Apps\\here.exe", NameReach::kLocal},
      {"C:\\Apps\\gone.exe", NameReach::kLocal},
      {"gone.exe", NameReach::kLocal},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(ReachOf(engine, c.name)), static_cast<int>(c.reach)) << c.name;
    EXPECT_EQ(IsOnNetwork(engine, c.name), c.reach == NameReach::kNetwork) << c.name;
    if (c.reach != NameReach::kNotExaminable) continue;
    machine.trace.Clear();
    std::string file;
    EXPECT_TRUE(SafeFileExists(engine, c.name)) << c.name;
    EXPECT_TRUE(ExtractFileFromCommand(engine, c.name + " /q", file)) << c.name;
    for (const std::string& call : machine.trace.Calls()) {
      const std::string kind = call.substr(0, call.find(' '));
      EXPECT_TRUE(kind == "DriveType" || kind == "SetErrorMode") << c.name << ": " << call;
    }
  }
}

}  // namespace
}  // namespace kv::testing
