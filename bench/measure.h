// One measurement of the benchmark (a clean full probe or the floor, on one platform, at one size), as a
// line of text that the run's report reads back, and the report itself.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bench/generator.h"
#include "platform/platform.h"

namespace kv::bench {

struct Measurement {
  std::string kind;      // "probe" or "floor"
  std::string platform;  // "memory" (native) or "wine"
  int size = 0;
  double wallMs = 0;
  double cpuMs = 0;
  double peakMb = 0;
  std::uint64_t registryCalls = 0;
  std::uint64_t fileCalls = 0;
  std::int64_t result = 0;  // probe: the driver's result (0: clean); floor: referenced files found missing
  std::uint64_t items = 0;  // probe: items examined; floor: values read
  std::map<std::string, std::uint64_t> calls;  // seam calls by kind (not part of the line)
};

// "RegOpenKey=12 RegQueryValue=40 ...": the seam calls of a measurement by kind, busiest first.
std::string CallBreakdown(const Measurement& m);

// A clean full probe (mask 127) over `platform`, counted and timed; `memo` false switches the probe's memo
// of the file system off, `listings` false only its listings of folders, and `plain` true the other
// economies, to show what they save.
Measurement MeasureProbe(Platform& platform, const std::string& platformName, int size, bool memo = true,
                         bool plain = false, bool listings = true);
// The floor over `platform` for the machine `summary` describes.
Measurement MeasureFloor(Platform& platform, const std::string& platformName, const MachineSummary& summary);

std::string ToLine(const Measurement& m);
bool FromLine(const std::string& line, Measurement* m);

// The table of a run (best of the repetitions for each kind, platform and size) and, last, the two lines
// "growth x4/x1: R" and "probe/floor under Wine: R".
std::string Report(const std::vector<Measurement>& measurements);

}  // namespace kv::bench
