// The COM class registrations under HKEY_CLASSES_ROOT\CLSID: the files that a class's icon, handlers,
// servers and persistent handler name.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "scan/section.h"

namespace kv {

class TClsIdTYPES : public TNamedRegStringList {
 public:
  explicit TClsIdTYPES(Engine& engine);
  const char* ClassName() const override { return "TClsIdTYPES"; }
  // Leaves in the list the full name of the first key whose file is missing, or nothing.
  void Scan() override;

  // How many well-known subkeys of a class name a file.
  static constexpr std::size_t kClassSubkeyCount = 8;

 private:
  void ScanKey();
  bool PresentSubkeys(const std::string& classPath, bool (&present)[kClassSubkeyCount]);

  std::vector<std::string> subkeyNames_;  // scratch: the subkeys of the class being examined
};

}  // namespace kv
