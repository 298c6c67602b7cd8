// The command line of kvscan: `kvscan [--mask N] [--json] [--help] [--version]`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv::cli {

struct Options {
  enum class Action { kProbe, kHelp, kVersion, kBadUsage };
  Action action = Action::kProbe;
  std::optional<std::int32_t> mask;  // absent: the monitor's own setting
  bool json = false;
  // The memory machine to probe (the native build only): a registry export and a list of files.
  std::string machineReg;
  std::string machineFiles;
  // An installation that is not running (the native build only): the folder of its system drive, the
  // user whose profile is read, and other drives ("D=/mnt/data").
  std::string offlineRoot;
  std::string offlineUser;
  std::vector<std::string> offlineDrives;
  // kHelp: the help text; kVersion: the version line; kBadUsage: what was wrong.
  std::string message;
};

// Parses the arguments after the program name. `withMachine` adds --reg FILE and --files FILE (the native
// build, which probes a machine held in memory) and --offline DIR [--user NAME] [--drive D=DIR].
Options ParseOptions(const std::vector<std::string>& args, bool withMachine = false);

// A mask given on the command line: a decimal number (signed 32-bit) or 0x followed by up to eight
// hexadecimal digits. Anything else is not a mask.
std::optional<std::int32_t> ParseMask(const std::string& text);

// The short usage text printed with a usage error.
std::string UsageText(bool withMachine = false);

}  // namespace kv::cli
