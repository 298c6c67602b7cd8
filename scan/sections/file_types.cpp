#include "scan/sections/file_types.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "scan/icon_index.h"
#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "scan/shell.h"
#include "support/reg_utils.h"
#include "support/text.h"

namespace kv {
namespace {

bool IsExtensionName(const std::string& name) { return !name.empty() && name[0] == '.'; }

// Sorts `names` in the user's order without regard to case; of names that compare equal the first
// enumerated is kept.
void SortNames(SystemApi& system, std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(),
                   [&](const std::string& a, const std::string& b) { return system.CompareUserLocale(a, b) < 0; });
  names.erase(
      std::unique(names.begin(), names.end(),
                  [&](const std::string& a, const std::string& b) { return system.CompareUserLocale(a, b) == 0; }),
      names.end());
}

// Where the run of extension names begins. The sort puts the names that begin with "." together, so the
// run goes from here to the first name that does not.
std::size_t FirstExtension(const std::vector<std::string>& names) {
  return static_cast<std::size_t>(std::find_if(names.begin(), names.end(), IsExtensionName) - names.begin());
}

}  // namespace

// What one scan works with. All of it belongs to the scan and goes when the scan leaves, by whichever way
// it leaves; the per-user accessor closes its key as it goes.
struct TFileExtCommands::Work {
  std::vector<std::string> Names;           // sorted; HKEY_CLASSES_ROOT's subkeys, later the per-user ones
  std::vector<std::string> Verbs;           // the verbs of the type being examined
  std::vector<std::string> Apps;            // the registered programs, unsorted
  std::unique_ptr<TRegistry> UserRegistry;  // HKEY_CURRENT_USER, for the per-user choices
  std::string TypeKey;                      // the type being examined, below HKEY_CLASSES_ROOT
  std::string Path;                         // scratch for key paths
  // The rights the last judgement of a type left the section accessor with, when its icon key was opened
  // (opening read-only keeps the rights that worked).
  std::optional<std::uint32_t> AccessSet;
  // The types the extensions named that were judged sound, by their key as the extension names it: a
  // later extension naming one is not judged again. Whether the type exists, and the rights its judgement
  // left, are what the judgement would give again.
  struct Judged {
    bool exists;
    std::optional<std::uint32_t> accessSet;
  };
  std::unordered_map<std::string, Judged> SoundTypes;
};

TFileExtCommands::TFileExtCommands(Engine& engine)
    : TNamedRegStringList(engine),
      FileExtsPath("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts"),
      ApplicationsPath("Applications") {
  Registry.SetRootKey(HKEY_CLASSES_ROOT_CODE);
  KeyPath = "";
}

// Two passes: the machine's extensions, then the current user's choices of program. Most faults end the
// scan; an icon fault of a type whose "shell" key holds no verbs is listed and the scan goes on.
void TFileExtCommands::Scan() {
  Clear();
  Work work;
  CloseKeyOnExit closer(Registry);
  if (ScanExtensions(work)) ScanUserChoices(work);
}

// Each extension's default value names its file type. The type's commands and icon are examined; a type
// that does not exist is a fault unless the extension has a "ShellEx" key of its own. True when the
// extensions ran out, false when the scan ends here.
bool TFileExtCommands::ScanExtensions(Work& work) {
  Registry.CloseKey();
  Registry.SetRootKey(HKEY_CLASSES_ROOT_CODE);
  // The root is opened with the accessor's current rights: a fresh accessor asks for full access.
  if (Registry.OpenKey("", false)) Registry.GetKeyNames(work.Names);
  SortNames(engine_.platform.system, work.Names);
  const bool plain = engine_.Plain.load();
  for (std::size_t i = FirstExtension(work.Names); i < work.Names.size() && IsExtensionName(work.Names[i]); ++i) {
    if (StopRequested()) return false;
    const std::string& extension = work.Names[i];
    work.TypeKey.clear();
    if (Registry.OpenKey(extension, false)) work.TypeKey = engine_.WinInfo.ReadExpandedValue("", Registry);
    Registry.CloseKey();
    bool typeExists = true;
    if (!work.TypeKey.empty()) {
      auto judged = plain ? work.SoundTypes.end() : work.SoundTypes.find(work.TypeKey);
      if (judged != work.SoundTypes.end()) {
        // Judged sound for an earlier extension: the same judgement would list nothing again.
        typeExists = judged->second.exists;
        if (judged->second.accessSet) Registry.Access = *judged->second.accessSet;
      } else {
        const int listed = Count();
        if (!CheckFileType(work)) return false;
        Registry.CloseKey();
        typeExists = Registry.KeyExists(work.TypeKey);
        // A type whose judgement listed something (an icon fault of a type without verbs) is judged
        // again for each extension, and lists it again; so is one whose judgement a stop cut short.
        if (!plain && Count() == listed && !StopRequested())
          work.SoundTypes.emplace(work.TypeKey, Work::Judged{typeExists, work.AccessSet});
      }
    }
    Registry.CloseKey();
    if (!work.TypeKey.empty() && !typeExists) {
      work.Path.assign(extension).append("\\ShellEx");
      if (!Registry.KeyExists(work.Path)) {
        AddFault();  // no key is open: the root's name and a backslash
        return false;
      }
    }
    ItemChecked();
  }
  return true;
}

// An extension the user bound to a program ("Application") must name a program registered under
// "Applications", whose commands and icon are then examined like a file type's.
void TFileExtCommands::ScanUserChoices(Work& work) {
  Registry.CloseKey();
  if (Registry.OpenKeyReadOnly(ApplicationsPath)) Registry.GetKeyNames(work.Apps);
  Registry.CloseKey();
  work.Names.clear();

  work.UserRegistry = std::make_unique<TRegistry>(engine_.platform);
  TRegistry& user = *work.UserRegistry;
  user.LazyWrite = false;
  user.SetRootKey(HKEY_CURRENT_USER_CODE);
  if (user.OpenKey(FileExtsPath, false)) user.GetKeyNames(work.Names);
  SortNames(engine_.platform.system, work.Names);

  SystemApi& system = engine_.platform.system;
  for (std::size_t i = FirstExtension(work.Names); i < work.Names.size() && IsExtensionName(work.Names[i]);) {
    user.CloseKey();
    work.Path.assign(FileExtsPath).append(1, '\\').append(work.Names[i]);
    user.OpenKeyReadOnly(work.Path);
    if (user.ValueExists("Application")) {
      const std::string program = engine_.WinInfo.ReadExpandedValue("Application", user);
      const bool registered = std::any_of(work.Apps.begin(), work.Apps.end(), [&](const std::string& app) {
        return system.CompareUserLocale(app, program) == 0;
      });
      if (registered) {
        work.TypeKey.assign(ApplicationsPath).append(1, '\\').append(program);
        if (!CheckFileType(work)) return;
      } else if (!program.empty()) {
        // The section accessor's path is empty here unless a type's icon key was left open.
        AddFault();
        return;
      }
    }
    ++i;
    ItemChecked();
    if (StopRequested()) return;
  }
}

// True when the type at TypeKey is acceptable. A type that does not exist is left to the caller; a type
// without a "shell" key is not examined further, its icon included.
bool TFileExtCommands::CheckFileType(Work& work) {
  work.AccessSet.reset();
  Registry.CloseKey();
  if (!Registry.KeyExists(work.TypeKey)) return true;
  work.Path.assign(work.TypeKey).append("\\shell");
  if (!Registry.KeyExists(work.Path)) return true;
  return CheckShellCommands(work);
}

// Lists every verb whose command key holds no acceptable command, and the type's icon when its file is
// missing. False (the scan ends) when something was listed and the type has verbs; a type without verbs
// gets its icon fault listed and the scan goes on. The icon key is left open.
bool TFileExtCommands::CheckShellCommands(Work& work) {
  Registry.CloseKey();
  work.Path.assign(work.TypeKey).append("\\shell");
  work.Verbs.clear();
  if (Registry.OpenKey(work.Path, false)) Registry.GetKeyNames(work.Verbs);
  int faults = 0;
  for (const std::string& verb : work.Verbs) {
    if (StopRequested()) return true;
    Registry.CloseKey();
    work.Path.assign(work.TypeKey).append("\\shell\\").append(verb).append("\\command");
    if (Registry.OpenKey(work.Path, false) && !CommandValueValid("") && !CommandValueValid("command") &&
        !DelegatesToClass()) {
      AddFault();
      ++faults;
    }
  }
  Registry.CloseKey();
  work.Path.assign(work.TypeKey).append("\\DefaultIcon");
  if (Registry.OpenKeyReadOnly(work.Path)) {
    work.AccessSet = Registry.Access;
    const std::string iconFile = IconFile(engine_.WinInfo.ReadExpandedValue("", Registry));
    std::string found;
    if (!iconFile.empty() && !ExtractFileFromCommand(engine_, iconFile, found)) {
      AddFault();
      ++faults;
    }
  }
  return faults == 0 || work.Verbs.empty();
}

// Whether the value of the open command key is there and holds a command that can be run: one that
// resolves to a file, an unfilled template ("%1..."), the bare word "explorer" or "rundll32", a command
// marked "G@6!!", or nothing at all.
bool TFileExtCommands::CommandValueValid(const std::string& valueName) {
  const std::string command = engine_.WinInfo.ReadExpandedValue(valueName, Registry);
  std::string found;
  const bool acceptable = ExtractFileFromCommand(engine_, command, found) || StartsWith(command, "%1") ||
                          LowerAscii(command) == "explorer" || LowerAscii(command) == "rundll32" ||
                          StartsWith(command, "G@6!!") || command.empty();
  return acceptable && Registry.ValueExists(valueName);
}

// Whether the open command key holds no command at all but hands the verb to a registered class: its
// "DelegateExecute" value names a class identifier that HKEY_CLASSES_ROOT\CLSID holds. The shell then
// runs the class, and no file is named.
bool TFileExtCommands::DelegatesToClass() {
  if (Registry.ValueExists("") || Registry.ValueExists("command") || !Registry.ValueExists("DelegateExecute"))
    return false;
  const std::string classId = engine_.WinInfo.ReadExpandedValue("DelegateExecute", Registry);
  return IsGUIDString(classId) && Registry.KeyExists("\\CLSID\\" + classId);
}

// Lists the section accessor's location as it stands: its root's name, a backslash and its current path.
void TFileExtCommands::AddFault() {
  std::string name;
  RootKeyToString(Registry.RootKey(), name);
  Add(name + "\\" + Registry.CurrentPath());
}

}  // namespace kv
