// A registry that passes every call on to another and watches the key handles: how many are open now,
// the most that were open at once, and a hook that runs after each successful open (a test can raise a
// stop request there, in the middle of a section's work).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/forwarding_platform.h"

namespace kv::testing {

class WatchedRegistry : public ForwardingRegistry {
 public:
  explicit WatchedRegistry(RegistryApi& inner) : ForwardingRegistry(inner) {}

  std::size_t OpenNow() const { return open_; }
  std::size_t MostOpen() const { return most_; }
  void ResetMostOpen() { most_ = open_; }
  // Runs after each successful open with the parent handle and the path asked for.
  std::function<void(RegKey parent, const std::string& path)> afterOpen;

  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) override {
    long status = inner_.OpenKey(parent, path, access, result);
    if (status == kErrorSuccess) {
      // Opening a root by the empty path may hand back the predefined handle itself, which needs no close.
      if (!IsPredefinedKey(*result) && ++open_ > most_) most_ = open_;
      if (afterOpen) afterOpen(parent, path);
    }
    return status;
  }
  long CloseKey(RegKey key) override {
    long status = inner_.CloseKey(key);
    if (status == kErrorSuccess && !IsPredefinedKey(key) && open_ > 0) --open_;
    return status;
  }

 private:
  std::size_t open_ = 0;
  std::size_t most_ = 0;
};

}  // namespace kv::testing
