// Owners of raw Win32 handles, for the program and for the end-to-end tests alike. Each owner is
// move-only, frees its handle the way it was made, and knows what "no handle" is for its kind: null for
// most, INVALID_HANDLE_VALUE for what CreateFile, CreateToolhelp32Snapshot and FindFirstFile hand out. A
// value that is "none" is never freed, so the failure of the call that makes a handle can go straight in.
#pragma once

#include <windows.h>

#include <utility>

namespace kv::win32 {

// One owned handle. `Traits` names the handle's type (`Type`), its "none" (`None()`) and how it is freed
// (`Close`).
template <typename Traits>
class UniqueAny {
 public:
  using pointer = typename Traits::Type;

  UniqueAny() = default;
  explicit UniqueAny(pointer handle) : handle_(handle) {}
  UniqueAny(UniqueAny&& other) noexcept : handle_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  ~UniqueAny() { reset(); }

  pointer get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::None(); }

  // Takes `handle` and frees the one held before. The new handle is in place before the old one is freed,
  // so a window procedure that runs while the old window is destroyed no longer sees it as its own.
  void reset(pointer handle = Traits::None()) {
    const pointer old = std::exchange(handle_, handle);
    if (old != Traits::None()) Traits::Close(old);
  }
  // Gives the handle up without freeing it.
  pointer release() { return std::exchange(handle_, Traits::None()); }
  // For the calls that hand a handle out through a pointer (RegOpenKeyEx, ...): frees the one held first.
  pointer* receive() {
    reset();
    return &handle_;
  }

 private:
  pointer handle_ = Traits::None();
};

namespace traits {

// What "none" is: null for most handles, INVALID_HANDLE_VALUE for some kernel handles.
template <typename T>
struct NoneIsNull {
  using Type = T;
  static Type None() { return nullptr; }
};
struct NoneIsInvalid {
  using Type = HANDLE;
  static Type None() { return INVALID_HANDLE_VALUE; }
};

// A kernel object whose "none" is null: a process, thread, mutex, event.
struct Handle : NoneIsNull<HANDLE> {
  static void Close(HANDLE handle) { CloseHandle(handle); }
};
// A kernel object whose "none" is INVALID_HANDLE_VALUE: an open file, a tool-help snapshot.
struct FileHandle : NoneIsInvalid {
  static void Close(HANDLE handle) { CloseHandle(handle); }
};
// A directory search of FindFirstFile.
struct Find : NoneIsInvalid {
  static void Close(HANDLE find) { FindClose(find); }
};
// A registry key opened or created by this program (never one of the predefined roots).
struct RegKey : NoneIsNull<HKEY> {
  static void Close(HKEY key) { RegCloseKey(key); }
};
// A window; one that is already gone (destroyed by the system with its owner) is left alone.
struct Window : NoneIsNull<HWND> {
  static void Close(HWND window) {
    if (IsWindow(window)) DestroyWindow(window);
  }
};
struct Menu : NoneIsNull<HMENU> {
  static void Close(HMENU menu) { DestroyMenu(menu); }
};
// An icon made by LoadImage without LR_SHARED or by CreateIcon*; shared (stock) icons are never freed.
struct Icon : NoneIsNull<HICON> {
  static void Close(HICON icon) { DestroyIcon(icon); }
};
struct Font : NoneIsNull<HFONT> {
  static void Close(HFONT font) { DeleteObject(font); }
};
struct Library : NoneIsNull<HMODULE> {
  static void Close(HMODULE module) { FreeLibrary(module); }
};

}  // namespace traits

using UniqueHandle = UniqueAny<traits::Handle>;
using UniqueFileHandle = UniqueAny<traits::FileHandle>;
using UniqueFind = UniqueAny<traits::Find>;
using UniqueRegKey = UniqueAny<traits::RegKey>;
using UniqueWindow = UniqueAny<traits::Window>;
using UniqueMenu = UniqueAny<traits::Menu>;
using UniqueIcon = UniqueAny<traits::Icon>;
using UniqueFont = UniqueAny<traits::Font>;
using UniqueLibrary = UniqueAny<traits::Library>;

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

}  // namespace kv::win32
