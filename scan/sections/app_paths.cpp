#include "scan/sections/app_paths.h"

#include "scan/resolve.h"

namespace kv {

TAppPath::TAppPath(Engine& engine) : TNamedRegStringList(engine) {
  Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
  KeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
}

// Each subkey registers one program; its default value says where the program lies. A number there is
// faulty whatever it holds; otherwise the text must be empty, a resolvable command or an existing folder.
// The last subkey examined stays open after the scan, until the next one closes it.
void TAppPath::Scan() {
  Clear();
  Registry.CloseKey();
  if (!Registry.OpenKeyReadOnly(KeyPath)) return;
  Registry.GetKeyNames(List());

  int i = 0;
  while (i < Count()) {
    if (StopRequested()) {
      Registry.CloseKey();
      return;
    }
    Registry.CloseKey();
    Registry.OpenKeyReadOnly(KeyPath + "\\" + (*this)[i]);
    std::string path;
    try {
      path = engine_.WinInfo.ReadExpandedValue("", Registry);
    } catch (const ERegistryException&) {
      path.clear();  // an unreadable default value counts as empty
    }

    bool sound = false;
    const TRegDataType type = Registry.GetDataType("");
    if (type != rdInteger && type != rdIntegerBigEndian) {
      std::string file;
      sound = path.empty() || ExtractFileFromCommand(engine_, path, file);
      if (!sound) {
        // No system dialog for a folder on an empty removable drive. The mode is left so, as the resolver
        // leaves it.
        engine_.platform.files.SetErrorMode(kSemFailCriticalErrors);
        sound = DirectoryExists(engine_, path);
      }
    }
    if (!sound) {
      Add("");
      return;
    }
    Delete(i);
    ItemChecked();
  }
}

}  // namespace kv
