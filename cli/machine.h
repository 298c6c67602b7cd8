// A machine for the memory platform, from two files: a registry export in regedit's format and a list of
// the files that exist on it. The system around them is set up as a fresh Wine prefix sets up Windows
// (folders, environment, shell folders), so that a machine gives here the verdicts it gives under Wine.
#pragma once

#include <string>

#include "platform/memory/memory_platform.h"

namespace kv::cli {

// The Wine-like system of a 64-bit user: C:\windows, its system32, the environment as Wine sets it up
// ("Path", "PathExt", the program, data and profile folders of both kinds of program), the fonts and
// startup folders (which exist, empty).
void SetUpWineLikeSystem(MemoryPlatform& machine);

// Adds the files of a list: one absolute path a line; a path ending in a backslash is a folder; blank lines
// and lines starting with '#' are skipped. False (with the line named in `error`) on a line that is not an
// absolute path or that names what a memory machine cannot hold (a share, a file below a file).
bool AddListedFiles(MemoryFileSystem& files, const std::string& listText, std::string* error);

// The environment of the user of a loaded export, over the defaults, in the order the system builds it at
// logon: the machine's variables (its "Session Manager\Environment"), the session's ("Volatile
// Environment": the profile folders), then the user's own ("Environment", whose "Path" follows the
// machine's); each expandable value is expanded with what was set before it.
void LoadEnvironment(MemoryPlatform& machine);

// The whole machine: the Wine-like system, the registry export with its environment, the listed files.
bool LoadMachine(MemoryPlatform& machine, const std::string& regPath, const std::string& filesPath, std::string* error);

}  // namespace kv::cli
