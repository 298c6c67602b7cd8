// A decorator on the seam that keeps the books on handles: every key and directory search opened through
// it, every one closed, the most keys open at once, and every call that names a handle it never handed
// out or has already taken back (a close too many, a use after close). A scan that ends with open handles
// leaks them; one that misuses a handle would, on Windows, act on whatever object the number names by
// then. A hook that runs after each key opened lets a test act in the middle of a scan.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/forwarding_platform.h"

namespace kv::testing {

class HandleAudit {
 public:
  explicit HandleAudit(Platform& inner)
      : registry_(inner.registry, books_), files_(inner.files, books_), platform_{registry_, files_, inner.system} {}
  HandleAudit(const HandleAudit&) = delete;
  HandleAudit& operator=(const HandleAudit&) = delete;

  Platform& platform() { return platform_; }

  std::size_t OpenKeys() const {
    std::lock_guard<std::mutex> lock(books_.lock);
    return books_.keys.size();
  }
  std::size_t OpenFinds() const {
    std::lock_guard<std::mutex> lock(books_.lock);
    return books_.finds.size();
  }
  // The most keys open at once since the audit began or since ResetMostOpenKeys.
  std::size_t MostOpenKeys() const {
    std::lock_guard<std::mutex> lock(books_.lock);
    return books_.mostKeys;
  }
  void ResetMostOpenKeys() {
    std::lock_guard<std::mutex> lock(books_.lock);
    books_.mostKeys = books_.keys.size();
  }
  // Runs after each successful open of a key, with the parent handle and the path asked for (a test can
  // raise a stop request there, in the middle of a section's work). Set it while no scan runs.
  void SetAfterOpen(std::function<void(RegKey parent, const std::string& path)> hook) {
    books_.afterOpen = std::move(hook);
  }
  // One line per misuse: the call and the handle.
  std::vector<std::string> Misuses() const {
    std::lock_guard<std::mutex> lock(books_.lock);
    return books_.misuses;
  }

 private:
  struct Books {
    mutable std::mutex lock;
    std::set<RegKey> keys;
    std::set<FindHandle> finds;
    std::vector<std::string> misuses;
    std::size_t mostKeys = 0;
    std::function<void(RegKey parent, const std::string& path)> afterOpen;

    void CheckKey(RegKey key, const char* call) {
      std::lock_guard<std::mutex> guard(lock);
      if (!IsPredefinedKey(key) && keys.count(key) == 0)
        misuses.push_back(std::string(call) + " on key " + std::to_string(key));
    }
    void CheckFind(FindHandle find, const char* call) {
      std::lock_guard<std::mutex> guard(lock);
      if (finds.count(find) == 0) misuses.push_back(std::string(call) + " on search " + std::to_string(find));
    }
  };

  class Registry : public ForwardingRegistry {
   public:
    Registry(RegistryApi& inner, Books& books) : ForwardingRegistry(inner), books_(books) {}
    long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) override {
      books_.CheckKey(parent, "RegOpenKey");
      const long status = inner_.OpenKey(parent, path, access, result);
      if (status != kErrorSuccess) return status;
      // Opening a root by the empty path may hand back the predefined handle itself, which needs no close.
      if (!IsPredefinedKey(*result)) {
        std::lock_guard<std::mutex> guard(books_.lock);
        books_.keys.insert(*result);
        books_.mostKeys = std::max(books_.mostKeys, books_.keys.size());
      }
      if (books_.afterOpen) books_.afterOpen(parent, path);
      return status;
    }
    long CloseKey(RegKey key) override {
      books_.CheckKey(key, "RegCloseKey");
      {
        std::lock_guard<std::mutex> guard(books_.lock);
        books_.keys.erase(key);
      }
      return inner_.CloseKey(key);
    }
    long FlushKey(RegKey key) override {
      books_.CheckKey(key, "RegFlushKey");
      return inner_.FlushKey(key);
    }
    long QueryInfoKey(RegKey key, RegKeyCounts* counts) override {
      books_.CheckKey(key, "RegQueryInfoKey");
      return inner_.QueryInfoKey(key, counts);
    }
    long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
      books_.CheckKey(key, "RegEnumKey");
      return inner_.EnumKey(key, index, name, length);
    }
    long EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
      books_.CheckKey(key, "RegEnumValue");
      return inner_.EnumValue(key, index, name, length);
    }
    long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
      books_.CheckKey(key, "RegQueryValue");
      return inner_.QueryValue(key, name, type, data, size);
    }
    long QueryValueW(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                     std::uint32_t* size) override {
      books_.CheckKey(key, "RegQueryValueW");
      return inner_.QueryValueW(key, name, type, data, size);
    }

   private:
    Books& books_;
  };

  class Files : public ForwardingFileSystem {
   public:
    Files(FileSystemApi& inner, Books& books) : ForwardingFileSystem(inner), books_(books) {}
    FindHandle FindFirst(const std::string& pattern, FindEntry* entry) override {
      const FindHandle find = inner_.FindFirst(pattern, entry);
      if (find != kNoFind) {
        std::lock_guard<std::mutex> guard(books_.lock);
        books_.finds.insert(find);
      }
      return find;
    }
    bool FindNext(FindHandle find, FindEntry* entry) override {
      books_.CheckFind(find, "FindNext");
      return inner_.FindNext(find, entry);
    }
    void FindClose(FindHandle find) override {
      books_.CheckFind(find, "FindClose");
      {
        std::lock_guard<std::mutex> guard(books_.lock);
        books_.finds.erase(find);
      }
      inner_.FindClose(find);
    }

   private:
    Books& books_;
  };

  Books books_;
  Registry registry_;
  Files files_;
  Platform platform_;
};

}  // namespace kv::testing
