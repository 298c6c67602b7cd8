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

// One probe of the prefix as it stands, for all sections and for each group alone: its time, the
// monitor's CPU time for it, and whether the group holds a fault (three probes then bring the alert; a
// probe stops at the first fault, so a faulty group's probe is short).
TEST(IdleCost, OneProbeOfThisPrefix) {
  struct Group {
    DWORD mask;
    const char* name;
  };
  const Group groups[] = {{127, "all sections"},   {1, "Startup"},        {2, "Shared DLLs"},  {4, "Font Entries"},
                          {8, "Application Info"}, {16, "Miscellaneous"}, {32, "COM/ActiveX"}, {64, "File Extensions"}};
  for (const Group& group : groups) {
    ScopedSettings settings;
    settings.monitoring.SetDword(1);
    settings.mask.SetDword(group.mask);
    MonitorInstall install(/*withStandIn=*/true);
    Monitor monitor(install);
    ASSERT_TRUE(monitor.WaitUntilRunning());
    ThreadWatch probes(monitor.pid(), 1);
    ASSERT_TRUE(probes.WaitForNewThread(3 * kIntervalMs + 30000)) << "no probe started";
    const double before = CpuSeconds(monitor.process().handle());
    const auto started = Clock::now();
    ASSERT_TRUE(WaitUntil([&] { return probes.Ended() >= 1; }, 600000, 1)) << "the probe did not end";
    const long long wall = MillisecondsSince(started);
    const double cpu = CpuSeconds(monitor.process().handle()) - before;
    // The third probe's thread waits in its report while the alert is up: either it ends (clean) or the
    // alert comes.
    WaitUntil([&] { return probes.Ended() >= 3 || monitor.AlertShown(); }, 3 * (kIntervalMs + wall) + 60000);
    const bool faulty = monitor.AlertShown();
    std::printf("%-17s (mask %3lu): probe %6lld ms, monitor CPU %.3f s, %s\n", group.name, group.mask, wall, cpu,
                faulty ? "found a fault" : "clean");
    if (group.mask == 127) PrintMemory(monitor.process().handle());
  }
  std::printf("(the registry work that Wine's server does for a probe is not in the monitor's CPU time)\n");
}

}  // namespace
}  // namespace kv::e2e
