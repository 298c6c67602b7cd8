// TUninstallInfo: the uninstall registrations of installed programs (HKEY_LOCAL_MACHINE "...\Uninstall").
#pragma once

#include <string>

#include "scan/section.h"

namespace kv {

class TUninstallInfo : public TNamedRegStringList {
 public:
  explicit TUninstallInfo(Engine& engine);
  const char* ClassName() const override { return "TUninstallInfo"; }
  void Scan() override;
  // Whether the uninstall command `u` of the subkey now open still works.
  bool CheckUninstallString(const std::string& u);

 private:
  void ScanKey();
  bool EntryIsSound();
};

}  // namespace kv
