// kvbench, native: the probe and the floor over generated machines held in memory, and the report of a
// run (bench/run.sh drives it; see bench/README.md).
#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench/generator.h"
#include "bench/measure.h"
#include "bench/reg_writer.h"
#include "cli/machine.h"
#include "writer/memory_writer.h"

namespace {

using namespace kv::bench;

// One probe of a machine loaded from a registry export and its list of files (as the native kvscan loads
// it), counted and timed like the generated ones.
int MeasureLoaded(const std::string& regPath, const std::string& filesPath, bool calls, bool memo, bool plain,
                  bool listings) {
  auto machine = std::make_unique<kv::MemoryPlatform>();
  std::string error;
  if (!kv::cli::LoadMachine(*machine, regPath, filesPath, &error)) {
    std::cerr << "kvbench: " << error << "\n";
    return 2;
  }
  const Measurement m = MeasureProbe(machine->platform(), "memory", 0, memo, plain, listings);
  std::cout << ToLine(m) << std::endl;
  if (calls) std::cerr << m.kind << " calls: " << CallBreakdown(m) << std::endl;
  return 0;
}

int Measure(const std::string& kind, int size, bool calls, bool memo, bool plain, bool listings) {
  auto machine = std::make_unique<kv::MemoryPlatform>();
  kv::cli::SetUpWineLikeSystem(*machine);
  kv::MemoryWriter writer(*machine);
  const MachineSummary summary = GenerateMachine(size, writer);
  const Measurement m = kind == "probe" ? MeasureProbe(machine->platform(), "memory", size, memo, plain, listings)
                                        : MeasureFloor(machine->platform(), "memory", summary);
  std::cout << ToLine(m) << std::endl;
  if (calls) std::cerr << m.kind << " calls: " << CallBreakdown(m) << std::endl;
  return 0;
}

int Export(int size, const std::string& regPath, const std::string& filesPath) {
  std::ofstream reg(regPath, std::ios::binary), files(filesPath, std::ios::binary);
  if (!reg || !files) {
    std::cerr << "kvbench: cannot write " << regPath << " or " << filesPath << "\n";
    return 2;
  }
  RegFileWriter writer(reg, files);
  GenerateMachine(size, writer);
  return reg && files ? 0 : 2;
}

int PrintReport(const std::vector<std::string>& files) {
  std::vector<Measurement> measurements;
  for (const std::string& file : files) {
    std::ifstream in(file);
    if (!in) {
      std::cerr << "kvbench: cannot read " << file << "\n";
      return 2;
    }
    std::string line;
    Measurement m;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (FromLine(line, &m)) measurements.push_back(m);
    }
  }
  std::cout << Report(measurements);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("The benchmark's native half: measurements over machines held in memory, and the report.", "kvbench");
  app.require_subcommand(1);
  int size = 1;
  std::string kind;
  bool calls = false;
  bool noMemo = false;
  bool plain = false;
  bool noListings = false;
  std::string loadedReg, loadedFiles;
  for (const char* name : {"probe", "floor"}) {
    CLI::App* sub = app.add_subcommand(name, std::string("Measure the ") + name + " once and print one line");
    CLI::Option* sized =
        sub->add_option("--size", size, "Size factor of the generated machine")->check(CLI::Range(1, 64));
    if (std::string(name) == "probe") {
      CLI::Option* reg = sub->add_option("--reg", loadedReg, "Instead: the machine's registry, as regedit exports it");
      sub->add_option("--files", loadedFiles, "With --reg: the files that exist on the machine, one path a line")
          ->needs(reg);
      sized->excludes(reg);
    } else {
      sized->required();
    }
    sub->add_flag("--calls", calls, "Also print the seam calls by kind (on standard error)");
    if (std::string(name) == "probe") {
      sub->add_flag("--no-memo", noMemo, "Probe without the memo of the file system");
      sub->add_flag("--plain", plain, "Probe the plain way: without the sections' and the resolver's economies");
      sub->add_flag("--no-listings", noListings, "Probe without the memo's listings of folders");
    }
    sub->callback([&kind, name] { kind = name; });
  }
  std::vector<std::string> files;
  CLI::App* report = app.add_subcommand("report", "Print the table of a run from the files of measurement lines");
  report->add_option("files", files)->required();
  std::string regPath, filesPath;
  CLI::App* exporter = app.add_subcommand("export", "Write a generated machine as a .reg file and a list of files");
  exporter->add_option("--size", size, "Size factor of the generated machine")->required()->check(CLI::Range(1, 64));
  exporter->add_option("--reg", regPath, "The registry export to write (REGEDIT4)")->required();
  exporter->add_option("--files", filesPath, "The list of files to write")->required();
  CLI11_PARSE(app, argc, argv);
  if (*report) return PrintReport(files);
  if (*exporter) return Export(size, regPath, filesPath);
  if (!loadedReg.empty()) return MeasureLoaded(loadedReg, loadedFiles, calls, !noMemo, plain, !noListings);
  return Measure(kind, size, calls, !noMemo, plain, !noListings);
}
