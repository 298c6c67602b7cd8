// TAppPath: the per-program registrations of HKEY_LOCAL_MACHINE "...\App Paths".
#pragma once

#include "scan/section.h"

namespace kv {

class TAppPath : public TNamedRegStringList {
 public:
  explicit TAppPath(Engine& engine);
  const char* ClassName() const override { return "TAppPath"; }
  void Scan() override;

 private:
  // Whether the program registered under the subkey `program` lies where its default value says. Leaves
  // that subkey open.
  bool ProgramIsSound(const std::string& program);
};

}  // namespace kv
