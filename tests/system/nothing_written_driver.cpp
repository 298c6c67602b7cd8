// Drives the monitor for tests/system/nothing_written.sh: prepares the test (settings, a start-up entry
// naming a missing program so that every probe finds a fault, a copy of the monitor's test build), then,
// between the script's two pictures of the registry and the drive, runs the monitor until its alert, answers
// "No", lets two more probes run and asks the monitor to end as the full cleaner would. Talks to the script
// through files in the folder named by KV_NOTHING_WRITTEN_SYNC (outside the Wine drive).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/e2e/harness.h"

namespace kv::e2e {
namespace {

constexpr DWORD kStartMs = 15000;
constexpr DWORD kProbesMs = 3 * kIntervalMs + 60000;

void Signal(const std::string& file) {
  HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE) << file;
  CloseHandle(handle);
}

bool WaitForFile(const std::string& file, DWORD timeoutMs) {
  return WaitUntil([&] { return GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs, 100);
}

TEST(NothingWritten, TheMonitorProbesAlertsAndEnds) {
  const char* sync = std::getenv("KV_NOTHING_WRITTEN_SYNC");
  ASSERT_NE(sync, nullptr) << "run by tests/system/nothing_written.sh, which sets KV_NOTHING_WRITTEN_SYNC";
  const std::string folder = DosPath(sync) + "\\";

  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(SeededFault::kGroup);
  SeededFault fault(kSlowProbeEntries);  // probes long enough to be watched
  MonitorInstall install(/*withStandIn=*/false);
  ASSERT_NO_FATAL_FAILURE(Signal(folder + "ready"));
  ASSERT_TRUE(WaitForFile(folder + "go", 300000)) << "no go from the script";
  {
    Monitor monitor(install);
    ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
    ThreadWatch probes(monitor.pid());
    HWND alert = monitor.WaitForAlert(kProbesMs);
    ASSERT_NE(alert, nullptr) << "no alert after three faulty probes";
    const auto no = FindChild(alert, "Button", "No");
    ASSERT_TRUE(no.has_value());
    Click(no->hwnd);
    ASSERT_TRUE(WaitUntil([&] { return !monitor.AlertShown(); }, kStartMs)) << "the alert stays after No";
    const int before = probes.Appeared();
    ASSERT_TRUE(WaitUntil([&] { return probes.Appeared() >= before + 2; }, kProbesMs)) << "no probes after the alert";
    HWND form = monitor.Form();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(PostRegistered(form, "KVMustDie"));
    ASSERT_TRUE(monitor.process().WaitForExit(10000)) << "the monitor did not end";
  }
  ASSERT_NO_FATAL_FAILURE(Signal(folder + "done"));
  ASSERT_TRUE(WaitForFile(folder + "cleanup", 300000)) << "no word from the script after its second picture";
}

}  // namespace
}  // namespace kv::e2e
