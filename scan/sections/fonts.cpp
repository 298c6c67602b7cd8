#include "scan/sections/fonts.h"

#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "scan/shell.h"

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
  Clear();
  Registry.CloseKey();
  Registry.OpenKeyReadOnly(KeyPath);
  Registry.GetValueNames(List());

  std::string fontsDir;
  GetFontsFolder(engine_.platform, fontsDir);
  if (fontsDir.empty() || fontsDir.back() != '\\') fontsDir += '\\';

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
      data.clear();  // an unreadable value counts as empty, and empty data is sound
    }

    bool sound = false;
    const TRegDataType type = Registry.GetDataType(name);
    if (type != rdInteger && type != rdIntegerBigEndian) {
      if (StartsWith(data, "\"")) {
        std::string quoted;
        CutToken(data, '"', quoted);
        CutToken(data, '"', quoted);
        data = quoted;
      }
      sound = data.empty() || SafeFileExists(engine_, data);
      if (!sound) {
        try {
          data = fontsDir + engine_.WinInfo.ReadExpandedValue(name, Registry);
        } catch (const ERegistryException&) {
          data.clear();  // an unreadable value counts as empty, and empty data is sound
        }
        sound = data.empty() || SafeFileExists(engine_, data);
      }
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
