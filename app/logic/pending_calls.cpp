#include "app/logic/pending_calls.h"

namespace kv {
namespace {

// A 64-bit mixing function (the finaliser of SplitMix64): every bit of the input reaches every bit of the
// output, so that knowing the check values of some serial numbers tells nothing of the next one's.
std::uint64_t Mix(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ULL;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
  return value ^ (value >> 31);
}

}  // namespace

std::uintptr_t PendingCalls::CheckFor(std::uintptr_t serial) const {
  return static_cast<std::uintptr_t>(Mix(key_ ^ Mix(static_cast<std::uint64_t>(serial))));
}

CallToken PendingCalls::Add(const std::function<void()>& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (++lastSerial_ == 0) ++lastSerial_;
  const CallToken token{lastSerial_, CheckFor(lastSerial_)};
  entries_[token.serial] = Entry{&call, token.check, State::kWaiting};
  return token;
}

bool PendingCalls::Run(const CallToken& token) {
  const std::function<void()>* call = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = entries_.find(token.serial);
    if (found == entries_.end() || found->second.check != token.check || found->second.state != State::kWaiting)
      return false;
    found->second.state = State::kRunning;
    call = found->second.call;
  }
  // The entry stays while the call runs: its thread waits in its send until this returns, and only then
  // finishes it.
  struct MarkRan {
    PendingCalls& calls;
    std::uintptr_t serial;
    ~MarkRan() {
      std::lock_guard<std::mutex> lock(calls.mutex_);
      const auto found = calls.entries_.find(serial);
      if (found != calls.entries_.end()) found->second.state = State::kRan;
    }
  } markRan{*this, token.serial};
  if (*call) (*call)();
  return true;
}

bool PendingCalls::Finish(const CallToken& token) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = entries_.find(token.serial);
  if (found == entries_.end() || found->second.check != token.check) return false;
  const bool ran = found->second.state == State::kRan;
  entries_.erase(found);
  return ran;
}

std::size_t PendingCalls::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

}  // namespace kv
