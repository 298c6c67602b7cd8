// Detects a hang: when one piece of work outlives a generous bound, the test program prints what it was
// doing and ends at once, instead of stalling until CTest gives up on it. The bound only catches work that
// never ends; it is no measure of speed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace kv::testing {

class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds bound = std::chrono::seconds(60))
      : bound_(bound), thread_([this] { Watch(); }) {}
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  // A new piece of work begins; it has the whole bound from now.
  void Begin(std::string what) {
    std::lock_guard<std::mutex> lock(mutex_);
    what_ = std::move(what);
    deadline_ = std::chrono::steady_clock::now() + bound_;
    changed_.notify_all();
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout && !stopping_ &&
          std::chrono::steady_clock::now() >= deadline_) {
        std::fprintf(stderr, "HANG: still running after %lld s: %s\n", static_cast<long long>(bound_.count()),
                     what_.c_str());
        std::fflush(stderr);
        std::_Exit(3);
      }
    }
  }

  const std::chrono::seconds bound_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  std::string what_ = "starting";
  std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::now() + bound_;
  std::thread thread_;
};

}  // namespace kv::testing
