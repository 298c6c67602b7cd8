#include "scan/sections/app_paths.h"

#include "scan/resolve.h"

namespace kv {

TAppPath::TAppPath(Engine& engine) : TNamedRegStringList(engine) {
  Registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
  KeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
}

// Each subkey registers one program; its default value says where the program lies. A number there is
// faulty whatever it holds; otherwise the text must be empty, a resolvable command or an existing folder.
// The last subkey examined stays open after the scan, until the next one closes it.
void TAppPath::Scan() {
  if (!ListKeyNames()) return;
  WalkNames([this](const std::string& program) { return ProgramIsSound(program); }, KeyAfterWalk::kLeftOpen);
}

bool TAppPath::ProgramIsSound(const std::string& program) {
  Registry.CloseKey();
  Registry.OpenKeyReadOnly(KeyPath + "\\" + program);
  std::string path;
  try {
    path = engine_.WinInfo.ReadExpandedValue("", Registry);
  } catch (const ERegistryException&) {
    path.clear();  // an unreadable default value counts as empty
  }
  if (IsNumber(Registry.GetDataType(""))) return false;
  std::string file;
  if (path.empty() || ExtractFileFromCommand(engine_, path, file)) return true;
  // No system dialog for a folder on an empty removable drive. The mode is left so, as the resolver
  // leaves it.
  engine_.platform.files.SetErrorMode(kSemFailCriticalErrors);
  return DirectoryExists(engine_, path);
}

}  // namespace kv
