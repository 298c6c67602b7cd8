// The main thread as a scan thread sees it: a blocking call onto it, and the moment it stops serving.
#pragma once

#include <functional>

namespace kv {

class MainThread {
 public:
  virtual ~MainThread() = default;

  // Runs `call` on the main thread while the calling thread waits for it. Returns false, without running
  // it, once the main thread no longer serves calls.
  virtual bool Synchronize(const std::function<void()>& call) = 0;

  // Main thread only: from now on no call runs any more. Called when the form goes away, so that a scan
  // thread never reaches it afterwards.
  virtual void Close() = 0;
};

}  // namespace kv
