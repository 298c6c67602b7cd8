#include "platform/offline/offline_platform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/handles.h"
#include "platform/offline/shell_link.h"
#include "support/text.h"

namespace kv::offline {
namespace {

// Hives of real machines reach a few hundred megabytes; nothing larger is taken for one.
constexpr std::size_t kMaxHiveBytes = std::size_t{2} << 30;
constexpr std::size_t kMaxLinkBytes = std::size_t{1} << 20;

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kNtCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kProfileList = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct Value {
  std::uint32_t type = 0;
  std::string text;  // the string types as UTF-8 (up to their first NUL)
  std::uint32_t number = 0;
};

std::optional<Value> ReadValue(RegistryApi& registry, std::uint32_t root, const std::string& path,
                               const std::string& name) {
  RegKey raw = kNoKey;
  if (registry.OpenKey(root, path, kKeyQueryValue, &raw) != kErrorSuccess) return std::nullopt;
  UniqueRegKey key(registry, raw);
  std::uint32_t type = 0, size = 0;
  if (registry.QueryValue(key.get(), name, &type, nullptr, &size) != kErrorSuccess) return std::nullopt;
  std::string data(size, '\0');
  if (registry.QueryValue(key.get(), name, &type, reinterpret_cast<std::uint8_t*>(&data[0]), &size) != kErrorSuccess)
    return std::nullopt;
  data.resize(size);
  Value value;
  value.type = type;
  if (type == REG_SZ_TYPE || type == REG_EXPAND_SZ_TYPE || type == REG_MULTI_SZ_TYPE) {
    value.text = data.substr(0, data.find('\0'));
  } else if ((type == REG_DWORD_TYPE || type == REG_QWORD_TYPE) && data.size() >= 4) {
    value.number = static_cast<std::uint32_t>(static_cast<unsigned char>(data[0])) |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(data[1])) << 8 |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(data[2])) << 16 |
                   static_cast<std::uint32_t>(static_cast<unsigned char>(data[3])) << 24;
  }
  return value;
}

std::vector<std::string> SubkeyNames(RegistryApi& registry, std::uint32_t root, const std::string& path) {
  std::vector<std::string> names;
  RegKey raw = kNoKey;
  if (registry.OpenKey(root, path, kKeyEnumerateSubKeys, &raw) != kErrorSuccess) return names;
  UniqueRegKey key(registry, raw);
  for (std::uint32_t i = 0;; ++i) {
    char name[1024];
    std::uint32_t length = sizeof name;
    const long status = registry.EnumKey(key.get(), i, name, &length);
    if (status == kErrorMoreData) continue;
    if (status != kErrorSuccess) break;
    names.emplace_back(name, length);
  }
  return names;
}

std::vector<std::pair<std::string, Value>> Values(RegistryApi& registry, std::uint32_t root, const std::string& path) {
  std::vector<std::pair<std::string, Value>> values;
  RegKey raw = kNoKey;
  if (registry.OpenKey(root, path, kKeyQueryValue, &raw) != kErrorSuccess) return values;
  UniqueRegKey key(registry, raw);
  std::vector<std::string> names;
  for (std::uint32_t i = 0;; ++i) {
    char name[16384 * 3 + 1];
    std::uint32_t length = sizeof name;
    if (registry.EnumValue(key.get(), i, name, &length) != kErrorSuccess) break;
    names.emplace_back(name, length);
  }
  for (const std::string& name : names)
    if (auto value = ReadValue(registry, root, path, name)) values.emplace_back(name, *value);
  return values;
}

std::string LastName(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ShortcutRead OfflineSystem::GetShortcutTarget(const std::string& linkFile, std::string* target) {
  std::string bytes;
  if (!files_.ReadFile(linkFile, kMaxLinkBytes, &bytes)) return ShortcutRead::kNotLoaded;
  std::string path;
  switch (ReadShellLink(bytes, &path)) {
    case LinkParse::kInvalid: return ShortcutRead::kNotLoaded;
    case LinkParse::kNoPath: target->clear(); return ShortcutRead::kRead;
    case LinkParse::kPath: *target = path; return ShortcutRead::kRead;
  }
  return ShortcutRead::kNotLoaded;
}

bool OfflinePlatform::dirty() const {
  return std::any_of(hives_.begin(), hives_.end(), [](const HiveUse& hive) { return hive.info.dirty(); });
}

bool OfflinePlatform::LoadHiveFile(const std::string& role, const std::string& path,
                                   const std::vector<std::pair<std::string, std::string>>& parts, bool required,
                                   std::string* error, const MoreParts& more) {
  HiveUse use{role, path, files.HostPath(path), HiveInfo{}};
  HiveFile hive;
  std::string why;
  bool opened = false;
  if (!files.WithFile(path, [&](int fd) { return opened = hive.OpenFile(fd, kMaxHiveBytes, &why); })) {
    if (opened || !why.empty()) {
      *error = use.hostPath + ": " + why;
    } else if (required) {
      *error = "the " + role + " hive cannot be read: " + path + " is missing or unreadable";
    }
    return false;
  }
  for (const auto& [subkey, target] : parts) {
    if (!hive.Copy(subkey, registry, target, &why)) {
      *error = use.hostPath + ": " + why;
      return false;
    }
  }
  // A further part that is missing (a control set that is not there) is noted only.
  if (more && !more(hive, &why)) warnings_.push_back(use.hostPath + ": " + why);
  use.info = hive.info();
  if (use.info.dirty())
    warnings_.push_back(use.hostPath + ": the hive was not closed cleanly (sequence numbers " +
                        std::to_string(use.info.sequence1) + " and " + std::to_string(use.info.sequence2) +
                        "); changes still in its logs are not seen");
  hives_.push_back(use);
  return true;
}

bool OfflinePlatform::ChooseUser(const std::string& wanted, std::string* error) {
  struct Profile {
    std::string sid, name, path;
  };
  std::vector<Profile> profiles;
  for (const std::string& sid : SubkeyNames(registry, HKEY_LOCAL_MACHINE_CODE, kProfileList)) {
    // Accounts of people (local or of a domain); the service accounts have profiles too.
    if (sid.compare(0, 9, "S-1-5-21-") != 0) continue;
    auto image =
        ReadValue(registry, HKEY_LOCAL_MACHINE_CODE, std::string(kProfileList) + "\\" + sid, "ProfileImagePath");
    if (!image || image->text.empty()) continue;
    profiles.push_back(Profile{sid, LastName(image->text), image->text});
  }
  std::vector<Profile> chosen;
  for (const Profile& profile : profiles)
    if (wanted.empty() || SameText(profile.name, wanted) || SameText(profile.sid, wanted)) chosen.push_back(profile);
  if (chosen.size() != 1) {
    std::string list;
    for (const Profile& profile : profiles)
      list += "\n  " + profile.name + "  (" + profile.sid + ", " + profile.path + ")";
    if (profiles.empty()) {
      *error = "the installation has no user profile (" + std::string(kProfileList) + " names none)";
    } else if (chosen.empty()) {
      *error = "no user profile named \"" + wanted + "\"; the profiles are:" + list;
    } else {
      *error = "the installation has " + std::to_string(profiles.size()) +
               " user profiles: choose one with --user NAME:" + list;
    }
    return false;
  }
  userSid_ = chosen[0].sid;
  userName_ = chosen[0].name;
  profile_ = chosen[0].path;
  return true;
}

bool OfflinePlatform::Open(const OfflineOptions& options, std::string* error) {
  if (!files.MapDrive('C', options.root, error)) return false;
  for (const auto& drive : options.drives) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive.first)));
    if (letter == 'C') {
      *error = "drive C: is the installation's own (" + options.root + ")";
      return false;
    }
    if (!files.MapDrive(letter, drive.second, error)) return false;
    drives_[letter] = drive.second;
  }

  // The machine's hives, where Windows keeps them.
  std::string windows;
  for (const char* folder : {"C:\\Windows", "C:\\WINNT"}) {
    if (files.GetAttributes(std::string(folder) + "\\System32\\config\\SOFTWARE") != kInvalidFileAttributes) {
      windows = folder;
      break;
    }
  }
  if (windows.empty()) {
    *error = options.root + " does not hold an installation of Windows: no Windows\\System32\\config\\SOFTWARE";
    return false;
  }
  const std::string config = windows + "\\System32\\config\\";
  if (!LoadHiveFile("SOFTWARE", config + "SOFTWARE", {{"", "HKLM\\SOFTWARE"}}, true, error)) return false;
  // SYSTEM, and its current control set (the one Select names) again as CurrentControlSet.
  auto currentControlSet = [this](HiveFile& hive, std::string* why) {
    std::uint32_t current = 1;
    if (auto select = ReadValue(registry, HKEY_LOCAL_MACHINE_CODE, "SYSTEM\\Select", "Current");
        select && select->type == REG_DWORD_TYPE && select->number >= 1 && select->number <= 999)
      current = select->number;
    char controlSet[32];
    std::snprintf(controlSet, sizeof controlSet, "ControlSet%03u", static_cast<unsigned>(current));
    return hive.Copy(controlSet, registry, "HKLM\\SYSTEM\\CurrentControlSet", why);
  };
  if (!LoadHiveFile("SYSTEM", config + "SYSTEM", {{"", "HKLM\\SYSTEM"}}, true, error, currentControlSet)) return false;

  // The system drive is the one the installation names for its folder; it is this tree.
  if (auto root = ReadValue(registry, HKEY_LOCAL_MACHINE_CODE, kNtCurrentVersion, "SystemRoot");
      root && root->text.size() >= 2 && root->text[1] == ':' &&
      std::isalpha(static_cast<unsigned char>(root->text[0]))) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root->text[0])));
    if (letter != 'C') {
      if (drives_.count(letter) != 0) {
        *error = std::string("drive ") + letter + ": is the installation's own (" + options.root + ")";
        return false;
      }
      files.UnmapDrive('C');
      if (!files.MapDrive(letter, options.root, error)) return false;
      systemDrive_ = letter;
    }
  }
  drives_[systemDrive_] = options.root;
  // The installation's other drives (its table of mounted devices) cannot be checked unless given.
  for (const auto& [name, value] : Values(registry, HKEY_LOCAL_MACHINE_CODE, "SYSTEM\\MountedDevices")) {
    (void)value;
    if (name.size() == 14 && name.compare(0, 12, "\\DosDevices\\") == 0 && name[13] == ':' &&
        std::isalpha(static_cast<unsigned char>(name[12])) && !files.IsMapped(name[12]))
      files.MarkUncheckable(name[12]);
  }

  if (!ChooseUser(options.user, error)) return false;
  BuildSystem();  // the environment, which the profile's path may name
  std::string profile;
  if (!environment_.count("USERPROFILE")) {
    *error = "the profile of " + userName_ + " has no folder";
    return false;
  }
  profile = environment_["USERPROFILE"];
  if (!LoadHiveFile("NTUSER.DAT", profile + "\\NTUSER.DAT", {{"", "HKCU"}}, true, error)) return false;
  bool classes = false;
  for (const char* place : {"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
                            "\\Local Settings\\Application Data\\Microsoft\\Windows\\UsrClass.dat"}) {
    if (files.GetAttributes(profile + place) == kInvalidFileAttributes) continue;
    // The user's classes are theirs (HKCU\Software\Classes) and, over the machine's, HKEY_CLASSES_ROOT.
    if (!LoadHiveFile("UsrClass.dat", profile + place,
                      {{"", "HKCU\\Software\\Classes"}, {"", "HKLM\\SOFTWARE\\Classes"}}, true, error))
      return false;
    classes = true;
    break;
  }
  if (!classes)
    warnings_.push_back("the user's classes (UsrClass.dat) were not found: HKEY_CLASSES_ROOT holds the machine's only");
  BuildSystem();  // again, now with the user's own environment and shell folders
  return true;
}

void OfflinePlatform::BuildSystem() {
  environment_.clear();
  environmentNames_.clear();
  auto set = [this](const std::string& name, const std::string& value) {
    const std::string key = UpperText(name);
    environment_[key] = value;
    environmentNames_[key] = name;
  };
  auto get = [this](const std::string& name) {
    auto it = environment_.find(UpperText(name));
    return it == environment_.end() ? std::string() : it->second;
  };
  // %NAME% replaced by the variable as far as it is set; the others stay as written.
  auto expand = [this](const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
      const std::size_t open = text.find('%', i);
      if (open == std::string::npos) break;
      const std::size_t close = text.find('%', open + 1);
      if (close == std::string::npos) break;
      out += text.substr(i, open - i);
      auto it = environment_.find(UpperText(text.substr(open + 1, close - open - 1)));
      if (close > open + 1 && it != environment_.end()) {
        out += it->second;
        i = close + 1;
      } else {
        out += text.substr(open, close - open);
        i = close;
      }
    }
    return out + text.substr(i);
  };
  auto text = [this](std::uint32_t root, const std::string& path, const std::string& name) {
    auto value = ReadValue(registry, root, path, name);
    return value && (value->type == REG_SZ_TYPE || value->type == REG_EXPAND_SZ_TYPE) ? value->text : std::string();
  };
  // A variable block as logon reads it: the plain strings first, then the ones that expand.
  auto block = [&](std::uint32_t root, const std::string& path, bool user) {
    const auto values = Values(registry, root, path);
    for (int pass = 0; pass < 2; ++pass) {
      for (const auto& [name, value] : values) {
        if (value.type != (pass == 0 ? REG_SZ_TYPE : REG_EXPAND_SZ_TYPE)) continue;
        std::string data = pass == 0 ? value.text : expand(value.text);
        // The user's Path adds to the machine's.
        if (user && SameText(name, "Path") && !get("Path").empty()) data = get("Path") + ";" + data;
        set(name, data);
      }
    }
  };

  const std::string drive = std::string(1, systemDrive_) + ":";
  set("SystemDrive", drive);
  std::string systemRoot = text(HKEY_LOCAL_MACHINE_CODE, kNtCurrentVersion, "SystemRoot");
  if (systemRoot.empty()) systemRoot = drive + "\\Windows";
  set("SystemRoot", systemRoot);
  const std::string computer =
      text(HKEY_LOCAL_MACHINE_CODE, "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName", "ComputerName");
  if (!computer.empty()) set("COMPUTERNAME", computer);
  const std::string programData = expand(text(HKEY_LOCAL_MACHINE_CODE, kProfileList, "ProgramData"));
  if (!programData.empty()) {
    set("ProgramData", programData);
    set("ALLUSERSPROFILE", programData);
  } else {
    const std::string directory = expand(text(HKEY_LOCAL_MACHINE_CODE, kProfileList, "ProfilesDirectory"));
    const std::string allUsers = text(HKEY_LOCAL_MACHINE_CODE, kProfileList, "AllUsersProfile");
    if (!directory.empty() && !allUsers.empty()) set("ALLUSERSPROFILE", directory + "\\" + allUsers);
  }
  const std::string publicFolder = expand(text(HKEY_LOCAL_MACHINE_CODE, kProfileList, "Public"));
  if (!publicFolder.empty()) set("PUBLIC", publicFolder);
  for (const auto& [variable, value] :
       std::vector<std::pair<const char*, const char*>>{{"ProgramFiles", "ProgramFilesDir"},
                                                        {"CommonProgramFiles", "CommonFilesDir"},
                                                        {"ProgramFiles(x86)", "ProgramFilesDir (x86)"},
                                                        {"CommonProgramFiles(x86)", "CommonFilesDir (x86)"},
                                                        {"ProgramW6432", "ProgramW6432Dir"},
                                                        {"CommonProgramW6432", "CommonW6432Dir"}}) {
    const std::string folder = expand(text(HKEY_LOCAL_MACHINE_CODE, kCurrentVersion, value));
    if (!folder.empty()) set(variable, folder);
  }
  block(HKEY_LOCAL_MACHINE_CODE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", false);

  // The user's own: the profile, the roaming and local application data, then their variables.
  if (!userSid_.empty()) {
    const std::string profile =
        expand(text(HKEY_LOCAL_MACHINE_CODE, std::string(kProfileList) + "\\" + userSid_, "ProfileImagePath"));
    set("USERPROFILE", profile);
    set("USERNAME", userName_);
    if (profile.size() >= 2 && profile[1] == ':') {
      set("HOMEDRIVE", profile.substr(0, 2));
      set("HOMEPATH", profile.substr(2));
    }
    auto userFolder = [&](const char* name, const std::string& fallback) {
      std::string folder = expand(text(HKEY_CURRENT_USER_CODE, kUserShellFolders, name));
      if (folder.empty()) folder = text(HKEY_CURRENT_USER_CODE, kShellFolders, name);
      return folder.empty() ? fallback : folder;
    };
    set("APPDATA", userFolder("AppData", profile + "\\AppData\\Roaming"));
    set("LOCALAPPDATA", userFolder("Local AppData", profile + "\\AppData\\Local"));
    // The volatile variables of a session (a hive written from a running system's export may hold them).
    block(HKEY_CURRENT_USER_CODE, "Volatile Environment", false);
    block(HKEY_CURRENT_USER_CODE, "Environment", true);
  }
  for (const auto& [key, value] : environment_) system.SetEnvironment(environmentNames_[key], value);

  system.SetWindowsDirectory(systemRoot);
  system.SetSystemDirectory(systemRoot + "\\system32");

  OsVersion version{kPlatformWin32NT, 0, 0, 0};
  auto major = ReadValue(registry, HKEY_LOCAL_MACHINE_CODE, kNtCurrentVersion, "CurrentMajorVersionNumber");
  auto minor = ReadValue(registry, HKEY_LOCAL_MACHINE_CODE, kNtCurrentVersion, "CurrentMinorVersionNumber");
  if (major && major->type == REG_DWORD_TYPE) {
    version.major = major->number;
    version.minor = minor && minor->type == REG_DWORD_TYPE ? minor->number : 0;
  } else {
    const std::string dotted = text(HKEY_LOCAL_MACHINE_CODE, kNtCurrentVersion, "CurrentVersion");
    unsigned a = 0, b = 0;
    if (std::sscanf(dotted.c_str(), "%u.%u", &a, &b) == 2) {
      version.major = a;
      version.minor = b;
    }
  }
  std::string build = text(HKEY_LOCAL_MACHINE_CODE, kNtCurrentVersion, "CurrentBuildNumber");
  if (build.empty()) build = text(HKEY_LOCAL_MACHINE_CODE, kNtCurrentVersion, "CurrentBuild");
  version.build = static_cast<std::uint32_t>(std::strtoul(build.c_str(), nullptr, 10));
  system.SetVersion(version, version.major != 0);

  // Shell folders: the user's from their hive, the machine's from SOFTWARE, each with its usual place.
  auto shellFolder = [&](std::uint32_t root, const std::string& prefix, const char* name, const std::string& fallback) {
    std::string folder = expand(text(root, prefix + kUserShellFolders, name));
    if (folder.empty()) folder = text(root, prefix + kShellFolders, name);
    return folder.empty() ? fallback : folder;
  };
  system.SetSpecialFolder(kCsidlFonts, shellFolder(HKEY_CURRENT_USER_CODE, "", "Fonts", systemRoot + "\\Fonts"));
  system.SetSpecialFolder(kCsidlStartup,
                          shellFolder(HKEY_CURRENT_USER_CODE, "", "Startup",
                                      get("APPDATA") + "\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"));
  system.SetSpecialFolder(kCsidlCommonStartup,
                          shellFolder(HKEY_LOCAL_MACHINE_CODE, "", "Common Startup",
                                      get("ProgramData") + "\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"));

  // The code page of the system's 8-bit text: the far-east ones are multi-byte.
  const std::string codePage =
      text(HKEY_LOCAL_MACHINE_CODE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", "ACP");
  system.SetMultiByteCodePage(codePage == "932" || codePage == "936" || codePage == "949" || codePage == "950");
}

}  // namespace kv::offline
