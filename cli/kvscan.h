// kvscan's work once its arguments are parsed, shared by the Windows program and the native build:
// usage and version, the mask, the probe with its progress line, the report and the exit status.
#pragma once

#include <functional>
#include <string>

#include "cli/options.h"
#include "cli/probe.h"
#include "cli/report.h"

namespace kv::cli {

constexpr int kExitClean = 0;
constexpr int kExitFault = 1;
constexpr int kExitError = 2;
constexpr int kExitInterrupted = 130;

struct Console {
  std::function<void(const std::string&)> out;  // standard output
  std::function<void(const std::string&)> err;  // standard error
  bool errIsConsole = false;                    // standard error is a console: show the progress line
};

// Answers --help, --version and bad usage: the exit status, or -1 when a probe is to run.
int AnswerWithoutProbe(const Options& options, const Console& console, bool withMachine = false);

// What a platform adds to the report once the probe has run: it gets the report's text (or its JSON
// when `json`) and gives the text to print.
using AddToReport = std::function<std::string(const std::string& report, bool json)>;

// Runs the probe the options ask for over `engine` and prints its report: the exit status.
int ProbeAndReport(const Options& options, Engine& engine, Interrupter& interrupter, const Console& console,
                   const ToUtf8& toUtf8, const AddToReport& addToReport = nullptr);

}  // namespace kv::cli
