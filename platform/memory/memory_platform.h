// The in-memory twin of the Win32 platform, for fast native tests and for the example machine: a
// registry, a file system and a system whose contents a test sets up. It answers every call the way the
// real one does (case-insensitive names, raw value bytes and types kept exactly, wildcard search,
// 8.3 short names, per-key access rights), so that the same contract tests pass against both.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kv {

namespace memreg {
class RegistryTree;
}  // namespace memreg

// ---------------------------------------------------------------------------------------------------
// Registry. Fixture paths are "ROOT\sub\key" with ROOT one of HKEY_LOCAL_MACHINE, HKLM,
// HKEY_CURRENT_USER, HKCU, HKEY_CLASSES_ROOT, HKCR, HKEY_USERS, HKU, HKEY_CURRENT_CONFIG.
// HKEY_CLASSES_ROOT is the same tree as HKEY_LOCAL_MACHINE\Software\Classes. Fixture names and
// strings are UTF-8, as the seam's are; names compare by the system's case folding (support/text.h).
// A fixture path with an unknown
// root throws std::invalid_argument. Subkeys enumerate in NT's order (upper-cased names compared code
// unit by code unit), values in the order they were first set.
class MemoryRegistry : public RegistryApi {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  // Fixture building.
  void CreateKey(const std::string& path);
  void DeleteKey(const std::string& path);  // with its subkeys
  void SetValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                std::vector<std::uint8_t> data);  // creates the key
  // REG_SZ / REG_EXPAND_SZ stored as UTF-16LE with the closing NUL.
  void SetString(const std::string& keyPath, const std::string& name, const std::string& text,
                 std::uint32_t type = REG_SZ_TYPE);
  void SetDword(const std::string& keyPath, const std::string& name, std::uint32_t value);
  // REG_MULTI_SZ as UTF-16LE: each string, its NUL, and the closing NUL.
  void SetMultiString(const std::string& keyPath, const std::string& name, const std::vector<std::string>& strings);
  void DeleteValue(const std::string& keyPath, const std::string& name);
  // Only opens that ask for rights inside `allowed` succeed on this key (others fail with access denied).
  void SetKeyAccess(const std::string& keyPath, std::uint32_t allowed);
  bool KeyExists(const std::string& path) const;

  // Runs `edit` on the whole tree under the registry's lock: the way in of the loader of registry files
  // (reg_file.h), which applies a checked file as one change.
  void EditTree(const std::function<void(memreg::RegistryTree&)>& edit);

  // RegistryApi.
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

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------------------------------------------
// File system. Paths are UTF-8, "C:\dir\file" or "\\server\share\..."; names compare without regard to
// case, by the system's folding (support/text.h). Fixture paths must lie on a
// drive (relative ones resolve against the current directory); a path through a file throws std::invalid_argument.
// Names that are not valid 8.3 names get an alias ("PROGRA~1") when they are added, which lookups and searches accept
// too.
class MemoryFileSystem : public FileSystemApi {
 public:
  MemoryFileSystem();
  ~MemoryFileSystem() override;

  // Fixture building. Parent folders are created as needed. Times are FILETIME numbers.
  void AddFile(const std::string& path, std::uint32_t attributes = kAttrArchive,
               std::uint64_t lastWriteTime = 0x01D0000000000000ull);
  void AddDirectory(const std::string& path);
  void Remove(const std::string& path);
  void SetAttributes(const std::string& path, std::uint32_t attributes);
  void SetCurrentDirectory(const std::string& path);  // default "C:\"
  bool Exists(const std::string& path) const;
  std::uint32_t ErrorMode() const;
  // What DriveType answers for a drive letter; by default kDriveFixed for a drive that holds files or
  // folders and kDriveNoRootDir for any other.
  void SetDriveType(char letter, std::uint32_t type);
  // The network, as FindNetworkFile sees it: names that are files there (compared without regard to
  // case), and prefixes of names whose share does not answer (kNoAnswer). Any other name is absent.
  void AddNetworkFile(const std::string& name);
  void SetNetworkUnreachable(const std::string& prefix);

  // FileSystemApi.
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

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------------------------------------------
// System: environment, folders, version, shell folders, shortcuts, the kind of code page and the user's
// sort order.
class MemorySystem : public SystemApi {
 public:
  MemorySystem();  // an NT 5.1 machine with C:\WINDOWS, C:\WINDOWS\system32, no environment

  void SetEnvironment(const std::string& name, const std::string& value);  // names ignore case
  void UnsetEnvironment(const std::string& name);
  void SetSystemDirectory(const std::string& path);
  void SetWindowsDirectory(const std::string& path);
  void SetVersion(const OsVersion& version, bool available = true);
  void SetSpecialFolder(int csidl, const std::string& path);  // empty path: the shell has none
  // A shortcut file's target (the file itself must exist in the file system to be found by a search).
  void SetShortcut(const std::string& linkFile, const std::string& target);
  // Marks a shortcut file as unreadable: loading it fails.
  void SetUnreadableShortcut(const std::string& linkFile);
  void SetShellLinkAvailable(bool available);  // false: creating the shell link object fails
  void SetMultiByteCodePage(bool multiByte);

  // SystemApi.
  bool GetEnvironment(const std::string& name, std::string* value) override;
  std::string SystemDirectory() override;
  std::string WindowsDirectory() override;
  bool Version(OsVersion* version) override;
  bool GetSpecialFolder(int csidl, std::string* path) override;
  ShortcutRead GetShortcutTarget(const std::string& linkFile, std::string* target) override;
  bool IsMultiByteCodePage() override;
  // The word sort of an English user (see memory_collation.cpp).
  int CompareUserLocale(const std::string& a, const std::string& b) override;

 private:
  std::map<std::string, std::string> environment_;  // keys upper-cased
  std::string systemDirectory_ = "C:\\WINDOWS\\system32";
  std::string windowsDirectory_ = "C:\\WINDOWS";
  OsVersion version_{kPlatformWin32NT, 5, 1, 2600};
  bool versionAvailable_ = true;
  std::map<int, std::string> specialFolders_;
  std::map<std::string, std::string> shortcuts_;  // keys upper-cased
  std::map<std::string, bool> unreadable_;
  bool shellLinkAvailable_ = true;
  bool multiByte_ = false;
};

// UTF-8 <-> Windows-1252 <-> UTF-16 conversions the memory platform uses (the fixtures, the bytes of a
// REGEDIT4 file; unrepresentable: '?').
std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);
std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);
std::u16string AnsiToUtf16(const std::string& ansi);
std::string Utf16ToAnsi(const std::u16string& utf16);
// UTF-16 text as the bytes of a registry value (each unit little-endian), and back to UTF-8 (an odd last
// byte is dropped).
std::vector<std::uint8_t> Utf16LeBytes(const std::u16string& utf16);
std::string Utf16LeToUtf8(const std::vector<std::uint8_t>& bytes);
// Value data as the registry keeps it: a string (REG_SZ, REG_EXPAND_SZ) as UTF-16LE with its closing NUL,
// a REG_DWORD little-endian, a REG_MULTI_SZ as each string and its NUL, then the closing NUL.
std::vector<std::uint8_t> StringBytes(const std::string& text);
std::vector<std::uint8_t> DwordBytes(std::uint32_t value);
std::vector<std::uint8_t> MultiStringBytes(const std::vector<std::string>& strings);

// The three together, as one Platform.
class MemoryPlatform {
 public:
  MemoryPlatform() : platform_{registry, files, system} {}
  MemoryRegistry registry;
  MemoryFileSystem files;
  MemorySystem system;
  Platform& platform() { return platform_; }

 private:
  Platform platform_;
};

}  // namespace kv
