// Path rules of the file calls, as pure functions over UTF-8 paths: normalising a path against the current
// directory (the rules of GetFullPathNameW), DOS device names, 8.3 short names and wildcard matching.
#pragma once

#include <string>
#include <vector>

namespace kv {
namespace memfs {

// A path after normalisation.
struct NormalPath {
  enum Kind {
    kNone,    // empty input: no path at all
    kDrive,   // "C:\dir\file" (also "\\?\C:\..." and "\\.\C:\...")
    kUnc,     // "\\server\share\..."
    kDevice,  // a DOS device name: "\\.\NAME"
    kOther    // any other "\\?\..." or "\\.\..." path
  };
  Kind kind = kNone;
  std::string root;  // "C:", "\\server\share", "\\?\C:", "\\."; empty for kNone and kDevice
  char drive = 0;    // the upper-case drive letter of a kDrive path
  std::vector<std::string> segments;
  bool trailingSeparator = false;
  std::string device;  // kDevice: the device name as written

  // The path as GetFullPathNameW writes it.
  std::string Text() const;
};

// The default current directory.
NormalPath DriveRoot(char drive);

// Joins a relative path with `current` (a kDrive or kUnc path), turns '/' into '\', collapses doubled
// separators, resolves "." and "..", removes the trailing dots and blanks of the last name and a single
// trailing dot of the others, and keeps a trailing separator. With `mapDevices` a last name that is a DOS
// device ("nul", "C:\dir\con.txt", "com1 .x") gives a kDevice path.
NormalPath Normalize(const std::string& path, const NormalPath& current, bool mapDevices = true);

// The device named by the last name of the path ("CON", "nul", "COM1".."COM9", "LPT1".."LPT9", "AUX",
// "PRN", "CONIN$", "CONOUT$", with any extension or trailing blanks), as written; empty when none.
std::string DeviceName(const std::string& path);

bool HasWildcards(const std::string& text);

// A name DOS could have written: one to eight characters, optionally a dot and one to three more, all
// of them letters, digits or one of !#$%&'()-@^_`{}~.
bool IsValidShortName(const std::string& name);

// The n-th alias candidate for a long name: blanks and leading dots dropped, the first usable characters
// of the base upper-cased (characters not allowed in short names, and each character outside ASCII, become
// '_'), "~n", and the first three
// characters of the extension: "Program Files" -> "PROGRA~1", "application.html" -> "APPLIC~1.HTM".
std::string ShortNameCandidate(const std::string& longName, int n);

// Wildcard match without regard to case (support/text_case.h): '*' any run of characters, '?' exactly one
// UTF-16 unit (a character beyond the Basic Multilingual Plane takes two); once the name is
// used up, the rest of the pattern may still hold dots and stars (so "*.*" matches a name without a dot).
bool MatchesPattern(const std::string& pattern, const std::string& name);

}  // namespace memfs
}  // namespace kv
