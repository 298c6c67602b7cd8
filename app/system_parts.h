// The form's parts that are the system's rather than the window's: named mutexes and the shell launcher.
#pragma once

#include <windows.h>

#include "app/logic/form_parts.h"

namespace kv {

class Win32NamedMutexes : public NamedMutexes {
 public:
  std::unique_ptr<NamedMutex> Open(const std::string& name) override;
};

class ShellLauncher : public Launcher {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  std::string ProgramFolder() override;
  void Open(const std::string& file, const std::string& parameters, const std::string& folder) override;

 private:
  HWND owner_ = nullptr;
};

// The folder of the running executable, with a closing backslash.
std::string ExecutableFolder();

}  // namespace kv
