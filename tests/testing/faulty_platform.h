// A decorator on the seam that makes one chosen registry or file-system call fail, the way the real calls
// fail: the Nth such call after Arm answers with an error instead of reaching the platform it wraps. Every
// other call passes through unchanged. Used to prove that no single failure of the operating system can
// crash, hang or mislead a probe.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/forwarding_platform.h"

namespace kv::testing {

// The errors the registry and file calls return in practice.
enum class InjectedFault {
  kAccessDenied,   // ERROR_ACCESS_DENIED: a key or file the user may not read
  kFileNotFound,   // ERROR_FILE_NOT_FOUND: the key, value or file went away
  kMoreData,       // ERROR_MORE_DATA: the buffer is too small (the data grew)
  kInvalidHandle,  // ERROR_INVALID_HANDLE: the handle is no longer valid
  kKeyDeleted,     // ERROR_KEY_DELETED: the open key was deleted meanwhile
};

constexpr InjectedFault kAllInjectedFaults[] = {InjectedFault::kAccessDenied, InjectedFault::kFileNotFound,
                                                InjectedFault::kMoreData, InjectedFault::kInvalidHandle,
                                                InjectedFault::kKeyDeleted};

inline long ErrorCodeOf(InjectedFault fault) {
  switch (fault) {
    case InjectedFault::kAccessDenied: return kErrorAccessDenied;
    case InjectedFault::kFileNotFound: return kErrorFileNotFound;
    case InjectedFault::kMoreData: return kErrorMoreData;
    case InjectedFault::kInvalidHandle: return kErrorInvalidHandle;
    case InjectedFault::kKeyDeleted: return kErrorKeyDeleted;
  }
  return kErrorAccessDenied;
}

inline const char* NameOf(InjectedFault fault) {
  switch (fault) {
    case InjectedFault::kAccessDenied: return "access denied";
    case InjectedFault::kFileNotFound: return "file not found";
    case InjectedFault::kMoreData: return "more data";
    case InjectedFault::kInvalidHandle: return "invalid handle";
    case InjectedFault::kKeyDeleted: return "key deleted";
  }
  return "?";
}

class FaultyPlatform {
 public:
  // Wraps `inner`; unarmed, every call passes through.
  explicit FaultyPlatform(Platform& inner)
      : registry_(inner.registry, plan_),
        files_(inner.files, plan_),
        system_(inner.system),
        platform_{registry_, files_, system_} {}
  FaultyPlatform(const FaultyPlatform&) = delete;
  FaultyPlatform& operator=(const FaultyPlatform&) = delete;

  Platform& platform() { return platform_; }

  // Restarts the count: the `n`th registry or file-system call from now (1 is the next one) fails with
  // `fault`. n = 0 only counts. Calls that cannot fail (SetErrorMode, FindClose) are not counted.
  void Arm(std::uint64_t n, InjectedFault fault) {
    plan_ = Plan{};
    plan_.target = n;
    plan_.fault = fault;
  }
  // Registry and file-system calls since Arm.
  std::uint64_t Calls() const { return plan_.calls; }
  bool Fired() const { return plan_.fired; }
  // The call that failed ("RegQueryValue", "GetAttributes", ...), empty when none did.
  const std::string& FailedCall() const { return plan_.failedCall; }

 private:
  struct Plan {
    std::uint64_t target = 0;
    InjectedFault fault = InjectedFault::kAccessDenied;
    std::uint64_t calls = 0;
    bool fired = false;
    std::string failedCall;

    // Counts a call; true when this is the one that fails.
    bool Strikes(const char* call) {
      if (++calls != target) return false;
      fired = true;
      failedCall = call;
      return true;
    }
  };

  class Registry : public ForwardingRegistry {
   public:
    Registry(RegistryApi& inner, Plan& plan) : ForwardingRegistry(inner), plan_(plan) {}

    long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) override {
      if (!plan_.Strikes("RegOpenKey")) return inner_.OpenKey(parent, path, access, result);
      *result = kNoKey;
      return Error();
    }
    // A failing close still closes: the caller cannot do anything about the handle either way.
    long CloseKey(RegKey key) override {
      const bool fails = plan_.Strikes("RegCloseKey");
      const long status = inner_.CloseKey(key);
      return fails ? Error() : status;
    }
    long FlushKey(RegKey key) override { return plan_.Strikes("RegFlushKey") ? Error() : inner_.FlushKey(key); }
    long QueryInfoKey(RegKey key, RegKeyCounts* counts) override {
      return plan_.Strikes("RegQueryInfoKey") ? Error() : inner_.QueryInfoKey(key, counts);
    }
    // A name buffer reported too small leaves the length alone, as the real calls do.
    long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
      return plan_.Strikes("RegEnumKey") ? Error() : inner_.EnumKey(key, index, name, length);
    }
    long EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
      return plan_.Strikes("RegEnumValue") ? Error() : inner_.EnumValue(key, index, name, length);
    }
    long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
      if (!plan_.Strikes("RegQueryValue")) return inner_.QueryValue(key, name, type, data, size);
      return QueryError(&RegistryApi::QueryValue, key, name, size);
    }
    long QueryValueW(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                     std::uint32_t* size) override {
      if (!plan_.Strikes("RegQueryValueW")) return inner_.QueryValueW(key, name, type, data, size);
      return QueryError(&RegistryApi::QueryValueW, key, name, size);
    }

   private:
    long Error() const { return ErrorCodeOf(plan_.fault); }

    // The failure of a value query made with `query`. "More data" is given as if the value had grown
    // since it was sized: the size needed now is larger than before.
    using ValueQuery = long (RegistryApi::*)(RegKey, const std::string&, std::uint32_t*, std::uint8_t*, std::uint32_t*);
    long QueryError(ValueQuery query, RegKey key, const std::string& name, std::uint32_t* size) {
      if (plan_.fault == InjectedFault::kMoreData && size != nullptr) {
        std::uint32_t needed = 0;
        (inner_.*query)(key, name, nullptr, nullptr, &needed);
        *size = std::max(needed, *size) + 16;
      }
      return Error();
    }
    Plan& plan_;
  };

  // The file calls report failure by their return value alone; "more data" is the answer of a path call
  // whose buffer is too small: the size it needs, larger than the buffer it was given.
  class Files : public ForwardingFileSystem {
   public:
    Files(FileSystemApi& inner, Plan& plan) : ForwardingFileSystem(inner), plan_(plan) {}

    FindHandle FindFirst(const std::string& pattern, FindEntry* entry) override {
      return plan_.Strikes("FindFirst") ? kNoFind : inner_.FindFirst(pattern, entry);
    }
    bool FindNext(FindHandle find, FindEntry* entry) override {
      struck_ = plan_.Strikes("FindNext");
      return struck_ ? false : inner_.FindNext(find, entry);
    }
    // A search the plan broke off did not end: it failed.
    bool FindExhausted(FindHandle find) override { return !struck_ && inner_.FindExhausted(find); }
    std::uint32_t GetAttributes(const std::string& path) override {
      return plan_.Strikes("GetAttributes") ? kInvalidFileAttributes : inner_.GetAttributes(path);
    }
    std::uint32_t FullPathName(const std::string& path, std::uint32_t length, char* buffer) override {
      if (!plan_.Strikes("FullPathName")) return inner_.FullPathName(path, length, buffer);
      return plan_.fault == InjectedFault::kMoreData ? TooSmall(length, inner_.FullPathName(path, 0, nullptr)) : 0;
    }
    std::uint32_t ShortPathName(const std::string& path, std::uint32_t length, char* buffer) override {
      if (!plan_.Strikes("ShortPathName")) return inner_.ShortPathName(path, length, buffer);
      return plan_.fault == InjectedFault::kMoreData ? TooSmall(length, inner_.ShortPathName(path, 0, nullptr)) : 0;
    }

   private:
    static std::uint32_t TooSmall(std::uint32_t length, std::uint32_t needed) { return std::max(length, needed) + 16; }
    Plan& plan_;
    bool struck_ = false;  // the last FindNext was one the plan failed
  };

  Plan plan_;
  Registry registry_;
  Files files_;
  ForwardingSystem system_;
  Platform platform_;
};

}  // namespace kv::testing
