#include "app/fm_main.h"

#include <objbase.h>

#include <algorithm>
#include <utility>

#include "app/resource.h"
#include "app/ui_common.h"
#include "scan/cleaner.h"

// The scheduled check's interval: 90 minutes. The test build of the program sets a short one.
#ifndef KV_TIMER_INTERVAL_MS
#define KV_TIMER_INTERVAL_MS 5400000
#endif

namespace kv {
namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT_PTR kExitTimer = 2;
constexpr UINT kExitTimerInterval = 50;
constexpr UINT kTimer1Interval = KV_TIMER_INTERVAL_MS;
constexpr int kClientWidth = 341;
constexpr int kClientHeight = 101;
constexpr int kLabelLeft = 56;
constexpr int kRightMargin = 16;  // as the icon's distance from the left edge
constexpr int kYesLeft = 88;
constexpr int kNoLeft = 176;
constexpr int kButtonTop = 64;

// COM on the scan thread: a single-threaded apartment, left again only when it was entered.
ComHook ScanThreadCom() {
  return {[] { return SUCCEEDED(CoInitialize(nullptr)); }, [] { CoUninitialize(); }};
}

}  // namespace

TfmMain::TfmMain(HINSTANCE instance, Engine& engine, UINT mustDieMessage, UINT monitoringDisableMessage)
    : instance_(instance),
      engine_(engine),
      mustDieMessage_(mustDieMessage),
      monitoringDisableMessage_(monitoringDisableMessage) {}

TfmMain::~TfmMain() { Destroy(); }

bool TfmMain::Create() {
  font_ = CreateArial(-11);
  applicationIcon_ = LoadApplicationIcon(instance_, GetSystemMetrics(SM_CXICON));
  RegisterFormClass(
      instance_, kClassName, &TfmMain::WindowProc, LoadIconW(instance_, MAKEINTRESOURCEW(IDI_APPLICATION_ICON)),
      static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_APPLICATION_ICON), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED)));
  // An opaque body in the button-face colour (the class's background), so that the question reads on any
  // desktop behind it, light or dark, and in any contrast theme.
  window_.reset(CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, Widen(kApplicationTitle).c_str(),
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, Scale(kClientWidth), Scale(kClientHeight),
                                nullptr, nullptr, instance_, this));
  HWND form = window_.get();
  if (form == nullptr) return false;
  CreateControls();
  SizeAndCentre(form, Scale(kClientWidth), Scale(kClientHeight));

  PopupMenu1_.reset(CreatePopupMenu());
  AppendMenuW(PopupMenu1_.get(), MF_STRING, kRunVanetiderCommand, L"Run Keyvane Pro");
  AppendMenuW(PopupMenu1_.get(), MF_STRING, kExitCommand, L"Exit");
  SetMenuDefaultItem(PopupMenu1_.get(), kRunVanetiderCommand, FALSE);

  mainThread_ = std::make_shared<WindowMainThread>(form);
  system_.SetOwner(form);
  scans_ = std::make_unique<RegThreadStarter>(
      mainThread_, [] { return std::make_unique<TRegistryCleaner>(TheEngine()); }, ScanThreadCom());

  TrayIcon1_ = std::make_unique<TTrayIcon>(instance_, form);
  TrayIcon1_->SetIcon(LoadApplicationIcon(instance_, GetSystemMetrics(SM_CXSMICON)));
  TrayIcon1_->SetHint(kApplicationTitle);
  TrayIcon1_->SetShowHint(true);
  TrayIcon1_->PopupMenu = PopupMenu1_.get();
  TrayIcon1_->StartMinimized = true;
  TrayIcon1_->Loaded();

  logic_ = std::make_unique<MonitorForm>(engine_, FormParts{*this, system_, *scans_, *mainThread_});
  SendMessageW(Image1_, STM_SETICON, reinterpret_cast<WPARAM>(applicationIcon_.get()), 0);
  logic_->FormCreate();
  SetWindowTextW(form, Widen(kApplicationTitle).c_str());
  return true;
}

// Label1 (the alert text), Image1 (the application's icon) and the two buttons, in tab order.
void TfmMain::CreateControls() {
  HWND form = window_.get();
  bYes_ = CreateControl(form, L"BUTTON", "Yes", WS_TABSTOP | BS_PUSHBUTTON, kYesLeft, kButtonTop, 75, 25, IDYES,
                        font_.get());
  bNo_ =
      CreateControl(form, L"BUTTON", "No", WS_TABSTOP | BS_PUSHBUTTON, kNoLeft, kButtonTop, 75, 25, IDNO, font_.get());
  Image1_ = CreateControl(form, L"STATIC", "", SS_ICON, 16, 16, 32, 32, -1, nullptr);
  Label1_ = CreateControl(form, L"STATIC", "", SS_LEFT | SS_NOPREFIX, kLabelLeft, 16, 0, 0, -1, font_.get());
}

void TfmMain::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (window_) {
    KillTimer(window_.get(), kTimer1);
    KillTimer(window_.get(), kExitTimer);
  }
  timerEnabled_ = false;
  if (logic_) logic_->FormDestroy();
  TrayIcon1_.reset();
  window_.reset();
}

void TfmMain::SetTimerEnabled(bool enabled) {
  if (enabled == timerEnabled_ || !window_) return;
  timerEnabled_ = enabled;
  if (enabled) {
    SetTimer(window_.get(), kTimer1, kTimer1Interval, nullptr);
  } else {
    KillTimer(window_.get(), kTimer1);
  }
}

// The form as the alert: "Run Keyvane Pro" is disabled while it is up; closing it counts as "No".
bool TfmMain::ShowModal(const std::string& text) {
  HWND form = window_.get();
  if (form == nullptr) return false;
  SetWindowTextW(Label1_, Widen(text).c_str());
  const SIZE label = MeasureText(font_.get(), text);
  SetWindowPos(Label1_, nullptr, 0, 0, label.cx, label.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The label is as large as its text. Should the font come out wider than the layout foresaw (another
  // resolution, a substituted face), the form grows to hold it, its buttons kept in the middle, rather than
  // cut the question off.
  const int clientWidth = std::max(Scale(kClientWidth), Scale(kLabelLeft + kRightMargin) + static_cast<int>(label.cx));
  const int shift = (clientWidth - Scale(kClientWidth)) / 2;
  for (auto [button, left] : {std::pair{bYes_, kYesLeft}, std::pair{bNo_, kNoLeft}}) {
    SetWindowPos(button, nullptr, Scale(left) + shift, Scale(kButtonTop), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  EnableMenuItem(PopupMenu1_.get(), kRunVanetiderCommand, MF_BYCOMMAND | MF_GRAYED);

  modalResult_ = 0;
  inModal_ = true;
  SizeAndCentre(form, clientWidth, Scale(kClientHeight));
  ShowWindow(form, SW_SHOWNORMAL);
  SetForegroundWindow(form);  // FormShow
  SetFocus(bYes_);
  RunModalLoop(form, [this] { return modalResult_ != 0 || exitRequested_; });
  inModal_ = false;
  ShowWindow(form, SW_HIDE);

  EnableMenuItem(PopupMenu1_.get(), kRunVanetiderCommand, MF_BYCOMMAND | MF_ENABLED);
  EnableMenuItem(PopupMenu1_.get(), kExitCommand, MF_BYCOMMAND | MF_ENABLED);
  ProcessPendingMessages();
  return modalResult_ == IDYES;
}

void TfmMain::Hide() {
  if (window_) ShowWindow(window_.get(), SW_HIDE);
}

bool TfmMain::Visible() const { return window_ && IsWindowVisible(window_.get()); }

void TfmMain::ShowError(const std::string& text) {
  MessageBoxW(window_.get(), Widen(text).c_str(), Widen(kApplicationTitle).c_str(), MB_OK | MB_ICONERROR);
}

void TfmMain::ClearMinimizeToTray() {
  if (TrayIcon1_) TrayIcon1_->MinimizeToTray = false;
}

// Closing the main form ends the message loop, and with it the program; the alert, if it is up, ends its
// modal state first (with neither answer), and an open tray menu closes. A modal loop that runs at this
// moment (a menu's, a message box's) may swallow the quit request, so a short timer keeps waking the loops
// until the program's own loop has seen the end.
void TfmMain::CloseForm(bool alertUp) {
  exitRequested_ = true;
  if (alertUp || inModal_) modalResult_ = IDCANCEL;
  EndMenu();
  PostQuitMessage(0);
  if (window_) SetTimer(window_.get(), kExitTimer, kExitTimerInterval, nullptr);
}

LRESULT CALLBACK TfmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TfmMain* form = WindowOwner<TfmMain>(window, message, lParam);
  if (form == nullptr || form->window_.get() != window) return DefWindowProcW(window, message, wParam, lParam);
  return form->HandleMessage(message, wParam, lParam);
}

LRESULT TfmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND form = window_.get();
  const bool live = logic_ && !destroyed_;
  switch (message) {
    case WindowMainThread::kCallMessage:  // a scan thread's synchronized call
      return mainThread_ ? mainThread_->Serve(wParam, lParam) : 0;
    case WM_TIMER:
      if (wParam == kTimer1 && live && timerEnabled_) logic_->Timer1Timer();
      return 0;  // the exit timer only wakes the loops
    case WM_COMMAND: OnCommand(LOWORD(wParam)); return 0;
    case WM_CLOSE:  // the alert's close box answers "No"; closing the hidden main form ends the program
      if (inModal_) {
        modalResult_ = IDNO;
      } else if (live) {
        logic_->acExitExecute();
      }
      return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
  }
  const LRESULT result = DefWindowProcW(form, message, wParam, lParam);
  if (message != 0 && (message == mustDieMessage_ || message == monitoringDisableMessage_) && live) {
    logic_->EndMessage();
  }
  return result;
}

void TfmMain::OnCommand(int id) {
  const bool live = logic_ && !destroyed_;
  switch (id) {
    case IDYES:
    case IDNO:
      if (inModal_) modalResult_ = id;
      break;
    case IDCANCEL:  // Escape: as the close box
      if (inModal_) modalResult_ = IDNO;
      break;
    case IDOK: {  // Enter: the focused button
      const HWND focus = GetFocus();
      if (inModal_ && (focus == bYes_ || focus == bNo_)) modalResult_ = focus == bYes_ ? IDYES : IDNO;
      break;
    }
    case kRunVanetiderCommand:
      if (live) logic_->acRunVanetiderExecute();
      break;
    case kExitCommand:
      if (live) logic_->acExitExecute();
      break;
  }
}

}  // namespace kv
