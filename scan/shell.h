// Small shell routines single scanners need: the platform family, the fonts and startup folders,
// shortcut targets and class-identifier strings.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kv {

class WindowsVersionError : public std::runtime_error {
 public:
  WindowsVersionError() : std::runtime_error("Cannot detect your Windows version.") {}
};

class ShellLinkError : public std::runtime_error {
 public:
  ShellLinkError() : std::runtime_error("Cannot create the shell link object.") {}
};

// True on the NT family. Raises WindowsVersionError when the version cannot be read.
bool IsWindowsNT(Platform& platform);

// The shell's fonts folder, without a closing backslash (empty when the shell has none).
void GetFontsFolder(Platform& platform, std::string& path);

// The current user's startup folders and, on NT, the common ones, alternate folders included. A failure to
// read the version reaches the caller; any other failure leaves the list empty.
void GetStartupFolders(Platform& platform, std::vector<std::string>& list);

// The target of a shortcut file. When the file cannot be loaded as a shortcut, `target` is left as it
// was and the answer is false. A loaded shortcut to a shell item that has no file-system path (a packaged
// application, a control-panel page) gives an empty target. Raises ShellLinkError when the shell link object
// cannot be created.
bool GetShortcutTarget(Platform& platform, const std::string& linkFile, std::string& target);

// A braced class identifier: 38 characters, {8-4-4-4-12} hexadecimal digits, either case.
bool IsGUIDString(const std::string& s);

}  // namespace kv
