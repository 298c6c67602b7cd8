// Owners of raw Win32 handles for the end-to-end programs: kernel objects, directory searches and
// registry keys.
#pragma once

#include <windows.h>

#include <utility>

namespace kv::e2e {

// A kernel object handle (process, thread, mutex, event, file, snapshot); closed on destruction.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset(HANDLE handle = nullptr) {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A directory search of FindFirstFile; closed on destruction.
class UniqueFindHandle {
 public:
  explicit UniqueFindHandle(HANDLE find) : find_(find) {}
  UniqueFindHandle(const UniqueFindHandle&) = delete;
  UniqueFindHandle& operator=(const UniqueFindHandle&) = delete;
  ~UniqueFindHandle() {
    if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
  }

  HANDLE get() const { return find_; }
  explicit operator bool() const { return find_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE find_;
};

// An open registry key; closed on destruction.
class UniqueHKey {
 public:
  UniqueHKey() = default;
  UniqueHKey(UniqueHKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  UniqueHKey& operator=(UniqueHKey&& other) noexcept {
    if (this != &other) {
      reset();
      key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
  }
  UniqueHKey(const UniqueHKey&) = delete;
  UniqueHKey& operator=(const UniqueHKey&) = delete;
  ~UniqueHKey() { reset(); }

  HKEY get() const { return key_; }
  // For the Reg*Ex calls that hand out a key: closes the current one first.
  HKEY* receive() {
    reset();
    return &key_;
  }
  explicit operator bool() const { return key_ != nullptr; }
  void reset() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace kv::e2e
