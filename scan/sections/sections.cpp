#include "scan/sections/sections.h"

#include "scan/sections/startup_folders.h"
#include "scan/sections/startup_run.h"

namespace kv {
namespace {

template <typename Section>
void Add(std::vector<TRegistryCleaner::Slot>& table, std::uint32_t bit, Engine& engine, bool progressAfter = true) {
  table.push_back(TRegistryCleaner::Slot{bit, std::make_unique<Section>(engine), progressAfter});
}

}  // namespace

// The fixed scan order. The driver runs the groups by bit (1, 2, 4, ... 64) and, inside a group, the
// sections in the order they are added here.
void AddStandardSections(Engine& engine, std::vector<TRegistryCleaner::Slot>& table) {
  Add<TStartUpSectionHKLM>(table, 1, engine);
  Add<TStartUpSectionHKCU>(table, 1, engine);
  Add<TStartUpSectionSL>(table, 1, engine);
  // 2 "Shared DLLs": TSharedDLL
  // 4 "Font Entries": TRegFonts
  // 8 "Application Info": TUninstallInfo (no progress event after it), TAppPath
  // 16 "Miscellaneous": TSharedFolders, TWinHelp, THTMLHelp, TMRUList
  // 32 "COM/ActiveX": TClsIdTYPES
  // 64 "File Extensions": TFileExtCommands
}

}  // namespace kv
