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

// The short form of `path` (GetShortPathNameW): each name as written replaced by what `shortName` answers
// for the normalised path up to it (the stored 8.3 alias, or the stored name when it is one already; null
// when that path does not exist, which makes the whole answer empty); separators, the drive, "." and ".."
// stay as written, and a device keeps its device name.
template <class ShortNameOf>
std::string ShortForm(const std::string& path, const NormalPath& current, ShortNameOf shortName);

bool IsSeparator(char c);

// A name DOS could have written: one to eight characters, optionally a dot and one to three more, all
// of them letters, digits or one of !#$%&'()-@^_`{}~.
bool IsValidShortName(const std::string& name);

// The n-th alias candidate for a long name: blanks and leading dots dropped, the first usable characters
// of the base upper-cased (characters not allowed in short names, and each character outside ASCII, become
// '_'), "~n", and the first three
// characters of the extension: "Program Files" -> "PROGRA~1", "application.html" -> "APPLIC~1.HTM".
std::string ShortNameCandidate(const std::string& longName, int n);

// Wildcard match without regard to case (support/text.h): '*' any run of characters, '?' exactly one
// UTF-16 unit (a character beyond the Basic Multilingual Plane takes two); once the name is
// used up, the rest of the pattern may still hold dots and stars (so "*.*" matches a name without a dot).
bool MatchesPattern(const std::string& pattern, const std::string& name);

template <class ShortNameOf>
std::string ShortForm(const std::string& path, const NormalPath& current, ShortNameOf shortName) {
  std::size_t i = 0;
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == '.' || path[2] == '?') &&
      IsSeparator(path[3]))
    i = 4;
  if (path.size() >= i + 2 && path[i + 1] == ':') i += 2;
  std::string result = path.substr(0, i);
  while (i < path.size()) {
    if (IsSeparator(path[i])) {
      result += path[i++];
      continue;
    }
    std::size_t end = path.find_first_of("\\/", i);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(i, end - i);
    if (name == "." || name == "..") {
      result += name;
    } else {
      const NormalPath prefix = Normalize(path.substr(0, end), current);
      if (prefix.kind == NormalPath::kDevice) {
        result += prefix.device;
      } else {
        const std::string* shortened = shortName(prefix);
        if (shortened == nullptr) return std::string();
        result += *shortened;
      }
    }
    i = end;
  }
  return result;
}

}  // namespace memfs
}  // namespace kv
