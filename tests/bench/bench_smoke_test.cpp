// The benchmark's parts on a machine a hundred times smaller than its smallest: the generated machine is
// sound and gives every section something to examine, the floor finds every file it names, an exported
// machine probes the same, and a run's report ends with the two lines a script reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "bench/floor.h"
#include "bench/generator.h"
#include "bench/measure.h"
#include "bench/reg_writer.h"
#include "cli/machine.h"
#include "cli/probe.h"
#include "platform/memory/reg_file.h"
#include "scan/cleaner.h"
#include "writer/memory_writer.h"

namespace kv::bench {
namespace {

struct TinyMachine {
  TinyMachine() {
    cli::SetUpWineLikeSystem(memory);
    MemoryWriter writer(memory);
    summary = GenerateMachine(MachineShape::Tiny(), writer);
  }
  MemoryPlatform memory;
  MachineSummary summary;
};

TEST(BenchSmoke, TheGeneratedMachineIsSoundInEverySection) {
  TinyMachine machine;
  Engine engine(machine.memory.platform());
  cli::Interrupter interrupter;
  const cli::ProbeReport report = cli::RunProbe(engine, 127, interrupter);
  EXPECT_TRUE(report.Clean()) << report.section << " " << (report.list.empty() ? "" : report.list[0]) << " "
                              << report.explanation.data;
  ASSERT_EQ(report.sections.size(), 13u);
  for (const cli::SectionReport& section : report.sections)
    if (section.name != "TStartUpSectionSL") {
      EXPECT_GT(section.items, 0) << section.name;
    }
  // Every class identifier and every extension (and each per-user choice) was examined.
  EXPECT_EQ(report.sections[11].items, 200);
  EXPECT_EQ(report.sections[12].items, 50 + 2);
}

TEST(BenchSmoke, TheFloorFindsEveryReferencedFile) {
  TinyMachine machine;
  const FloorCounts counts = RunFloor(machine.memory.platform(), machine.summary);
  EXPECT_EQ(counts.missing, 0u);
  EXPECT_EQ(counts.files, machine.summary.referencedFiles.size());
  EXPECT_GT(counts.keys, 200u);
  EXPECT_GT(counts.values, 200u);
}

TEST(BenchSmoke, MeasurementsOfProbeAndFloor) {
  TinyMachine machine;
  const Measurement probe = MeasureProbe(machine.memory.platform(), "memory", 0);
  EXPECT_EQ(probe.result, 0);
  EXPECT_GT(probe.registryCalls, 0u);
  EXPECT_GT(probe.fileCalls, 0u);
  EXPECT_GT(probe.items, 0u);
  const Measurement floor = MeasureFloor(machine.memory.platform(), "memory", machine.summary);
  EXPECT_EQ(floor.result, 0);
  EXPECT_EQ(floor.fileCalls, machine.summary.referencedFiles.size());
}

TEST(BenchSmoke, AnExportedMachineProbesTheSame) {
  std::ostringstream reg, files;
  RegFileWriter writer(reg, files);
  GenerateMachine(MachineShape::Tiny(), writer);
  MemoryPlatform loaded;
  cli::SetUpWineLikeSystem(loaded);
  std::string error;
  ASSERT_TRUE(LoadRegFile(loaded.registry, reg.str(), &error)) << error;
  ASSERT_TRUE(cli::AddListedFiles(loaded.files, files.str(), &error)) << error;
  Engine engine(loaded.platform());
  cli::Interrupter interrupter;
  const cli::ProbeReport report = cli::RunProbe(engine, 127, interrupter);
  EXPECT_TRUE(report.Clean()) << report.section << " " << (report.list.empty() ? "" : report.list[0]);
  EXPECT_EQ(report.sections[11].items, 200);
}

TEST(BenchSmoke, LinesAndTheReport) {
  Measurement m;
  m.kind = "probe";
  m.platform = "wine";
  m.size = 4;
  m.wallMs = 123.456;
  m.cpuMs = 100.5;
  m.peakMb = 12.5;
  m.registryCalls = 1000;
  m.fileCalls = 200;
  m.items = 30;
  Measurement back;
  ASSERT_TRUE(FromLine(ToLine(m), &back)) << ToLine(m);
  EXPECT_EQ(back.kind, "probe");
  EXPECT_EQ(back.platform, "wine");
  EXPECT_EQ(back.size, 4);
  EXPECT_DOUBLE_EQ(back.wallMs, 123.456);
  EXPECT_EQ(back.registryCalls, 1000u);
  EXPECT_FALSE(FromLine("kvbench kind=probe size=x", &back));
  EXPECT_FALSE(FromLine("something else", &back));

  std::vector<Measurement> run;
  for (const char* platform : {"memory", "wine"}) {
    for (int size : {1, 2, 4}) {
      for (const char* kind : {"probe", "floor"}) {
        Measurement x;
        x.kind = kind;
        x.platform = platform;
        x.size = size;
        x.wallMs = (std::string(kind) == "probe" ? 12.0 : 10.0) * size;
        run.push_back(x);
      }
    }
  }
  run.back().wallMs = 35;  // a slower repetition of the Wine floor at size 4: the faster one counts
  run.push_back(run.back());
  run.back().wallMs = 40;
  const std::string report = Report(run);
  const std::regex lastTwo("(^|\\n)growth x4/x1: [0-9]+\\.[0-9]+\\nprobe/floor under Wine: [0-9]+\\.[0-9]+\\n$");
  EXPECT_TRUE(std::regex_search(report, lastTwo)) << report;
  EXPECT_NE(report.find("growth x4/x1: 4.00\n"), std::string::npos) << report;
  EXPECT_NE(report.find("probe/floor under Wine: 1.37\n"), std::string::npos) << report;
}

}  // namespace
}  // namespace kv::bench
