// How the alert and the message dialog look on a real desktop: an opaque body in the system's button-face
// colour behind their text, whatever the desktop's colour, and their text whole at a higher resolution.
// Screenshots of each case are kept in the artifacts folder; the pixels behind the text are read back from
// them and checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "tests/e2e/harness.h"

namespace kv::e2e {
namespace {

constexpr DWORD kStartMs = 15000;
constexpr DWORD kThreeProbesMs = 3 * kIntervalMs + 60000;

const char* const kAlertText =
    "The registry may contain errors. Run Keyvane Pro\rto perform a full scan of the registry?";
const char* const kVersionText = "Sorry, Keyvane Pro cannot run\r\nunder this version of Windows.";

// Desktops behind the windows: neither colour is one the system paints controls with.
constexpr COLORREF kLightDesktop = RGB(0xF4, 0xE4, 0xC4);
constexpr COLORREF kDarkDesktop = RGB(0x10, 0x18, 0x28);

std::string Hex(COLORREF colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}

int Distance(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
         std::abs(GetBValue(a) - GetBValue(b));
}

RECT WindowRectOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

RECT ClientRectOnScreen(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string Describe(const RECT& rect) {
  return "(" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ")-(" + std::to_string(rect.right) + ", " +
         std::to_string(rect.bottom) + ")";
}

// The size `text` takes in the program's font (Arial of design height 11) at `dpi`.
SIZE TextExtent(const std::string& text, int dpi) {
  struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
  };
  struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
  };
  std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter> dc(CreateCompatibleDC(nullptr));
  std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> font(
      CreateFontA(-MulDiv(11, dpi, 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
  if (!dc || !font) return SIZE{0, 0};
  const HGDIOBJ old = SelectObject(dc.get(), font.get());
  RECT rect{0, 0, 0, 0};
  DrawTextA(dc.get(), text.c_str(), static_cast<int>(text.size()), &rect, DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc.get(), old);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// What a screenshot shows behind a window's text: the window's client area on a desktop of a known colour.
struct Sample {
  int pixels = 0;       // in the text's rectangle
  int body = 0;         // of those, in the button-face colour
  int ink = 0;          // of those, nearer the text colour than the body colour
  int desktopText = 0;  // of those, in the desktop's colour
  int desktopBody = 0;  // in the client area outside the icon, in the desktop's colour
  RECT inkBounds{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};  // screen coordinates
  COLORREF commonest = 0;                                  // the colour most pixels behind the text have
};

// Takes the screenshot `name` on a desktop of the colour `desktop` and reads the client area of `window`
// back from it: `text` is the rectangle of the text's control, `icon` the icon's (left out: an icon may
// hold any colour).
std::optional<Sample> Look(const std::string& name, HWND window, const RECT& text, const RECT& icon, COLORREF desktop) {
  const RECT frame = WindowRectOf(window);
  if (!Screenshot(name, &frame, 1, desktop)) return std::nullopt;
  const RECT client = ClientRectOnScreen(window);
  const std::optional<Pixels> pixels = ScreenshotPixels(name, client);
  if (!pixels) return std::nullopt;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
  Sample sample;
  std::map<COLORREF, int> counts;
  for (int y = 0; y < pixels->height; ++y) {
    for (int x = 0; x < pixels->width; ++x) {
      const POINT at{client.left + x, client.top + y};
      const COLORREF colour = pixels->at(x, y);
      if (PtInRect(&text, at)) {
        ++sample.pixels;
        ++counts[colour];
        if (colour == face) ++sample.body;
        if (colour == desktop) ++sample.desktopText;
        if (Distance(colour, ink) < Distance(colour, face)) {
          ++sample.ink;
          sample.inkBounds.left = std::min(sample.inkBounds.left, at.x);
          sample.inkBounds.top = std::min(sample.inkBounds.top, at.y);
          sample.inkBounds.right = std::max(sample.inkBounds.right, at.x + 1);
          sample.inkBounds.bottom = std::max(sample.inkBounds.bottom, at.y + 1);
        }
      } else if (!PtInRect(&icon, at) && colour == desktop) {
        ++sample.desktopBody;
      }
    }
  }
  int most = 0;
  for (const auto& [colour, count] : counts) {
    if (count > most) {
      most = count;
      sample.commonest = colour;
    }
  }
  std::printf(
      "[ look     ] %s: desktop %s; behind the text (%ldx%ld px) %d px button face %s, commonest %s, "
      "%d px of text (window text %s), %d px of the desktop's colour; %d such px elsewhere in the body\n",
      name.c_str(), Hex(desktop).c_str(), text.right - text.left, text.bottom - text.top, sample.body,
      Hex(face).c_str(), Hex(sample.commonest).c_str(), sample.ink, Hex(ink).c_str(), sample.desktopText,
      sample.desktopBody);
  return sample;
}

// The checks every look shares: the body behind the text is opaque and of the button-face colour, and
// the text is drawn in it.
void ExpectOpaqueBehindText(const std::string& name, const Sample& sample, COLORREF desktop) {
  EXPECT_EQ(sample.desktopText, 0) << name << ": the desktop (" << Hex(desktop) << ") shows behind the text";
  EXPECT_EQ(sample.desktopBody, 0) << name << ": the desktop (" << Hex(desktop) << ") shows through the body";
  EXPECT_EQ(sample.commonest, GetSysColor(COLOR_BTNFACE))
      << name << ": the commonest colour behind the text is " << Hex(sample.commonest) << ", not the button face";
  EXPECT_GT(sample.body * 2, sample.pixels)
      << name << ": " << sample.body << " of " << sample.pixels << " px behind the text have the button-face colour";
  EXPECT_GT(sample.ink, 0) << name << ": no text drawn";
}

struct AlertLook {
  const char* name;
  COLORREF desktop;
  int dpi;
};

const AlertLook kAlertLooks[] = {
    {"alert-light-desktop", kLightDesktop, 96},         {"alert-dark-desktop", kDarkDesktop, 96},
    {"alert-light-desktop-144dpi", kLightDesktop, 144}, {"alert-dark-desktop-144dpi", kDarkDesktop, 144},
    {"alert-light-desktop-192dpi", kLightDesktop, 192}, {"alert-dark-desktop-192dpi", kDarkDesktop, 192},
};

// The screen's resolution of the programs started while the object lives; both places Wine reads it
// from are set, and restored after.
class ScopedResolution {
 public:
  explicit ScopedResolution(int dpi)
      : user_(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels"),
        machine_(HKEY_CURRENT_CONFIG, "Software\\Fonts", "LogPixels") {
    user_.SetDword(static_cast<DWORD>(dpi));
    machine_.SetDword(static_cast<DWORD>(dpi));
  }

 private:
  ScopedRegValue user_;
  ScopedRegValue machine_;
};

class AlertOnADesktop : public ::testing::TestWithParam<int> {};

// One monitor per resolution; its alert is photographed on each desktop.
TEST_P(AlertOnADesktop, ReadsOnAnOpaqueBodyWithItsTextWhole) {
  const int dpi = GetParam();
  ScopedResolution resolution(dpi);
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(SeededFault::kGroup);
  SeededFault fault;
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
  HWND alert = monitor.WaitForAlert(kThreeProbesMs);
  ASSERT_NE(alert, nullptr) << "no alert after three faulty probes";

  const auto label = FindChild(alert, "Static", kAlertText);
  const auto yes = FindChild(alert, "Button", "Yes");
  const auto no = FindChild(alert, "Button", "No");
  ASSERT_TRUE(label && yes && no) << "the alert lacks its label or a button";
  std::optional<Control> icon;
  for (const Control& control : ChildrenOf(alert)) {
    if ((control.style & SS_TYPEMASK) == SS_ICON) icon = control;
  }
  ASSERT_TRUE(icon.has_value()) << "the alert shows no icon";

  // The layout at this resolution: the form at least its designed size, the text's control inside it,
  // right of the icon and above the buttons, and as large as the text needs in the form's font.
  const RECT client = ClientRectOnScreen(alert);
  const RECT text = WindowRectOf(label->hwnd);
  const RECT iconRect = WindowRectOf(icon->hwnd);
  const RECT yesRect = WindowRectOf(yes->hwnd);
  const RECT noRect = WindowRectOf(no->hwnd);
  EXPECT_GE(client.right - client.left, MulDiv(341, dpi, 96)) << "client area " << Describe(client) << " at " << dpi;
  EXPECT_EQ(client.bottom - client.top, MulDiv(101, dpi, 96)) << "client area " << Describe(client) << " at " << dpi;
  EXPECT_EQ(yesRect.bottom - yesRect.top, MulDiv(25, dpi, 96)) << "the buttons are not scaled to " << dpi;
  EXPECT_TRUE(Inside(text, client)) << "text " << Describe(text) << " outside the client area " << Describe(client);
  EXPECT_GE(text.left, iconRect.right) << "text " << Describe(text) << " over the icon " << Describe(iconRect);
  EXPECT_LE(text.bottom, std::min(yesRect.top, noRect.top)) << "text " << Describe(text) << " over the buttons";
  const SIZE needed = TextExtent(kAlertText, dpi);
  EXPECT_GE(text.right - text.left, needed.cx) << "the text needs " << needed.cx << " px at " << dpi;
  EXPECT_GE(text.bottom - text.top, needed.cy) << "the text needs " << needed.cy << " px at " << dpi;

  for (const AlertLook& look : kAlertLooks) {
    if (look.dpi != dpi) continue;
    const std::optional<Sample> sample = Look(look.name, alert, text, iconRect, look.desktop);
    ASSERT_TRUE(sample.has_value()) << look.name;
    ExpectOpaqueBehindText(look.name, *sample, look.desktop);
    // The whole question is drawn: two lines, from the label's left edge across most of its width.
    EXPECT_GT((sample->inkBounds.right - sample->inkBounds.left) * 10, (text.right - text.left) * 9)
        << look.name << ": text drawn at " << Describe(sample->inkBounds) << " in " << Describe(text);
    EXPECT_GT((sample->inkBounds.bottom - sample->inkBounds.top) * 10, (text.bottom - text.top) * 6)
        << look.name << ": text drawn at " << Describe(sample->inkBounds) << " in " << Describe(text);
  }
}

INSTANTIATE_TEST_SUITE_P(Look, AlertOnADesktop, ::testing::Values(96, 144, 192),
                         [](const auto& info) { return std::to_string(info.param) + "dpi"; });

// The message dialog (here the one for an unsupported Windows) has an opaque body as well.
TEST(Look, MessageDialogOnADarkDesktop) {
  ScopedWineVersion wine("win95");
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(0);
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        dialog = FindWindowOfProcess(monitor.pid(), "Tdlg_okhelp", /*mustBeVisible=*/true);
        return dialog != nullptr || !monitor.process().Running();
      },
      kStartMs));
  ASSERT_NE(dialog, nullptr) << "no version dialog";
  const auto message = FindChild(dialog, "Static", kVersionText);
  ASSERT_TRUE(message.has_value()) << "no message label";
  std::optional<Control> icon;
  for (const Control& control : ChildrenOf(dialog)) {
    if ((control.style & SS_TYPEMASK) == SS_ICON) icon = control;
  }
  ASSERT_TRUE(icon.has_value()) << "the dialog shows no icon";
  const RECT text = WindowRectOf(message->hwnd);
  EXPECT_TRUE(Inside(text, ClientRectOnScreen(dialog))) << "text " << Describe(text);
  const std::optional<Sample> sample =
      Look("message-dialog-dark-desktop", dialog, text, WindowRectOf(icon->hwnd), kDarkDesktop);
  ASSERT_TRUE(sample.has_value());
  ExpectOpaqueBehindText("message-dialog-dark-desktop", *sample, kDarkDesktop);

  const auto ok = FindChild(dialog, "Button", "OK");
  ASSERT_TRUE(ok.has_value());
  Click(ok->hwnd);
  EXPECT_TRUE(monitor.process().WaitForExit(kStartMs));
}

}  // namespace
}  // namespace kv::e2e
