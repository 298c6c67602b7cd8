// The portable pieces of the program's start and of its message dialog and tray icon: which Windows
// versions run, where the HTML Help engine is, how a help page is addressed, how the dialog follows its
// message, and what the tray tip holds.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/logic/html_help.h"
#include "app/logic/ok_help_layout.h"
#include "app/logic/tray_tip.h"
#include "app/logic/version_check.h"
#include "platform/memory/memory_platform.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

TEST(VersionCheck, NinetyFiveAndNtFourDoNotRun) {
  struct Case {
    const char* name;
    OsVersion version;
    bool supported;
  };
  const std::vector<Case> cases = {
      {"Windows 95", {1, 4, 0, 950}, false},  {"Windows 98", {1, 4, 10, 1998}, true},
      {"Windows ME", {1, 4, 90, 3000}, true}, {"9x family before 4.0", {1, 3, 95, 0}, false},
      {"9x family 5.0", {1, 5, 0, 0}, true},  {"NT 4.0", {2, 4, 0, 1381}, false},
      {"NT 3.51", {2, 3, 51, 1057}, false},   {"Windows 2000", {2, 5, 0, 2195}, true},
      {"Windows XP", {2, 5, 1, 2600}, true},  {"Windows 10", {2, 10, 0, 19045}, true},
      {"Win32s", {0, 3, 10, 0}, true},        {"unknown family", {3, 1, 0, 0}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSupportedWindows(c.version), c.supported) << c.name;
}

TEST(VersionCheck, MessageHasACarriageReturnAndLineFeed) {
  EXPECT_EQ(std::string(kUnsupportedVersionMessage), "Sorry, Keyvane Pro cannot run\r\nunder this version of Windows.");
}

// The engine is the system's own file, found by its full path in the system folder; what the class
// registration names (in the machine's classes or in the user's own, which override them) plays no part,
// and no file but the system's engine is ever looked at.
TEST(HtmlHelpEngine, TheSystemEngineWhateverTheRegistrationNames) {
  const std::string clsid = "CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32";
  const std::string engine = "C:\\WINDOWS\\system32\\hhctrl.ocx";
  struct Case {
    const char* name;
    std::function<void(MemoryPlatform&)> setUp;
    std::string expected;
  };
  const auto registered = [&](const std::string& path, std::uint32_t type = REG_SZ_TYPE) {
    return [=](MemoryPlatform& m) {
      m.registry.SetString("HKCR\\" + clsid, "", path, type);
      m.registry.SetString("HKCU\\Software\\Classes\\" + clsid, "", path, type);
    };
  };
  const auto withEngine = [&](std::function<void(MemoryPlatform&)> more) {
    return [=](MemoryPlatform& m) {
      m.files.AddFile(engine);
      more(m);
    };
  };
  const auto planted = [](const std::string& path, std::function<void(MemoryPlatform&)> more) {
    return [=](MemoryPlatform& m) {
      m.files.AddFile(path);
      more(m);
    };
  };
  const std::vector<Case> cases = {
      {"registered as the system engine", withEngine(registered(engine)), engine},
      {"the same file in other letters and slashes", withEngine(registered("c:/windows/SYSTEM32/HHCTRL.OCX")), engine},
      {"not registered", withEngine([](MemoryPlatform&) {}), engine},
      {"registered with a path variable",
       withEngine(registered("%SystemRoot%\\system32\\hhctrl.ocx", REG_EXPAND_SZ_TYPE)), engine},
      {"registered as a number", withEngine([&](MemoryPlatform& m) { m.registry.SetDword("HKCR\\" + clsid, "", 1); }),
       engine},
      {"a library of the user's registered",
       withEngine(planted("C:\\Users\\me\\AppData\\hhctrl.ocx", registered("C:\\Users\\me\\AppData\\hhctrl.ocx"))),
       engine},
      {"a library of another name registered",
       withEngine(planted("C:\\Temp\\evil.dll", registered("C:\\Temp\\evil.dll"))), engine},
      {"a network path registered", withEngine(registered("\\\\server\\share\\hhctrl.ocx")), engine},
      {"a relative name registered", withEngine(registered("hhctrl.ocx")), engine},
      {"no engine in the system folder, another registered",
       planted("C:\\Temp\\hhctrl.ocx", registered("C:\\Temp\\hhctrl.ocx")), ""},
      {"no engine in the system folder, nothing registered", [](MemoryPlatform&) {}, ""},
      {"a folder of the engine's name",
       [&](MemoryPlatform& m) {
         m.files.AddDirectory(engine);
         registered(engine)(m);
       },
       ""},
      {"a system folder given with its closing backslash",
       withEngine([](MemoryPlatform& m) { m.system.SetSystemDirectory("C:\\WINDOWS\\system32\\"); }), engine},
      {"no system folder", withEngine([](MemoryPlatform& m) { m.system.SetSystemDirectory(""); }), ""},
      {"a system folder that is no full path",
       [](MemoryPlatform& m) {
         m.files.AddFile("C:\\system32\\hhctrl.ocx");
         m.files.SetCurrentDirectory("C:\\");
         m.system.SetSystemDirectory("system32");
       },
       ""},
  };
  for (const Case& c : cases) {
    MemoryMachine machine;
    c.setUp(machine.memory);
    EXPECT_EQ(HtmlHelpEnginePath(machine.platform()), c.expected) << c.name;
    // The only file looked at is the system's engine: nothing the registration names is queried.
    for (const std::string& call : machine.trace.Calls()) EXPECT_EQ(call, "GetAttributes " + engine) << c.name;
    EXPECT_EQ(machine.audit.OpenKeys(), 0u) << c.name;
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
      {16, OkHelpIcon::kHand},        {32, OkHelpIcon::kQuestion},   {48, OkHelpIcon::kExclamation},
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
