// A one-line progress indicator for a console: once a probe has run for half a second it shows the
// section being scanned and the items examined so far, rewriting the line a few times a second from a
// thread of its own (so it moves even while one item takes long), and wipes the line when the probe ends.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kv::cli {

// "kvscan: TClsIdTYPES, 1234 items", at most 79 characters.
std::string ProgressText(const std::string& section, long items);

class ProgressLine {
 public:
  using Writer = std::function<void(const std::string& text)>;

  explicit ProgressLine(Writer write, std::chrono::milliseconds delay = std::chrono::milliseconds(500),
                        std::chrono::milliseconds interval = std::chrono::milliseconds(200));
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Called on the probe's thread.
  void Section(const std::string& name);
  void Items(long items);
  // Ends the indicator and wipes its line if it showed one.
  void Stop();

 private:
  void Run();

  Writer write_;
  std::chrono::milliseconds delay_;
  std::chrono::milliseconds interval_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::string section_;
  std::atomic<long> items_{0};
  std::thread thread_;
};

}  // namespace kv::cli
