// Network names in every spelling. A name that the file system would send to the network redirector is
// treated alike wherever the engine tests files, however it is written: "\\server\share", the device
// forms "\\?\UNC\server\share" and "\\.\UNC\...", the object-manager forms "\??\UNC\...",
// "\??\GLOBALROOT\Device\Mup\...", "\Device\Mup\..." and "\Device\LanmanRedirector\...", any of them with
// forward slashes, and "file://server/share/..." URLs. Prefixes compare without regard to case.
#pragma once

#include <string>

namespace kv {

// True when the text alone says that `name` lies on the network. Everything that begins with two
// separators counts (the device forms "\\?\C:\..." and "\\.\NUL" included), as it always has.
bool IsNetworkName(const std::string& name);

// The drive letter (upper case) a name lies on when it names one: "C:\x", "c:x", "\??\C:\x",
// "\GLOBAL??\C:\x"; 0 otherwise (a network name, a relative name, "\x" on the current drive). Whether
// that drive is a network drive only the platform can tell.
char NameDriveLetter(const std::string& name);

}  // namespace kv
