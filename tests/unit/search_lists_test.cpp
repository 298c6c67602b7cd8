// The lists taken from "Path" and "PathExt" at load, the string splitter and the class-identifier test.
#include <gtest/gtest.h>

#include "scan/search_lists.h"
#include "scan/shell.h"
#include "support/text.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

TEST(CutToken, SplitsAtTheFirstDelimiter) {
  struct Case {
    std::string s;
    std::string token, rest;
  };
  const std::vector<Case> cases = {
      {"a;b;c", "a", "b;c"}, {";b", "", "b"}, {"a;", "a", ""}, {"abc", "", "abc"}, {"", "", ""}};
  for (const Case& c : cases) {
    std::string s = c.s;
    std::string token = "unchanged?";
    CutToken(s, ';', token);
    EXPECT_EQ(token, c.token) << "\"" << c.s << "\"";
    EXPECT_EQ(s, c.rest) << "\"" << c.s << "\"";
  }
}

TEST(SearchLists, SearchDirsFromPath) {
  struct Case {
    const char* path;  // nullptr: not set
    Strings dirs;
  };
  const std::vector<Case> cases = {
      {nullptr, {"c:\\windows\\system32\\", "c:\\windows\\"}},
      {"", {"c:\\windows\\system32\\", "c:\\windows\\"}},
      {"C:\\Tools;D:\\Bin\\", {"c:\\tools\\", "d:\\bin\\", "c:\\windows\\system32\\", "c:\\windows\\"}},
      {"C:\\Tools;", {"c:\\tools\\", "\\", "c:\\windows\\system32\\", "c:\\windows\\"}},
      {"C:\\WINDOWS\\System32; x ;C:\\a;C:\\a",
       {"c:\\windows\\system32\\", " x \\", "c:\\a\\", "c:\\a\\", "c:\\windows\\"}},
  };
  for (const Case& c : cases) {
    MemoryMachine machine;
    if (c.path != nullptr) machine.memory.system.SetEnvironment("PATH", c.path);
    EXPECT_EQ(BuildSearchDirs(machine.memory.platform()), c.dirs) << "Path=" << (c.path ? c.path : "(unset)");
  }
}

TEST(SearchLists, ExeExtensionsFromPathExt) {
  struct Case {
    const char* pathExt;
    Strings extensions;
  };
  const std::vector<Case> cases = {
      {nullptr, {".dll", ".exe", ".com"}},
      {".COM;.EXE;.BAT;.CMD", {".com", ".exe", ".bat", ".cmd", ".dll"}},
      {"  .EXE;;.Py \t", {".exe", "", ".py", ".dll", ".com"}},
      {".exe;", {".exe", ".dll", ".com"}},
  };
  for (const Case& c : cases) {
    MemoryMachine machine;
    if (c.pathExt != nullptr) machine.memory.system.SetEnvironment("PATHEXT", c.pathExt);
    EXPECT_EQ(BuildExeExtensions(machine.memory.platform()), c.extensions)
        << "PathExt=" << (c.pathExt ? c.pathExt : "(unset)");
  }
}

TEST(Shell, IsGUIDString) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"{00021401-0000-0000-C000-000000000046}", true},   {"{adb880a6-d8ff-11cf-9377-00aa003b7a11}", true},
      {"00021401-0000-0000-C000-000000000046", false},    {"{00021401-0000-0000-C000-00000000004}", false},
      {"{00021401-0000-0000-C000-0000000000G6}", false},  {"{00021401-0000-0000-C000+000000000046}", false},
      {"{00021401-0000-0000-C000-000000000046} ", false}, {"", false},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(IsGUIDString(text), expected) << text;
}

TEST(Shell, StartupFoldersByFamily) {
  MemoryMachine machine;
  MemorySystem& system = machine.memory.system;
  system.SetSpecialFolder(kCsidlStartup, "C:\\Users\\me\\Startup");
  system.SetSpecialFolder(kCsidlCommonStartup, "C:\\All\\Startup");
  system.SetSpecialFolder(kCsidlAltStartup, "");
  system.SetSpecialFolder(kCsidlCommonAltStartup, "C:\\All\\AltStartup");
  Strings folders;
  GetStartupFolders(machine.memory.platform(), folders);
  EXPECT_EQ(folders, (Strings{"C:\\Users\\me\\Startup", "C:\\All\\Startup", "C:\\All\\AltStartup"}));

  system.SetVersion({kPlatformWin32Windows, 4, 10, 0});
  GetStartupFolders(machine.memory.platform(), folders);
  EXPECT_EQ(folders, Strings{"C:\\Users\\me\\Startup"}) << "the common folders exist on NT only";

  system.SetVersion({}, /*available=*/false);
  try {
    GetStartupFolders(machine.memory.platform(), folders);
    ADD_FAILURE() << "no error raised";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Cannot detect your Windows version.");
  }
}

}  // namespace
}  // namespace kv::testing
