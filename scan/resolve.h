// How a string taken from the registry is resolved to a file: the quiet existence test, the command-line
// resolver that cuts a command down to the program it runs and searches for it, and the folder test.
#pragma once

#include <cstdint>
#include <string>

#include "scan/engine.h"

namespace kv {

// The longest a probe waits for the network when a rule tests a name that lies on it.
constexpr std::uint32_t kNetworkWaitMs = 3000;

// Where a name lies, as the rules judge it. Every rule takes what lies on a drive that cannot be examined
// as sound: it is neither looked up nor held against an entry.
enum class NameReach {
  kLocal,          // on this machine's own volumes (or nowhere): looked up as usual
  kNetwork,        // its text puts it on the network (IsNetworkName), or its drive is mapped to a share
  kNotExaminable,  // on a drive the platform knows but cannot look into (kDriveNotExaminable: an
                   // installation probed offline whose drive is not mapped); never so on a running Windows
};
// Asks the drive's type at most once a probe, and not at all for a name whose text says where it lies.
NameReach ReachOf(Engine& engine, const std::string& name);

// True when `name` lies on the network: its text says so, in any spelling (IsNetworkName), or it names a
// drive that the system maps to a share.
bool IsOnNetwork(Engine& engine, const std::string& name);

// True when `fileName` names a file (not a folder) that a directory search finds; wildcards match any
// file. Shows no system dialog (a drive without a medium is simply absent) and restores the error mode.
// A name on the network is searched for at most kNetworkWaitMs; when the network does not answer in that
// time, whether the file exists cannot be told, and the answer is true: an entry is never reported for a
// share that did not answer. A name on a drive that cannot be examined is present, without a search.
bool SafeFileExists(Engine& engine, const std::string& fileName);

// True when `command` is resolvable: the file it runs is found (directly, or in the search folders with the
// executable extensions), or one of the exemptions applies. `fileName` receives the file found. Never
// raises.
bool ExtractFileFromCommand(Engine& engine, const std::string& command, std::string& fileName);

// The program of a command as the system reads it: the text between its opening quotes, or up to its
// first blank. `arguments`, when given, receives the rest without its surrounding blanks.
std::string CommandProgram(const std::string& command, std::string* arguments);

// "explorer", "rundll32" or "regsvr32" when the command runs exactly that program: its bare name with or
// without ".exe", or a path to it in the Windows folder or its system folder; any case, quoted or not.
// Such a program finds the file it is given its own way. Empty for any other program, a longer name
// that merely begins with one of these included.
std::string SelfSearchingProgram(Engine& engine, const std::string& command);

// True when `path`'s attributes can be read and carry the directory bit. Leaves the error mode alone.
// A name whose text puts it on the network is not asked about: false.
bool DirectoryExists(Engine& engine, const std::string& path);

// The extension of a file name with its dot: the text from the last "." that follows the last "\" or
// ":". Empty when there is none.
std::string ExtractFileExt(const std::string& fileName);

}  // namespace kv
