// kvbench.exe: the benchmark under Wine (or Windows): generates a machine into scratch registry keys and
// the drive, and measures a clean full probe and the floor over the real registry and files; or measures
// one probe of the machine it runs on, as it is (`live`).
#include <windows.h>
#include <objbase.h>

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>

#include "bench/generator.h"
#include "bench/measure.h"
#include "platform/win32/win32_platform.h"
#include "writer/win32/win32_writer.h"

namespace {

// The measurement's line on standard output and, when asked for, its calls by kind on standard error.
void Report(const kv::bench::Measurement& m, bool calls) {
  std::printf("%s\n", kv::bench::ToLine(m).c_str());
  if (calls) std::fprintf(stderr, "%s calls: %s\n", m.kind.c_str(), kv::bench::CallBreakdown(m).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kv::bench;
  CLI::App app("The benchmark over the real platform: generate a machine, then measure the probe or the floor.",
               "kvbench");
  app.require_subcommand(1);
  int size = 1;
  std::string command;
  bool calls = false;
  bool noMemo = false;
  bool plain = false;
  bool noListings = false;
  for (const char* name : {"generate", "probe", "floor", "live"}) {
    const bool live = std::string(name) == "live";
    CLI::App* sub = app.add_subcommand(name, live ? "probe this machine's own registry and files" : name);
    if (!live)
      sub->add_option("--size", size, "Size factor of the generated machine")->required()->check(CLI::Range(1, 64));
    if (std::string(name) != "generate") sub->add_flag("--calls", calls, "Also print the seam calls by kind (stderr)");
    if (std::string(name) == "probe" || live) {
      sub->add_flag("--no-memo", noMemo, "Probe without the memo of the file system");
      sub->add_flag("--plain", plain, "Probe the plain way: without the sections' and the resolver's economies");
      sub->add_flag("--no-listings", noListings, "Probe without the memo's listings of folders");
    }
    sub->callback([&command, name] { command = name; });
  }
  CLI11_PARSE(app, argc, argv);

  // COM as the monitor's scan thread has it.
  const bool com = SUCCEEDED(CoInitialize(nullptr));
  int status = 0;
  // Failures to create the scratch keys or to write the machine end the run with a message.
  try {
    if (command == "live") {
      // The machine as it is: no scratch roots, nothing generated; reported as size 0.
      Report(MeasureProbe(kv::Win32Platform(), "wine", 0, !noMemo, plain, !noListings), calls);
    } else {
      // The machine of each size has scratch keys of its own.
      const kv::ScratchRoots roots("Software\\KvBench\\Size" + std::to_string(size));
      if (command == "generate") {
        kv::Win32Writer writer;
        const MachineSummary summary = GenerateMachine(size, writer);
        std::printf("kvbench generated size=%d keys=%llu values=%llu files=%llu\n", size,
                    static_cast<unsigned long long>(summary.keys), static_cast<unsigned long long>(summary.values),
                    static_cast<unsigned long long>(summary.files));
      } else if (command == "probe") {
        Report(MeasureProbe(kv::Win32Platform(), "wine", size, !noMemo, plain, !noListings), calls);
      } else {
        NullWriter nowhere;
        Report(MeasureFloor(kv::Win32Platform(), "wine", GenerateMachine(size, nowhere)), calls);
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kvbench: %s\n", error.what());
    status = 2;
  }
  std::fflush(stdout);
  if (com) CoUninitialize();
  return status;
}
