#include "app/tray_icon.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "app/logic/tray_tip.h"
#include "app/ui_common.h"

namespace kv {
namespace {

constexpr UINT_PTR kHookId = 1;

// The record the shell is given is the first form of its notify-icon data: size, window, identifier,
// flags, callback message, icon and a 64-character tip (UTF-16). That is 152 bytes in a 32-bit build and
// 168 in a 64-bit one, where the window and icon handles take 8 bytes each (with alignment).
static_assert(NOTIFYICONDATAW_V1_SIZE == (sizeof(void*) == 8 ? 168 : 152), "the first form of the record");
static_assert(TTrayIcon::kCallbackMessage == 0x800, "the callback message");
static_assert((NIF_MESSAGE | NIF_ICON | NIF_TIP) == 7, "message, icon and tip");

}  // namespace

TTrayIcon::TTrayIcon(HINSTANCE instance, HWND ownerForm)
    : owner_(ownerForm), taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
  RegisterFormClass(instance, kClassName, &TTrayIcon::WindowProc, nullptr, nullptr);
  // A hidden top-level window (not a message-only one): the shell's "TaskbarCreated" broadcast reaches it.
  window_.reset(
      CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this));
  if (owner_ != nullptr) {
    hooked_ = SetWindowSubclass(owner_, &TTrayIcon::OwnerHook, kHookId, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
  }
}

TTrayIcon::~TTrayIcon() {
  HideIcon();
  if (hooked_) RemoveWindowSubclass(owner_, &TTrayIcon::OwnerHook, kHookId);
  window_.reset();
}

void TTrayIcon::Loaded() {
  loaded_ = true;
  if (StartMinimized && owner_ != nullptr) ShowWindow(owner_, SW_HIDE);
  ShowIcon();
}

void TTrayIcon::SetIcon(win32::UniqueIcon icon) {
  icon_ = std::move(icon);
  ModifyIcon();
}

void TTrayIcon::SetHint(const std::string& hint) {
  hint_ = hint;
  ModifyIcon();
}

void TTrayIcon::SetShowHint(bool show) {
  showHint_ = show;
  ModifyIcon();
}

void TTrayIcon::FillRecord(NOTIFYICONDATAW& record) const {
  record = NOTIFYICONDATAW{};
  record.cbSize = NOTIFYICONDATAW_V1_SIZE;
  record.hWnd = window_.get();
  record.uID = kIconId;
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.uCallbackMessage = kCallbackMessage;
  record.hIcon = icon_.get();
  // The tip as the logic cut it, in UTF-16, and never more than the record holds before its closing NUL.
  const std::wstring tip = Widen(TrayTip(hint_, showHint_));
  const std::size_t units = std::min(tip.size(), std::size(record.szTip) - 1);
  std::memcpy(record.szTip, tip.data(), units * sizeof(wchar_t));
}

void TTrayIcon::ShowIcon() {
  NOTIFYICONDATAW record;
  FillRecord(record);
  if (iconAdded_) {
    Shell_NotifyIconW(NIM_MODIFY, &record);
  } else {
    iconAdded_ = Shell_NotifyIconW(NIM_ADD, &record) != FALSE;
  }
}

void TTrayIcon::HideIcon() {
  if (!iconAdded_) return;
  NOTIFYICONDATAW record;
  FillRecord(record);
  Shell_NotifyIconW(NIM_DELETE, &record);
  iconAdded_ = false;
}

void TTrayIcon::ModifyIcon() {
  if (!iconAdded_) return;
  NOTIFYICONDATAW record;
  FillRecord(record);
  Shell_NotifyIconW(NIM_MODIFY, &record);
}

LRESULT CALLBACK TTrayIcon::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TTrayIcon* tray = WindowOwner<TTrayIcon>(window, message, lParam);
  if (tray == nullptr || tray->window_.get() != window) return DefWindowProcW(window, message, wParam, lParam);
  return tray->HandleMessage(message, wParam, lParam);
}

LRESULT TTrayIcon::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // The shell names the icon in the first parameter: a callback message for any other identifier is not
  // the shell's (another program posting to this window) and is ignored. The second parameter is only
  // compared with the mouse messages this component knows.
  if (message == kCallbackMessage) {
    if (wParam == kIconId) HandleMouse(static_cast<UINT>(lParam));
    return 0;
  }
  if (message == WM_QUERYENDSESSION) return 1;
  // The shell's taskbar was (re)created, after a crash or restart of the shell: the icons it showed are
  // gone, so ours is added again.
  if (message == taskbarCreated_ && taskbarCreated_ != 0) {
    if (loaded_) {
      NOTIFYICONDATAW record;
      FillRecord(record);
      // A shell that still shows the icon refuses to add it again; it is then brought up to date.
      iconAdded_ = Shell_NotifyIconW(NIM_ADD, &record) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
    }
    return 0;
  }
  return DefWindowProcW(window_.get(), message, wParam, lParam);
}

// The right button opens the menu; a left double click runs its default command. The other mouse messages
// do nothing.
void TTrayIcon::HandleMouse(UINT mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
      if (PopupMenu != nullptr) RunDefaultItem();
      break;
    case WM_RBUTTONDOWN: PopupAtCursor(); break;
    default: break;
  }
}

// The menu at the cursor, aligned as the system's menus drop (to the left of the cursor where menus drop
// right-aligned, as with right-to-left settings). The owner form comes to the foreground first and gets an
// empty message after, so that the menu closes when the user clicks elsewhere.
void TTrayIcon::PopupAtCursor() {
  if (PopupMenu == nullptr) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  ProcessPendingMessages();
  SetForegroundWindow(owner_);
  const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  TrackPopupMenu(PopupMenu, align | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, owner_, nullptr);
  PostMessageW(owner_, WM_NULL, 0, 0);
}

// The menu's default item, unless it is disabled, as if it had been chosen.
void TTrayIcon::RunDefaultItem() {
  const UINT id = GetMenuDefaultItem(PopupMenu, FALSE, 0);
  if (id == static_cast<UINT>(-1)) return;
  SendMessageW(owner_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

LRESULT CALLBACK TTrayIcon::OwnerHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                      DWORD_PTR self) {
  TTrayIcon* tray = reinterpret_cast<TTrayIcon*>(self);
  switch (message) {
    case WM_SHOWWINDOW:  // shown by a show-window call: to the foreground
      if (wParam != FALSE && lParam == 0) SetForegroundWindow(window);
      break;
    case WM_WINDOWPOSCHANGED:  // the active form's focus goes to its first control when it has none
      if (GetActiveWindow() == window && IsWindowVisible(window) && !IsChild(window, GetFocus())) {
        if (HWND first = GetNextDlgTabItem(window, nullptr, FALSE)) SetFocus(first);
      }
      break;
    case WM_SYSCOMMAND:  // minimised: to the tray instead, when asked to
      if ((wParam & 0xFFF0) == SC_MINIMIZE && tray->MinimizeToTray) {
        ShowWindow(window, SW_HIDE);
        tray->ShowIcon();
        return 0;
      }
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace kv
