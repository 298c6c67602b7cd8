#include "cli/machine.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/system_api.h"

namespace kv::cli {
namespace {

constexpr const char* kUserProfile = "C:\\users\\user";
constexpr const char* kStartup =
    "C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
constexpr const char* kCommonStartup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";

bool IsAbsolute(const std::string& path) {
  return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || (path.size() > 2 && path.compare(0, 2, "\\\\") == 0);
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
  machine.system.SetEnvironment(
      "PATH", "C:\\windows\\system32;C:\\windows;C:\\windows\\system32\\wbem;C:\\windows\\system32\\WindowsPowershell\\v1.0");
  machine.system.SetEnvironment("PATHEXT", ".com;.exe;.bat;.cmd;.vbs;.vbe;.js;.jse;.wsf;.wsh");
  machine.system.SetEnvironment("SystemRoot", "C:\\windows");
  machine.system.SetEnvironment("SystemDrive", "C:");
  machine.system.SetEnvironment("ProgramFiles", "C:\\Program Files");
  machine.system.SetEnvironment("CommonProgramFiles", "C:\\Program Files\\Common Files");
  machine.system.SetEnvironment("USERPROFILE", kUserProfile);
  machine.system.SetSpecialFolder(kCsidlFonts, "C:\\windows\\Fonts");
  machine.system.SetSpecialFolder(kCsidlStartup, kStartup);
  machine.system.SetSpecialFolder(kCsidlCommonStartup, kCommonStartup);
  for (const char* folder : {"C:\\windows\\system32", "C:\\windows\\Fonts", "C:\\Program Files\\Common Files",
                             kStartup, kCommonStartup})
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

bool LoadMachine(MemoryPlatform& machine, const std::string& regPath, const std::string& filesPath, std::string* error) {
  SetUpWineLikeSystem(machine);
  machine.files.SetCallLog(false);  // nobody reads it here
  std::string regError;
  if (!machine.registry.LoadRegFileFromPath(regPath, &regError)) {
    if (error != nullptr) *error = regPath + ": " + regError;
    return false;
  }
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
