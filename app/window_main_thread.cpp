#define _CRT_RAND_S  // rand_s: random numbers from the system's generator
#include "app/window_main_thread.h"

#include <stdlib.h>

namespace kv {
namespace {

// The key of the process's table of waiting calls: 64 bits from the system's random generator. Should
// that ever fail, values another process cannot read still make it (the time to the performance counter's
// tick, this thread and process, where the stack lies).
std::uint64_t ProcessCallKey() {
  unsigned int high = 0;
  unsigned int low = 0;
  if (rand_s(&high) == 0 && rand_s(&low) == 0) return (static_cast<std::uint64_t>(high) << 32) | low;
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  int local = 0;
  return static_cast<std::uint64_t>(counter.QuadPart) ^ (static_cast<std::uint64_t>(GetCurrentProcessId()) << 40) ^
         (static_cast<std::uint64_t>(GetCurrentThreadId()) << 20) ^ reinterpret_cast<std::uintptr_t>(&local);
}

}  // namespace

WindowMainThread::WindowMainThread(HWND window) : window_(window), calls_(ProcessCallKey()) {}

// A call sent once the form is gone finds no window and returns at once, not run.
bool WindowMainThread::Synchronize(const std::function<void()>& call) {
  if (closed_) return false;
  const CallToken token = calls_.Add(call);
  SendMessageW(window_, kCallMessage, static_cast<WPARAM>(token.serial), static_cast<LPARAM>(token.check));
  return calls_.Finish(token);
}

LRESULT WindowMainThread::Serve(WPARAM wParam, LPARAM lParam) {
  if (closed_) return 0;
  // Our calls come sent from the scan thread, the sender waiting: a posted message, a notification or a
  // send with a callback (which do not wait) is none of ours.
  const DWORD how = InSendMessageEx(nullptr);
  if ((how & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) != ISMEX_SEND) return 0;
  return calls_.Run(CallToken{static_cast<std::uintptr_t>(wParam), static_cast<std::uintptr_t>(lParam)}) ? 1 : 0;
}

// Peeking processes the messages sent to this thread's windows: a call among them finds the link closed
// and returns at once. Posted messages stay where they are.
void WindowMainThread::TurnAwayWaitingCalls() {
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace kv
