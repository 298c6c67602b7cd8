// The offline platform over a scratch installation: the hives where Windows keeps them, the registry laid
// out as a running system shows it, the user chosen from the profiles, and the system built from the hives
// as logon builds it.
#include "platform/offline/offline_platform.h"

#include <cstring>

#include <gtest/gtest.h>

#include "platform/handles.h"
#include "tests/offline/offline_fixture.h"
#include "tests/testing/handle_audit.h"

namespace kv::offline {
namespace {

constexpr const char* kAlice = "S-1-5-21-1-2-3-1001";
constexpr const char* kBob = "S-1-5-21-1-2-3-1002";
constexpr const char* kProfiles = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

class OfflinePlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    software_.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", "C:\\WINDOWS");
    software_.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentBuildNumber", "19045");
    software_.SetDword("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentMajorVersionNumber", 10);
    software_.SetDword("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentMinorVersionNumber", 0);
    software_.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "C:\\Program Files");
    software_.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir (x86)",
                        "C:\\Program Files (x86)");
    software_.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir",
                        "C:\\Program Files\\Common Files");
    software_.SetString(kProfiles, "ProgramData", "%SystemDrive%\\ProgramData", REG_EXPAND_SZ_TYPE);
    software_.SetString(std::string(kProfiles) + "\\S-1-5-18", "ProfileImagePath",
                        "%systemroot%\\system32\\config\\systemprofile", REG_EXPAND_SZ_TYPE);
    software_.SetString(std::string(kProfiles) + "\\" + kAlice, "ProfileImagePath", "%SystemDrive%\\Users\\Alice",
                        REG_EXPAND_SZ_TYPE);
    software_.SetString("HKLM\\SOFTWARE\\Classes\\.txt", "", "txtfile");
    software_.SetString("HKLM\\SOFTWARE\\Classes\\.doc", "", "machine.doc");
    system_.SetDword("HKLM\\SYSTEM\\Select", "Current", 2);
    system_.SetString("HKLM\\SYSTEM\\ControlSet001\\Control\\Session Manager\\Environment", "Path", "C:\\old");
    const std::string environment = "HKLM\\SYSTEM\\ControlSet002\\Control\\Session Manager\\Environment";
    system_.SetString(environment, "Path", "%SystemRoot%\\system32;%SystemRoot%", REG_EXPAND_SZ_TYPE);
    system_.SetString(environment, "windir", "%SystemRoot%", REG_EXPAND_SZ_TYPE);
    system_.SetString(environment, "PATHEXT", ".COM;.EXE;.BAT");
    system_.SetString(environment, "TEMP", "%SystemRoot%\\TEMP", REG_EXPAND_SZ_TYPE);
    system_.SetString("HKLM\\SYSTEM\\ControlSet002\\Control\\Nls\\CodePage", "ACP", "1252");
    alice_.SetString("HKCU\\Environment", "Path", "%USERPROFILE%\\bin", REG_EXPAND_SZ_TYPE);
    alice_.SetString("HKCU\\Environment", "TEMP", "%USERPROFILE%\\AppData\\Local\\Temp", REG_EXPAND_SZ_TYPE);
    alice_.SetString("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", "AppData",
                     "%USERPROFILE%\\AppData\\Roaming", REG_EXPAND_SZ_TYPE);
    alice_.SetString("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Tool", "C:\\tool.exe");
    aliceClasses_.SetString("HKCU\\Software\\Classes\\.doc", "", "user.doc");
    aliceClasses_.SetString("HKCU\\Software\\Classes\\user.doc\\shell\\open\\command", "", "C:\\editor.exe");
  }

  // Writes the hives into the tree (Alice's, and Bob's when he has a profile).
  void Write() {
    const std::string config = tree_.Add("Windows/System32/config");
    test::WriteHive(software_, HKEY_LOCAL_MACHINE_CODE, "SOFTWARE", config + "/SOFTWARE");
    test::WriteHive(system_, HKEY_LOCAL_MACHINE_CODE, "SYSTEM", config + "/SYSTEM");
    test::WriteHive(alice_, HKEY_CURRENT_USER_CODE, "", tree_.Add("Users/Alice") + "/NTUSER.DAT");
    test::WriteHive(aliceClasses_, HKEY_CURRENT_USER_CODE, "Software\\Classes",
                    tree_.Add("Users/Alice/AppData/Local/Microsoft/Windows") + "/UsrClass.dat");
    MemoryRegistry bob;
    bob.SetString("HKCU\\Environment", "Who", "Bob");
    test::WriteHive(bob, HKEY_CURRENT_USER_CODE, "", tree_.Add("Users/Bob") + "/NTUSER.DAT");
  }

  std::string Text(RegistryApi& registry, std::uint32_t root, const std::string& path, const std::string& name) {
    RegKey raw = kNoKey;
    if (registry.OpenKey(root, path, kKeyQueryValue, &raw) != kErrorSuccess) return "(no key)";
    UniqueRegKey key(registry, raw);
    char data[512];
    std::uint32_t type = 0, size = sizeof data;
    if (registry.QueryValue(key.get(), name, &type, reinterpret_cast<std::uint8_t*>(data), &size) != kErrorSuccess)
      return "(no value)";
    return std::string(data, size).c_str();
  }

  test::ScratchFolder tree_;
  MemoryRegistry software_, system_, alice_, aliceClasses_;
};

TEST_F(OfflinePlatformTest, TheRegistryAsARunningSystemShowsIt) {
  Write();
  OfflinePlatform machine;
  std::string error;
  ASSERT_TRUE(machine.Open(OfflineOptions{tree_.path(), "", {}}, &error)) << error;
  EXPECT_EQ(machine.userName(), "Alice");
  EXPECT_EQ(machine.userSid(), kAlice);
  EXPECT_FALSE(machine.dirty());
  EXPECT_TRUE(machine.warnings().empty());
  struct Case {
    std::uint32_t root;
    const char* path;
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      // The control set Select names.
      {HKEY_LOCAL_MACHINE_CODE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", "ACP", "1252"},
      {HKEY_LOCAL_MACHINE_CODE, "SYSTEM\\ControlSet001\\Control\\Session Manager\\Environment", "Path", "C:\\old"},
      {HKEY_CURRENT_USER_CODE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Tool", "C:\\tool.exe"},
      // The user's classes: their own, and over the machine's (the user's win).
      {HKEY_CURRENT_USER_CODE, "Software\\Classes\\.doc", "", "user.doc"},
      {HKEY_CLASSES_ROOT_CODE, ".doc", "", "user.doc"},
      {HKEY_CLASSES_ROOT_CODE, ".txt", "", "txtfile"},
      {HKEY_CLASSES_ROOT_CODE, "user.doc\\shell\\open\\command", "", "C:\\editor.exe"},
  };
  testing::HandleAudit audit(machine.platform());
  for (const Case& c : cases)
    EXPECT_EQ(Text(audit.platform().registry, c.root, c.path, c.name), c.value) << c.path << " " << c.name;
  EXPECT_EQ(audit.OpenKeys(), 0u);
}

TEST_F(OfflinePlatformTest, TheSystemAsLogonBuildsIt) {
  Write();
  OfflinePlatform machine;
  std::string error;
  ASSERT_TRUE(machine.Open(OfflineOptions{tree_.path(), "alice", {}}, &error)) << error;
  struct Case {
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {"SystemRoot", "C:\\WINDOWS"},
      {"SystemDrive", "C:"},
      {"windir", "C:\\WINDOWS"},
      {"ProgramFiles", "C:\\Program Files"},
      {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
      {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
      {"ProgramData", "C:\\ProgramData"},
      {"ALLUSERSPROFILE", "C:\\ProgramData"},
      {"USERPROFILE", "C:\\Users\\Alice"},
      {"USERNAME", "Alice"},
      {"HOMEDRIVE", "C:"},
      {"HOMEPATH", "\\Users\\Alice"},
      {"APPDATA", "C:\\Users\\Alice\\AppData\\Roaming"},
      {"LOCALAPPDATA", "C:\\Users\\Alice\\AppData\\Local"},
      {"PATHEXT", ".COM;.EXE;.BAT"},
      // The user's Path follows the machine's; the user's TEMP replaces it.
      {"Path", "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\Users\\Alice\\bin"},
      {"TEMP", "C:\\Users\\Alice\\AppData\\Local\\Temp"},
  };
  for (const Case& c : cases) {
    std::string value = "(unset)";
    machine.system.GetEnvironment(c.name, &value);
    EXPECT_EQ(value, c.value) << c.name;
  }
  EXPECT_EQ(machine.system.WindowsDirectory(), "C:\\WINDOWS");
  EXPECT_EQ(machine.system.SystemDirectory(), "C:\\WINDOWS\\system32");
  OsVersion version;
  ASSERT_TRUE(machine.system.Version(&version));
  EXPECT_EQ(version.platformId, kPlatformWin32NT);
  EXPECT_EQ(version.major, 10u);
  EXPECT_EQ(version.minor, 0u);
  EXPECT_EQ(version.build, 19045u);
  std::string folder;
  ASSERT_TRUE(machine.system.GetSpecialFolder(kCsidlStartup, &folder));
  EXPECT_EQ(folder, "C:\\Users\\Alice\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup");
  ASSERT_TRUE(machine.system.GetSpecialFolder(kCsidlCommonStartup, &folder));
  EXPECT_EQ(folder, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp");
  ASSERT_TRUE(machine.system.GetSpecialFolder(kCsidlFonts, &folder));
  EXPECT_EQ(folder, "C:\\WINDOWS\\Fonts");
  EXPECT_FALSE(machine.system.IsMultiByteCodePage());
}

TEST_F(OfflinePlatformTest, TheUserIsChosenFromTheProfiles) {
  software_.SetString(std::string(kProfiles) + "\\" + kBob, "ProfileImagePath", "C:\\Users\\Bob", REG_EXPAND_SZ_TYPE);
  Write();
  struct Case {
    const char* user;
    const char* chosen;  // or the start of the error
  };
  const Case cases[] = {
      {"",
       "the installation has 2 user profiles: choose one with --user NAME:\n  Alice  (S-1-5-21-1-2-3-1001, "
       "%SystemDrive%\\Users\\Alice)\n  Bob  (S-1-5-21-1-2-3-1002, C:\\Users\\Bob)"},
      {"BOB", "Bob"},
      {kAlice, "Alice"},
      {"carol", "no user profile named \"carol\"; the profiles are:\n  Alice"},
      {"S-1-5-18", "no user profile named \"S-1-5-18\""},
  };
  for (const Case& c : cases) {
    OfflinePlatform machine;
    std::string error;
    if (machine.Open(OfflineOptions{tree_.path(), c.user, {}}, &error)) {
      EXPECT_EQ(machine.userName(), c.chosen) << c.user;
    } else {
      EXPECT_EQ(error.compare(0, std::string(c.chosen).size(), c.chosen), 0) << c.user << ": " << error;
    }
  }
}

TEST_F(OfflinePlatformTest, WhatCannotBeRead) {
  // Nothing there; a tree without hives; a damaged SYSTEM hive; a profile without its hive.
  OfflinePlatform none;
  std::string error;
  EXPECT_FALSE(none.Open(OfflineOptions{tree_.path() + "/nowhere", "", {}}, &error));
  EXPECT_EQ(error, tree_.path() + "/nowhere: No such file or directory");

  OfflinePlatform empty;
  EXPECT_FALSE(empty.Open(OfflineOptions{tree_.path(), "", {}}, &error));
  EXPECT_EQ(error, tree_.path() + " does not hold an installation of Windows: no Windows\\System32\\config\\SOFTWARE");

  Write();
  const std::string systemHive = tree_.path() + "/Windows/System32/config/SYSTEM";
  const std::string good = test::ReadAll(systemHive);
  test::WriteAll(systemHive, good.substr(0, 4096) + std::string(good.size() - 4096, '\xEE'));
  OfflinePlatform damaged;
  EXPECT_FALSE(damaged.Open(OfflineOptions{tree_.path(), "", {}}, &error));
  EXPECT_EQ(error, systemHive + ": the hive is damaged or not a registry hive");
  test::WriteAll(systemHive, good);

  ::unlink((tree_.path() + "/Users/Alice/NTUSER.DAT").c_str());
  OfflinePlatform noUserHive;
  EXPECT_FALSE(noUserHive.Open(OfflineOptions{tree_.path(), "", {}}, &error));
  EXPECT_EQ(error, "the NTUSER.DAT hive cannot be read: C:\\Users\\Alice\\NTUSER.DAT is missing or unreadable");

  // Another drive, and the system drive given twice.
  OfflinePlatform twice;
  EXPECT_FALSE(twice.Open(OfflineOptions{tree_.path(), "", {{'c', tree_.path()}}}, &error));
  EXPECT_EQ(error, "drive C: is the installation's own (" + tree_.path() + ")");
}

TEST_F(OfflinePlatformTest, DirtyHivesAreReported) {
  Write();
  // A hive whose last write did not end: the second sequence number lags (the checksum is made good again,
  // as Windows leaves such a hive).
  const std::string path = tree_.path() + "/Users/Alice/AppData/Local/Microsoft/Windows/UsrClass.dat";
  std::string bytes = test::ReadAll(path);
  bytes[8] = static_cast<char>(bytes[8] - 1);
  std::uint32_t sum = 0;
  for (int i = 0; i < 508; i += 4) {
    std::uint32_t word = 0;
    std::memcpy(&word, bytes.data() + i, 4);
    sum ^= word;
  }
  std::memcpy(&bytes[508], &sum, 4);
  test::WriteAll(path, bytes);
  OfflinePlatform machine;
  std::string error;
  ASSERT_TRUE(machine.Open(OfflineOptions{tree_.path(), "", {}}, &error)) << error;
  EXPECT_TRUE(machine.dirty());
  ASSERT_EQ(machine.warnings().size(), 1u);
  EXPECT_NE(machine.warnings()[0].find("UsrClass.dat: the hive was not closed cleanly"), std::string::npos)
      << machine.warnings()[0];
}

}  // namespace
}  // namespace kv::offline
