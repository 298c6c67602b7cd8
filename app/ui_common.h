// What the program's windows share: the application title, pixel scaling for the screen's resolution,
// the form font, the application icon, centring, and the pending-message pump. The windows are Unicode
// ones (the W calls); the program's text is UTF-8 until it reaches them (Widen, platform/win32/utf.h).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/win32/unique_handles.h"
#include "platform/win32/utf.h"

namespace kv {

// Layouts are designed at 96 dots per inch; this scales a length to the screen's resolution.
int Scale(int pixels);

// Arial of the given design height (negative: character height), optionally underlined.
win32::UniqueFont CreateArial(int height, bool underline = false);

// The application's own icon at the given size (a copy the caller owns).
win32::UniqueIcon LoadApplicationIcon(HINSTANCE instance, int size);

// Resizes `window` so that its client area is `width` x `height`, and centres it on the screen's work area.
void SizeAndCentre(HWND window, int width, int height);

// The size `text` needs in `font`; `wrapWidth` > 0 wraps at that width.
SIZE MeasureText(HFONT font, const std::string& text, int wrapWidth = 0);

// Dispatches the messages waiting now. A quit request met on the way is put back for the loop it belongs
// to; returns false then.
bool ProcessPendingMessages();

// The modal state of a window of ours: runs the thread's messages, with `dialog`'s keyboard navigation
// (Tab, Enter, Escape), until `done` says so. A quit request ends it too and is put back for the program's
// own loop.
void RunModalLoop(HWND dialog, const std::function<bool()>& done);

// A child control with the form's font.
HWND CreateControl(HWND parent, const wchar_t* className, const std::string& text, DWORD style, int x, int y, int width,
                   int height, int id, HFONT font);

}  // namespace kv

namespace kv {

// Registers a window class of this program once; later calls with the same name do nothing.
void RegisterFormClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure, HICON icon, HICON smallIcon);

// The object a window of ours stands for: stored at creation (WM_NCCREATE), read by the window procedure.
template <typename Owner>
Owner* WindowOwner(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* owner = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    return owner;
  }
  return reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace kv
