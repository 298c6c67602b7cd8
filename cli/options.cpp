#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <cctype>

#include "cli/version.h"

namespace kv::cli {
namespace {

constexpr const char* kDescription =
    "Runs one probe of the registry sections, as the monitor does, and says what it found.\n"
    "Exit status: 0 clean, 1 an invalid entry was found, 2 bad usage or an error, 130 interrupted.";

constexpr const char* kMaskHelp =
    "Section groups to probe: 1 Startup, 2 Shared DLLs, 4 Font Entries, 8 Application Info, "
    "16 Miscellaneous, 32 COM/ActiveX, 64 File Extensions; 127 selects all. Default: the monitor's "
    "setting \"Items For Monitoring\", or 127";

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

}  // namespace

std::optional<std::int32_t> ParseMask(const std::string& text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (text.size() > 10) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
      if (!IsHex(text[i])) return std::nullopt;
      value = value << 4 | static_cast<std::uint32_t>(HexDigit(text[i]));
    }
    return static_cast<std::int32_t>(value);
  }
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > std::int64_t{2147483648}) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::int64_t{2147483647}) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::string UsageText(bool withMachine) {
  std::string usage = "Usage: kvscan [--mask N] [--json] [--help] [--version]";
  if (withMachine) usage += " [--reg FILE --files FILE | --offline DIR [--user NAME] [--drive D=DIR]...]";
  return usage + "\nRun 'kvscan --help' for more information.\n";
}

Options ParseOptions(const std::vector<std::string>& args, bool withMachine) {
  Options options;
  CLI::App app(kDescription, "kvscan");
  std::string maskText;
  app.add_option("--mask", maskText, kMaskHelp)->type_name("N");
  app.add_flag("--json", options.json, "Print the result as one JSON object");
  app.set_version_flag("--version", std::string("kvscan ") + kVersion);
  if (withMachine) {
    app.add_option("--reg", options.machineReg, "The machine's registry, as regedit exports it")->type_name("FILE");
    app.add_option("--files", options.machineFiles, "The files that exist on the machine, one path a line")
        ->type_name("FILE");
    app.add_option("--offline", options.offlineRoot,
                   "Probe a Windows installation that is not running: the folder its system drive is mounted on")
        ->type_name("DIR");
    app.add_option("--user", options.offlineUser, "With --offline: the user profile to read (name or SID)")
        ->type_name("NAME");
    app.add_option("--drive", options.offlineDrives, "With --offline: another drive of the installation (D=DIR)")
        ->type_name("D=DIR");
  }

  // CLI11 takes the arguments in reverse order, program name excluded.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    options.action = Options::Action::kHelp;
    options.message = app.help();
    return options;
  } catch (const CLI::CallForVersion& version) {
    options.action = Options::Action::kVersion;
    options.message = std::string(version.what()) + "\n";
    return options;
  } catch (const CLI::ParseError& error) {
    options.action = Options::Action::kBadUsage;
    options.message = error.what();
    return options;
  }

  if (app.count("--mask") != 0) {
    options.mask = ParseMask(maskText);
    if (!options.mask) {
      options.action = Options::Action::kBadUsage;
      options.message = "--mask: not a number: " + maskText;
      return options;
    }
  }
  if (withMachine && (options.machineReg.empty() != options.machineFiles.empty())) {
    options.action = Options::Action::kBadUsage;
    options.message = "--reg and --files go together";
    return options;
  }
  if (withMachine && options.offlineRoot.empty() && (!options.offlineUser.empty() || !options.offlineDrives.empty())) {
    options.action = Options::Action::kBadUsage;
    options.message = "--user and --drive go with --offline";
    return options;
  }
  if (withMachine && !options.offlineRoot.empty() && !options.machineReg.empty()) {
    options.action = Options::Action::kBadUsage;
    options.message = "--offline and --reg probe different machines: give one";
    return options;
  }
  for (const std::string& drive : options.offlineDrives) {
    if (drive.size() < 3 || drive[1] != '=' || !std::isalpha(static_cast<unsigned char>(drive[0]))) {
      options.action = Options::Action::kBadUsage;
      options.message = "--drive: not a drive letter and a folder (D=DIR): " + drive;
      return options;
    }
  }
  return options;
}

}  // namespace kv::cli
