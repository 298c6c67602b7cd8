// kvscan, native build: the same probe and report as kvscan.exe, over a machine held in memory and loaded
// from a registry export and a list of files (fast tests of the tool and of example machines), or over an
// installation that is not running, read from its hives and its mounted volume (--offline).
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/kvscan.h"
#include "cli/machine.h"
#include "cli/offline_report.h"
#include "scan/engine.h"

namespace {

void Write(FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

// Ctrl+C (SIGINT) is taken by a thread that waits for it, so that the interrupt runs as ordinary code
// and not inside a signal handler.
void WatchForInterrupt(kv::cli::Interrupter& interrupter) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals, &interrupter] {
    int signal = 0;
    if (sigwait(&signals, &signal) == 0) interrupter.Interrupt();
  }).detach();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kv::cli;
  Console console;
  console.out = [](const std::string& text) { Write(stdout, text); };
  console.err = [](const std::string& text) { Write(stderr, text); };
  console.errIsConsole = isatty(STDERR_FILENO) != 0;

  Options options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), /*withMachine=*/true);
  if (options.action == Options::Action::kProbe && options.machineReg.empty() && options.offlineRoot.empty()) {
    options.action = Options::Action::kBadUsage;
    options.message =
        "this build probes a machine held in memory (--reg FILE --files FILE) or an installation offline "
        "(--offline DIR)";
  }
  if (int status = AnswerWithoutProbe(options, console, /*withMachine=*/true); status >= 0) return status;

  static Interrupter interrupter;
  WatchForInterrupt(interrupter);
  // The machine's files may be unreadable or malformed, and loading the engine raises when the version
  // cannot be read: errors of this tool, not verdicts.
  try {
    if (!options.offlineRoot.empty()) {
      kv::offline::OfflineOptions offline;
      offline.root = options.offlineRoot;
      offline.user = options.offlineUser;
      for (const std::string& drive : options.offlineDrives) offline.drives[drive[0]] = drive.substr(2);
      auto machine = std::make_unique<kv::offline::OfflinePlatform>();
      std::string error;
      if (!machine->Open(offline, &error)) {
        console.err("kvscan: " + error + "\n");
        return kExitError;
      }
      for (const std::string& warning : machine->warnings()) console.err("kvscan: warning: " + warning + "\n");
      kv::Engine engine(machine->platform());
      return ProbeAndReport(options, engine, interrupter, console, KeepUtf8, [&](const std::string& report, bool json) {
        return AddOfflineReport(*machine, report, json);
      });
    }
    auto machine = std::make_unique<kv::MemoryPlatform>();
    std::string error;
    if (!LoadMachine(*machine, options.machineReg, options.machineFiles, &error)) {
      console.err("kvscan: " + error + "\n");
      return kExitError;
    }
    // The engine over the machine, which outlives it.
    kv::Engine engine(machine->platform());
    return ProbeAndReport(options, engine, interrupter, console, KeepUtf8);
  } catch (const std::exception& error) {
    console.err(std::string("kvscan: ") + error.what() + "\n");
    return kExitError;
  }
}
