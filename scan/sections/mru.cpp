#include "scan/sections/mru.h"

#include <algorithm>

#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "support/text.h"

namespace kv {
namespace {

const char* const kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// The scheme of a URL ("https" of "https://x", "ms-settings" of "ms-settings:"): a letter, then letters,
// digits, "+", "-" or "."; at least two characters, so that a drive letter is never one. Empty otherwise.
std::string UrlScheme(const std::string& command) {
  const std::size_t colon = command.find(':');
  if (colon == std::string::npos || colon < 2) return std::string();
  for (std::size_t i = 0; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(command[i]);
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) return std::string();
  }
  return command.substr(0, colon);
}

}  // namespace

TMRUList::TMRUList(Engine& engine) : TNamedRegStringList(engine) {
  Registry.SetRootKey(HKEY_CURRENT_USER_CODE);
  KeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
}

// One value per remembered command, named by a letter, its data the command followed by "\1"; "MRUList"
// holds the letters. The order string only says whether there is anything to examine: every other value
// is examined, named in it or not. A number, text shorter than two characters, and a command that leads
// neither to a file nor to a folder are faulty.
void TMRUList::Scan() {
  Clear();
  Registry.CloseKey();
  Registry.OpenKeyReadOnly(KeyPath);
  if (engine_.WinInfo.ReadExpandedValue("MRUList", Registry).empty()) {
    Registry.CloseKey();
    return;
  }
  Registry.GetValueNames(List());
  const auto order =
      std::find_if(List().begin(), List().end(), [](const std::string& name) { return SameText(name, "MRUList"); });
  if (order != List().end()) List().erase(order);

  WalkNames([this](const std::string& name) { return EntryIsSound(name); }, KeyAfterWalk::kClosed);
}

bool TMRUList::EntryIsSound(const std::string& name) {
  std::string data;
  try {
    data = engine_.WinInfo.ReadExpandedValue(name, Registry);
  } catch (const ERegistryException&) {
    data.clear();  // an unreadable entry counts as empty, and an empty one is faulty
  }
  if (IsNumber(Registry.GetDataType(name)) || data.size() < 2) return false;
  std::string command = data;
  if (command.compare(command.size() - 2, 2, "\\1") == 0) command.resize(command.size() - 2);
  std::string file;
  return ExtractFileFromCommand(engine_, command, file) || DirectoryExists(engine_, command) || RunBoxAccepts(command);
}

// What else the Run box takes from a user, beyond a program or folder as typed: a path with environment
// variables, which it expands; a shell folder ("shell:startup"); a URL whose scheme is registered as a
// protocol (a class key with a "URL Protocol" value); a program registered by its bare name under App Paths
// (the machine's, then the user's). Such history is sound. The lookups use an accessor of their own, which
// closes at once, so the section's key stays as it is.
bool TMRUList::RunBoxAccepts(const std::string& command) {
  const std::string expanded = ExpandEnvironmentText(engine_.platform.system, command, kLongestExpandedText);
  std::string file;
  if (expanded != command && (ExtractFileFromCommand(engine_, expanded, file) || DirectoryExists(engine_, expanded)))
    return true;
  if (LowerAscii(command.substr(0, 6)) == "shell:") return true;

  TRegistry lookup(engine_.platform);
  const std::string scheme = UrlScheme(command);
  if (!scheme.empty()) {
    lookup.SetRootKey(HKEY_CLASSES_ROOT_CODE);
    return lookup.OpenKeyReadOnly(scheme) && lookup.ValueExists("URL Protocol");
  }
  const std::string program = CommandProgram(expanded, nullptr);
  if (program.empty() || program.find_first_of("\\/:") != std::string::npos) return false;
  const std::string registered = ExtractFileExt(program).empty() ? program + ".exe" : program;
  for (std::uint32_t root : {HKEY_LOCAL_MACHINE_CODE, HKEY_CURRENT_USER_CODE}) {
    lookup.SetRootKey(root);
    if (lookup.KeyExists(kAppPaths + registered)) return true;
  }
  return false;
}

}  // namespace kv
