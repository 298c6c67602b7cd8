#include "scan/sections/startup_run.h"

#include "scan/resolve.h"

namespace kv {
namespace {

const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

RunKeySection::RunKeySection(Engine& engine) : TNamedRegStringList(engine) { KeyPath = kRunKey; }

// Each value of the key is one entry: its name is the entry's, its data the command line. The list starts
// with every value name; each sound entry is deleted as it is examined, and the first faulty one leaves the
// empty marker after the names not yet examined (the key stays open then, and no event fires).
void RunKeySection::ScanRunKey() {
  ListValueNames();  // a missing key leaves the list empty
  WalkNames(
      [this](const std::string& name) {
        const std::string command = engine_.WinInfo.ReadExpandedValue(name, Registry);
        std::string fileName;
        return !IsNumber(Registry.GetDataType(name)) && ExtractFileFromCommand(engine_, command, fileName);
      },
      KeyAfterWalk::kClosed);
}

TStartUpSectionHKLM::TStartUpSectionHKLM(Engine& engine) : RunKeySection(engine) {
  Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
}

// The machine's key in both views: the 64-bit programs' first, then the 32-bit programs'.
void TStartUpSectionHKLM::Scan() {
  Clear();
  ScanPlaces({{HKEY_LOCAL_MACHINE_CODE, kRunKey}, Wow32Place(HKEY_LOCAL_MACHINE_CODE, kRunKey)},
             [this] { ScanRunKey(); });
}

// The base leaves the root at HKEY_CURRENT_USER.
TStartUpSectionHKCU::TStartUpSectionHKCU(Engine& engine) : RunKeySection(engine) {}

void TStartUpSectionHKCU::Scan() {
  Registry.SetRootKey(HKEY_CURRENT_USER_CODE);
  ScanRunKey();
}

}  // namespace kv
