// The COM class registrations under HKEY_CLASSES_ROOT\CLSID: the files that a class's icon, handlers,
// servers and persistent handler name.
#pragma once

#include "scan/section.h"

namespace kv {

class TClsIdTYPES : public TNamedRegStringList {
 public:
  explicit TClsIdTYPES(Engine& engine);
  const char* ClassName() const override { return "TClsIdTYPES"; }
  // Leaves in the list the full name of the first key whose file is missing, or nothing.
  void Scan() override;

 private:
  void ScanKey();
};

}  // namespace kv
