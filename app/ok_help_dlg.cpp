#include "app/ok_help_dlg.h"

#include <commctrl.h>

#include "app/logic/html_help.h"
#include "app/logic/monitor_form.h"
#include "app/logic/ok_help_layout.h"
#include "app/system_parts.h"
#include "app/ui_common.h"

namespace kv {
namespace {

constexpr int kClientWidth = 415;
constexpr int kMessageLeft = 64;
constexpr int kMessageWidth = 329;
constexpr int kLinkId = 100;

OkHelpGeometry Scaled(const OkHelpGeometry& g) {
  return {Scale(g.messageTop), Scale(g.linkTop),      Scale(g.bevelTop),
          Scale(g.buttonTop),  Scale(g.clientHeight), Scale(g.gap)};
}

void Move(HWND control, int x, int y, int width, int height) {
  SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

Tdlg_okhelp::Tdlg_okhelp(HINSTANCE instance, HWND owner, const HtmlHelpEngine& help)
    : instance_(instance),
      owner_(owner),
      help_(help),
      font_(CreateArial(-11)),
      linkFont_(CreateArial(-11, /*underline=*/true)),
      applicationIcon_(LoadApplicationIcon(instance, GetSystemMetrics(SM_CXICON))) {
  RegisterFormClass(instance, kClassName, &Tdlg_okhelp::WindowProc, nullptr, nullptr);
  window_.reset(CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClassName, L"Keyvane Pro",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, Scale(kClientWidth),
                                Scale(kOkHelpDesign.clientHeight), owner, nullptr, instance, this));
  HWND form = window_.get();
  if (form == nullptr) return;
  // Created in tab order: the OK button first.
  OkButton_ = CreateControl(form, L"BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 333, kOkHelpDesign.buttonTop, 75, 25,
                            IDOK, font_.get());
  iIcon_ = CreateControl(form, L"STATIC", "", SS_ICON, 16, 12, 33, 33, -1, nullptr);
  MessageLabel_ = CreateControl(form, L"STATIC", "", SS_LEFT | SS_NOPREFIX, kMessageLeft, kOkHelpDesign.messageTop,
                                kMessageWidth, 13, -1, font_.get());
  lHelp_ = CreateControl(form, L"STATIC", "Help", SS_LEFT | SS_NOTIFY | SS_NOPREFIX, kMessageLeft,
                         kOkHelpDesign.linkTop, 21, 14, kLinkId, linkFont_.get());
  Bevel_ = CreateControl(form, L"STATIC", "", SS_ETCHEDHORZ, 0, kOkHelpDesign.bevelTop, 413, 2, -1, nullptr);

  // The link's hint.
  HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form, nullptr, instance, nullptr);
  if (tip != nullptr) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = form;
    tool.uId = reinterpret_cast<UINT_PTR>(lHelp_);
    wchar_t hint[] = L"Click Here";
    tool.lpszText = hint;
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void Tdlg_okhelp::ShowOkHelp(const std::string& message, const std::string& topic, const std::string& linkCaption,
                             std::uint8_t linkMode, int iconType) {
  HWND form = window_.get();
  if (form == nullptr) return;
  topic_ = topic;
  linkMode_ = linkMode;
  SetWindowTextW(lHelp_, Widen(linkCaption).c_str());
  const SIZE link = MeasureText(linkFont_.get(), linkCaption);

  SetIcon(iconType);

  // The message label gets the height its text needs, word-wrapped at its width in its font.
  const int messageWidth = Scale(kMessageWidth);
  const int messageHeight = MeasureText(font_.get(), message, messageWidth).cy;
  SetWindowTextW(MessageLabel_, Widen(message).c_str());

  const OkHelpGeometry g = ArrangeOkHelp(Scaled(kOkHelpDesign), messageHeight);
  Move(MessageLabel_, Scale(kMessageLeft), g.messageTop, messageWidth, messageHeight);
  Move(lHelp_, Scale(kMessageLeft), g.linkTop, link.cx, link.cy);
  Move(Bevel_, 0, g.bevelTop, Scale(413), 2);
  Move(OkButton_, Scale(333), g.buttonTop, Scale(75), Scale(25));
  SizeAndCentre(form, Scale(kClientWidth), g.clientHeight);

  // Modal: the owner waits until the dialog is closed.
  closed_ = false;
  const bool ownerEnabled = owner_ != nullptr && IsWindowEnabled(owner_);
  if (ownerEnabled) EnableWindow(owner_, FALSE);
  ShowWindow(form, SW_SHOWNORMAL);
  SetForegroundWindow(form);
  SetFocus(OkButton_);
  RunModalLoop(form, [this] { return closed_; });
  if (ownerEnabled) EnableWindow(owner_, TRUE);
  ShowWindow(form, SW_HIDE);
}

void Tdlg_okhelp::SetIcon(int iconType) {
  LPCWSTR stock = nullptr;
  switch (OkHelpIconFor(iconType)) {
    case OkHelpIcon::kHand: stock = MAKEINTRESOURCEW(32513); break;         // IDI_HAND
    case OkHelpIcon::kQuestion: stock = MAKEINTRESOURCEW(32514); break;     // IDI_QUESTION
    case OkHelpIcon::kExclamation: stock = MAKEINTRESOURCEW(32515); break;  // IDI_EXCLAMATION
    case OkHelpIcon::kAsterisk: stock = MAKEINTRESOURCEW(32516); break;     // IDI_ASTERISK
    case OkHelpIcon::kApplication: break;
  }
  HICON icon = stock != nullptr ? LoadIconW(nullptr, stock) : nullptr;  // stock icons are shared
  if (icon == nullptr) icon = applicationIcon_.get();
  SendMessageW(iIcon_, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

// Mode 0: the page of the help file beside the program.
void Tdlg_okhelp::lHelpClick() {
  if (linkMode_ != 0) return;
  const std::string path = HelpTopicPath(ExecutableFolder(), topic_);
  if (!help_.ShowTopic(window_.get(), path)) {
    MessageBoxW(window_.get(), L"Cannot open the help file.", Widen(kApplicationTitle).c_str(), MB_OK);
  }
}

LRESULT CALLBACK Tdlg_okhelp::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Tdlg_okhelp* dialog = WindowOwner<Tdlg_okhelp>(window, message, lParam);
  if (dialog == nullptr || dialog->window_.get() != window) return DefWindowProcW(window, message, wParam, lParam);
  return dialog->HandleMessage(message, wParam, lParam);
}

LRESULT Tdlg_okhelp::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND form = window_.get();
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL: closed_ = true; return 0;
        case kLinkId:
          if (HIWORD(wParam) == STN_CLICKED) lHelpClick();
          return 0;
      }
      break;
    case WM_CLOSE: closed_ = true; return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, reinterpret_cast<HWND>(lParam) == lHelp_ ? RGB(0, 0, 255) : GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == lHelp_) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
      }
      break;
  }
  return DefWindowProcW(form, message, wParam, lParam);
}

}  // namespace kv
