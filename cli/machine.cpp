#include "cli/machine.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/memory/reg_file.h"
#include "platform/system_api.h"
#include "support/registry.h"
#include "support/win_info.h"

namespace kv::cli {
namespace {

constexpr const char* kUserProfile = "C:\\users\\user";
constexpr const char* kStartup = "C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
constexpr const char* kCommonStartup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";

bool IsAbsolute(const std::string& path) {
  return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') ||
         (path.size() > 2 && path.compare(0, 2, "\\\\") == 0);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  return true;
}

}  // namespace

void SetUpWineLikeSystem(MemoryPlatform& machine) {
  machine.system.SetWindowsDirectory("C:\\windows");
  machine.system.SetSystemDirectory("C:\\windows\\system32");
  machine.system.SetVersion(OsVersion{kPlatformWin32NT, 6, 1, 7601});
  // The environment of a user of 64-bit Windows, as a 64-bit program sees it.
  const char* const kEnvironment[][2] = {
      {"PATH",
       "C:\\windows\\system32;C:\\windows;C:\\windows\\system32\\wbem;C:\\windows\\system32\\WindowsPowershell\\v1.0"},
      {"PATHEXT", ".com;.exe;.bat;.cmd;.vbs;.vbe;.js;.jse;.wsf;.wsh"},
      {"SystemRoot", "C:\\windows"},
      {"windir", "C:\\windows"},
      {"SystemDrive", "C:"},
      {"ProgramFiles", "C:\\Program Files"},
      {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
      {"ProgramW6432", "C:\\Program Files"},
      {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
      {"CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files"},
      {"CommonProgramW6432", "C:\\Program Files\\Common Files"},
      {"ProgramData", "C:\\ProgramData"},
      {"ALLUSERSPROFILE", "C:\\ProgramData"},
      {"PUBLIC", "C:\\users\\Public"},
      {"USERPROFILE", kUserProfile},
      {"HOMEDRIVE", "C:"},
      {"HOMEPATH", "\\users\\user"},
      {"USERNAME", "user"},
      {"APPDATA", "C:\\users\\user\\AppData\\Roaming"},
      {"LOCALAPPDATA", "C:\\users\\user\\AppData\\Local"},
      {"TEMP", "C:\\users\\user\\Temp"},
      {"TMP", "C:\\users\\user\\Temp"},
      {"OS", "Windows_NT"},
      {"PROCESSOR_ARCHITECTURE", "AMD64"},
  };
  for (const auto& variable : kEnvironment) machine.system.SetEnvironment(variable[0], variable[1]);
  machine.system.SetSpecialFolder(kCsidlFonts, "C:\\windows\\Fonts");
  machine.system.SetSpecialFolder(kCsidlStartup, kStartup);
  machine.system.SetSpecialFolder(kCsidlCommonStartup, kCommonStartup);
  for (const char* folder :
       {"C:\\windows\\system32", "C:\\windows\\Fonts", "C:\\Program Files\\Common Files", kStartup, kCommonStartup})
    machine.files.AddDirectory(folder);
}

bool AddListedFiles(MemoryFileSystem& files, const std::string& listText, std::string* error) {
  std::istringstream lines(listText);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    line.erase(0, start);
    if (!IsAbsolute(line)) {
      if (error != nullptr) *error = "line " + std::to_string(number) + ": not an absolute path: " + line;
      return false;
    }
    // The memory file system refuses names it cannot hold (a share, a file on the way to a folder); the
    // list is then refused with the line that named it.
    try {
      if (line.back() == '\\') {
        line.pop_back();
        files.AddDirectory(line);
      } else {
        files.AddFile(line);
      }
    } catch (const std::invalid_argument& e) {
      if (error != nullptr) *error = "line " + std::to_string(number) + ": " + e.what();
      return false;
    }
  }
  return true;
}

void LoadEnvironment(MemoryPlatform& machine) {
  struct Key {
    std::uint32_t root;
    const char* path;
  };
  const Key kKeys[] = {{HKEY_LOCAL_MACHINE_CODE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"},
                       {HKEY_CURRENT_USER_CODE, "Volatile Environment"},
                       {HKEY_CURRENT_USER_CODE, "Environment"}};
  std::string machinePath;
  for (const Key& key : kKeys) {
    TRegistry registry(machine.platform());
    registry.SetRootKey(key.root);
    if (!registry.OpenKeyReadOnly(key.path)) continue;
    std::vector<std::string> names;
    registry.GetValueNames(names);
    // Plain values first, then the expandable ones, which may name the plain ones.
    for (const bool expandable : {false, true}) {
      for (const std::string& name : names) {
        const TRegDataType type = registry.GetDataType(name);
        if (type != (expandable ? rdExpandString : rdString)) continue;
        std::string value;
        try {
          value = registry.ReadString(name);
        } catch (const ERegistryException&) {
          continue;
        }
        if (expandable) value = ExpandEnvironmentText(machine.system, value);
        // The user's "Path" comes after the machine's.
        if (SameName(name, "PATH")) {
          if (key.root == HKEY_LOCAL_MACHINE_CODE) {
            machinePath = value;
          } else if (!machinePath.empty()) {
            value = machinePath + ";" + value;
          }
        }
        if (!value.empty()) machine.system.SetEnvironment(name, value);
      }
    }
  }
}

bool LoadMachine(MemoryPlatform& machine, const std::string& regPath, const std::string& filesPath,
                 std::string* error) {
  SetUpWineLikeSystem(machine);
  std::string regError;
  if (!LoadRegFileFromPath(machine.registry, regPath, &regError)) {
    if (error != nullptr) *error = regPath + ": " + regError;
    return false;
  }
  LoadEnvironment(machine);
  std::string list;
  if (!ReadWholeFile(filesPath, &list)) {
    if (error != nullptr) *error = filesPath + ": cannot be read";
    return false;
  }
  std::string listError;
  if (!AddListedFiles(machine.files, list, &listError)) {
    if (error != nullptr) *error = filesPath + ": " + listError;
    return false;
  }
  return true;
}

}  // namespace kv::cli
