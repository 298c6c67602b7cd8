#include "cli/kvscan.h"

#include <memory>

#include "cli/progress.h"

namespace kv::cli {

int AnswerWithoutProbe(const Options& options, const Console& console, bool withMachine) {
  switch (options.action) {
    case Options::Action::kProbe:
      return -1;
    case Options::Action::kHelp:
    case Options::Action::kVersion:
      console.out(options.message);
      return kExitClean;
    case Options::Action::kBadUsage:
      console.err("kvscan: " + options.message + "\n" + UsageText(withMachine));
      return kExitError;
  }
  return kExitError;
}

int ProbeAndReport(const Options& options, Engine& engine, Interrupter& interrupter, const Console& console,
                   const ToUtf8& toUtf8) {
  const std::int32_t mask = options.mask ? *options.mask : ReadMonitorMask(engine.platform);

  std::unique_ptr<ProgressLine> progress;
  ProbeObserver observer;
  if (console.errIsConsole) {
    progress = std::make_unique<ProgressLine>(console.err);
    observer.sectionStarted = [&](const std::string& section) { progress->Section(section); };
    observer.itemChecked = [&](long items) { progress->Items(items); };
  }
  ProbeReport report = RunProbe(engine, mask, interrupter, observer);
  if (progress) progress->Stop();

  console.out(options.json ? FormatJson(report, toUtf8) : FormatText(report));
  return ExitStatus(report);
}

}  // namespace kv::cli
