// The search folders and executable extensions, taken once from "Path" and "PathExt" when the engine
// loads (cut with CutToken of support/text.h).
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/text.h"

namespace kv {

// Folders of "Path", lower case with a closing backslash (an empty piece gives "\"), then the system and
// Windows folders unless already present.
std::vector<std::string> BuildSearchDirs(Platform& platform);

// Extensions of "PathExt", lower case, then ".dll", ".exe" and ".com" unless already present.
std::vector<std::string> BuildExeExtensions(Platform& platform);

}  // namespace kv
