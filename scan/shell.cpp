#include "scan/shell.h"

namespace kv {

bool IsWindowsNT(Platform& platform) {
  OsVersion version;
  if (!platform.system.Version(&version)) throw WindowsVersionError();
  return version.platformId == kPlatformWin32NT;
}

void GetFontsFolder(Platform& platform, std::string& path) {
  path.clear();
  if (!platform.system.GetSpecialFolder(kCsidlFonts, &path)) path.clear();
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
}

void GetStartupFolders(Platform& platform, std::vector<std::string>& list) {
  const bool nt = IsWindowsNT(platform);
  list.clear();
  // The shell calls raise nothing of their own; a failure while copying the paths (memory) leaves the
  // list empty rather than half filled, and is not passed on.
  try {
    const struct {
      int csidl;
      bool ntOnly;
    } kFolders[] = {
        {kCsidlStartup, false}, {kCsidlCommonStartup, true}, {kCsidlAltStartup, false}, {kCsidlCommonAltStartup, true}};
    for (const auto& folder : kFolders) {
      if (folder.ntOnly && !nt) continue;
      std::string path;
      if (platform.system.GetSpecialFolder(folder.csidl, &path) && !path.empty()) list.push_back(path);
    }
  } catch (const std::exception&) {
    list.clear();
  }
}

bool GetShortcutTarget(Platform& platform, const std::string& linkFile, std::string& target) {
  std::string read;
  switch (platform.system.GetShortcutTarget(linkFile, &read)) {
    case ShortcutRead::kRead: target = read; return true;
    case ShortcutRead::kNotLoaded: return false;
    case ShortcutRead::kNoShellLink: throw ShellLinkError();
  }
  return false;
}

bool IsGUIDString(const std::string& s) {
  if (s.size() != 38 || s.front() != '{' || s.back() != '}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const char c = s[i];
    // Characters 10, 15, 20 and 25 (counting from 1) are the dashes.
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (c != '-') return false;
    } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) {
      return false;
    }
  }
  return true;
}

}  // namespace kv
