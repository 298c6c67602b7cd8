#include "cli/progress.h"

namespace kv::cli {
namespace {

constexpr std::size_t kWidth = 79;

}  // namespace

std::string ProgressText(const std::string& section, long items) {
  std::string text = "kvscan: " + section + ", " + std::to_string(items) + (items == 1 ? " item" : " items");
  if (text.size() > kWidth) text.resize(kWidth);
  return text;
}

ProgressLine::ProgressLine(Writer write, std::chrono::milliseconds delay, std::chrono::milliseconds interval)
    : write_(std::move(write)), delay_(delay), interval_(interval), thread_([this] { Run(); }) {}

ProgressLine::~ProgressLine() { Stop(); }

void ProgressLine::Section(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  section_ = name;
  items_ = 0;
}

void ProgressLine::Items(long items) { items_ = items; }

void ProgressLine::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ && !thread_.joinable()) return;
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ProgressLine::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (wake_.wait_for(lock, delay_, [this] { return stopping_; })) return;
  std::size_t shown = 0;
  do {
    std::string text = ProgressText(section_.empty() ? "starting" : section_, items_.load());
    const std::size_t length = text.size();
    if (length < shown) text += std::string(shown - length, ' ');
    shown = length;
    lock.unlock();
    write_("\r" + text);
    lock.lock();
  } while (!wake_.wait_for(lock, interval_, [this] { return stopping_; }));
  lock.unlock();
  write_("\r" + std::string(shown, ' ') + "\r");
}

}  // namespace kv::cli
