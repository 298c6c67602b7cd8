// TWinInfo: the system folders that registry data refers to through path variables, and
// ReadExpandedValue, the one way the scanners read a registry value as text.
#pragma once

#include <string>

#include "platform/platform.h"
#include "support/registry.h"

namespace kv {

class TWinInfo {
 public:
  explicit TWinInfo(Platform& platform);

  std::string SystemRoot;    // the Windows folder
  std::string SystemDrive;   // its drive ("C:") or, for a UNC path, its server and share
  std::string ProgramFiles;  // "ProgramFilesDir" of the machine's CurrentVersion key
  std::string CommonFiles;   // "CommonFilesDir" of the same key
  // The folders of 32-bit programs on a 64-bit machine ("ProgramFilesDir (x86)", "CommonFilesDir (x86)"
  // of the same key); the ones above where the machine has no such values.
  std::string ProgramFiles32;
  std::string CommonFiles32;
  // Set while a section reads the keys of 32-bit programs: their "%ProgramFiles%" and
  // "%CommonProgramFiles%" are the 32-bit folders, and their system folder is the 32-bit one.
  bool Wow32 = false;

  // The value `name` of the key `registry` has open, as text whatever its type, with "%SystemRoot%",
  // "%SystemDrive%", "%ProgramFiles%", "%commonprogramfiles%" and "%UserProfile%" replaced (case
  // ignored). A REG_EXPAND_SZ value is then expanded with the whole environment, as the system expands
  // it for every program that reads it (ExpandEnvironmentText); other types keep every other variable as
  // written. Never raises for a value that cannot be read: that gives the empty string. The replacements
  // never make the text longer than kLongestExpandedText, or than it was read when it was longer: the rest
  // is cut.
  std::string ReadExpandedValue(const std::string& name, TRegistry& registry) const;

 private:
  Platform& platform_;
};

// The name a 32-bit program reaches when it asks for `path` on a 64-bit machine whose Windows folder is
// `windowsDir`: the system folder "System32" is its 32-bit twin "SysWOW64", except the folders the system
// leaves shared (catroot, catroot2, drivers\etc, driverstore, logfiles, spool); "Sysnative" is the real
// system folder. Other names, and every name when `windowsDir` is empty, are unchanged.
std::string Wow32FileName(const std::string& windowsDir, const std::string& path);

// The drive part of a path: "C:" for "C:\x", "\\server\share" for "\\server\share\x", else empty.
std::string ExtractFileDrive(const std::string& path);

// Expands `text` the way the system's ExpandEnvironmentStrings does: each "%NAME%" whose variable is set
// (names ignore case) becomes its value; an unset or empty name stays as written, its closing "%" with
// it, and the search for the next variable starts after that. The result is cut after `limit` characters.
std::string ExpandEnvironmentText(SystemApi& system, const std::string& text, std::size_t limit = std::string::npos);

// The longest text the replacements of ReadExpandedValue make of a shorter one (a longer value read as it
// is stays whole). Far past the longest path, so that every name a command holds is left whole.
constexpr std::size_t kLongestExpandedText = std::size_t{1} << 20;

}  // namespace kv
