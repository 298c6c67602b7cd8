#include "app/window_main_thread.h"

namespace kv {

// A call sent once the form is gone finds no window and returns 0 at once.
bool WindowMainThread::Synchronize(const std::function<void()>& call) {
  if (closed_) return false;
  return SendMessageA(window_, kCallMessage, 0, reinterpret_cast<LPARAM>(&call)) == 1;
}

LRESULT WindowMainThread::Serve(LPARAM call) {
  if (closed_) return 0;
  (*reinterpret_cast<const std::function<void()>*>(call))();
  return 1;
}

// Peeking processes the messages sent to this thread's windows: a call among them finds the link closed
// and returns at once. Posted messages stay where they are.
void WindowMainThread::TurnAwayWaitingCalls() {
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace kv
