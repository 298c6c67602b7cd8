#include "scan/sections/sections.h"

#include "scan/sections/app_paths.h"
#include "scan/sections/com_classes.h"
#include "scan/sections/file_types.h"
#include "scan/sections/fonts.h"
#include "scan/sections/help_files.h"
#include "scan/sections/mru.h"
#include "scan/sections/shared_dlls.h"
#include "scan/sections/shared_folders.h"
#include "scan/sections/startup_folders.h"
#include "scan/sections/startup_run.h"
#include "scan/sections/uninstall.h"

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
  Add<TSharedDLL>(table, 2, engine);
  Add<TRegFonts>(table, 4, engine);
  // No progress event after the uninstall section.
  Add<TUninstallInfo>(table, 8, engine, /*progressAfter=*/false);
  Add<TAppPath>(table, 8, engine);
  Add<TSharedFolders>(table, 16, engine);
  Add<TWinHelp>(table, 16, engine);
  Add<THTMLHelp>(table, 16, engine);
  Add<TMRUList>(table, 16, engine);
  Add<TClsIdTYPES>(table, 32, engine);
  Add<TFileExtCommands>(table, 64, engine);
}

}  // namespace kv
