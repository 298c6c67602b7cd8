#include "scan/sections/uninstall.h"

#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "support/text.h"

namespace kv {
namespace {

// A braced product code: "{" 8-4-4-4-12 hexadecimal digits "}".
constexpr std::size_t kProductCodeLength = 38;

// `text` with the first occurrence of `what` removed, compared without regard to case.
std::string RemoveFirstIgnoreCase(const std::string& text, const std::string& what) {
  if (what.empty()) return text;
  std::size_t length = 0;
  const std::size_t at = FindNoCase(text, what, 0, &length);
  if (at == std::string::npos) return text;
  return text.substr(0, at) + text.substr(at + length);
}

const char* const kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

}  // namespace

TUninstallInfo::TUninstallInfo(Engine& engine) : TNamedRegStringList(engine) {
  Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
  KeyPath = kUninstall;
}

// Each subkey is one installed program. Only those with a "DisplayName" and no "SystemComponent" (whatever
// its data) are examined: their "UninstallString" must pass CheckUninstallString. Every subkey is opened
// from the root on its own and closed again before the next; the faulty one stays open. The machine's
// programs are read in both views, 64-bit first, then the programs installed for the current user only.
void TUninstallInfo::Scan() {
  Clear();
  ScanPlaces({{HKEY_LOCAL_MACHINE_CODE, kUninstall},
              Wow32Place(HKEY_LOCAL_MACHINE_CODE, kUninstall),
              {HKEY_CURRENT_USER_CODE, kUninstall}},
             [this] { ScanKey(); });
}

void TUninstallInfo::ScanKey() {
  ListKeyNames();
  Registry.CloseKey();
  WalkNames(
      [this](const std::string& program) {
        Registry.OpenKeyReadOnly(KeyPath + "\\" + program);
        if (!EntryIsSound()) return false;
        Registry.CloseKey();
        return true;
      },
      KeyAfterWalk::kClosed);
}

// The open entry: examined only when it has a display name and is no system component.
bool TUninstallInfo::EntryIsSound() {
  if (!Registry.ValueExists("DisplayName") || Registry.ValueExists("SystemComponent") ||
      !Registry.ValueExists("UninstallString"))
    return true;
  std::string u;
  try {
    u = engine_.WinInfo.ReadExpandedValue("UninstallString", Registry);
  } catch (const ERegistryException&) {
    u.clear();  // an unreadable command counts as empty, and an empty one is good
  }
  return CheckUninstallString(u);
}

// A command is good when it names an existing file as a whole, or is empty. Otherwise its program must be
// found; an Installer command ("msiexec.exe /X{product code}") must then name the product code this entry
// is registered under, and a "rundll32" command the DLL before its comma. Only the system's own rundll32
// is that program: a longer name that begins with the same letters is an ordinary program.
bool TUninstallInfo::CheckUninstallString(const std::string& u) {
  if (u.empty() || SafeFileExists(engine_, u)) return true;

  std::string f;
  if (!ExtractFileFromCommand(engine_, u, f)) return false;

  if (StartsWith(LowerAscii(u), "msiexec.exe")) {
    std::string w = u;
    std::string program;
    CutToken(w, ' ', program);
    if (!StartsWith(w, "/")) return false;
    // The product code follows a two-letter option such as "/X" or "/I". A command that ends before the
    // code's full length names no product code, even if its tail happens to occur in the path.
    const std::string g = w.size() > 2 ? w.substr(2, kProductCodeLength) : std::string();
    if (g.size() < kProductCodeLength) return false;
    return Registry.CurrentPath().find(g) != std::string::npos;
  }

  // What is left of the command once its program is taken out: the arguments. A command that runs the
  // system's rundll32 itself loses exactly that program, however it was found.
  std::string w = Trim(RemoveFirstIgnoreCase(u, f));
  w = Trim(RemoveFirstIgnoreCase(w, "\"\""));
  const bool runsSystemRundll = SelfSearchingProgram(engine_, u) == "rundll32";
  if (runsSystemRundll) CommandProgram(u, &w);
  if (runsSystemRundll || LowerAscii(f).find("rundll32.exe") != std::string::npos) {
    const std::size_t comma = w.find(',');
    const std::string dll = comma == std::string::npos ? std::string() : w.substr(0, comma);
    std::string dllFile;
    return ExtractFileFromCommand(engine_, dll, dllFile);
  }
  return true;
}

}  // namespace kv
