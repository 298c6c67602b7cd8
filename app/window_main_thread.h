// The main thread reached through the monitor form's window: a scan thread's synchronized call is a
// SendMessage of a private message, which the form's window procedure serves on the main thread.
#pragma once

#include <windows.h>

#include <atomic>

#include "app/logic/main_thread.h"

namespace kv {

class WindowMainThread : public MainThread {
 public:
  static constexpr UINT kCallMessage = WM_APP + 1;

  explicit WindowMainThread(HWND window) : window_(window) {}

  bool Synchronize(const std::function<void()>& call) override;
  void Close() override { closed_ = true; }
  // For the window procedure, on kCallMessage: runs the call unless closed; 1 when it ran.
  LRESULT Serve(LPARAM call);

 private:
  HWND window_;
  std::atomic<bool> closed_{false};
};

}  // namespace kv
