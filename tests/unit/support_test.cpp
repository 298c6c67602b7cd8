// Root-key names, the drive of a path and the system information gathered at load.
#include <gtest/gtest.h>

#include "support/reg_utils.h"
#include "support/text.h"
#include "support/win_info.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

TEST(RootKeyToString, NamesThePredefinedKeys) {
  const std::vector<std::pair<std::uint32_t, std::string>> cases = {
      {0x80000000u, "HKEY_CLASSES_ROOT"},
      {0x80000001u, "HKEY_CURRENT_USER"},
      {0x80000002u, "HKEY_LOCAL_MACHINE"},
      {0x80000003u, "HKEY_USERS"},
      {0x80000004u, "HKEY_PERFORMANCE_DATA"},
      {0x80000005u, "HKEY_CURRENT_CONFIG"},
      {0x80000006u, "HKEY_DYN_DATA"},
      {0x80000007u, "unchanged"},
      {0u, "unchanged"},
  };
  for (const auto& [root, expected] : cases) {
    std::string name = "unchanged";
    RootKeyToString(root, name);
    EXPECT_EQ(name, expected) << std::hex << root;
  }
}

// The full name of a key, as the memory registry's fixtures and the tools' reports take it, parses back to
// the key it names.
TEST(RootKeyPath, TheRootAndThePathBelowIt) {
  const struct {
    std::uint32_t root;
    const char* path;
    const char* expected;
  } cases[] = {
      {HKEY_LOCAL_MACHINE_CODE, "SOFTWARE\\Classes", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"},
      {HKEY_CLASSES_ROOT_CODE, ".txt", "HKEY_CLASSES_ROOT\\.txt"},
      {HKEY_CURRENT_USER_CODE, "", "HKEY_CURRENT_USER"},
      {HKEY_USERS_CODE, "S-1-5-18", "HKEY_USERS\\S-1-5-18"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RootKeyPath(c.root, c.path), c.expected) << std::hex << c.root << " " << c.path;
    MemoryRegistry registry;
    registry.SetDword(RootKeyPath(c.root, c.path), "v", 1);
    RegKey key = kNoKey;
    EXPECT_EQ(registry.OpenKey(c.root, c.path, kKeyQueryValue, &key), kErrorSuccess) << c.expected;
    registry.CloseKey(key);
  }
}

TEST(WinInfo, DriveOfAPath) {
  const std::vector<std::pair<std::string, std::string>> cases = {{"C:\\WINDOWS", "C:"},
                                                                  {"d:", "d:"},
                                                                  {"\\\\server\\share\\windows", "\\\\server\\share"},
                                                                  {"\\\\server\\share", "\\\\server\\share"},
                                                                  {"\\\\server", "\\\\server"},
                                                                  {"WINDOWS", ""},
                                                                  {"", ""}};
  for (const auto& [path, drive] : cases) EXPECT_EQ(ExtractFileDrive(path), drive) << path;
}

TEST(WinInfo, GathersFoldersOnce) {
  MemoryMachine machine;
  machine.memory.system.SetWindowsDirectory("E:\\WINNT");
  const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  machine.memory.registry.SetString(key, "ProgramFilesDir", "%SystemDrive%\\Program Files", REG_EXPAND_SZ_TYPE);
  machine.memory.registry.SetString(key, "CommonFilesDir", "%ProgramFiles%\\Common Files");
  TWinInfo info(machine.memory.platform());
  EXPECT_EQ(info.SystemRoot, "E:\\WINNT");
  EXPECT_EQ(info.SystemDrive, "E:");
  EXPECT_EQ(info.ProgramFiles, "E:\\Program Files");
  EXPECT_EQ(info.CommonFiles, "E:\\Program Files\\Common Files");
}

TEST(WinInfo, MissingFoldersStayEmpty) {
  MemoryMachine machine;
  TWinInfo info(machine.memory.platform());
  EXPECT_EQ(info.ProgramFiles, "");
  EXPECT_EQ(info.CommonFiles, "");
  machine.memory.registry.SetString("HKCU\\Software\\T", "v", "%ProgramFiles%\\x;%UserProfile%");
  TRegistry reg(machine.memory.platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\T"));
  EXPECT_EQ(info.ReadExpandedValue("v", reg), "\\x;") << "unset USERPROFILE and folder give empty text";
}

// A short value naming a long folder many times grows no further than kLongestExpandedText; a longer value
// read as it stands is never cut, and the replacements before the limit are whole.
TEST(WinInfo, ExpansionStopsAtItsLimit) {
  MemoryMachine machine;
  const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  machine.memory.registry.SetString(key, "ProgramFilesDir", std::string(32000, 'p'));
  TWinInfo info(machine.memory.platform());
  std::string many;
  for (int i = 0; i < 50000; ++i) many += "%ProgramFiles%";  // 700 000 characters
  const std::string longText = std::string(kLongestExpandedText + 10, 'x') + "%ProgramFiles%";
  machine.memory.registry.SetString("HKCU\\Software\\T", "many", many);
  machine.memory.registry.SetString("HKCU\\Software\\T", "long", longText);
  machine.memory.registry.SetString("HKCU\\Software\\T", "few", "a%ProgramFiles%b");
  TRegistry reg(machine.memory.platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\T"));
  EXPECT_EQ(info.ReadExpandedValue("many", reg), std::string(kLongestExpandedText, 'p'));
  EXPECT_EQ(info.ReadExpandedValue("long", reg), std::string(kLongestExpandedText + 10, 'x') + std::string(14, 'p'))
      << "as long as it was read";
  EXPECT_EQ(info.ReadExpandedValue("few", reg), "a" + std::string(32000, 'p') + "b");
  EXPECT_EQ(ReplaceAllIgnoreCase("a%X%b%x%", "%x%", "yy", 4), "ayyb");
  EXPECT_EQ(ReplaceAllIgnoreCase("abc", "", "y", 2), "ab");
}

// Matches are found left to right without overlapping, ASCII letters without regard to case (other bytes
// as they are); the result is cut at the limit wherever it falls.
TEST(ReplaceAllIgnoreCase, Table) {
  struct Case {
    std::string text, from, to;
    std::size_t limit;
    std::string expected;
  };
  const Case cases[] = {
      {"%a%%A%", "%a%", "-", 100, "--"},
      {"%%a%", "%a%", "-", 100, "%-"},
      {"aaa", "aa", "b", 100, "ba"},
      {"x%SystemRoot%", "%systemroot%", "C:\\W", 100, "xC:\\W"},
      {"\xC3\xA9%\xC3\x89%", "%\xC3\xA9%", "e", 100, "\xC3\xA9%\xC3\x89%"},
      {"ab", "abc", "x", 100, "ab"},
      {"", "a", "x", 100, ""},
      {"zz%a%zz", "%a%", "123", 4, "zz12"},
      {"zz%a%zz", "%a%", "123", 2, "zz"},
      {"zz%a%zz", "%a%", "123", 6, "zz123z"},
      {"[{", "{", "x", 100, "[x"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReplaceAllIgnoreCase(c.text, c.from, c.to, c.limit), c.expected)
        << "[" << c.text << "] [" << c.from << "] -> [" << c.to << "], limit " << c.limit;
}

TEST(SameAsciiText, Table) {
  struct Case {
    std::string text;
    const char* what;
    bool same;
  };
  const Case cases[] = {
      {"inprocserver32", "InProcServer32", true},
      {"InProcServer3", "InProcServer32", false},
      {"InProcServer32x", "InProcServer32", false},
      {"", "", true},
      {"a", "", false},
      {"", "a", false},
      {"[", "{", false},
      {"\xC3\xA9", "\xC3\x89", false},
      {"\xC3\xA9", "\xC3\xA9", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SameAsciiText(c.text, c.what), c.same) << "[" << c.text << "] [" << c.what << "]";
}

}  // namespace
}  // namespace kv::testing
