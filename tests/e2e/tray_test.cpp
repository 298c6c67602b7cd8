// The tray icon: the shell's mouse messages on its window, as the shell sends them (message 0x800, the
// mouse message in the second parameter).
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
  Screenshot("tray-icon", area != nullptr ? &rect : nullptr);

  PostMessageA(monitor.Tray(), kTrayCallback, 1, WM_LBUTTONDBLCLK);
  std::vector<std::string> started;
  ASSERT_TRUE(WaitUntil(
      [&] {
        started = LoggedCommandLines(install.standInLog());
        return !started.empty();
      },
      kStartMs))
      << "a double click did not run \"Run Keyvane Pro\"";
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(ArgumentsOf(started[0]), "Monitoring") << "command line: " << started[0];
  EXPECT_EQ(OpenMenu(), nullptr) << "a double click opened the menu";
  EXPECT_TRUE(monitor.process().Running());
}

TEST(Tray, RightClickOpensTheMenu) {
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(0);
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
  ASSERT_EQ(OpenMenu(), nullptr);

  PostMessageA(monitor.Tray(), kTrayCallback, 1, WM_RBUTTONDOWN);
  PostMessageA(monitor.Tray(), kTrayCallback, 1, WM_RBUTTONUP);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        menu = OpenMenu();
        return menu != nullptr;
      },
      kStartMs))
      << "a right click did not open the menu";
  DWORD owner = 0;
  GetWindowThreadProcessId(menu, &owner);
  EXPECT_EQ(owner, monitor.pid()) << "the open menu is not the monitor's";
  RECT area{};
  GetWindowRect(menu, &area);
  Screenshot("tray-menu", &area);

  // The menu closes the way it does on a click elsewhere; nothing is run.
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([] { return OpenMenu() == nullptr; }, kStartMs)) << "the menu does not close";
  EXPECT_TRUE(LoggedCommandLines(install.standInLog()).empty());
  EXPECT_TRUE(monitor.process().Running());
}

}  // namespace
}  // namespace kv::e2e
