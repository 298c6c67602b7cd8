// The base of the seam's decorators: each interface implemented by passing every call unchanged to the
// one it wraps. A decorator derives from these and overrides only the calls it changes or watches.
#pragma once

#include <string>

#include "platform/platform.h"

namespace kv {

class ForwardingRegistry : public RegistryApi {
 public:
  explicit ForwardingRegistry(RegistryApi& inner) : inner_(inner) {}

  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) override {
    return inner_.OpenKey(parent, path, access, result);
  }
  long CloseKey(RegKey key) override { return inner_.CloseKey(key); }
  long FlushKey(RegKey key) override { return inner_.FlushKey(key); }
  long QueryInfoKey(RegKey key, RegKeyCounts* counts) override { return inner_.QueryInfoKey(key, counts); }
  long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
    return inner_.EnumKey(key, index, name, length);
  }
  long EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
    return inner_.EnumValue(key, index, name, length);
  }
  long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override {
    return inner_.QueryValue(key, name, type, data, size);
  }
  long QueryValueW(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                   std::uint32_t* size) override {
    return inner_.QueryValueW(key, name, type, data, size);
  }

 protected:
  RegistryApi& inner_;
};

class ForwardingFileSystem : public FileSystemApi {
 public:
  explicit ForwardingFileSystem(FileSystemApi& inner) : inner_(inner) {}

  FindHandle FindFirst(const std::string& pattern, FindEntry* entry) override {
    return inner_.FindFirst(pattern, entry);
  }
  bool FindNext(FindHandle find, FindEntry* entry) override { return inner_.FindNext(find, entry); }
  bool FindExhausted(FindHandle find) override { return inner_.FindExhausted(find); }
  void FindClose(FindHandle find) override { inner_.FindClose(find); }
  std::uint32_t GetAttributes(const std::string& path) override { return inner_.GetAttributes(path); }
  std::uint32_t FullPathName(const std::string& path, std::uint32_t length, char* buffer) override {
    return inner_.FullPathName(path, length, buffer);
  }
  std::uint32_t ShortPathName(const std::string& path, std::uint32_t length, char* buffer) override {
    return inner_.ShortPathName(path, length, buffer);
  }
  std::uint32_t SetErrorMode(std::uint32_t mode) override { return inner_.SetErrorMode(mode); }
  std::uint32_t DriveType(const std::string& root) override { return inner_.DriveType(root); }
  NetworkFileAnswer FindNetworkFile(const std::string& name, std::uint32_t waitMs) override {
    return inner_.FindNetworkFile(name, waitMs);
  }

 protected:
  FileSystemApi& inner_;
};

class ForwardingSystem : public SystemApi {
 public:
  explicit ForwardingSystem(SystemApi& inner) : inner_(inner) {}

  bool GetEnvironment(const std::string& name, std::string* value) override {
    return inner_.GetEnvironment(name, value);
  }
  std::string SystemDirectory() override { return inner_.SystemDirectory(); }
  std::string WindowsDirectory() override { return inner_.WindowsDirectory(); }
  bool Version(OsVersion* version) override { return inner_.Version(version); }
  bool GetSpecialFolder(int csidl, std::string* path) override { return inner_.GetSpecialFolder(csidl, path); }
  ShortcutRead GetShortcutTarget(const std::string& linkFile, std::string* target) override {
    return inner_.GetShortcutTarget(linkFile, target);
  }
  bool IsMultiByteCodePage() override { return inner_.IsMultiByteCodePage(); }
  int CompareUserLocale(const std::string& a, const std::string& b) override { return inner_.CompareUserLocale(a, b); }

 protected:
  SystemApi& inner_;
};

}  // namespace kv
