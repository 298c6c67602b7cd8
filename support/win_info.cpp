#include "support/win_info.h"

#include <algorithm>
#include <vector>

#include "support/text.h"

namespace kv {

std::string ExpandEnvironmentText(SystemApi& system, const std::string& text, std::size_t limit) {
  std::string result;
  std::string value;
  std::size_t i = 0;
  while (i < text.size() && result.size() < limit) {
    const std::size_t open = text.find('%', i);
    if (open == std::string::npos) {
      result.append(text, i, limit - result.size());
      break;
    }
    result.append(text, i, std::min(open - i, limit - result.size()));
    const std::size_t close = text.find('%', open + 1);
    if (close == std::string::npos) {
      result.append(text, open, limit - result.size());
      break;
    }
    // A name never holds "=" nor a NUL; the system would not find such a variable either.
    const std::string name = text.substr(open + 1, close - open - 1);
    if (!name.empty() && name.find_first_of(std::string("=\0", 2)) == std::string::npos &&
        system.GetEnvironment(name, &value)) {
      result.append(value, 0, limit - result.size());
      i = close + 1;
    } else {
      result.append(text, open, std::min(close + 1 - open, limit - result.size()));
      i = close + 1;
    }
  }
  return result;
}

std::string Wow32FileName(const std::string& windowsDir, const std::string& path) {
  if (windowsDir.empty()) return path;
  std::string folder = windowsDir;
  if (folder.back() != '\\') folder += '\\';
  if (!MatchesAtIgnoreCase(path, 0, folder)) return path;
  const std::size_t at = folder.size();
  const auto endsThere = [&](std::size_t end) { return end == path.size() || path[end] == '\\'; };
  if (MatchesAtIgnoreCase(path, at, "Sysnative") && endsThere(at + 9))
    return path.substr(0, at) + "System32" + path.substr(at + 9);
  if (!MatchesAtIgnoreCase(path, at, "System32") || !endsThere(at + 8)) return path;
  static const char* const kShared[] = {"catroot", "catroot2", "drivers\\etc", "driverstore", "logfiles", "spool"};
  for (const char* shared : kShared) {
    const std::string name = shared;
    if (MatchesAtIgnoreCase(path, at + 9, name) && endsThere(at + 9 + name.size())) return path;
  }
  return path.substr(0, at) + "SysWOW64" + path.substr(at + 8);
}

std::string ExtractFileDrive(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    // \\server\share: up to the backslash after the share name.
    std::size_t server = path.find('\\', 2);
    if (server == std::string::npos) return path;
    std::size_t share = path.find('\\', server + 1);
    return share == std::string::npos ? path : path.substr(0, share);
  }
  return std::string();
}

TWinInfo::TWinInfo(Platform& platform) : platform_(platform) {
  SystemRoot = platform.system.WindowsDirectory();
  SystemDrive = ExtractFileDrive(SystemRoot);
  TRegistry registry(platform);
  registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
  if (registry.OpenKeyReadOnly("SOFTWARE\\Microsoft\\Windows\\CurrentVersion")) {
    ProgramFiles = ReadExpandedValue("ProgramFilesDir", registry);
    CommonFiles = ReadExpandedValue("CommonFilesDir", registry);
    ProgramFiles32 = ReadExpandedValue("ProgramFilesDir (x86)", registry);
    CommonFiles32 = ReadExpandedValue("CommonFilesDir (x86)", registry);
  }
  if (ProgramFiles32.empty()) ProgramFiles32 = ProgramFiles;
  if (CommonFiles32.empty()) CommonFiles32 = CommonFiles;
  registry.CloseKey();
}

std::string TWinInfo::ReadExpandedValue(const std::string& name, TRegistry& registry) const {
  std::string result;
  if (!registry.ValueExists(name)) return result;
  bool expandable = false;
  // A registry read raises ERegistryException for a value of the wrong type or unreadable data; this
  // routine turns that into the empty text. Allocation failures for absurd sizes count the same.
  try {
    switch (registry.GetDataType(name)) {
      case rdExpandString:
        expandable = true;
        result = registry.ReadString(name);
        break;
      case rdString: result = registry.ReadString(name); break;
      case rdInteger:
      case rdIntegerBigEndian: break;
      case rdMultiString: result = registry.ReadMultiString(name); break;
      default: {
        std::int32_t size = registry.GetDataSize(name);
        if (size > 0) {
          std::vector<char> bytes(static_cast<std::size_t>(size));
          std::int32_t got = registry.ReadBinaryData(name, bytes.data(), size);
          result.assign(bytes.data(), static_cast<std::size_t>(got));
        }
        break;
      }
    }
  } catch (const ERegistryException&) {
    return std::string();
  } catch (const std::bad_alloc&) {
    return std::string();
  }
  if (result.empty() || result.find('%') == std::string::npos) return result;
  // A short value that names a long folder many times would otherwise grow without end (a megabyte of
  // "%ProgramFiles%" and a folder of 32 KB make gigabytes).
  const std::size_t limit = std::max(result.size(), kLongestExpandedText);
  result = ReplaceAllIgnoreCase(result, "%SystemRoot%", SystemRoot, limit);
  result = ReplaceAllIgnoreCase(result, "%SystemDrive%", SystemDrive, limit);
  result = ReplaceAllIgnoreCase(result, "%ProgramFiles%", Wow32 ? ProgramFiles32 : ProgramFiles, limit);
  result = ReplaceAllIgnoreCase(result, "%commonprogramfiles%", Wow32 ? CommonFiles32 : CommonFiles, limit);
  static const std::string kUserProfile = "%UserProfile%";
  if (FindIgnoreCase(result, kUserProfile) != std::string::npos) {
    std::string profile;
    if (!platform_.system.GetEnvironment("USERPROFILE", &profile)) profile.clear();
    result = ReplaceAllIgnoreCase(result, kUserProfile, profile, limit);
  }
  if (expandable && result.find('%') != std::string::npos)
    result = ExpandEnvironmentText(platform_.system, result, limit);
  return result;
}

}  // namespace kv
