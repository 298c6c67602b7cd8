// The scan engine's process-wide state: the platform it runs over, the shared system information, the
// three lists taken at load and the program-wide stop flag. Built once at start-up; a test builds its own
// over a memory platform and installs it in place of the process's.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scan/probe_memo.h"
#include "support/win_info.h"

namespace kv {

class Engine {
 public:
  // Loads in the engine's order: the startup folders, the search folders, the executable extensions and
  // the shared system information.
  explicit Engine(Platform& platform);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  Platform& platform;
  std::vector<std::string> StartupFolders;
  std::vector<std::string> SearchDirs;
  std::vector<std::string> ExeExtensions;
  TWinInfo WinInfo;
  // Set when the program ends; every section loop, the driver and the resolver's extension loop poll it.
  std::atomic<bool> ShuttingDown{false};
  // What the running probe has learnt of the file system (the driver keeps it for one probe).
  ProbeMemo Memo;
  // Set to probe the plain way: the sections and the resolver then ask the registry and the file system
  // entry by entry, without the economies that find the same answers with fewer calls (a class's subkeys
  // enumerated once, a file type judged once, no short path of a path that is absent). The answers are the
  // same either way; the switch is there to compare the two and to measure.
  std::atomic<bool> Plain{false};
};

// The process's engine. Raises std::logic_error when none was installed.
Engine& TheEngine();
// Makes `engine` the process's engine (replacing and freeing any earlier one) and returns it. Raises
// std::invalid_argument, and changes nothing, when `engine` is null.
Engine& InstallEngine(std::unique_ptr<Engine> engine);
// Frees the process's engine; TheEngine raises again until another is installed.
void UninstallEngine();

}  // namespace kv
