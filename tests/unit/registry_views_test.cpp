// The 32-bit programs' keys of a 64-bit machine (below "Wow6432Node") and the current user's own
// installs: which sections read them, in which order, and how their references are resolved.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scan/resolve.h"
#include "scan/sections/com_classes.h"
#include "scan/sections/fonts.h"
#include "scan/sections/help_files.h"
#include "scan/sections/shared_dlls.h"
#include "scan/sections/startup_run.h"
#include "scan/sections/uninstall.h"
#include "tests/testing/memory_machine.h"
#include "tests/testing/section_scan.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kVersion = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const std::string kVersion32 = "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion";

TEST(Wow32FileName, TheSystemFolderIsItsThirtyTwoBitTwin) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\WINDOWS\\system32\\x.dll", "C:\\WINDOWS\\SysWOW64\\x.dll"},
      {"c:\\windows\\SYSTEM32\\sub\\x.dll", "c:\\windows\\SysWOW64\\sub\\x.dll"},
      {"C:\\WINDOWS\\system32", "C:\\WINDOWS\\SysWOW64"},
      {"C:\\WINDOWS\\system32x\\x.dll", "C:\\WINDOWS\\system32x\\x.dll"},
      {"C:\\WINDOWS\\system32\\drivers\\etc\\hosts", "C:\\WINDOWS\\system32\\drivers\\etc\\hosts"},
      {"C:\\WINDOWS\\system32\\drivers\\x.sys", "C:\\WINDOWS\\SysWOW64\\drivers\\x.sys"},
      {"C:\\WINDOWS\\system32\\spool\\x", "C:\\WINDOWS\\system32\\spool\\x"},
      {"C:\\WINDOWS\\system32\\catroot2\\x", "C:\\WINDOWS\\system32\\catroot2\\x"},
      {"C:\\WINDOWS\\system32\\DriverStore\\x", "C:\\WINDOWS\\system32\\DriverStore\\x"},
      {"C:\\WINDOWS\\Sysnative\\x.dll", "C:\\WINDOWS\\System32\\x.dll"},
      {"C:\\WINDOWS\\notepad.exe", "C:\\WINDOWS\\notepad.exe"},
      {"D:\\WINDOWS\\system32\\x.dll", "D:\\WINDOWS\\system32\\x.dll"},
      {"x.dll", "x.dll"},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(Wow32FileName("C:\\WINDOWS", path), expected) << path;
  EXPECT_EQ(Wow32FileName("", "C:\\WINDOWS\\system32\\x.dll"), "C:\\WINDOWS\\system32\\x.dll");
}

class RegistryViews : public ::testing::Test {
 protected:
  void SetUp() override {
    MemoryRegistry& r = machine_.memory.registry;
    r.SetString(kVersion, "ProgramFilesDir", "C:\\Program Files");
    r.SetString(kVersion, "CommonFilesDir", "C:\\Program Files\\Common Files");
    r.SetString(kVersion, "ProgramFilesDir (x86)", "C:\\Program Files (x86)");
    r.SetString(kVersion, "CommonFilesDir (x86)", "C:\\Program Files (x86)\\Common Files");
    for (const char* file : {"C:\\Program Files (x86)\\Old\\old.exe", "C:\\Program Files (x86)\\Common Files\\c.dll",
                             "C:\\WINDOWS\\SysWOW64\\only32.dll", "C:\\WINDOWS\\system32\\only64.dll",
                             "C:\\Program Files\\New\\new.exe", "C:\\WINDOWS\\system32\\drivers\\etc\\hosts"})
      machine_.memory.files.AddFile(file);
  }

  MemoryRegistry& registry() { return machine_.memory.registry; }
  MemoryMachine machine_;
};

// The Run key of the machine: 64-bit programs first, then the 32-bit ones, each resolved as its programs
// see the machine. The fault's place stays the section's, so the list is read against the right key.
TEST_F(RegistryViews, RunKeyInBothViews) {
  struct Case {
    std::string what;
    std::string run64;  // data of the 64-bit entry "a" (empty: no such entry)
    std::string run32;  // data of the 32-bit entry "b"
    bool faulty;
    bool in32;  // the fault is the 32-bit view's
  };
  const std::vector<Case> cases = {
      {"both sound", "\"C:\\Program Files\\New\\new.exe\"", "%ProgramFiles%\\Old\\old.exe", false, false},
      {"%ProgramFiles% of a 32-bit entry is the (x86) folder", "", "%ProgramFiles%\\Old\\old.exe", false, false},
      {"%CommonProgramFiles% too", "", "rundll32 \"%CommonProgramFiles%\\c.dll\",Run", false, false},
      {"the system folder of a 32-bit entry is SysWOW64", "", "C:\\WINDOWS\\system32\\only32.dll", false, false},
      {"the 64-bit system folder is not the 32-bit entry's", "", "C:\\WINDOWS\\system32\\only64.dll", true, true},
      {"but Sysnative is", "", "C:\\WINDOWS\\Sysnative\\only64.dll", false, false},
      {"shared folders stay shared", "", "C:\\WINDOWS\\system32\\drivers\\etc\\hosts", false, false},
      {"%ProgramFiles% of a 64-bit entry is the 64-bit folder", "%ProgramFiles%\\Old\\old.exe", "", true, false},
      {"a broken 32-bit entry", "\"C:\\Program Files\\New\\new.exe\"", "C:\\Program Files (x86)\\Gone\\gone.exe", true,
       true},
      {"the 64-bit fault comes first", "C:\\gone64.exe", "C:\\gone32.exe", true, false},
  };
  const std::string run = "\\Run";
  for (const Case& c : cases) {
    registry().DeleteKey(kVersion + run);
    registry().DeleteKey(kVersion32 + run);
    registry().CreateKey(kVersion + run);
    if (!c.run64.empty()) registry().SetString(kVersion + run, "a", c.run64, REG_EXPAND_SZ_TYPE);
    if (!c.run32.empty()) registry().SetString(kVersion32 + run, "b", c.run32, REG_EXPAND_SZ_TYPE);
    TStartUpSectionHKLM section(machine_.Load());
    const ScanOutcome outcome = RunScan(section);
    const Strings expected = !c.faulty ? Strings{} : c.in32 ? Strings{"b", ""} : Strings{"a", ""};
    EXPECT_EQ(outcome.list, expected) << c.what;
    const std::string where = c.faulty && c.in32 ? "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"
                                                 : "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    EXPECT_EQ(section.KeyPath, where) << c.what;
    EXPECT_EQ(section.Registry.RootKey(), HKEY_LOCAL_MACHINE_CODE) << c.what;
    EXPECT_FALSE(machine_.engine->WinInfo.Wow32) << c.what << ": the view goes back to 64-bit";
  }
}

using Maker = std::function<std::unique_ptr<TNamedRegStringList>(Engine&)>;
template <class Section>
Maker Make() {
  return [](Engine& engine) { return std::make_unique<Section>(engine); };
}

// Every section whose key the machine keeps apart for 32-bit programs reads that key after its own, and
// the uninstall and font sections read the current user's key last. Each case plants one fault in one
// place and expects the section to find it there, with the section left at that place.
TEST_F(RegistryViews, EachSectionFindsAFaultInEachOfItsPlaces) {
  const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  const std::string uninstall32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  const std::string fonts = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
  const std::string shared32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  const std::string help32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\Help";
  const std::string clsid32 = "Wow6432Node\\CLSID";
  const std::string classId = "{0b3a3e5c-7d1f-4c2a-9e88-1234567890ab}";
  struct Case {
    std::string what;
    std::string key;    // where the fault is planted, with its root
    std::string value;  // its name
    std::string data;
    Maker make;
    std::uint32_t root;
    std::string keyPath;
    Strings list;
  };
  const std::vector<Case> cases = {
      {"a 32-bit program's uninstall entry",
       "HKLM\\" + uninstall32 + "\\App",
       "UninstallString",
       "C:\\Gone\\unins000.exe",
       Make<TUninstallInfo>(),
       HKEY_LOCAL_MACHINE_CODE,
       uninstall32,
       {"App", ""}},
      {"a per-user uninstall entry",
       "HKCU\\" + uninstall + "\\App",
       "UninstallString",
       "C:\\Gone\\unins000.exe",
       Make<TUninstallInfo>(),
       HKEY_CURRENT_USER_CODE,
       uninstall,
       {"App", ""}},
      {"a per-user font",
       "HKCU\\" + fonts,
       "Mine (TrueType)",
       "C:\\Users\\u\\AppData\\Local\\Microsoft\\Windows\\Fonts\\gone.ttf",
       Make<TRegFonts>(),
       HKEY_CURRENT_USER_CODE,
       fonts,
       {"Mine (TrueType)", ""}},
      {"a 32-bit shared DLL",
       "HKLM\\" + shared32,
       "C:\\WINDOWS\\system32\\only64.dll",
       "",
       Make<TSharedDLL>(),
       HKEY_LOCAL_MACHINE_CODE,
       shared32,
       {"C:\\WINDOWS\\system32\\only64.dll", ""}},
      {"a 32-bit help file",
       "HKLM\\" + help32,
       "gone.hlp",
       "C:\\Help",
       Make<TWinHelp>(),
       HKEY_LOCAL_MACHINE_CODE,
       help32,
       {"gone.hlp", ""}},
      {"a 32-bit class",
       "HKCR\\" + clsid32 + "\\" + classId + "\\InprocServer32",
       "",
       "C:\\Gone\\x.dll",
       Make<TClsIdTYPES>(),
       HKEY_CLASSES_ROOT_CODE,
       clsid32,
       {"HKEY_CLASSES_ROOT\\" + clsid32 + "\\" + classId + "\\InProcServer32"}},
  };
  for (const Case& c : cases) {
    MemoryMachine machine;
    machine.memory.files.AddFile("C:\\WINDOWS\\system32\\only64.dll");
    machine.memory.files.AddDirectory("C:\\Help");
    // Sound entries in the places read before, so that the section must go on to the planted one.
    machine.memory.registry.SetString("HKLM\\" + uninstall + "\\Ok", "DisplayName", "Ok");
    machine.memory.registry.SetString("HKLM\\" + fonts, "Ok", "");
    machine.memory.registry.SetString(kVersion + "\\SharedDLLs", "C:\\WINDOWS\\system32\\only64.dll", "");
    if (c.key.find("Uninstall") != std::string::npos) machine.memory.registry.SetString(c.key, "DisplayName", "App");
    machine.memory.registry.SetString(c.key, c.value, c.data);
    std::unique_ptr<TNamedRegStringList> section = c.make(machine.Load());
    EXPECT_EQ(RunScan(*section).list, c.list) << c.what;
    EXPECT_EQ(section->Registry.RootKey(), c.root) << c.what;
    EXPECT_EQ(section->KeyPath, c.keyPath) << c.what;
  }
}

}  // namespace
}  // namespace kv::testing
