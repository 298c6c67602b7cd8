#include "scan/sections/shared_folders.h"

#include "platform/handles.h"
#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "scan/shell.h"
#include "support/text.h"
#include "support/win_info.h"

namespace kv {

// The strings of a share value are lines "name=value" (CSCFlags, MaxUses, Path, Permissions, Remark,
// Type, ...) in whatever order the value holds them; only the line that begins with "Path=" counts.
bool ExtractNtSharePath(const std::string& multiString, std::string& folder) {
  static const std::string kPath = "Path=";
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = multiString.find('\0', start);
    const std::string line = multiString.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (StartsWith(line, kPath)) {
      folder = line.substr(kPath.size());
      return true;
    }
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

TSharedFolders::TSharedFolders(Engine& engine) : TNamedRegStringList(engine) {
  Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
  KeyPath = IsWindowsNT(engine.platform) ? "SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\Shares"
                                         : "Software\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan";
}

void TSharedFolders::Scan() {
  if (IsWindowsNT(engine_.platform))
    ScanNT();
  else
    Scan9x();
}

// A shared folder must be a local folder that exists, or the root of a drive (which may be one without a
// medium); a network path, in any spelling or on a drive mapped to a share, is faulty even when it can be
// reached, and is never looked up. A folder on a drive that cannot be examined (offline, not mapped) is
// not held against the share.
bool TSharedFolders::FolderIsSound(const std::string& folder) {
  switch (ReachOf(engine_, folder)) {
    case NameReach::kNetwork: return false;
    case NameReach::kNotExaminable: return true;
    case NameReach::kLocal: break;
  }
  bool exists = false;
  {
    // No system dialog for a drive without a medium.
    QuietErrorMode quiet(engine_.platform.files);
    exists = DirectoryExists(engine_, folder);
  }
  if (exists) return true;
  return folder == ExtractFileDrive(folder) + "\\";
}

// NT: one REG_MULTI_SZ value per share, named after the share. Any other type is faulty, and so is a value
// without a "Path=" line. A value whose wide read fails raises out of the scan.
void TSharedFolders::ScanNT() {
  Clear();
  Registry.CloseKey();
  Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
  if (!Registry.OpenKeyReadOnly(KeyPath)) return;
  Registry.GetValueNames(List());

  WalkNames(
      [this](const std::string& name) {
        if (Registry.GetDataType(name) != rdMultiString) return false;
        const std::string strings = Registry.ReadMultiString(name);
        std::string folder;
        return ExtractNtSharePath(strings, folder) && FolderIsSound(folder);
      },
      KeyAfterWalk::kClosed);
}

// Windows 9x: one subkey per share, whose value "Path" holds the folder. A subkey without a "Path" is not
// examined further; a number there is faulty.
void TSharedFolders::Scan9x() {
  Clear();
  Registry.CloseKey();
  Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
  if (!Registry.OpenKey(KeyPath, false)) {
    Registry.CloseKey();
    return;
  }
  Registry.GetKeyNames(List());

  WalkNames(
      [this](const std::string& share) {
        Registry.CloseKey();
        Registry.OpenKeyReadOnly(KeyPath + "\\" + share);
        std::string folder;
        try {
          folder = engine_.WinInfo.ReadExpandedValue("Path", Registry);
        } catch (const ERegistryException&) {
          folder.clear();  // an unreadable "Path" counts as empty, and an empty one is sound
        }
        return !IsNumber(Registry.GetDataType("Path")) && (folder.empty() || FolderIsSound(folder));
      },
      KeyAfterWalk::kClosed);
}

}  // namespace kv
