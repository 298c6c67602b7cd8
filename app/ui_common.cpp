#include "app/ui_common.h"

#include "app/resource.h"

namespace kv {

int Scale(int pixels) {
  static const int dpi = [] {
    ScreenDC screen;
    const int value = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return value > 0 ? value : 96;
  }();
  return MulDiv(pixels, dpi, 96);
}

UniqueFont CreateArial(int height, bool underline) {
  return UniqueFont(CreateFontA(-Scale(-height), 0, 0, 0, FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_SWISS, "Arial"));
}

UniqueIcon LoadApplicationIcon(HINSTANCE instance, int size) {
  return UniqueIcon(static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

void SizeAndCentre(HWND window, int width, int height) {
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
  const int outerWidth = frame.right - frame.left;
  const int outerHeight = frame.bottom - frame.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + (work.right - work.left - outerWidth) / 2;
  const int y = work.top + (work.bottom - work.top - outerHeight) / 2;
  SetWindowPos(window, nullptr, x, y, outerWidth, outerHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE MeasureText(HFONT font, const std::string& text, int wrapWidth) {
  ScreenDC screen;
  SelectedObject selected(screen.get(), font);
  RECT rect{0, 0, wrapWidth, 0};
  UINT format = DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX;
  if (wrapWidth > 0) format |= DT_WORDBREAK;
  DrawTextA(screen.get(), text.c_str(), static_cast<int>(text.size()), &rect, format);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

bool ProcessPendingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

HWND CreateControl(HWND parent, const char* className, const std::string& text, DWORD style, int x, int y,
                   int width, int height, int id, HFONT font) {
  HWND control = CreateWindowExA(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, Scale(x), Scale(y),
                                 Scale(width), Scale(height), parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
  if (control != nullptr && font != nullptr) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

}  // namespace kv

namespace kv {

void RegisterFormClass(HINSTANCE instance, const char* className, WNDPROC procedure, HICON icon, HICON smallIcon) {
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExA(instance, className, &existing)) return;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = icon;
  windowClass.hIconSm = smallIcon;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = className;
  RegisterClassExA(&windowClass);
}

}  // namespace kv
