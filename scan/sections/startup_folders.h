// The shortcuts Windows opens at log-on from the startup folders.
#pragma once

#include "scan/section.h"

namespace kv {

// A shortcut file directly inside a startup folder is faulty when its target is not a present file. After a
// fault the list holds that shortcut file's full path.
class TStartUpSectionSL : public TNamedRegStringList {
 public:
  explicit TStartUpSectionSL(Engine& engine);
  const char* ClassName() const override { return "TStartUpSectionSL"; }
  void Scan() override;
};

}  // namespace kv
