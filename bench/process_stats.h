// What the process itself costs: CPU time and peak memory (one implementation per platform).
#pragma once

namespace kv::bench {

// CPU time (user and system) of the process so far, in milliseconds.
double CpuMilliseconds();
// Starts a new peak: from now on PeakMemoryMb() reports the highest resident memory since this call
// (where the platform cannot restart it, since the process started).
void ResetPeakMemory();
double PeakMemoryMb();

}  // namespace kv::bench
