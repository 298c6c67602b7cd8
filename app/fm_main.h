// TfmMain: the monitor's main form. Hidden from the start (its tray icon stands for it), shown only as the
// modal Yes/No alert. It owns Timer1, the tray icon and its menu, and wires the form's decisions
// (MonitorForm) to real windows: it is their timer, alert, message box and exit.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/logic/monitor_form.h"
#include "app/system_parts.h"
#include "app/tray_icon.h"
#include "app/window_main_thread.h"
#include "platform/win32/unique_handles.h"
#include "scan/engine.h"

namespace kv {

class TfmMain : public FormWindow {
 public:
  static constexpr const wchar_t kClassName[] = L"TfmMain";
  static constexpr int kRunVanetiderCommand = 101;  // miRunVanetider
  static constexpr int kExitCommand = 102;          // miExit

  // `mustDieMessage` and `monitoringDisableMessage`: the registered window messages that end the program.
  TfmMain(HINSTANCE instance, Engine& engine, UINT mustDieMessage, UINT monitoringDisableMessage);
  ~TfmMain() override;
  TfmMain(const TfmMain&) = delete;
  TfmMain& operator=(const TfmMain&) = delete;

  // Creates the window, its controls, the menu and the tray icon, then runs FormCreate. False when the
  // window cannot be created.
  bool Create();
  // FormDestroy, then the tray icon and the window go.
  void Destroy();
  // True while a scan thread has not ended (after Destroy: one that outlived the waits).
  bool ScanThreadAlive() const { return logic_ && logic_->ScanThreadAlive(); }
  // The form has been closed: the program's message loop ends.
  bool ExitRequested() const { return exitRequested_; }
  HWND Handle() const { return window_.get(); }

  // Timer1.
  void SetTimerEnabled(bool enabled) override;
  // The alert.
  bool ShowModal(const std::string& text) override;
  void Hide() override;
  bool Visible() const override;
  // Message boxes owned by the form.
  void ShowError(const std::string& text) override;
  // The program's end.
  void ClearMinimizeToTray() override;
  void CloseForm(bool alertUp) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id);
  void CreateControls();

  HINSTANCE instance_;
  Engine& engine_;
  UINT mustDieMessage_;
  UINT monitoringDisableMessage_;

  win32::UniqueFont font_;
  win32::UniqueIcon applicationIcon_;
  win32::UniqueMenu PopupMenu1_;
  win32::UniqueWindow window_;
  HWND Label1_ = nullptr;
  HWND Image1_ = nullptr;
  HWND bYes_ = nullptr;
  HWND bNo_ = nullptr;

  std::shared_ptr<WindowMainThread> mainThread_;
  Win32FormSystem system_;
  std::unique_ptr<RegThreadStarter> scans_;
  std::unique_ptr<TTrayIcon> TrayIcon1_;
  std::unique_ptr<MonitorForm> logic_;

  bool timerEnabled_ = false;
  bool inModal_ = false;
  int modalResult_ = 0;
  bool destroyed_ = false;
  bool exitRequested_ = false;
};

}  // namespace kv
