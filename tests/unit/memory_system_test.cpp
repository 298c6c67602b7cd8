// MemorySystem: what a test sets is what the engine reads.
#include <gtest/gtest.h>

#include "platform/memory/collation.h"
#include "platform/memory/memory_platform.h"
#include "tests/testing/random.h"

namespace kv {
namespace {

TEST(MemorySystem, StartsAsAnXpMachineWithoutEnvironment) {
  MemorySystem system;
  OsVersion version;
  ASSERT_TRUE(system.Version(&version));
  EXPECT_EQ(kPlatformWin32NT, version.platformId);
  EXPECT_EQ(5u, version.major);
  EXPECT_EQ(1u, version.minor);
  EXPECT_EQ("C:\\WINDOWS", system.WindowsDirectory());
  EXPECT_EQ("C:\\WINDOWS\\system32", system.SystemDirectory());
  std::string value = "untouched";
  EXPECT_FALSE(system.GetEnvironment("Path", &value));
  EXPECT_EQ("untouched", value);
  EXPECT_FALSE(system.GetSpecialFolder(kCsidlStartup, &value));
  EXPECT_FALSE(system.IsMultiByteCodePage());
}

TEST(MemorySystem, EnvironmentNamesIgnoreCase) {
  MemorySystem system;
  system.SetEnvironment("PathExt", ".COM;.EXE");
  system.SetEnvironment("\xE9t\xE9", "latin");
  std::string value;
  EXPECT_TRUE(system.GetEnvironment("PATHEXT", &value));
  EXPECT_EQ(".COM;.EXE", value);
  EXPECT_TRUE(system.GetEnvironment("\xC9T\xC9", &value));
  EXPECT_EQ("latin", value);
  system.SetEnvironment("PATHEXT", ".BAT");
  EXPECT_TRUE(system.GetEnvironment("pathext", &value));
  EXPECT_EQ(".BAT", value);
  system.UnsetEnvironment("pathExt");
  EXPECT_FALSE(system.GetEnvironment("PathExt", &value));
  system.SetEnvironment("Empty", "");
  EXPECT_TRUE(system.GetEnvironment("EMPTY", &value)) << "set to nothing is still set";
  EXPECT_EQ("", value);
}

TEST(MemorySystem, VersionAndFoldersAreWhatTheTestSets) {
  MemorySystem system;
  system.SetVersion(OsVersion{kPlatformWin32Windows, 4, 10, 2222});
  system.SetWindowsDirectory("D:\\WIN98");
  system.SetSystemDirectory("D:\\WIN98\\SYSTEM");
  OsVersion version;
  ASSERT_TRUE(system.Version(&version));
  EXPECT_EQ(kPlatformWin32Windows, version.platformId);
  EXPECT_EQ(10u, version.minor);
  EXPECT_EQ("D:\\WIN98", system.WindowsDirectory());
  EXPECT_EQ("D:\\WIN98\\SYSTEM", system.SystemDirectory());
  system.SetVersion(version, false);
  EXPECT_FALSE(system.Version(&version));

  system.SetSpecialFolder(kCsidlFonts, "C:\\WINDOWS\\Fonts");
  std::string path;
  EXPECT_TRUE(system.GetSpecialFolder(kCsidlFonts, &path));
  EXPECT_EQ("C:\\WINDOWS\\Fonts", path);
  system.SetSpecialFolder(kCsidlFonts, "");
  EXPECT_FALSE(system.GetSpecialFolder(kCsidlFonts, &path)) << "an empty path means the shell has none";
  system.SetMultiByteCodePage(true);
  EXPECT_TRUE(system.IsMultiByteCodePage());
}

TEST(MemorySystem, ShortcutsAreReadUnlessUnreadableUnknownOrWithoutShellLink) {
  const struct {
    const char* what;
    bool shellLink;
    const char* link;
    ShortcutRead expected;
    const char* target;  // afterwards; "keep" when untouched
  } kCases[] = {
      {"known link", true, "C:\\Start\\App.lnk", ShortcutRead::kRead, "C:\\App\\app.exe"},
      {"case of the link ignored", true, "c:\\start\\APP.LNK", ShortcutRead::kRead, "C:\\App\\app.exe"},
      {"link to no path", true, "C:\\Start\\Printer.lnk", ShortcutRead::kRead, ""},
      {"unreadable link", true, "C:\\Start\\Broken.lnk", ShortcutRead::kNotLoaded, "keep"},
      {"unknown link", true, "C:\\Start\\Other.lnk", ShortcutRead::kNotLoaded, "keep"},
      {"no shell link object", false, "C:\\Start\\App.lnk", ShortcutRead::kNoShellLink, "keep"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    MemorySystem system;
    system.SetShortcut("C:\\Start\\App.lnk", "C:\\App\\app.exe");
    system.SetShortcut("C:\\Start\\Printer.lnk", "");
    system.SetShortcut("C:\\Start\\Broken.lnk", "C:\\x.exe");
    system.SetUnreadableShortcut("C:\\START\\broken.lnk");
    system.SetShellLinkAvailable(c.shellLink);
    std::string target = "keep";
    EXPECT_EQ(c.expected, system.GetShortcutTarget(c.link, &target));
    EXPECT_EQ(c.target, target);
  }
}

// The machine's 8-bit code page (what a REGEDIT4 file is written in) is Windows-1252.
TEST(MemorySystem, CodePageConversionsAreWindows1252) {
  EXPECT_EQ("a\x80?", Utf16ToAnsi(u"a\u20AC\u263A"));
  EXPECT_EQ(u"a\u20AC\u0178", AnsiToUtf16("a\x80\x9F"));
}

// Plain ASCII texts take a shorter road through the user's sort order; it must give the order of the
// whole comparison, here over texts that share long beginnings, differ in case, or hold the characters
// the comparison passes over (which send a text back to the whole comparison).
TEST(MemorySystem, UserSortOrderOfPlainAsciiIsTheWholeComparison) {
  const std::string alphabet = "aAbBzZ09._*!~ {}[]\\/:;,`^|@#$%&()+<=>?\"-'\x01\x1F\x7F";
  testing::Random random(20261211);
  MemorySystem system;
  for (int round = 0; round < 20000; ++round) {
    std::string a;
    for (std::size_t n = random.Below(8); n > 0; --n) a += alphabet[random.Below(alphabet.size())];
    std::string b = random.Chance(0.5) ? a : std::string();
    for (std::size_t n = random.Below(8); n > 0; --n) b += alphabet[random.Below(alphabet.size())];
    if (random.Chance(0.3)) std::swap(a, b);
    const auto sign = [](int order) { return order < 0 ? -1 : (order > 0 ? 1 : 0); };
    ASSERT_EQ(sign(CompareByCharacters(a, b)), sign(system.CompareUserLocale(a, b)))
        << "[" << a << "] vs [" << b << "]";
  }
}

}  // namespace
}  // namespace kv
