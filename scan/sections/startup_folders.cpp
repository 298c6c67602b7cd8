#include "scan/sections/startup_folders.h"

#include "platform/handles.h"
#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "scan/shell.h"
#include "support/text.h"

namespace kv {
namespace {

// Read-only, hidden, system and archive: an entry with any other attribute (a folder, a volume label, a
// compressed, encrypted, temporary or offline file, a reparse point, or a file reported only as normal)
// is not examined.
constexpr std::uint32_t kExaminedAttributes = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

}  // namespace

// Reads no registry key: the accessor only ever closes.
TStartUpSectionSL::TStartUpSectionSL(Engine& engine) : TNamedRegStringList(engine) {}

// Every folder of StartupFolders is listed in turn (subfolders are not entered); each ".lnk" file in it,
// of any case, is read through the shell and its target tested. The stop requests are tested once per
// folder, and a progress event fires for each folder and each entry.
void TStartUpSectionSL::Scan() {
  Clear();
  FileSystemApi& files = engine_.platform.files;
  for (const std::string& folder : engine_.StartupFolders) {
    ItemChecked();
    if (StopRequested()) {
      Registry.CloseKey();
      return;
    }
    const std::string prefix = folder.empty() || folder.back() != '\\' ? folder + '\\' : folder;
    FindEntry entry;
    UniqueFind find(files, files.FindFirst(prefix + "*.*", &entry));
    if (!find) continue;
    do {
      ItemChecked();
      if ((entry.attributes & ~kExaminedAttributes) != 0) continue;
      const std::string path = prefix + entry.name;
      if (LowerAscii(ExtractFileExt(path)) != ".lnk") continue;
      // Each shortcut is judged on its own: one that cannot be read keeps the empty target, never the one
      // read before it.
      // A shortcut to a shell item that has no file-system path (a packaged application dragged into the
      // folder) names no file that could be gone: it is sound. One that cannot be read at all is not.
      std::string target;
      const bool loaded = GetShortcutTarget(engine_.platform, path, target);
      if (loaded && target.empty()) continue;
      if (!SafeFileExists(engine_, target)) {
        Add(path);
        return;
      }
    } while (files.FindNext(find.get(), &entry));
  }
}

}  // namespace kv
