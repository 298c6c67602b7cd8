// TSharedFolders: the folders the machine shares on the network (the NT shares key or the Windows 9x
// LanMan key of HKEY_LOCAL_MACHINE).
#pragma once

#include <string>

#include "scan/section.h"

namespace kv {

class TSharedFolders : public TNamedRegStringList {
 public:
  // Chooses the key by the platform family; raises WindowsVersionError when the version cannot be read.
  explicit TSharedFolders(Engine& engine);
  const char* ClassName() const override { return "TSharedFolders"; }
  // The NT walk or the Windows 9x walk, chosen by the platform family each time.
  void Scan() override;

 private:
  void ScanNT();
  void Scan9x();
  bool FolderIsSound(const std::string& folder);
};

// The shared folder of an NT share value (its strings as read, each ended by a NUL): the text of the first
// string that begins with "Path=", after that prefix. False when no string does.
bool ExtractNtSharePath(const std::string& multiString, std::string& folder);

}  // namespace kv
