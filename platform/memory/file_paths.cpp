#include "platform/memory/file_paths.h"

#include <algorithm>
#include <cstring>

#include "support/text.h"

namespace kv {
namespace memfs {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithDrive(const std::string& path, std::size_t at) {
  return path.size() >= at + 2 && IsLetter(path[at]) && path[at + 1] == ':';
}

// "\\.\" or "\\?\": the prefixes that pass a path on without the usual rules.
bool HasRawPrefix(const std::string& path) {
  return path.size() >= 4 && path[0] == '\\' && path[1] == '\\' && (path[2] == '.' || path[2] == '?') &&
         path[3] == '\\';
}

std::vector<std::string> SplitSeparators(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\\', start);
    if (end == std::string::npos) end = text.size();
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

// The start of `path` up to where its names begin; fills the root fields of `result` and returns the rest.
std::string SplitRoot(const std::string& path, const NormalPath& current, NormalPath* result) {
  if (HasRawPrefix(path)) {
    const std::string prefix = path.substr(0, 3);
    if (StartsWithDrive(path, 4) && (path.size() == 6 || path[6] == '\\')) {
      result->kind = NormalPath::kDrive;
      result->drive = UpperAscii(path[4]);
      result->root = prefix + "\\" + path.substr(4, 2);
      return path.substr(6);
    }
    result->kind = NormalPath::kOther;
    result->root = prefix;
    return path.substr(3);
  }
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    result->kind = NormalPath::kUnc;
    const std::size_t serverEnd = path.find('\\', 2);
    if (serverEnd == std::string::npos) {
      result->root = path;
      return std::string();
    }
    const std::size_t shareEnd = path.find('\\', serverEnd + 1);
    if (shareEnd == serverEnd + 1 || serverEnd + 1 == path.size()) {
      result->root = path.substr(0, serverEnd);
      return path.substr(serverEnd);
    }
    result->root = path.substr(0, shareEnd == std::string::npos ? path.size() : shareEnd);
    return shareEnd == std::string::npos ? std::string() : path.substr(shareEnd);
  }
  if (StartsWithDrive(path, 0)) {
    const bool relative = path.size() == 2 || path[2] != '\\';
    if (relative && current.kind == NormalPath::kDrive && current.drive == UpperAscii(path[0])) {
      *result = current;
    } else {
      result->kind = NormalPath::kDrive;
      result->drive = UpperAscii(path[0]);
      result->root = path.substr(0, 2);
    }
    return path.substr(2);
  }
  *result = current;
  if (path[0] == '\\') result->segments.clear();
  return path;
}

// Adds the names of `rest` to `result` by the rules of Normalize.
void AddNames(const std::string& rest, NormalPath* result) {
  const std::vector<std::string> pieces = SplitSeparators(rest);
  result->trailingSeparator = !rest.empty() && rest.back() == '\\';
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    std::string piece = pieces[i];
    if (piece.empty() || piece == ".") continue;
    if (piece == "..") {
      if (!result->segments.empty()) result->segments.pop_back();
      continue;
    }
    if (i + 1 == pieces.size()) {
      while (!piece.empty() && (piece.back() == '.' || piece.back() == ' ')) piece.pop_back();
      if (piece.empty()) {
        result->trailingSeparator = true;
        continue;
      }
    } else if (piece.back() == '.' && piece[piece.size() - 2] != '.') {
      piece.pop_back();
    }
    result->segments.push_back(piece);
  }
}

bool IsShortNameChar(char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return c != '\0' && std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}

// The UTF-16 units of a UTF-8 text, each folded to its upper case: the units a search pattern matches
// ('?' takes one unit, so a character beyond the plane takes two).
std::u16string FoldedUnits(const std::string& text) {
  std::u16string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char32_t code = UpcaseCodePoint(NextCodePoint(text, &i));
    if (code >= 0x10000) {
      result.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      result.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      result.push_back(static_cast<char16_t>(code));
    }
  }
  return result;
}

}  // namespace

std::string NormalPath::Text() const {
  if (kind == kNone) return std::string();
  if (kind == kDevice) return "\\\\.\\" + device;
  std::string text = root;
  if (segments.empty()) return kind == kDrive || trailingSeparator ? text + "\\" : text;
  for (const std::string& segment : segments) text += "\\" + segment;
  if (trailingSeparator) text += "\\";
  return text;
}

NormalPath DriveRoot(char drive) {
  NormalPath root;
  root.kind = NormalPath::kDrive;
  root.drive = UpperAscii(drive);
  root.root = std::string(1, drive) + ":";
  return root;
}

NormalPath Normalize(const std::string& input, const NormalPath& current, bool mapDevices) {
  NormalPath result;
  if (input.find_first_not_of(' ') == std::string::npos) return result;
  std::string path = input;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (mapDevices) {
    std::string device = DeviceName(path);
    if (!device.empty()) {
      result.kind = NormalPath::kDevice;
      result.device = std::move(device);
      return result;
    }
  }
  const std::string rest = SplitRoot(path, current, &result);
  AddNames(rest, &result);
  // A bare "X:" naming the current drive is its current directory, written with a closing separator.
  if (path.size() == 2 && StartsWithDrive(path, 0) && !result.segments.empty()) result.trailingSeparator = true;
  return result;
}

std::string DeviceName(const std::string& input) {
  std::string path = input;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (HasRawPrefix(path)) return std::string();
  std::size_t start = path.rfind('\\');
  start = start == std::string::npos ? (StartsWithDrive(path, 0) ? 2 : 0) : start + 1;
  std::string name = path.substr(start, path.find_first_of(".:", start) - start);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  std::string upper;
  for (char c : name) upper += UpperAscii(c);
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (upper == device) return name;
  }
  if (upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) && upper[3] >= '1' &&
      upper[3] <= '9')
    return name;
  return std::string();
}

bool HasWildcards(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

bool IsValidShortName(const std::string& name) {
  const std::size_t dot = name.find('.');
  if (dot != std::string::npos && name.find('.', dot + 1) != std::string::npos) return false;
  const std::size_t baseLength = dot == std::string::npos ? name.size() : dot;
  const std::size_t extLength = dot == std::string::npos ? 0 : name.size() - dot - 1;
  if (baseLength == 0 || baseLength > 8 || extLength > 3) return false;
  if (dot != std::string::npos && extLength == 0) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (i != dot && !IsShortNameChar(name[i])) return false;
  }
  return true;
}

std::string ShortNameCandidate(const std::string& longName, int n) {
  std::string cleaned;
  for (char c : longName) {
    if (c != ' ') cleaned += c;
  }
  cleaned.erase(0, cleaned.find_first_not_of('.'));
  const std::size_t lastDot = cleaned.rfind('.');
  std::string base;
  std::string extension;
  for (std::size_t i = 0; i < cleaned.size();) {
    const std::size_t at = i;
    const char32_t code = NextCodePoint(cleaned, &i);  // one '_' for each character outside ASCII
    if (code == U'.') continue;
    const char c = code < 0x80 && IsShortNameChar(static_cast<char>(code)) ? UpperAscii(static_cast<char>(code)) : '_';
    if (lastDot == std::string::npos || at < lastDot) {
      base += c;
    } else if (extension.size() < 3) {
      extension += c;
    }
  }
  if (base.empty()) base = "_";
  const std::string suffix = "~" + std::to_string(n);
  const std::size_t keep = suffix.size() < 8 ? 8 - suffix.size() : 0;
  std::string alias = base.substr(0, std::min<std::size_t>(keep, 6)) + suffix;
  if (!extension.empty()) alias += "." + extension;
  return alias;
}

// Greedy matching that falls back to the last star; the star that has absorbed the most is always the
// most lenient choice, so one pass decides.
bool MatchesPattern(const std::string& patternText, const std::string& nameText) {
  const std::u16string pattern = FoldedUnits(patternText);
  const std::u16string name = FoldedUnits(nameText);
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starPattern = std::u16string::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      starPattern = ++p;
      starName = n;
    } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (starPattern != std::u16string::npos) {
      p = starPattern;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && (pattern[p] == u'*' || pattern[p] == u'.')) ++p;
  return p == pattern.size();
}

}  // namespace memfs
}  // namespace kv
