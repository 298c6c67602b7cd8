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

}  // namespace kv
