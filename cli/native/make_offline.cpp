// kvmkoffline: writes a machine held in memory (a registry export and a list of files, as the native
// kvscan loads them) as an installation that is not running: hive files built with the hive library's
// write calls on an empty hive, and a folder tree holding the listed files (empty) and folders. The
// system the memory machine assumes (its Windows folder, environment, profile, shell folders) is written
// where Windows keeps it, so that kvscan --offline derives the same system from the hives.
//
//   kvmkoffline --reg FILE --files FILE --empty-hive FILE --out DIR
//
// DIR/C is the system drive; the files of another drive go to DIR/<letter>.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/machine.h"
#include "platform/handles.h"
#include "platform/offline/hive_writer.h"
#include "platform/offline/host_files.h"
#include "support/text.h"

namespace {

using kv::RegKey;

constexpr const char* kUserSid = "S-1-5-21-1004336348-1177238915-682003330-1001";

bool Fail(const std::string& message) {
  std::fprintf(stderr, "kvmkoffline: %s\n", message.c_str());
  return false;
}

bool MakeFolders(const std::string& path) {
  std::string sofar;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    sofar = path.substr(0, end);
    if (!sofar.empty() && ::mkdir(sofar.c_str(), 0755) != 0 && errno != EEXIST)
      return Fail(sofar + ": " + std::strerror(errno));
    start = end + 1;
  }
  return true;
}

// Writes a value unless the export has one of that name already.
void Default(kv::MemoryRegistry& registry, const std::string& key, const std::string& name, const std::string& text,
             std::uint32_t type = kv::REG_SZ_TYPE) {
  RegKey raw = kv::kNoKey;
  if (registry.OpenKey(kv::HKEY_LOCAL_MACHINE_CODE, "", kv::kKeyRead, &raw) == kv::kErrorSuccess)
    registry.CloseKey(raw);
  std::string root = key.substr(0, key.find('\\'));
  std::uint32_t code = root == "HKCU" ? kv::HKEY_CURRENT_USER_CODE : kv::HKEY_LOCAL_MACHINE_CODE;
  raw = kv::kNoKey;
  if (registry.OpenKey(code, key.substr(key.find('\\') + 1), kv::kKeyQueryValue, &raw) == kv::kErrorSuccess) {
    kv::UniqueRegKey open(registry, raw);
    std::uint32_t t = 0, size = 0;
    if (registry.QueryValue(open.get(), name, &t, nullptr, &size) == kv::kErrorSuccess) return;
  }
  if (!text.empty()) registry.SetString(key, name, text, type);
}

// The memory file system's tree, walked by its own searches, made on the host.
bool WriteTree(kv::MemoryFileSystem& files, const std::string& folder, const std::string& host) {
  kv::FindEntry entry;
  kv::UniqueFind find(files, files.FindFirst(folder + "\\*", &entry));
  if (!find) return true;
  do {
    if (entry.name == "." || entry.name == "..") continue;
    const std::string path = host + "/" + entry.name;
    if ((entry.attributes & kv::kAttrDirectory) != 0) {
      if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return Fail(path + ": " + std::strerror(errno));
      if (!WriteTree(files, folder + "\\" + entry.name, path)) return false;
    } else {
      std::ofstream file(path, std::ios::binary);
      if (!file) return Fail(path + ": cannot be written");
    }
  } while (files.FindNext(find.get(), &entry));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> args;
  for (int i = 1; i + 1 < argc; i += 2) args[argv[i]] = argv[i + 1];
  for (const char* needed : {"--reg", "--files", "--empty-hive", "--out"}) {
    if (args.count(needed) == 0) {
      std::fprintf(stderr, "usage: kvmkoffline --reg FILE --files FILE --empty-hive FILE --out DIR\n");
      return 2;
    }
  }
  auto machine = std::make_unique<kv::MemoryPlatform>();
  std::string error;
  if (!kv::cli::LoadMachine(*machine, args["--reg"], args["--files"], &error)) return Fail(error), 2;
  kv::MemoryRegistry& registry = machine->registry;
  kv::MemorySystem& system = machine->system;
  auto env = [&](const char* name) {
    std::string value;
    return system.GetEnvironment(name, &value) ? value : std::string();
  };

  // The system the memory machine assumes, where Windows keeps it.
  const std::string nt = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  const std::string cv = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  kv::OsVersion version;
  system.Version(&version);
  Default(registry, nt, "SystemRoot", system.WindowsDirectory());
  Default(registry, nt, "CurrentVersion", std::to_string(version.major) + "." + std::to_string(version.minor));
  Default(registry, nt, "CurrentBuildNumber", std::to_string(version.build));
  const std::string profiles = nt + "\\ProfileList";
  const std::string profile = env("USERPROFILE");
  Default(registry, profiles + "\\" + kUserSid, "ProfileImagePath", profile, kv::REG_EXPAND_SZ_TYPE);
  Default(registry, profiles, "ProgramData", env("ProgramData"), kv::REG_EXPAND_SZ_TYPE);
  Default(registry, cv, "ProgramFilesDir", env("ProgramFiles"));
  Default(registry, cv, "CommonFilesDir", env("CommonProgramFiles"));
  Default(registry, cv, "ProgramFilesDir (x86)", env("ProgramFiles(x86)"));
  Default(registry, cv, "CommonFilesDir (x86)", env("CommonProgramFiles(x86)"));
  Default(registry, cv, "ProgramW6432Dir", env("ProgramW6432"));
  Default(registry, cv, "CommonW6432Dir", env("CommonProgramW6432"));
  std::string folder;
  const std::string userShell = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  const std::string machineShell = cv + "\\Explorer\\User Shell Folders";
  if (system.GetSpecialFolder(kv::kCsidlStartup, &folder)) Default(registry, userShell, "Startup", folder);
  if (system.GetSpecialFolder(kv::kCsidlFonts, &folder)) Default(registry, userShell, "Fonts", folder);
  if (system.GetSpecialFolder(kv::kCsidlCommonStartup, &folder))
    Default(registry, machineShell, "Common Startup", folder);
  Default(registry, userShell, "AppData", env("APPDATA"));
  Default(registry, userShell, "Local AppData", env("LOCALAPPDATA"));
  // Every variable the memory machine has that logon would not derive, as the machine's own.
  const std::string sessionEnvironment = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
  for (const char* name : {"Path", "PATHEXT", "windir", "TEMP", "TMP", "ComSpec", "OS", "PROCESSOR_ARCHITECTURE",
                           "NUMBER_OF_PROCESSORS", "winsysdir", "PUBLIC", "ALLUSERSPROFILE", "COMPUTERNAME"})
    Default(registry, sessionEnvironment, name, env(name));

  const std::string out = args["--out"];
  machine->files.AddDirectory(system.WindowsDirectory() + "\\System32\\config");
  machine->files.AddDirectory(profile + "\\AppData\\Local\\Microsoft\\Windows");
  if (!MakeFolders(out + "/C")) return 2;
  if (!WriteTree(machine->files, "C:", out + "/C")) return 2;
  for (char letter = 'D'; letter <= 'Z'; ++letter) {
    if (machine->files.DriveType(std::string(1, letter) + ":\\") == kv::kDriveNoRootDir) continue;
    const std::string drive = out + "/" + std::string(1, letter);
    if (!MakeFolders(drive) || !WriteTree(machine->files, std::string(1, letter) + ":", drive)) return 2;
  }
  // The folders of the hives, spelt as the tree spells the folders above them.
  kv::offline::HostFileSystem tree;
  if (!tree.MapDrive('C', out + "/C", &error)) return Fail(error), 2;
  const std::string configHost = tree.HostPath(system.WindowsDirectory() + "\\System32\\config");
  const std::string profileHost = tree.HostPath(profile);
  const std::string classesHost = tree.HostPath(profile + "\\AppData\\Local\\Microsoft\\Windows");
  if (configHost.empty() || profileHost.empty() || classesHost.empty())
    return Fail("the Windows folder or the profile is not on drive C:"), 2;

  using kv::offline::HivePart;
  registry.SetDword("HKLM\\SYSTEM\\Select", "Current", 1);
  auto isControlSet = [](const std::string& name) {
    return kv::SameText(name, "CurrentControlSet") || kv::SameText(name, "ControlSet001");
  };
  const std::vector<std::pair<std::string, std::vector<HivePart>>> hives = {
      {configHost + "/SOFTWARE", {{kv::HKEY_LOCAL_MACHINE_CODE, "SOFTWARE", "", nullptr}}},
      // The current control set is ControlSet001, and Select says so.
      {configHost + "/SYSTEM",
       {{kv::HKEY_LOCAL_MACHINE_CODE, "SYSTEM", "", isControlSet},
        {kv::HKEY_LOCAL_MACHINE_CODE, "SYSTEM\\ControlSet001", "ControlSet001", nullptr},
        {kv::HKEY_LOCAL_MACHINE_CODE, "SYSTEM\\CurrentControlSet", "ControlSet001", nullptr}}},
      {profileHost + "/NTUSER.DAT", {{kv::HKEY_CURRENT_USER_CODE, "", "", nullptr}}},
      {classesHost + "/UsrClass.dat", {{kv::HKEY_CURRENT_USER_CODE, "Software\\Classes", "", nullptr}}},
  };
  for (const auto& [file, parts] : hives) {
    std::vector<std::string> skipped;
    if (!kv::offline::WriteHiveFile(registry, parts, args["--empty-hive"], file, &skipped, &error))
      return Fail(error), 2;
    for (const std::string& value : skipped)
      std::fprintf(stderr, "kvmkoffline: warning: %s left out: too large for a hive written here\n", value.c_str());
  }
  std::printf("%s/C\n", out.c_str());
  return 0;
}
