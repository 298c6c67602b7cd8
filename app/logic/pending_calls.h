// The calls that other threads of this process are waiting to have run on the main thread. A thread that
// wants a call run registers it here, sends the token it gets to the main thread and, once the send has
// returned, takes the call back out. The main thread runs a call only for a token this table issued, whose
// call is still waiting and has not run: whatever arrives with any other value (a message from another
// program, a stray broadcast, a token whose call has ended) is ignored, and no value that came with a
// message is ever used as an address.
//
// A token is a serial number and a check value derived from it and from this table's key, a secret of the
// process: another process cannot name a call in flight here by counting, and a token issued by another
// table (another process) is refused even when the serial numbers meet.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace kv {

// As it travels in a window message's two parameters.
struct CallToken {
  std::uintptr_t serial = 0;
  std::uintptr_t check = 0;
};

class PendingCalls {
 public:
  explicit PendingCalls(std::uint64_t key) : key_(key) {}
  PendingCalls(const PendingCalls&) = delete;
  PendingCalls& operator=(const PendingCalls&) = delete;

  // The waiting thread, before it sends: registers `call`, which must outlive the matching Finish. The
  // serial number is never 0.
  CallToken Add(const std::function<void()>& call);

  // The main thread, for a token that came with a message: runs the call when the token is one this table
  // issued and its call is waiting and has not run yet (a call runs once at most). True when it ran. An
  // exception from the call passes on; the call then counts as run.
  bool Run(const CallToken& token);

  // The waiting thread, once its send has returned: forgets the call; true when it ran. From then on its
  // token runs nothing.
  bool Finish(const CallToken& token);

  // Calls registered and not yet finished.
  std::size_t Waiting() const;

 private:
  enum class State { kWaiting, kRunning, kRan };
  struct Entry {
    const std::function<void()>* call;
    std::uintptr_t check;
    State state;
  };
  std::uintptr_t CheckFor(std::uintptr_t serial) const;

  const std::uint64_t key_;
  mutable std::mutex mutex_;
  std::uintptr_t lastSerial_ = 0;
  std::map<std::uintptr_t, Entry> entries_;
};

}  // namespace kv
