#include "scan/sections/help_files.h"

#include "scan/resolve.h"

namespace kv {

HelpFileSection::HelpFileSection(Engine& engine, const char* keyPath)
    : TNamedRegStringList(engine), machineKey_(keyPath) {
  Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
  KeyPath = keyPath;
}

TWinHelp::TWinHelp(Engine& engine) : HelpFileSection(engine, "SOFTWARE\\Microsoft\\Windows\\Help") {}

THTMLHelp::THTMLHelp(Engine& engine) : HelpFileSection(engine, "SOFTWARE\\Microsoft\\Windows\\HTML Help") {}

// Each value names a help file; its data is the folder that holds it. A number instead of a folder is
// faulty whatever the value's name; the key's default value holding text is accepted untested; any other
// value is sound when the folder and the name together resolve to a file. The key stays open after a
// complete scan; the next scan closes it first. The 64-bit programs' key is read first, then the 32-bit
// programs'.
void HelpFileSection::Scan() {
  Clear();
  ScanPlaces({{HKEY_LOCAL_MACHINE_CODE, machineKey_}, Wow32Place(HKEY_LOCAL_MACHINE_CODE, machineKey_)},
             [this] { ScanKey(); });
}

void HelpFileSection::ScanKey() {
  ListValueNames();
  WalkNames(
      [this](const std::string& name) {
        const std::string folder = engine_.WinInfo.ReadExpandedValue(name, Registry);
        if (IsNumber(Registry.GetDataType(name))) return false;
        if (name.empty()) return true;
        std::string path = folder;
        if (path.empty() || path.back() != '\\') path += '\\';
        path += name;
        std::string found;
        return ExtractFileFromCommand(engine_, path, found);
      },
      KeyAfterWalk::kLeftOpen);
}

}  // namespace kv
