// The real platform: thin wrappers over advapi32, kernel32, shell32 and ole32. Each call is one native
// call (or the few a single answer needs), with its result passed back as the native call gives it.
#pragma once

#include "platform/platform.h"

namespace kv {

class Win32Registry : public RegistryApi {
 public:
  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) override;
  long CloseKey(RegKey key) override;
  long FlushKey(RegKey key) override;
  long QueryInfoKey(RegKey key, RegKeyCounts* counts) override;
  long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override;
  long EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override;
  long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override;
  long QueryValueW(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                   std::uint32_t* size) override;
};

class Win32FileSystem : public FileSystemApi {
 public:
  FindHandle FindFirst(const std::string& pattern, FindEntry* entry) override;
  bool FindNext(FindHandle find, FindEntry* entry) override;
  bool FindExhausted(FindHandle find) override;
  void FindClose(FindHandle find) override;
  std::uint32_t GetAttributes(const std::string& path) override;
  std::uint32_t FullPathName(const std::string& path, std::uint32_t length, char* buffer) override;
  std::uint32_t ShortPathName(const std::string& path, std::uint32_t length, char* buffer) override;
  std::uint32_t SetErrorMode(std::uint32_t mode) override;
  std::uint32_t DriveType(const std::string& root) override;
  NetworkFileAnswer FindNetworkFile(const std::string& name, std::uint32_t waitMs) override;
};

class Win32System : public SystemApi {
 public:
  bool GetEnvironment(const std::string& name, std::string* value) override;
  std::string SystemDirectory() override;
  std::string WindowsDirectory() override;
  bool Version(OsVersion* version) override;
  bool GetSpecialFolder(int csidl, std::string* path) override;
  ShortcutRead GetShortcutTarget(const std::string& linkFile, std::string* target) override;
  bool IsMultiByteCodePage() override;
  int CompareUserLocale(const std::string& a, const std::string& b) override;
};

// The process's real platform (one instance, alive until the process ends).
Platform& Win32Platform();

}  // namespace kv
