// TRegFonts: the font registrations (the fonts key of HKEY_LOCAL_MACHINE, NT or Windows 9x).
#pragma once

#include "scan/section.h"

namespace kv {

class TRegFonts : public TNamedRegStringList {
 public:
  // Chooses the key by the platform family; raises WindowsVersionError when the version cannot be read.
  explicit TRegFonts(Engine& engine);
  const char* ClassName() const override { return "TRegFonts"; }
  void Scan() override;

 private:
  void ScanKey();
  // Whether the font registered as `name` names a file that exists, as written or in the fonts folder.
  bool FontIsSound(const std::string& name, const std::string& fontsDir);
  bool nt_;
  std::string machineKey_;
};

}  // namespace kv
