#include "scan/sections/startup_run.h"

#include "scan/resolve.h"

namespace kv {
namespace {

const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

TStartUpRunKey::TStartUpRunKey(Engine& engine) : TNamedRegStringList(engine) { KeyPath = kRunKey; }

// Each value of the key is one entry: its name is the entry's, its data the command line. The list starts
// with every value name; each sound entry is deleted as it is examined, and the first faulty one leaves the
// empty marker after the names not yet examined (the key stays open then, and no event fires).
void TStartUpRunKey::ScanRunKey() {
  Registry.OpenKeyReadOnly(KeyPath);  // a missing key leaves the list empty
  Registry.GetValueNames(List());
  int i = 0;
  while (i < Count()) {
    if (StopRequested()) {
      Registry.CloseKey();
      return;
    }
    const std::string name = (*this)[i];
    const std::string command = engine_.WinInfo.ReadExpandedValue(name, Registry);
    const TRegDataType type = Registry.GetDataType(name);
    std::string fileName;
    if (type == rdInteger || type == rdIntegerBigEndian || !ExtractFileFromCommand(engine_, command, fileName)) {
      Add("");
      return;
    }
    Delete(i);
    ItemChecked();
  }
  Registry.CloseKey();
}

TStartUpSectionHKLM::TStartUpSectionHKLM(Engine& engine) : TStartUpRunKey(engine) {
  Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
}

// The machine's key in both views: the 64-bit programs' first, then the 32-bit programs'.
void TStartUpSectionHKLM::Scan() {
  Clear();
  ScanPlaces({{HKEY_LOCAL_MACHINE_CODE, kRunKey}, Wow32Place(HKEY_LOCAL_MACHINE_CODE, kRunKey)}, [this] {
    Clear();
    ScanRunKey();
  });
}

// The base leaves the root at HKEY_CURRENT_USER.
TStartUpSectionHKCU::TStartUpSectionHKCU(Engine& engine) : TStartUpRunKey(engine) {}

void TStartUpSectionHKCU::Scan() {
  Clear();
  Registry.CloseKey();
  Registry.SetRootKey(HKEY_CURRENT_USER_CODE);
  ScanRunKey();
}

}  // namespace kv
