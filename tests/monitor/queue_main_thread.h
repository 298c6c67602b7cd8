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
    changed_.wait(lock, [&] { return pending.done || closed_; });
    return pending.done;
  }

  // Drops the calls still waiting (their callers go on without them) and refuses every later one.
  void Close() override {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
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
  struct Pending {
    const std::function<void()>* call;
    bool done = false;
  };

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Pending*> queue_;
  bool closed_ = false;
  int served_ = 0;
};

}  // namespace kv::testing
