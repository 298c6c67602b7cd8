#include "scan/sections/shared_dlls.h"

#include "scan/resolve.h"

namespace kv {
namespace {

const char* const kSharedDlls = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

}  // namespace

TSharedDLL::TSharedDLL(Engine& engine) : TNamedRegStringList(engine) {
  Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
  KeyPath = kSharedDlls;
}

// Each value's name is the path of a shared file (its data, a usage count, is not read). The name is
// tested exactly as stored: no quotes taken off, no search, no path variables, no extensions tried.
// The key stays open after the scan, until the next one closes it. The 64-bit programs' key is read
// first, then the 32-bit programs'.
void TSharedDLL::Scan() {
  Clear();
  ScanPlaces({{HKEY_LOCAL_MACHINE_CODE, kSharedDlls}, Wow32Place(HKEY_LOCAL_MACHINE_CODE, kSharedDlls)},
             [this] { ScanKey(); });
}

void TSharedDLL::ScanKey() {
  ListValueNames();
  WalkNames([this](const std::string& name) { return SafeFileExists(engine_, name); }, KeyAfterWalk::kLeftOpen);
}

}  // namespace kv
