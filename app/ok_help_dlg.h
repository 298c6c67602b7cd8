// Tdlg_okhelp: a small modal message box with an icon, a word-wrapped message, a help link under it that
// opens a page of the product's help file, and an OK button. Built from real controls, so that screen
// readers and automation can read and press them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/hh.h"
#include "platform/win32/unique_handles.h"

namespace kv {

class Tdlg_okhelp {
 public:
  static constexpr const wchar_t kClassName[] = L"Tdlg_okhelp";

  // FormCreate: the dialog's window and controls, hidden; caption "Keyvane Pro", link mode 0.
  Tdlg_okhelp(HINSTANCE instance, HWND owner, const HtmlHelpEngine& help);
  Tdlg_okhelp(const Tdlg_okhelp&) = delete;
  Tdlg_okhelp& operator=(const Tdlg_okhelp&) = delete;

  // Fills and lays out the dialog, shows it modally and returns when the user closes it. `iconType` is a
  // message-box icon constant (16, 32, 48, 64); any other value shows the application's icon.
  void ShowOkHelp(const std::string& message, const std::string& topic, const std::string& linkCaption,
                  std::uint8_t linkMode, int iconType);

  HWND Handle() const { return window_.get(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void lHelpClick();
  void SetIcon(int iconType);

  HINSTANCE instance_;
  HWND owner_;
  const HtmlHelpEngine& help_;
  win32::UniqueFont font_;
  win32::UniqueFont linkFont_;
  win32::UniqueIcon applicationIcon_;
  win32::UniqueWindow window_;
  HWND iIcon_ = nullptr;
  HWND MessageLabel_ = nullptr;
  HWND lHelp_ = nullptr;
  HWND Bevel_ = nullptr;
  HWND OkButton_ = nullptr;
  std::string topic_;
  std::uint8_t linkMode_ = 0;
  bool closed_ = false;
};

}  // namespace kv
