#include "scan/sections/mru.h"

#include <algorithm>

#include "scan/resolve.h"
#include "scan/search_lists.h"

namespace kv {

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
  const auto order = std::find_if(List().begin(), List().end(),
                                  [](const std::string& name) { return SameText(name, "MRUList"); });
  if (order != List().end()) List().erase(order);

  int i = 0;
  while (i < Count()) {
    if (StopRequested()) {
      Registry.CloseKey();
      return;
    }
    const std::string name = (*this)[i];
    std::string data;
    try {
      data = engine_.WinInfo.ReadExpandedValue(name, Registry);
    } catch (const ERegistryException&) {
      data.clear();  // an unreadable entry counts as empty, and an empty one is faulty
    }

    bool sound = false;
    const TRegDataType type = Registry.GetDataType(name);
    if (type != rdInteger && type != rdIntegerBigEndian && data.size() >= 2) {
      std::string command = data;
      if (command.compare(command.size() - 2, 2, "\\1") == 0) command.resize(command.size() - 2);
      std::string file;
      sound = ExtractFileFromCommand(engine_, command, file) || DirectoryExists(engine_, command);
    }
    if (!sound) {
      Add("");
      return;
    }
    Delete(i);
    ItemChecked();
  }
  Registry.CloseKey();
}

}  // namespace kv
