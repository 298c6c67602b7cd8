// TSharedDLL: the shared-file reference counts (HKEY_LOCAL_MACHINE "...\SharedDLLs").
#pragma once

#include "scan/section.h"

namespace kv {

class TSharedDLL : public TNamedRegStringList {
 public:
  explicit TSharedDLL(Engine& engine);
  const char* ClassName() const override { return "TSharedDLL"; }
  void Scan() override;

 private:
  void ScanKey();
};

}  // namespace kv
