#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <utility>
#include <vector>

#include "platform/win32/win32_platform.h"

namespace kv {
namespace {

// Owns one reference of a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  void** out() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

// Owns an open registry key.
class UniqueKey {
 public:
  UniqueKey() = default;
  UniqueKey(const UniqueKey&) = delete;
  UniqueKey& operator=(const UniqueKey&) = delete;
  ~UniqueKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  HKEY get() const { return key_; }
  HKEY* out() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

const char* const kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The shell folders the engine asks for, and where their paths are kept.
struct ShellFolderValue {
  int csidl;
  HKEY root;
  const char* name;
};
const ShellFolderValue kShellFolderValues[] = {
    {kCsidlStartup, HKEY_CURRENT_USER, "Startup"},
    {kCsidlCommonStartup, HKEY_LOCAL_MACHINE, "Common Startup"},
    {kCsidlAltStartup, HKEY_CURRENT_USER, "AltStartup"},
    {kCsidlCommonAltStartup, HKEY_LOCAL_MACHINE, "Common AltStartup"},
    {kCsidlFonts, HKEY_CURRENT_USER, "Fonts"},
};

// A folder path kept as a string value: read (opened for reading only), its variables expanded; false when
// the value is missing, empty, not a string or not readable.
bool ReadFolderValue(HKEY root, const char* subkey, const char* name, std::string* path) {
  UniqueKey key;
  if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 || size > 64 * 1024) return false;
  std::vector<char> data(size + 1, '\0');
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
    return false;
  const std::string text(data.data());
  if (text.empty()) return false;
  if (type == REG_SZ) {
    *path = text;
    return true;
  }
  const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
  if (needed == 0) return false;
  std::vector<char> expanded(needed + 1, '\0');
  if (ExpandEnvironmentStringsA(text.c_str(), expanded.data(), needed) == 0) return false;
  *path = expanded.data();
  return !path->empty();
}

// Owns an item identifier list the shell allocated.
class UniquePidl {
 public:
  UniquePidl() = default;
  UniquePidl(const UniquePidl&) = delete;
  UniquePidl& operator=(const UniquePidl&) = delete;
  ~UniquePidl() { CoTaskMemFree(pidl_); }
  LPITEMIDLIST* out() { return &pidl_; }
  LPCITEMIDLIST get() const { return pidl_; }

 private:
  LPITEMIDLIST pidl_ = nullptr;
};

std::string FolderFrom(UINT (WINAPI* query)(LPSTR, UINT)) {
  char buffer[MAX_PATH + 1] = {};
  UINT length = query(buffer, MAX_PATH);
  return length > 0 && length <= MAX_PATH ? std::string(buffer, length) : std::string();
}

}  // namespace

bool Win32System::GetEnvironment(const std::string& name, std::string* value) {
  std::vector<char> buffer(256);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      value->clear();
      return true;
    }
    if (length < buffer.size()) {
      value->assign(buffer.data(), length);
      return true;
    }
    buffer.resize(length + 1);
  }
}

std::string Win32System::SystemDirectory() { return FolderFrom(GetSystemDirectoryA); }

std::string Win32System::WindowsDirectory() { return FolderFrom(GetWindowsDirectoryA); }

bool Win32System::Version(OsVersion* version) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
  version->platformId = info.dwPlatformId;
  version->major = info.dwMajorVersion;
  version->minor = info.dwMinorVersion;
  version->build = info.dwBuildNumber;
  return true;
}

bool Win32System::GetSpecialFolder(int csidl, std::string* path) {
  // The folders the shell keeps under "User Shell Folders" are read there and expanded here, as the shell
  // does: asking the shell for one makes it write the result back to the legacy "Shell Folders" key
  // whenever the two differ, and the monitor writes nothing.
  for (const ShellFolderValue& folder : kShellFolderValues) {
    if (folder.csidl != csidl) continue;
    std::string found;
    if (ReadFolderValue(folder.root, kUserShellFolders, folder.name, &found) ||
        ReadFolderValue(folder.root, kShellFolders, folder.name, &found)) {
      // Like the shell, a folder that is not there is no folder.
      const DWORD attributes = GetFileAttributesA(found.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
      *path = found;
      return true;
    }
    if (csidl != kCsidlFonts) return false;
    // The fonts folder has no value of its own on most systems: it is the Windows folder's "Fonts".
    *path = WindowsDirectory() + "\\Fonts";
    return true;
  }
  UniquePidl pidl;
  if (FAILED(SHGetSpecialFolderLocation(GetDesktopWindow(), csidl, pidl.out())) || pidl.get() == nullptr) return false;
  char buffer[MAX_PATH + 1] = {};
  if (!SHGetPathFromIDListA(pidl.get(), buffer)) return false;
  *path = buffer;
  return !path->empty();
}

ShortcutRead Win32System::GetShortcutTarget(const std::string& linkFile, std::string* target) {
  ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.out())))
    return ShortcutRead::kNoShellLink;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return ShortcutRead::kNotLoaded;
  std::u16string wide = AnsiToWide(linkFile);
  if (FAILED(file->Load(reinterpret_cast<LPCOLESTR>(wide.c_str()), STGM_READ))) return ShortcutRead::kNotLoaded;
  char buffer[MAX_PATH + 1] = {};
  WIN32_FIND_DATAA data{};
  // Only the stored path is read: never Resolve, which may search drives or show UI.
  if (link->GetPath(buffer, MAX_PATH, &data, SLGP_UNCPRIORITY) != S_OK) buffer[0] = '\0';
  *target = buffer;
  return ShortcutRead::kRead;
}

bool Win32System::IsMultiByteCodePage() {
  CPINFO info{};
  return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
}

std::string Win32System::WideToAnsi(const std::u16string& text) {
  if (text.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  int needed = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string result(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, length, &result[0], needed, nullptr, nullptr);
  return result;
}

std::u16string Win32System::AnsiToWide(const std::string& text) {
  if (text.empty()) return std::u16string();
  const int length = static_cast<int>(text.size());
  int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::u16string();
  std::u16string result(static_cast<std::size_t>(needed), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<wchar_t*>(&result[0]), needed);
  return result;
}

int Win32System::CompareUserLocale(const std::string& a, const std::string& b) {
  const int result = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                    b.data(), static_cast<int>(b.size()));
  if (result != 0) return result - CSTR_EQUAL;
  // The call fails only for arguments it cannot take; the plain byte order keeps the sort well defined.
  return a.compare(b);
}

Platform& Win32Platform() {
  static Win32Registry registry;
  static Win32FileSystem files;
  static Win32System system;
  static Platform platform{registry, files, system};
  return platform;
}

}  // namespace kv
