#include "cli/kvscan.h"

#include <memory>

#include "cli/progress.h"

namespace kv::cli {

int AnswerWithoutProbe(const Options& options, const Console& console, bool withMachine) {
  switch (options.action) {
    case Options::Action::kProbe: return -1;
    case Options::Action::kHelp:
    case Options::Action::kVersion: console.out(options.message); return kExitClean;
    case Options::Action::kBadUsage:
      console.err("kvscan: " + options.message + "\n" + UsageText(withMachine));
      return kExitError;
  }
  return kExitError;
}

int ProbeAndReport(const Options& options, Engine& engine, Interrupter& interrupter, const Console& console,
                   const ToUtf8& toUtf8, const AddToReport& addToReport) {
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

  std::string text = options.json ? FormatJson(report, toUtf8) : FormatText(report);
  if (addToReport) text = addToReport(text, options.json);
  console.out(text);
  return ExitStatus(report);
}

}  // namespace kv::cli
