// What the engine asks of the rest of the system: environment, folders, version, shell folders,
// shortcut targets, the kind of code page and the user's sort order. Text is UTF-8 (the calls behind it
// are the UTF-16 ones).
#pragma once

#include <cstdint>
#include <string>

namespace kv {

constexpr std::uint32_t kPlatformWin32Windows = 1;  // Windows 95/98/ME
constexpr std::uint32_t kPlatformWin32NT = 2;

struct OsVersion {
  std::uint32_t platformId = 0;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
};

// Shell special folders the engine asks for.
constexpr int kCsidlStartup = 7;
constexpr int kCsidlFonts = 20;
constexpr int kCsidlCommonStartup = 24;
constexpr int kCsidlAltStartup = 29;
constexpr int kCsidlCommonAltStartup = 30;

enum class ShortcutRead {
  kRead,        // the link was loaded; the target is set (empty for a link to no file-system path)
  kNotLoaded,   // the file could not be loaded as a link; the target is untouched
  kNoShellLink  // the shell link object could not be created (COM not initialised, for example)
};

class SystemApi {
 public:
  virtual ~SystemApi() = default;

  // GetEnvironmentVariableW: false when the variable is not set.
  virtual bool GetEnvironment(const std::string& name, std::string* value) = 0;
  // GetSystemDirectoryW / GetWindowsDirectoryW.
  virtual std::string SystemDirectory() = 0;
  virtual std::string WindowsDirectory() = 0;
  // GetVersionExW.
  virtual bool Version(OsVersion* version) = 0;
  // SHGetSpecialFolderLocation + SHGetPathFromIDListW with the desktop window as owner: false when the
  // shell has no path for the folder.
  virtual bool GetSpecialFolder(int csidl, std::string* path) = 0;
  // The shell link object: IShellLinkW, IPersistFile::Load (read), GetPath with SLGP_UNCPRIORITY.
  virtual ShortcutRead GetShortcutTarget(const std::string& linkFile, std::string* target) = 0;
  // Whether the 8-bit code page is a multi-byte (far-east) one.
  virtual bool IsMultiByteCodePage() = 0;
  // CompareStringW in the user's default locale, ignoring case: negative, zero or positive as `a` sorts
  // before, with or after `b`.
  virtual int CompareUserLocale(const std::string& a, const std::string& b) = 0;
};

}  // namespace kv
