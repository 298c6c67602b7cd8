// TMRUList: the commands recently typed into the shell's Run box (HKEY_CURRENT_USER "...\RunMRU").
#pragma once

#include "scan/section.h"

namespace kv {

class TMRUList : public TNamedRegStringList {
 public:
  explicit TMRUList(Engine& engine);
  const char* ClassName() const override { return "TMRUList"; }
  void Scan() override;

 private:
  // Whether the remembered command `name` still leads somewhere.
  bool EntryIsSound(const std::string& name);
  bool RunBoxAccepts(const std::string& command);
};

}  // namespace kv
