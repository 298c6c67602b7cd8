// A machine for the memory platform, from two files: a registry export in regedit's format and a list of
// the files that exist on it. The system around them is set up as a fresh Wine prefix sets up Windows
// (folders, environment, shell folders), so that a machine gives here the verdicts it gives under Wine.
#pragma once

#include <string>

#include "platform/memory/memory_platform.h"

namespace kv::cli {

// The Wine-like system: C:\windows, its system32, "Path" and "PathExt" as Wine sets them, the fonts and
// startup folders (which exist, empty).
void SetUpWineLikeSystem(MemoryPlatform& machine);

// Adds the files of a list: one absolute path a line; a path ending in a backslash is a folder; blank lines
// and lines starting with '#' are skipped. False (with the line named in `error`) on a line that is not an
// absolute path or that names what a memory machine cannot hold (a share, a file below a file).
bool AddListedFiles(MemoryFileSystem& files, const std::string& listText, std::string* error);

// The whole machine: the Wine-like system, the registry export, the listed files.
bool LoadMachine(MemoryPlatform& machine, const std::string& regPath, const std::string& filesPath, std::string* error);

}  // namespace kv::cli
