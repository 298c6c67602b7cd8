#include "scan/sections/com_classes.h"

#include <vector>

#include "scan/icon_index.h"
#include "scan/resolve.h"
#include "scan/shell.h"
#include "support/reg_utils.h"

namespace kv {
namespace {

// The subkeys of a class that name a file in their default value, in the order they are examined. Every
// one but the icon may instead name another class by its identifier.
struct ClassSubkey {
  const char* name;
  bool isIcon;
};

constexpr ClassSubkey kClassSubkeys[] = {
    {"DefaultIcon", true},   {"InprocHandler32", false}, {"InprocHandler", false}, {"InProcServer32", false},
    {"InProcServer", false}, {"LocalServer32", false},   {"LocalServer", false},   {"PersistentHandler", false},
};

}  // namespace

TClsIdTYPES::TClsIdTYPES(Engine& engine) : TNamedRegStringList(engine) {
  Registry.SetRootKey(HKEY_CLASSES_ROOT_CODE);
  KeyPath = "CLSID";
}

// The class identifiers are read once into a list of the scan's own. Each subkey is then opened by its
// full path from the root, the previous key closed first, so that one key handle at most is open. An empty
// default value is never a fault; apart from the icon, neither is one that names a class identifier.
void TClsIdTYPES::Scan() {
  Clear();
  // The 64-bit programs' classes first, then the 32-bit programs' (below "Wow6432Node").
  ScanPlaces({{HKEY_CLASSES_ROOT_CODE, "CLSID"}, Wow32Place(HKEY_CLASSES_ROOT_CODE, "CLSID")}, [this] { ScanKey(); });
}

void TClsIdTYPES::ScanKey() {
  Clear();
  CloseKeyOnExit closer(Registry);
  std::vector<std::string> classIds;
  Registry.CloseKey();
  // Opening read-only leaves the accessor's rights at the ones that worked; the opens below ask for them.
  if (Registry.OpenKeyReadOnly(KeyPath)) Registry.GetKeyNames(classIds);
  Registry.CloseKey();

  std::string path;
  std::string found;
  for (const std::string& classId : classIds) {
    if (StopRequested()) return;
    for (const ClassSubkey& subkey : kClassSubkeys) {
      Registry.CloseKey();
      path.assign(KeyPath).append(1, '\\').append(classId).append(1, '\\').append(subkey.name);
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
