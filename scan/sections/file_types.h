// The file extensions and the file types they name: machine-wide extensions under HKEY_CLASSES_ROOT,
// and the current user's choice of program per extension.
#pragma once

#include <string>

#include "scan/section.h"

namespace kv {

class TFileExtCommands : public TNamedRegStringList {
 public:
  explicit TFileExtCommands(Engine& engine);
  const char* ClassName() const override { return "TFileExtCommands"; }
  // Leaves in the list the full name of each faulty location it met (see file_types.cpp), or nothing.
  void Scan() override;

  std::string FileExtsPath;      // per-user extension choices, below HKEY_CURRENT_USER
  std::string ApplicationsPath;  // registered programs, below HKEY_CLASSES_ROOT

 private:
  struct Work;
  bool ScanExtensions(Work& work);
  void ScanUserChoices(Work& work);
  bool CheckFileType(Work& work);
  bool CheckShellCommands(Work& work);
  bool CommandValueValid(const std::string& valueName);
  bool DelegatesToClass();
  void AddFault();
};

}  // namespace kv
