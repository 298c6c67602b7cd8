// Owners of the Win32 handles the program creates: kernel objects, windows, menus, icons, fonts and
// libraries. Each frees its handle the way it was made.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace kv {

struct KernelHandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<void, KernelHandleCloser>;

struct WindowDestroyer {
  void operator()(HWND window) const {
    if (window != nullptr && IsWindow(window)) DestroyWindow(window);
  }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

struct MenuDestroyer {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

// For icons made by LoadImage without LR_SHARED or by CreateIcon*; shared (stock) icons are never freed.
struct IconDestroyer {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

struct LibraryFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

// A device context of the screen, released when done.
class ScreenDC {
 public:
  ScreenDC() : dc_(GetDC(nullptr)) {}
  ~ScreenDC() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// Selects a GDI object into a device context for the life of the selection.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectedObject() { SelectObject(dc_, previous_); }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace kv
