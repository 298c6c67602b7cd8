// The main thread reached through the monitor form's window: a scan thread's synchronized call is a
// SendMessage of a private message, which the form's window procedure serves on the main thread. The
// message carries a token of the process's table of waiting calls, never an address: the window serves
// only calls this process itself is sending at that moment, whatever other programs post or send to it.
#pragma once

#include <windows.h>

#include <atomic>

#include "app/logic/main_thread.h"
#include "app/logic/pending_calls.h"

namespace kv {

class WindowMainThread : public MainThread {
 public:
  static constexpr UINT kCallMessage = WM_APP + 1;

  explicit WindowMainThread(HWND window);

  bool Synchronize(const std::function<void()>& call) override;
  void Close() override { closed_ = true; }
  void TurnAwayWaitingCalls() override;
  // For the window procedure, on kCallMessage: runs the call the parameters stand for when it is one of
  // this process's calls now waiting, sent (not posted) from another thread, and the link is not closed;
  // 1 when it ran, else 0 (the message is then ignored).
  LRESULT Serve(WPARAM wParam, LPARAM lParam);

 private:
  HWND window_;
  std::atomic<bool> closed_{false};
  PendingCalls calls_;
};

}  // namespace kv
