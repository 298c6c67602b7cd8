// The HTML Help engine: the system's own (hhctrl.ocx in the system folder, by its full path, never what
// its class registration names), loaded once at start-up, unloaded at the end. A help topic opens in the engine when it
// is loaded, otherwise through the help viewer program.
#pragma once

#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/unique_handles.h"

namespace kv {

class HtmlHelpEngine {
 public:
  using HtmlHelpAFunction = HWND(WINAPI*)(HWND owner, LPCSTR file, UINT command, DWORD_PTR data);
  using HtmlHelpWFunction = HWND(WINAPI*)(HWND owner, LPCWSTR file, UINT command, DWORD_PTR data);

  // Loads the engine when it is present in the system folder.
  explicit HtmlHelpEngine(Platform& platform);
  HtmlHelpEngine(const HtmlHelpEngine&) = delete;
  HtmlHelpEngine& operator=(const HtmlHelpEngine&) = delete;

  bool Loaded() const { return static_cast<bool>(library_); }
  HtmlHelpAFunction HtmlHelpA() const { return htmlHelpA_; }
  HtmlHelpWFunction HtmlHelpW() const { return htmlHelpW_; }

  // Shows `path` ("<file>::/<page>", UTF-8) with `owner`: through "HtmlHelpW" when the engine has it (else
  // "HtmlHelpA"), else through "hh.exe". False when none shows it.
  bool ShowTopic(HWND owner, const std::string& path) const;

 private:
  win32::UniqueLibrary library_;
  HtmlHelpAFunction htmlHelpA_ = nullptr;
  HtmlHelpWFunction htmlHelpW_ = nullptr;
};

}  // namespace kv
