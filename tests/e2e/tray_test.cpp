// The tray icon: the shell's mouse messages on its window, as the shell sends them (message 0x800, the
// mouse message in the second parameter).
#include <initializer_list>

#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

namespace kv::e2e {
namespace {

constexpr DWORD kStartMs = 15000;
constexpr UINT kTrayCallback = 0x800;

// The pop-up menu's window (class "#32768") while it is open.
HWND OpenMenu() {
  for (HWND window = FindWindowA("#32768", nullptr); window != nullptr;
       window = FindWindowExA(nullptr, window, "#32768", nullptr))
    if (IsWindowVisible(window)) return window;
  return nullptr;
}

TEST(Tray, DoubleClickRunsTheDefaultItem) {
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(0);
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
  EXPECT_FALSE(monitor.AlertShown()) << "the form shows at start";
  // Without a notification area on the display, Wine shows the icons in a window of its own.
  HWND area = nullptr;
  WaitUntil(
      [&] {
        area = FindWindowA("__winex11_standalone_tray", nullptr);
        return area != nullptr && IsWindowVisible(area);
      },
      kStartMs);
  RECT rect{};
  if (area != nullptr) GetWindowRect(area, &rect);
  Screenshot("tray-icon", area != nullptr ? &rect : nullptr, /*zoom=*/3);

  PostMessageA(monitor.Tray(), kTrayCallback, 1, WM_LBUTTONDBLCLK);
  std::vector<StandInStart> started;
  ASSERT_TRUE(WaitUntil(
      [&] {
        started = StandInStarts(install.standInLog());
        return !started.empty();
      },
      kStartMs))
      << "a double click did not run \"Run Keyvane Pro\"";
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(ArgumentsOf(started[0].commandLine), "Monitoring") << "command line: " << started[0].commandLine;
  EXPECT_EQ(OpenMenu(), nullptr) << "a double click opened the menu";
  EXPECT_TRUE(monitor.process().Running());
}

// Opens the menu as a right click on the icon does; returns the menu's window, or null.
HWND RightClick(const Monitor& monitor) {
  PostMessageA(monitor.Tray(), kTrayCallback, 1, WM_RBUTTONDOWN);
  PostMessageA(monitor.Tray(), kTrayCallback, 1, WM_RBUTTONUP);
  HWND menu = nullptr;
  WaitUntil(
      [&] {
        menu = OpenMenu();
        return menu != nullptr;
      },
      kStartMs);
  return menu;
}

// Keys for the open menu, as the keyboard gives them.
void PressKeys(HWND menu, std::initializer_list<WPARAM> keys) {
  for (WPARAM key : keys) {
    PostMessageA(menu, WM_KEYDOWN, key, 0);
    PostMessageA(menu, WM_KEYUP, key, 0);
  }
}

TEST(Tray, RightClickOpensTheMenuAtTheCursor) {
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(0);
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
  ASSERT_EQ(OpenMenu(), nullptr);

  HWND menu = RightClick(monitor);
  ASSERT_NE(menu, nullptr) << "a right click did not open the menu";
  DWORD owner = 0;
  GetWindowThreadProcessId(menu, &owner);
  EXPECT_EQ(owner, monitor.pid()) << "the open menu is not the monitor's";
  // At the cursor: one of the menu's corners is there (the menu opens away from the screen's edges).
  POINT cursor{};
  GetCursorPos(&cursor);
  RECT area{};
  GetWindowRect(menu, &area);
  EXPECT_TRUE((cursor.x == area.left || cursor.x == area.right) && (cursor.y == area.top || cursor.y == area.bottom))
      << "cursor at " << cursor.x << "," << cursor.y << ", menu at " << area.left << "," << area.top << " - "
      << area.right << "," << area.bottom;
  Screenshot("tray-menu", &area);

  // The menu closes the way it does when the user clicks elsewhere; nothing is run.
  PressKeys(menu, {VK_ESCAPE});
  EXPECT_TRUE(WaitUntil([] { return OpenMenu() == nullptr; }, kStartMs)) << "the menu does not close";
  EXPECT_TRUE(StandInStarts(install.standInLog()).empty());
  EXPECT_TRUE(monitor.process().Running());
}

// The menu's items in their order, chosen from the keyboard (the menu's items cannot be read from
// another process under Wine; the screenshot shows them): the first runs the full cleaner, the second
// ends the monitor.
TEST(Tray, MenuItemsRunTheFullCleanerAndExit) {
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(0);
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));

  HWND menu = RightClick(monitor);
  ASSERT_NE(menu, nullptr);
  PressKeys(menu, {VK_DOWN, VK_RETURN});
  std::vector<StandInStart> started;
  ASSERT_TRUE(WaitUntil(
      [&] {
        started = StandInStarts(install.standInLog());
        return !started.empty();
      },
      kStartMs))
      << "the first item did not run the full cleaner";
  EXPECT_EQ(ArgumentsOf(started[0].commandLine), "Monitoring") << "command line: " << started[0].commandLine;
  ASSERT_TRUE(WaitUntil([] { return OpenMenu() == nullptr; }, kStartMs));
  ASSERT_TRUE(monitor.process().Running());

  menu = RightClick(monitor);
  ASSERT_NE(menu, nullptr);
  PressKeys(menu, {VK_DOWN, VK_DOWN, VK_RETURN});
  ASSERT_TRUE(monitor.process().WaitForExit(kStartMs)) << "\"Exit\" did not end the monitor";
  EXPECT_EQ(monitor.process().ExitCode(), 0u);
  EXPECT_EQ(StandInStarts(install.standInLog()).size(), 1u);
}

}  // namespace
}  // namespace kv::e2e
