// A decorator on the seam that counts the calls passing through it, by kind, and forwards every call
// unchanged (through the forwarding decorators) to the platform it wraps (the real one, the memory one, or another
// decorator). It answers "how many registry and file-system calls did that cost?" without touching the code that made
// them.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/forwarding_platform.h"

namespace kv {

enum class SeamCall : std::size_t {
  // registry
  kOpenKey,
  kCloseKey,
  kFlushKey,
  kQueryInfoKey,
  kEnumKey,
  kEnumValue,
  kQueryValue,
  kQueryValueW,
  // file system
  kFindFirst,
  kFindNext,
  kFindClose,
  kGetAttributes,
  kFullPathName,
  kShortPathName,
  kSetErrorMode,
  kDriveType,
  kFindNetworkFile,
  // system
  kGetEnvironment,
  kSystemDirectory,
  kWindowsDirectory,
  kVersion,
  kGetSpecialFolder,
  kGetShortcutTarget,
  kIsMultiByteCodePage,
  kCompareUserLocale,
  kCount_
};

constexpr std::size_t kSeamCallKinds = static_cast<std::size_t>(SeamCall::kCount_);

inline const char* SeamCallName(SeamCall call) {
  static const char* const kNames[kSeamCallKinds] = {
      "RegOpenKey",   "RegCloseKey",      "RegFlushKey",       "RegQueryInfoKey",     "RegEnumKey",
      "RegEnumValue", "RegQueryValue",    "RegQueryValueW",    "FindFirst",           "FindNext",
      "FindClose",    "GetAttributes",    "FullPathName",      "ShortPathName",       "SetErrorMode",
      "DriveType",    "FindNetworkFile",  "GetEnvironment",    "SystemDirectory",     "WindowsDirectory",
      "Version",      "GetSpecialFolder", "GetShortcutTarget", "IsMultiByteCodePage", "CompareUserLocale"};
  return kNames[static_cast<std::size_t>(call)];
}

inline bool IsRegistryCall(SeamCall call) { return call <= SeamCall::kQueryValueW; }
inline bool IsFileSystemCall(SeamCall call) {
  return call >= SeamCall::kFindFirst && call <= SeamCall::kFindNetworkFile;
}

class CountingPlatform {
 public:
  explicit CountingPlatform(Platform& inner)
      : registry_(inner.registry, counts_),
        files_(inner.files, counts_),
        system_(inner.system, counts_),
        platform_{registry_, files_, system_} {}
  CountingPlatform(const CountingPlatform&) = delete;
  CountingPlatform& operator=(const CountingPlatform&) = delete;

  // The counted platform: hand this to whoever should be measured.
  Platform& platform() { return platform_; }

  std::uint64_t Count(SeamCall call) const {
    return counts_[static_cast<std::size_t>(call)].load(std::memory_order_relaxed);
  }
  std::uint64_t RegistryCalls() const { return Sum(&IsRegistryCall); }
  std::uint64_t FileSystemCalls() const { return Sum(&IsFileSystemCall); }
  void Reset() {
    for (auto& count : counts_) count.store(0, std::memory_order_relaxed);
  }

 private:
  using Counts = std::array<std::atomic<std::uint64_t>, kSeamCallKinds>;

  static void Bump(Counts& counts, SeamCall call) {
    counts[static_cast<std::size_t>(call)].fetch_add(1, std::memory_order_relaxed);
  }

  std::uint64_t Sum(bool (*belongs)(SeamCall)) const {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < kSeamCallKinds; ++i)
      if (belongs(static_cast<SeamCall>(i))) total += counts_[i].load(std::memory_order_relaxed);
    return total;
  }

  // Each part counts a call, then lets the forwarding base pass it on.
  class Registry : public ForwardingRegistry {
   public:
    Registry(RegistryApi& inner, Counts& counts) : ForwardingRegistry(inner), counts_(counts) {}
    long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) override {
      Bump(counts_, SeamCall::kOpenKey);
      return ForwardingRegistry::OpenKey(parent, path, access, result);
    }
    long CloseKey(RegKey key) override {
      Bump(counts_, SeamCall::kCloseKey);
      return ForwardingRegistry::CloseKey(key);
    }
    long FlushKey(RegKey key) override {
      Bump(counts_, SeamCall::kFlushKey);
      return ForwardingRegistry::FlushKey(key);
    }
    long QueryInfoKey(RegKey key, RegKeyCounts* counts) override {
      Bump(counts_, SeamCall::kQueryInfoKey);
      return ForwardingRegistry::QueryInfoKey(key, counts);
    }
    long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
      Bump(counts_, SeamCall::kEnumKey);
      return ForwardingRegistry::EnumKey(key, index, name, length);
    }
    long EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
      Bump(counts_, SeamCall::kEnumValue);
      return ForwardingRegistry::EnumValue(key, index, name, length);
    }
    long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
      Bump(counts_, SeamCall::kQueryValue);
      return ForwardingRegistry::QueryValue(key, name, type, data, size);
    }
    long QueryValueW(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                     std::uint32_t* size) override {
      Bump(counts_, SeamCall::kQueryValueW);
      return ForwardingRegistry::QueryValueW(key, name, type, data, size);
    }

   private:
    Counts& counts_;
  };

  class Files : public ForwardingFileSystem {
   public:
    Files(FileSystemApi& inner, Counts& counts) : ForwardingFileSystem(inner), counts_(counts) {}
    FindHandle FindFirst(const std::string& pattern, FindEntry* entry) override {
      Bump(counts_, SeamCall::kFindFirst);
      return ForwardingFileSystem::FindFirst(pattern, entry);
    }
    bool FindNext(FindHandle find, FindEntry* entry) override {
      Bump(counts_, SeamCall::kFindNext);
      return ForwardingFileSystem::FindNext(find, entry);
    }
    void FindClose(FindHandle find) override {
      Bump(counts_, SeamCall::kFindClose);
      ForwardingFileSystem::FindClose(find);
    }
    std::uint32_t GetAttributes(const std::string& path) override {
      Bump(counts_, SeamCall::kGetAttributes);
      return ForwardingFileSystem::GetAttributes(path);
    }
    std::uint32_t FullPathName(const std::string& path, std::uint32_t length, char* buffer) override {
      Bump(counts_, SeamCall::kFullPathName);
      return ForwardingFileSystem::FullPathName(path, length, buffer);
    }
    std::uint32_t ShortPathName(const std::string& path, std::uint32_t length, char* buffer) override {
      Bump(counts_, SeamCall::kShortPathName);
      return ForwardingFileSystem::ShortPathName(path, length, buffer);
    }
    std::uint32_t SetErrorMode(std::uint32_t mode) override {
      Bump(counts_, SeamCall::kSetErrorMode);
      return ForwardingFileSystem::SetErrorMode(mode);
    }
    std::uint32_t DriveType(const std::string& root) override {
      Bump(counts_, SeamCall::kDriveType);
      return ForwardingFileSystem::DriveType(root);
    }
    NetworkFileAnswer FindNetworkFile(const std::string& name, std::uint32_t waitMs) override {
      Bump(counts_, SeamCall::kFindNetworkFile);
      return ForwardingFileSystem::FindNetworkFile(name, waitMs);
    }

   private:
    Counts& counts_;
  };

  class System : public ForwardingSystem {
   public:
    System(SystemApi& inner, Counts& counts) : ForwardingSystem(inner), counts_(counts) {}
    bool GetEnvironment(const std::string& name, std::string* value) override {
      Bump(counts_, SeamCall::kGetEnvironment);
      return ForwardingSystem::GetEnvironment(name, value);
    }
    std::string SystemDirectory() override {
      Bump(counts_, SeamCall::kSystemDirectory);
      return ForwardingSystem::SystemDirectory();
    }
    std::string WindowsDirectory() override {
      Bump(counts_, SeamCall::kWindowsDirectory);
      return ForwardingSystem::WindowsDirectory();
    }
    bool Version(OsVersion* version) override {
      Bump(counts_, SeamCall::kVersion);
      return ForwardingSystem::Version(version);
    }
    bool GetSpecialFolder(int csidl, std::string* path) override {
      Bump(counts_, SeamCall::kGetSpecialFolder);
      return ForwardingSystem::GetSpecialFolder(csidl, path);
    }
    ShortcutRead GetShortcutTarget(const std::string& linkFile, std::string* target) override {
      Bump(counts_, SeamCall::kGetShortcutTarget);
      return ForwardingSystem::GetShortcutTarget(linkFile, target);
    }
    bool IsMultiByteCodePage() override {
      Bump(counts_, SeamCall::kIsMultiByteCodePage);
      return ForwardingSystem::IsMultiByteCodePage();
    }
    int CompareUserLocale(const std::string& a, const std::string& b) override {
      Bump(counts_, SeamCall::kCompareUserLocale);
      return ForwardingSystem::CompareUserLocale(a, b);
    }

   private:
    Counts& counts_;
  };

  Counts counts_{};
  Registry registry_;
  Files files_;
  System system_;
  Platform platform_;
};

}  // namespace kv
