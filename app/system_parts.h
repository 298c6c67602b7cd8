// The form's parts that are the system's rather than the window's: named mutexes and the shell.
#pragma once

#include <windows.h>

#include "app/logic/form_parts.h"

namespace kv {

// Named mutexes of the system, and the shell's "open" owned by the form's window.
class Win32FormSystem : public FormSystem {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  std::unique_ptr<NamedMutex> OpenMutex(const std::string& name) override;
  std::string ProgramFolder() override;
  void Open(const std::string& file, const std::string& parameters, const std::string& folder) override;

 private:
  HWND owner_ = nullptr;
};

// The folder of the running executable, with a closing backslash.
std::string ExecutableFolder();

}  // namespace kv
