// A machine that a contract test sets up and then examines through the seam. The memory world is the
// memory platform; the real world (Windows build, under Wine) is the real registry with HKEY_LOCAL_MACHINE,
// HKEY_CURRENT_USER and HKEY_CLASSES_ROOT redirected to scratch keys, and a scratch folder on the drive.
// Each is written through its platform's machine writer (writer/), as the benchmark writes its machines,
// with the fixtures only tests need on top. The same test cases run against every world, which proves the
// memory platform faithful.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "writer/machine_writer.h"

namespace kv::testing {

class World {
 public:
  virtual ~World() = default;
  virtual Platform& platform() = 0;
  // What writes the world's keys, values, files and folders.
  virtual MachineWriter& writer() = 0;

  // Registry fixtures; `root` is a predefined key code, `path` below it; paths and names are UTF-8.
  void CreateKey(std::uint32_t root, const std::string& path) { writer().CreateKey(root, path); }
  // Stores `data` byte for byte (string types: UTF-16LE, as the registry keeps them).
  void SetValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) {
    writer().SetValue(root, path, name, type, data);
  }
  // The same, with a name given as UTF-16 (which may hold what UTF-8 cannot: an unpaired surrogate).
  virtual void SetValueW(std::uint32_t root, const std::string& path, const std::u16string& name, std::uint32_t type,
                         const std::vector<std::uint8_t>& data) = 0;
  // Lets the key be opened with KEY_QUERY_VALUE only.
  virtual void RestrictToQueryValue(std::uint32_t root, const std::string& path) = 0;

  // File fixtures. Folder() is an existing scratch folder with a closing backslash; paths are absolute
  // and UTF-8.
  virtual std::string Folder() = 0;
  void AddFile(const std::string& path) { writer().AddFile(path); }
  void AddDirectory(const std::string& path) { writer().AddDirectory(path); }
  // A shortcut file `link` whose target is `target`.
  virtual void AddShortcut(const std::string& link, const std::string& target) = 0;
  // A shortcut file `link` to a shell item that has no file-system path (the computer folder).
  virtual void AddShortcutToShellItem(const std::string& link) = 0;
  // Sets a file's last-write time (a FILETIME number).
  virtual void SetFileTime(const std::string& path, std::uint64_t fileTime) = 0;
  // Makes `path` the process's current folder for as long as the world lives.
  virtual void SetCurrentDirectory(const std::string& path) = 0;

  // Sets an environment variable for as long as the world lives (an empty value removes it).
  virtual void SetEnvironment(const std::string& name, const std::string& value) = 0;
  // The system's own expansion of `text` (ExpandEnvironmentStrings); false in a world that has none.
  virtual bool SystemExpand(const std::string& text, std::string* expanded) = 0;
};

struct WorldKind {
  std::string name;
  std::function<std::unique_ptr<World>()> make;
};

// The memory world everywhere; the real world too in the Windows build.
std::vector<WorldKind> AllWorlds();
// The worlds the contract tests hold to: AllWorlds(), and natively the offline world too (fixtures
// written as hives and as files of a scratch folder, read by the offline platform). The reliability suites
// stay with AllWorlds(): their fixtures change keys under an open handle and hold values larger than the
// hive library writes, neither of which an installation offline has.
std::vector<WorldKind> ContractWorlds();

// Fixture data: each character of `ascii` as one UTF-16 unit (DwordBytes and the others: writer/).
std::vector<std::uint8_t> Utf16Bytes(const std::string& ascii, bool closingNul = true);

}  // namespace kv::testing
