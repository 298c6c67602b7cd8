// A main thread for tests: scan threads queue their synchronized calls, and the test's own thread serves
// them when it chooses, as a message loop would.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "app/logic/main_thread.h"

namespace kv::testing {

class QueueMainThread : public MainThread {
 public:
  bool Synchronize(const std::function<void()>& call) override {
    std::unique_lock<std::mutex> lock(mutex_);
    if (closed_) return false;
    Pending pending{&call};
    queue_.push_back(&pending);
    changed_.notify_all();
    changed_.wait(lock, [&] { return pending.done || (closed_ && !pending.running && !Queued(&pending)); });
    return pending.done;
  }

  // Refuses every later call. Calls already waiting stay blocked, as a window message already sent stays
  // until its receiver looks at its messages again, until TurnAwayWaitingCalls.
  void Close() override {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }

  // Once closed: the waiting calls return without running.
  void TurnAwayWaitingCalls() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!closed_) return;
    queue_.clear();
    changed_.notify_all();
  }

  // Serves calls, as they come, until `done` holds; gives up after `limit` so that a broken test fails
  // instead of hanging. Returns whether `done` held.
  bool ServeUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      while (!queue_.empty()) {
        Pending* pending = queue_.front();
        queue_.pop_front();
        pending->running = true;
        lock.unlock();
        (*pending->call)();
        lock.lock();
        pending->done = true;
        ++served_;
        changed_.notify_all();
      }
      lock.unlock();
      const bool finished = done();
      lock.lock();
      if (finished) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      changed_.wait_for(lock, std::chrono::milliseconds(2), [&] { return !queue_.empty(); });
    }
  }

  // Waits until a call is waiting to be served (without serving it).
  bool WaitForCall(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return !queue_.empty(); });
  }

  int Served() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return served_;
  }

 private:
  struct Pending;
  bool Queued(const Pending* pending) const {
    for (const Pending* p : queue_)
      if (p == pending) return true;
    return false;
  }

  struct Pending {
    const std::function<void()>* call;
    bool running = false;
    bool done = false;
  };

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Pending*> queue_;
  bool closed_ = false;
  int served_ = 0;
};

}  // namespace kv::testing
