#include "app/ui_common.h"

#include "app/resource.h"

namespace kv {

int Scale(int pixels) {
  static const int dpi = [] {
    win32::ScreenDC screen;
    const int value = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return value > 0 ? value : 96;
  }();
  return MulDiv(pixels, dpi, 96);
}

win32::UniqueFont CreateArial(int height, bool underline) {
  return win32::UniqueFont(CreateFontW(-Scale(-height), 0, 0, 0, FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE,
                                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       DEFAULT_PITCH | FF_SWISS, L"Arial"));
}

win32::UniqueIcon LoadApplicationIcon(HINSTANCE instance, int size) {
  return win32::UniqueIcon(static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

void SizeAndCentre(HWND window, int width, int height) {
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
  const int outerWidth = frame.right - frame.left;
  const int outerHeight = frame.bottom - frame.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + (work.right - work.left - outerWidth) / 2;
  const int y = work.top + (work.bottom - work.top - outerHeight) / 2;
  SetWindowPos(window, nullptr, x, y, outerWidth, outerHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE MeasureText(HFONT font, const std::string& text, int wrapWidth) {
  win32::ScreenDC screen;
  win32::SelectedObject selected(screen.get(), font);
  RECT rect{0, 0, wrapWidth, 0};
  UINT format = DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX;
  if (wrapWidth > 0) format |= DT_WORDBREAK;
  const std::wstring wide = Widen(text);
  DrawTextW(screen.get(), wide.c_str(), static_cast<int>(wide.size()), &rect, format);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

bool ProcessPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

void RunModalLoop(HWND dialog, const std::function<bool()>& done) {
  MSG msg;
  while (!done()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {  // the program ends: leave the modal state and pass the quit request on
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

HWND CreateControl(HWND parent, const wchar_t* className, const std::string& text, DWORD style, int x, int y, int width,
                   int height, int id, HFONT font) {
  HWND control = CreateWindowExW(0, className, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | style, Scale(x), Scale(y),
                                 Scale(width), Scale(height), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (control != nullptr && font != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

}  // namespace kv

namespace kv {

void RegisterFormClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure, HICON icon, HICON smallIcon) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, className, &existing)) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = icon;
  windowClass.hIconSm = smallIcon;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = className;
  RegisterClassExW(&windowClass);
}

}  // namespace kv
