// The portable pieces of the program's start and of its message dialog and tray icon: which Windows
// versions run, where the HTML Help engine is, how a help page is addressed, how the dialog follows its
// message, and what the tray tip holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/logic/html_help.h"
#include "app/logic/ok_help_layout.h"
#include "app/logic/tray_tip.h"
#include "app/logic/version_check.h"
#include "platform/memory/memory_platform.h"

namespace kv::testing {
namespace {

TEST(VersionCheck, NinetyFiveAndNtFourDoNotRun) {
  struct Case {
    const char* name;
    OsVersion version;
    bool supported;
  };
  const std::vector<Case> cases = {
      {"Windows 95", {1, 4, 0, 950}, false},
      {"Windows 98", {1, 4, 10, 1998}, true},
      {"Windows ME", {1, 4, 90, 3000}, true},
      {"9x family before 4.0", {1, 3, 95, 0}, false},
      {"9x family 5.0", {1, 5, 0, 0}, true},
      {"NT 4.0", {2, 4, 0, 1381}, false},
      {"NT 3.51", {2, 3, 51, 1057}, false},
      {"Windows 2000", {2, 5, 0, 2195}, true},
      {"Windows XP", {2, 5, 1, 2600}, true},
      {"Windows 10", {2, 10, 0, 19045}, true},
      {"Win32s", {0, 3, 10, 0}, true},
      {"unknown family", {3, 1, 0, 0}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSupportedWindows(c.version), c.supported) << c.name;
}

TEST(VersionCheck, MessageHasACarriageReturnAndLineFeed) {
  EXPECT_EQ(std::string(kUnsupportedVersionMessage),
            "Sorry, Keyvane Pro cannot run\r\nunder this version of Windows.");
}

class HtmlHelpEngineTest : public ::testing::Test {
 protected:
  const std::string key = std::string("HKCR\\") + kHtmlHelpServerKey;
  MemoryPlatform machine;
};

TEST_F(HtmlHelpEngineTest, TheRegisteredLibraryWhenItExists) {
  machine.registry.SetString(key, "", "C:\\WINDOWS\\system32\\hhctrl.ocx");
  machine.files.AddFile("C:\\WINDOWS\\system32\\hhctrl.ocx");
  EXPECT_EQ(HtmlHelpEnginePath(machine.platform()), "C:\\WINDOWS\\system32\\hhctrl.ocx");
  EXPECT_EQ(machine.registry.OpenHandleCount(), 0u);
}

TEST_F(HtmlHelpEngineTest, NoEngineOtherwise) {
  struct Case {
    const char* name;
    std::function<void(MemoryPlatform&, const std::string&)> setUp;
  };
  const std::vector<Case> cases = {
      {"not registered", [](MemoryPlatform&, const std::string&) {}},
      {"no default value", [](MemoryPlatform& m, const std::string& k) { m.registry.CreateKey(k); }},
      {"file missing",
       [](MemoryPlatform& m, const std::string& k) { m.registry.SetString(k, "", "C:\\WINDOWS\\system32\\hhctrl.ocx"); }},
      {"a folder",
       [](MemoryPlatform& m, const std::string& k) {
         m.registry.SetString(k, "", "C:\\WINDOWS\\system32");
         m.files.AddDirectory("C:\\WINDOWS\\system32");
       }},
      {"not a string", [](MemoryPlatform& m, const std::string& k) { m.registry.SetDword(k, "", 1); }},
      {"a path variable left unexpanded",
       [](MemoryPlatform& m, const std::string& k) {
         m.registry.SetString(k, "", "%SystemRoot%\\system32\\hhctrl.ocx", REG_EXPAND_SZ_TYPE);
         m.files.AddFile("C:\\WINDOWS\\system32\\hhctrl.ocx");
       }},
  };
  for (const Case& c : cases) {
    MemoryPlatform fresh;
    c.setUp(fresh, key);
    EXPECT_EQ(HtmlHelpEnginePath(fresh.platform()), "") << c.name;
  }
}

TEST(HelpTopic, ThePageInsideTheHelpFileBesideTheProgram) {
  EXPECT_EQ(HelpTopicPath("C:\\Program Files\\Keyvane Pro\\", "1-02-sysreq.html"),
            "C:\\Program Files\\Keyvane Pro\\Help.chm::/Contents/1-02-sysreq.html");
}

TEST(OkHelpLayout, TheLinkKeepsItsGapBelowTheMessage) {
  struct Case {
    int messageHeight;
    int linkTop, bevelTop, buttonTop, clientHeight;
  };
  const std::vector<Case> cases = {
      {13, 37, 56, 68, 99},     // one line: everything moves up
      {26, 50, 69, 81, 112},    // two lines
      {39, 63, 82, 94, 125},    // each further line moves everything down by one line
      {52, 76, 95, 107, 138},   // four lines: the designed places
      {65, 89, 108, 120, 151},  // five lines: below the designed places
  };
  for (const Case& c : cases) {
    const OkHelpGeometry g = ArrangeOkHelp(kOkHelpDesign, c.messageHeight);
    EXPECT_EQ(g.linkTop, c.linkTop) << "height " << c.messageHeight;
    EXPECT_EQ(g.bevelTop, c.bevelTop) << "height " << c.messageHeight;
    EXPECT_EQ(g.buttonTop, c.buttonTop) << "height " << c.messageHeight;
    EXPECT_EQ(g.clientHeight, c.clientHeight) << "height " << c.messageHeight;
    EXPECT_EQ(g.messageTop, kOkHelpDesign.messageTop);
  }
}

TEST(OkHelpLayout, IconTypes) {
  const std::vector<std::pair<int, OkHelpIcon>> cases = {
      {16, OkHelpIcon::kHand},        {32, OkHelpIcon::kQuestion}, {48, OkHelpIcon::kExclamation},
      {64, OkHelpIcon::kAsterisk},    {0, OkHelpIcon::kApplication}, {17, OkHelpIcon::kApplication},
      {-1, OkHelpIcon::kApplication},
  };
  for (const auto& [type, icon] : cases) EXPECT_EQ(OkHelpIconFor(type), icon) << "type " << type;
}

TEST(TrayTip, AtMostSixtyThreeCharactersAndOnlyWhenShown) {
  const std::string long64(64, 'x');
  EXPECT_EQ(TrayTip("Keyvane Pro Monitor", true), "Keyvane Pro Monitor");
  EXPECT_EQ(TrayTip(long64, true), std::string(63, 'x'));
  EXPECT_EQ(TrayTip(std::string(63, 'y'), true), std::string(63, 'y'));
  EXPECT_EQ(TrayTip("Keyvane Pro Monitor", false), "");
  EXPECT_EQ(TrayTip("", true), "");
}

}  // namespace
}  // namespace kv::testing
