#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>
#include <utility>
#include <vector>

#include "platform/win32/utf.h"
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

const wchar_t* const kUserShellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t* const kShellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The shell folders the engine asks for, and where their paths are kept.
struct ShellFolderValue {
  int csidl;
  HKEY root;
  const wchar_t* name;
};
const ShellFolderValue kShellFolderValues[] = {
    {kCsidlStartup, HKEY_CURRENT_USER, L"Startup"},
    {kCsidlCommonStartup, HKEY_LOCAL_MACHINE, L"Common Startup"},
    {kCsidlAltStartup, HKEY_CURRENT_USER, L"AltStartup"},
    {kCsidlCommonAltStartup, HKEY_LOCAL_MACHINE, L"Common AltStartup"},
    {kCsidlFonts, HKEY_CURRENT_USER, L"Fonts"},
};

// A folder path kept as a string value: read (opened for reading only), its variables expanded; false when
// the value is missing, empty, not a string or not readable.
bool ReadFolderValue(HKEY root, const wchar_t* subkey, const wchar_t* name, std::wstring* path) {
  UniqueKey key;
  if (RegOpenKeyExW(root, subkey, 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 || size > 64 * 1024) return false;
  std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
    return false;
  const std::wstring text(data.data());
  if (text.empty()) return false;
  if (type == REG_SZ) {
    *path = text;
    return true;
  }
  const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (needed == 0) return false;
  std::vector<wchar_t> expanded(needed + 1, L'\0');
  if (ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed) == 0) return false;
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

std::string FolderFrom(UINT(WINAPI* query)(LPWSTR, UINT)) {
  wchar_t buffer[MAX_PATH + 1] = {};
  UINT length = query(buffer, MAX_PATH);
  return length > 0 && length <= MAX_PATH ? Narrow(buffer, length) : std::string();
}

// Text as it comes back from the 8-bit code page (characters it lacks replaced, or mapped to look-alikes).
std::wstring ThroughCodePage(const std::wstring& text) {
  if (text.empty()) return text;
  const int length = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::wstring();
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, &narrow[0], bytes, nullptr, nullptr);
  const int units = MultiByteToWideChar(CP_ACP, 0, narrow.data(), bytes, nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring back(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, narrow.data(), bytes, &back[0], units);
  return back;
}

}  // namespace

bool Win32System::GetEnvironment(const std::string& name, std::string* value) {
  const std::wstring wideName = Widen(name);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      value->clear();
      return true;
    }
    if (length < buffer.size()) {
      *value = Narrow(buffer.data(), length);
      return true;
    }
    buffer.resize(length + 1);
  }
}

std::string Win32System::SystemDirectory() { return FolderFrom(GetSystemDirectoryW); }

std::string Win32System::WindowsDirectory() { return FolderFrom(GetWindowsDirectoryW); }

bool Win32System::Version(OsVersion* version) {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return false;
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
    std::wstring found;
    if (ReadFolderValue(folder.root, kUserShellFolders, folder.name, &found) ||
        ReadFolderValue(folder.root, kShellFolders, folder.name, &found)) {
      // Like the shell, a folder that is not there is no folder.
      const DWORD attributes = GetFileAttributesW(found.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
      *path = Narrow(found);
      return true;
    }
    if (csidl != kCsidlFonts) return false;
    // The fonts folder has no value of its own on most systems: it is the Windows folder's "Fonts".
    *path = WindowsDirectory() + "\\Fonts";
    return true;
  }
  UniquePidl pidl;
  if (FAILED(SHGetSpecialFolderLocation(GetDesktopWindow(), csidl, pidl.out())) || pidl.get() == nullptr) return false;
  wchar_t buffer[MAX_PATH + 1] = {};
  if (!SHGetPathFromIDListW(pidl.get(), buffer)) return false;
  *path = NarrowTerminated(buffer, MAX_PATH);
  return !path->empty();
}

ShortcutRead Win32System::GetShortcutTarget(const std::string& linkFile, std::string* target) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out())))
    return ShortcutRead::kNoShellLink;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return ShortcutRead::kNotLoaded;
  const std::wstring wide = Widen(linkFile);
  if (FAILED(file->Load(wide.c_str(), STGM_READ))) return ShortcutRead::kNotLoaded;
  wchar_t buffer[MAX_PATH + 1] = {};
  WIN32_FIND_DATAW data{};
  // Only the stored path is read: never Resolve, which may search drives or show UI.
  if (link->GetPath(buffer, MAX_PATH, &data, SLGP_UNCPRIORITY) != S_OK) buffer[0] = L'\0';
  std::wstring path = buffer;
  // A link keeps its target twice: as a path, which may have been written (or be read) in the 8-bit code
  // page, and as an item list, in UTF-16. Where the path is just what the code page makes of the item
  // list's path (a character it lacks as '?' or as a look-alike), the item list names the target whole.
  if (!path.empty()) {
    UniquePidl pidl;
    wchar_t whole[MAX_PATH + 1] = {};
    if (SUCCEEDED(link->GetIDList(pidl.out())) && pidl.get() != nullptr && SHGetPathFromIDListW(pidl.get(), whole) &&
        path != whole && ThroughCodePage(whole) == path)
      path = whole;
  }
  *target = Narrow(path);
  return ShortcutRead::kRead;
}

bool Win32System::IsMultiByteCodePage() {
  CPINFO info{};
  return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
}

int Win32System::CompareUserLocale(const std::string& a, const std::string& b) {
  const std::wstring wideA = Widen(a);
  const std::wstring wideB = Widen(b);
  const int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wideA.data(), static_cast<int>(wideA.size()),
                                    wideB.data(), static_cast<int>(wideB.size()));
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
