// How a string taken from the registry is resolved to a file: the quiet existence test, the command-line
// resolver that cuts a command down to the program it runs and searches for it, and the folder test.
#pragma once

#include <string>

#include "scan/engine.h"

namespace kv {

// True when `fileName` names a file (not a folder) that a directory search finds; wildcards match any
// file. Shows no system dialog (a drive without a medium is simply absent) and restores the error mode.
bool SafeFileExists(Engine& engine, const std::string& fileName);

// True when `command` is resolvable: the file it runs is found (directly, or in the search folders with the
// executable extensions), or one of the exemptions applies. `fileName` receives the file found. Never
// raises.
bool ExtractFileFromCommand(Engine& engine, const std::string& command, std::string& fileName);

// True when `path`'s attributes can be read and carry the directory bit. Leaves the error mode alone.
bool DirectoryExists(Engine& engine, const std::string& path);

// The extension of a file name with its dot: the text from the last "." that follows the last "\" or
// ":". Empty when there is none.
std::string ExtractFileExt(const std::string& fileName);

}  // namespace kv
