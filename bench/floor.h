// The floor: the least any program must do to examine a generated machine as a full probe does. It
// enumerates the same keys, reads each examined value once and asks for the attributes of each distinct
// referenced file once, straight through the seam, with nothing in between.
#pragma once

#include <cstdint>

#include "bench/generator.h"
#include "platform/platform.h"

namespace kv::bench {

struct FloorCounts {
  std::uint64_t keys = 0;     // keys opened
  std::uint64_t values = 0;   // values read
  std::uint64_t files = 0;    // files whose attributes were read
  std::uint64_t missing = 0;  // of those, files that turned out not to exist (0 on a sound machine)
};

FloorCounts RunFloor(Platform& platform, const MachineSummary& machine);

}  // namespace kv::bench
