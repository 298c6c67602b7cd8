// What the monitor costs while it waits, and what one probe costs: figures printed for the record, not
// asserted. Run by hand (it idles for a minute):
//   tools/wine-run.sh build/windows/tests/e2e/kv_idle_cost.exe --monitor=<kvmonitor_test.exe>
//       --real-monitor=<kvmonitor.exe> --standin=<vanetide.exe>
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

namespace kv::e2e {
namespace {

double CpuSeconds(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
  auto seconds = [](const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

void PrintMemory(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) {
    std::printf("  memory: not available (error %lu)\n", GetLastError());
    return;
  }
  // Wine leaves the private bytes of another process at 0; its commit charge (PagefileUsage) then
  // stands for them.
  std::printf("  private bytes %.1f MiB, commit charge %.1f MiB, working set %.1f MiB (peak %.1f MiB)\n",
              counters.PrivateUsage / 1048576.0, counters.PagefileUsage / 1048576.0,
              counters.WorkingSetSize / 1048576.0, counters.PeakWorkingSetSize / 1048576.0);
}

TEST(IdleCost, TheRealMonitorAfterAMinute) {
  if (TestPaths().realMonitor.empty()) GTEST_SKIP() << "no --real-monitor given";
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  MonitorInstall install(/*withStandIn=*/true, TestPaths().realMonitor);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning());
  const double atStart = CpuSeconds(monitor.process().handle());
  Sleep(60000);
  ASSERT_TRUE(monitor.process().Running());
  const double afterMinute = CpuSeconds(monitor.process().handle());
  std::printf("kvmonitor.exe idle for 60 s: CPU time %.3f s in all (%.3f s at start-up, %.3f s while idle)\n",
              afterMinute, atStart, afterMinute - atStart);
  PrintMemory(monitor.process().handle());
}

TEST(IdleCost, OneProbeOfThisPrefix) {
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(127);
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning());
  ThreadWatch probes(monitor.pid(), 1);
  ASSERT_TRUE(probes.WaitForNewThread(3 * kIntervalMs + 30000)) << "no probe started";
  const double before = CpuSeconds(monitor.process().handle());
  const auto started = Clock::now();
  ASSERT_TRUE(WaitUntil([&] { return probes.Ended() >= 1; }, 600000, 1)) << "the probe did not end";
  const long long wall = MillisecondsSince(started);
  const double after = CpuSeconds(monitor.process().handle());
  std::printf("one probe, all sections: %lld ms, CPU time of the monitor %.3f s (the registry work that Wine's\n"
              "server does for it is not included)\n",
              wall, after - before);
  PrintMemory(monitor.process().handle());
}

}  // namespace
}  // namespace kv::e2e
