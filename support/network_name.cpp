#include "support/network_name.h"

#include <cstring>

namespace kv {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// One component of a name: the characters from `begin` up to the next separator or the end.
struct Component {
  std::size_t begin;
  std::size_t end;
};

// The component after the run of separators that starts at `at`.
Component NextComponent(const std::string& name, std::size_t at) {
  while (at < name.size() && IsSeparator(name[at])) ++at;
  std::size_t end = at;
  while (end < name.size() && !IsSeparator(name[end])) ++end;
  return {at, end};
}

bool Is(const std::string& name, Component part, const char* word) {
  const std::size_t length = std::strlen(word);
  if (part.end - part.begin != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (UpperAscii(name[part.begin + i]) != UpperAscii(word[i])) return false;
  }
  return true;
}

// What an object-manager name ("\??\...", "\Device\...") leads to.
struct Where {
  bool network = false;
  char drive = 0;
};

// Follows an object-manager name from `at` (a separator). The folder of drive letters and device links
// ("\??", "\DosDevices", "\GLOBAL??") holds "UNC", the network redirector, and "GLOBALROOT", the way back
// to the top; the network redirectors themselves live in "\Device". Runs of separators count as one, so
// that the answer errs towards the network. Every step takes up at least one component, so it ends.
Where FollowObjectName(const std::string& name, std::size_t at) {
  Where where;
  for (;;) {
    const Component first = NextComponent(name, at);
    if (first.begin == first.end) return where;
    if (Is(name, first, "??") || Is(name, first, "DosDevices") || Is(name, first, "GLOBAL??")) {
      const Component link = NextComponent(name, first.end);
      if (link.begin == link.end) return where;
      if (Is(name, link, "UNC")) {
        where.network = true;
        return where;
      }
      if (Is(name, link, "GLOBALROOT")) {
        at = link.end;
        continue;
      }
      if (link.end - link.begin >= 2 && IsLetter(name[link.begin]) && name[link.begin + 1] == ':')
        where.drive = UpperAscii(name[link.begin]);
      return where;
    }
    if (Is(name, first, "Device")) {
      const Component device = NextComponent(name, first.end);
      where.network =
          Is(name, device, "Mup") || Is(name, device, "LanmanRedirector") || Is(name, device, "WebDavRedirector");
      return where;
    }
    return where;
  }
}

// "file:" URLs. "file://host/share/..." and "file:////host/share/..." name a share; "file:///C:/...",
// "file://localhost/C:/..." and "file:/..." name local files.
bool FileUrlIsNetwork(const std::string& name) {
  static const char kScheme[] = "file:";
  constexpr std::size_t kSchemeLength = sizeof kScheme - 1;
  if (name.size() < kSchemeLength || !Is(name, Component{0, kSchemeLength}, kScheme)) return false;
  std::size_t at = kSchemeLength;
  while (at < name.size() && IsSeparator(name[at])) ++at;
  const std::size_t slashes = at - kSchemeLength;
  if (slashes >= 4) return true;
  if (slashes != 2 || at == name.size()) return false;
  const Component host = NextComponent(name, at);
  if (Is(name, host, "localhost")) {
    // What follows the host is a path: a share when it begins with two separators.
    return host.end + 1 < name.size() && IsSeparator(name[host.end]) && IsSeparator(name[host.end + 1]);
  }
  // A drive written where the host goes ("file://C:/x", "file://C|/x") is a local file.
  const bool drive = host.end - host.begin == 2 && IsLetter(name[host.begin]) &&
                     (name[host.begin + 1] == ':' || name[host.begin + 1] == '|');
  return !drive;
}

}  // namespace

// Both read a name the way the system does: up to its first NUL.
bool IsNetworkName(const std::string& name) {
  if (name.find('\0') != std::string::npos) return IsNetworkName(std::string(name.c_str()));
  if (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1])) return true;
  if (!name.empty() && IsSeparator(name[0])) return FollowObjectName(name, 0).network;
  return FileUrlIsNetwork(name);
}

char NameDriveLetter(const std::string& name) {
  if (name.find('\0') != std::string::npos) return NameDriveLetter(std::string(name.c_str()));
  if (name.size() >= 2 && IsLetter(name[0]) && name[1] == ':') return UpperAscii(name[0]);
  if (name.size() >= 2 && IsSeparator(name[0]) && !IsSeparator(name[1])) {
    const Where where = FollowObjectName(name, 0);
    if (!where.network) return where.drive;
  }
  return 0;
}

}  // namespace kv
