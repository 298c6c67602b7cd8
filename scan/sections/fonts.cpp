#include "scan/sections/fonts.h"

#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "scan/shell.h"
#include "support/text.h"

namespace kv {

TRegFonts::TRegFonts(Engine& engine) : TNamedRegStringList(engine), nt_(IsWindowsNT(engine.platform)) {
  Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
  KeyPath = nt_ ? "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
                : "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
  machineKey_ = KeyPath;
}

// Each value maps a font's name to its file. A number is faulty; otherwise the file must be found as
// written (a quoted name: the text between the first two quotes), or else in the fonts folder, where the
// data is appended as stored, quotes and all. Empty data is sound. The machine's fonts are read first;
// on NT, then the fonts installed for the current user only (the same key below HKEY_CURRENT_USER, whose
// data are full paths).
void TRegFonts::Scan() {
  Clear();
  std::vector<RegPlace> places{{HKEY_LOCAL_MACHINE_CODE, machineKey_}};
  if (nt_) places.push_back({HKEY_CURRENT_USER_CODE, machineKey_});
  ScanPlaces(places, [this] { ScanKey(); });
}

void TRegFonts::ScanKey() {
  ListValueNames();
  std::string fontsDir;
  GetFontsFolder(engine_.platform, fontsDir);
  if (fontsDir.empty() || fontsDir.back() != '\\') fontsDir += '\\';
  WalkNames([&](const std::string& name) { return FontIsSound(name, fontsDir); }, KeyAfterWalk::kClosed);
}

bool TRegFonts::FontIsSound(const std::string& name, const std::string& fontsDir) {
  std::string data;
  try {
    data = engine_.WinInfo.ReadExpandedValue(name, Registry);
  } catch (const ERegistryException&) {
    data.clear();  // an unreadable value counts as empty, and empty data is sound
  }
  if (IsNumber(Registry.GetDataType(name))) return false;
  if (StartsWith(data, "\"")) {
    std::string quoted;
    CutToken(data, '"', quoted);
    CutToken(data, '"', quoted);
    data = quoted;
  }
  if (data.empty() || SafeFileExists(engine_, data)) return true;
  try {
    data = fontsDir + engine_.WinInfo.ReadExpandedValue(name, Registry);
  } catch (const ERegistryException&) {
    data.clear();  // an unreadable value counts as empty, and empty data is sound
  }
  return data.empty() || SafeFileExists(engine_, data);
}

}  // namespace kv
