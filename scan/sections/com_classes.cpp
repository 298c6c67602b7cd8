#include "scan/sections/com_classes.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "scan/icon_index.h"
#include "scan/resolve.h"
#include "scan/shell.h"
#include "support/reg_utils.h"
#include "support/text.h"

namespace kv {
namespace {

// The subkeys of a class that name a file in their default value, in the order they are examined. Every
// one but the icon may instead name another class by its identifier.
struct ClassSubkey {
  const char* name;
  bool isIcon;
};

constexpr ClassSubkey kClassSubkeys[TClsIdTYPES::kClassSubkeyCount] = {
    {"DefaultIcon", true},   {"InprocHandler32", false}, {"InprocHandler", false}, {"InProcServer32", false},
    {"InProcServer", false}, {"LocalServer32", false},   {"LocalServer", false},   {"PersistentHandler", false},
};

}  // namespace

TClsIdTYPES::TClsIdTYPES(Engine& engine) : TNamedRegStringList(engine) {
  Registry.SetRootKey(HKEY_CLASSES_ROOT_CODE);
  KeyPath = "CLSID";
}

// The class identifiers are read once into a list of the scan's own. Each class's subkeys are then
// enumerated (the class key open alone, and closed again), and of the well-known subkeys only those present
// are opened, in their order, by their full path from the root, the previous key closed first: one key
// handle at most is open. A class whose subkeys cannot all be listed, or whose names are not plain text,
// has each well-known subkey opened in turn, as the plain probe does for every class. An empty default
// value is never a fault; apart from the icon, neither is one that names a class identifier.
void TClsIdTYPES::Scan() {
  Clear();
  // The 64-bit programs' classes first, then the 32-bit programs' (below "Wow6432Node").
  ScanPlaces({{HKEY_CLASSES_ROOT_CODE, "CLSID"}, Wow32Place(HKEY_CLASSES_ROOT_CODE, "CLSID")}, [this] { ScanKey(); });
}

namespace {

// Names the registry compares the way this section does (without regard to ASCII case: for these names
// the same as the system's folding) and that can be joined into a path: printable ASCII, not empty.
bool PlainName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

}  // namespace

// Which of the well-known subkeys `classPath` holds, one flag each in their order; false when that cannot
// be told from one enumeration of the class's subkeys (each one must then be opened to know).
bool TClsIdTYPES::PresentSubkeys(const std::string& classPath, bool (&present)[kClassSubkeyCount]) {
  Registry.CloseKey();
  if (!Registry.OpenKey(classPath, false)) return false;
  const bool whole = Registry.ReadKeyNames(subkeyNames_);
  Registry.CloseKey();
  if (!whole) return false;
  std::fill(std::begin(present), std::end(present), false);
  for (const std::string& name : subkeyNames_) {
    if (!PlainName(name)) return false;
    for (std::size_t i = 0; i < kClassSubkeyCount; ++i)
      if (!present[i] && SameAsciiText(name, kClassSubkeys[i].name)) present[i] = true;
  }
  return true;
}

void TClsIdTYPES::ScanKey() {
  Clear();
  CloseKeyOnExit closer(Registry);
  std::vector<std::string> classIds;
  Registry.CloseKey();
  // Opening read-only leaves the accessor's rights at the ones that worked; the opens below ask for them.
  if (Registry.OpenKeyReadOnly(KeyPath)) Registry.GetKeyNames(classIds);
  Registry.CloseKey();

  const bool plain = engine_.Plain.load();
  std::string path;
  std::string found;
  bool present[kClassSubkeyCount];
  for (const std::string& classId : classIds) {
    if (StopRequested()) return;
    path.assign(KeyPath).append(1, '\\').append(classId);
    const bool listed = !plain && PlainName(classId) && PresentSubkeys(path, present);
    const std::size_t classPathLength = path.size();
    for (std::size_t i = 0; i < kClassSubkeyCount; ++i) {
      const ClassSubkey& subkey = kClassSubkeys[i];
      if (listed && !present[i]) continue;
      Registry.CloseKey();
      path.resize(classPathLength);
      path.append(1, '\\').append(subkey.name);
      if (!Registry.OpenKey(path, false)) continue;
      std::string text = engine_.WinInfo.ReadExpandedValue("", Registry);
      if (subkey.isIcon) text = IconFile(text);
      if (text.empty() || (!subkey.isIcon && IsGUIDString(text))) continue;
      if (!ExtractFileFromCommand(engine_, text, found)) {
        std::string keyName;
        RootKeyToString(Registry.RootKey(), keyName);
        Add(keyName + "\\" + Registry.CurrentPath());
        return;
      }
    }
    Registry.CloseKey();
    ItemChecked();
  }
}

}  // namespace kv
