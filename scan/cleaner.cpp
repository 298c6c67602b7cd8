#include "scan/cleaner.h"

#include "scan/sections/sections.h"

namespace kv {
namespace {

constexpr std::uint32_t kGroupBits[] = {1, 2, 4, 8, 16, 32, 64};

std::vector<TRegistryCleaner::Slot> StandardTable(Engine& engine) {
  std::vector<TRegistryCleaner::Slot> table;
  AddStandardSections(engine, table);
  return table;
}

}  // namespace

const char* GroupName(std::uint32_t bit) {
  switch (bit) {
    case 1: return "Startup";
    case 2: return "Shared DLLs";
    case 4: return "Font Entries";
    case 8: return "Application Info";
    case 16: return "Miscellaneous";
    case 32: return "COM/ActiveX";
    case 64: return "File Extensions";
    default: return "";
  }
}

TRegistryCleaner::TRegistryCleaner(Engine& engine) : TRegistryCleaner(engine, StandardTable(engine)) {}

TRegistryCleaner::TRegistryCleaner(Engine& engine, std::vector<Slot> table)
    : engine_(engine), table_(std::move(table)) {
  for (Slot& slot : table_) slot.section->OnItemChecked = [this](EngineObject& sender) { ItemChecked(sender); };
  SetCancelled(false);
}

TRegistryCleaner::~TRegistryCleaner() {
  OnProgress = nullptr;
  OnSectionStart = nullptr;
  OnSectionEnd = nullptr;
  table_.clear();
}

void TRegistryCleaner::SetCancelled(bool value) {
  for (Slot& slot : table_) slot.section->Cancelled = value;
  Cancelled = value;
}

void TRegistryCleaner::ItemChecked(EngineObject& sender) {
  if (OnProgress) OnProgress(sender);
}

std::int32_t TRegistryCleaner::ScanSections() {
  ProbeMemo::Scope memo(engine_.Memo);
  for (Slot& slot : table_) slot.section->Clear();
  std::int32_t total = 0;
  SetCancelled(false);
  for (std::uint32_t bit : kGroupBits) {
    if ((static_cast<std::uint32_t>(Mask) & bit) == 0) continue;
    for (Slot& slot : table_) {
      if (slot.bit != bit) continue;
      if (OnSectionStart) OnSectionStart(*slot.section);
      // A section's failure is a verdict, not an error: whatever it raises (a registry read of an
      // unexpected type, a shell object that cannot be created, memory) is dropped here, and the list
      // counts as it stands.
      try {
        slot.section->Scan();
      } catch (...) {
      }
      if (OnSectionEnd) OnSectionEnd(*slot.section);
      total += slot.section->Count();
      if (total != 0) return total;
      if (slot.progressAfter && OnProgress) OnProgress(*this);
      if (Cancelled.load() || engine_.ShuttingDown.load()) return 0;
    }
  }
  return total;
}

}  // namespace kv
