#include "bench/process_stats.h"

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace kv::bench {

double CpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void ResetPeakMemory() {
  // Writing 5 to clear_refs restarts the peak resident size (VmHWM) at the current one.
  std::ofstream("/proc/self/clear_refs") << "5";
}

double PeakMemoryMb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

}  // namespace kv::bench
