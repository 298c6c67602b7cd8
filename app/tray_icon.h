// TTrayIcon: the monitor's presence in the notification area. One icon with a tool-tip, a context menu on
// the right button, the menu's default command on a left double click, and an owner form that stays hidden
// from the start. A hidden window of its own receives the icon's callback messages; a hook on the owner form
// brings it to the foreground when it is shown and hides it to the tray when it is minimised.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/win32/unique_handles.h"

namespace kv {

class TTrayIcon {
 public:
  static constexpr const wchar_t kClassName[] = L"TTrayIcon";
  static constexpr UINT kCallbackMessage = WM_USER + 1024;  // 0x800
  static constexpr UINT kIconId = 1;

  // Creates the hidden window and hooks the owner form. The icon appears at Loaded().
  TTrayIcon(HINSTANCE instance, HWND ownerForm);
  // Removes the icon, restores the owner form's window procedure and destroys the hidden window.
  ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  // The owner form is set up: hide it when StartMinimized, then show the icon.
  void Loaded();

  // Setting the icon, hint or ShowHint updates the icon in the notification area. The icon is a copy
  // the component owns.
  void SetIcon(win32::UniqueIcon icon);
  void SetHint(const std::string& hint);
  void SetShowHint(bool show);

  HMENU PopupMenu = nullptr;  // the owner form's menu; its commands go to the owner form as WM_COMMAND
  bool StartMinimized = false;
  bool MinimizeToTray = false;  // minimising the owner form hides it and leaves the icon

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK OwnerHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR self);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void HandleMouse(UINT mouseMessage);
  void PopupAtCursor();
  void RunDefaultItem();
  void ShowIcon();
  void HideIcon();
  void ModifyIcon();
  void FillRecord(NOTIFYICONDATAW& record) const;

  HWND owner_;
  UINT taskbarCreated_;
  win32::UniqueWindow window_;
  win32::UniqueIcon icon_;
  std::string hint_;
  bool showHint_ = false;
  bool iconAdded_ = false;
  bool hooked_ = false;
  bool loaded_ = false;
};

}  // namespace kv
