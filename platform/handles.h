// Move-only owners of the seam's handles (a registry key, a directory search) and the guard of the
// process error mode.
#pragma once

#include <utility>

#include "platform/file_system_api.h"
#include "platform/registry_api.h"

namespace kv {

class UniqueRegKey {
 public:
  UniqueRegKey() = default;
  UniqueRegKey(RegistryApi& api, RegKey key) : api_(&api), key_(key) {}
  UniqueRegKey(UniqueRegKey&& other) noexcept : api_(other.api_), key_(other.release()) {}
  UniqueRegKey& operator=(UniqueRegKey&& other) noexcept {
    if (this != &other) {
      reset();
      api_ = other.api_;
      key_ = other.release();
    }
    return *this;
  }
  UniqueRegKey(const UniqueRegKey&) = delete;
  UniqueRegKey& operator=(const UniqueRegKey&) = delete;
  ~UniqueRegKey() { reset(); }

  RegKey get() const { return key_; }
  explicit operator bool() const { return key_ != kNoKey; }
  RegKey release() { return std::exchange(key_, kNoKey); }
  void reset() {
    if (key_ != kNoKey && api_ != nullptr) api_->CloseKey(key_);
    key_ = kNoKey;
  }

 private:
  RegistryApi* api_ = nullptr;
  RegKey key_ = kNoKey;
};

class UniqueFind {
 public:
  UniqueFind() = default;
  UniqueFind(FileSystemApi& api, FindHandle find) : api_(&api), find_(find) {}
  UniqueFind(UniqueFind&& other) noexcept : api_(other.api_), find_(std::exchange(other.find_, kNoFind)) {}
  UniqueFind& operator=(UniqueFind&& other) noexcept {
    if (this != &other) {
      reset();
      api_ = other.api_;
      find_ = std::exchange(other.find_, kNoFind);
    }
    return *this;
  }
  UniqueFind(const UniqueFind&) = delete;
  UniqueFind& operator=(const UniqueFind&) = delete;
  ~UniqueFind() { reset(); }

  FindHandle get() const { return find_; }
  explicit operator bool() const { return find_ != kNoFind; }
  void reset() {
    if (find_ != kNoFind && api_ != nullptr) api_->FindClose(find_);
    find_ = kNoFind;
  }

 private:
  FileSystemApi* api_ = nullptr;
  FindHandle find_ = kNoFind;
};

// Sets the error mode that fails critical errors quietly (a drive without a medium asks nobody) and, when
// it ends, puts back the mode it found.
class QuietErrorMode {
 public:
  explicit QuietErrorMode(FileSystemApi& files) : files_(files), saved_(files.SetErrorMode(kSemFailCriticalErrors)) {}
  QuietErrorMode(const QuietErrorMode&) = delete;
  QuietErrorMode& operator=(const QuietErrorMode&) = delete;
  ~QuietErrorMode() { files_.SetErrorMode(saved_); }

 private:
  FileSystemApi& files_;
  std::uint32_t saved_;
};

}  // namespace kv
