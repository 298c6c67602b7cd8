// ExtractFileFromCommand over a small machine: a few programs in the system folders and in Program Files
// (one with blanks in its path), a folder, a search path and the usual executable extensions. Whatever the
// command, the resolver answers the same twice, leaves no directory search open, and when it calls a
// command resolvable it names a file that exists, or the command is one the rules take as sound unseen.
#include <memory>
#include <string>

#include "fuzz/fuzz_targets.h"
#include "platform/memory/memory_platform.h"
#include "scan/engine.h"
#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "support/text.h"
#include "tests/testing/handle_audit.h"

namespace kv::fuzz {
namespace {

struct Machine {
  MemoryPlatform memory;
  std::unique_ptr<testing::HandleAudit> audit;
  std::unique_ptr<Engine> engine;

  Machine() {
    memory.system.SetEnvironment("Path", "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\Tools\\;;\\\\server\\bin");
    memory.system.SetEnvironment("PathExt", ".COM;.EXE;.BAT;.CMD");
    for (const char* file : {"C:\\WINDOWS\\system32\\notepad.exe", "C:\\WINDOWS\\system32\\rundll32.exe",
                             "C:\\WINDOWS\\system32\\shell32.dll", "C:\\WINDOWS\\regedit.exe",
                             "C:\\WINDOWS\\explorer.exe", "C:\\Program Files\\App\\app.exe",
                             "C:\\Program Files\\My App\\run me.exe", "C:\\Tools\\tool.bat", "C:\\readme.txt"})
      memory.files.AddFile(file);
    memory.files.AddDirectory("C:\\Data");
    memory.files.AddDirectory("C:\\Program Files\\Empty Folder.exe");
    audit = std::make_unique<testing::HandleAudit>(memory.platform());
    engine = std::make_unique<Engine>(audit->platform());
  }
};

// Whether the resolver may call the command resolvable without naming a file that exists: nothing to run,
// a name out of reach taken as it stands, an unfilled template, or a command whose program is explorer,
// rundll32 or regsvr32 (by its exact name, after any leading blanks), which finds its argument its own way.
bool TakenAsSoundUnseen(Engine& engine, const std::string& command, const std::string& fileName) {
  return fileName.empty() || fileName == command || StartsWith(fileName, "%1") ||
         !SelfSearchingProgram(engine, command).empty();
}

}  // namespace

int FuzzExtractFile(const std::uint8_t* data, std::size_t size) {
  static Machine machine;
  Engine& engine = *machine.engine;
  const std::string command(reinterpret_cast<const char*>(data), size);

  std::string fileName = "stale";
  const bool resolvable = ExtractFileFromCommand(engine, command, fileName);
  std::string again = "other";
  Require(ExtractFileFromCommand(engine, command, again) == resolvable && again == fileName,
          "the same command gets the same answer");
  if (resolvable)
    Require(TakenAsSoundUnseen(engine, command, fileName) || SafeFileExists(engine, fileName),
            "a resolvable command names a file that exists (it named \"" + fileName + "\")");
  SafeFileExists(engine, command);
  DirectoryExists(engine, command);
  Require(machine.audit->OpenFinds() == 0, "every directory search is closed");
  Require(machine.audit->Misuses().empty(), "no search handle is used after it is closed");
  return 0;
}

}  // namespace kv::fuzz
