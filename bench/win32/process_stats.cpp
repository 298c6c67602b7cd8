#include "bench/process_stats.h"

#include <windows.h>
#include <psapi.h>

namespace kv::bench {

double CpuMilliseconds() {
  FILETIME creation, exit, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) return 0;
  auto ms = [](const FILETIME& t) {
    return static_cast<double>(static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

// Windows keeps one peak per process; it cannot be restarted.
void ResetPeakMemory() {}

double PeakMemoryMb() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

}  // namespace kv::bench
