// The decisions of the monitor form (TfmMain): the settings, the scheduled check, the three-result
// history and its alert, the start of the full cleaner and the program's orderly end. Everything here runs
// on the main thread; the Win32 form wires it to its windows, tests to fakes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/logic/form_parts.h"
#include "app/logic/main_thread.h"
#include "app/logic/reg_thread.h"
#include "scan/engine.h"
#include "support/registry.h"

namespace kv {

constexpr const char kApplicationTitle[] = "Keyvane Pro Monitor";
constexpr const char kAlertText[] =
    "The registry may contain errors. Run Keyvane Pro\rto perform a full scan of the registry?";
constexpr const char kSettingsKey[] = "Software\\Tamberlyn\\Keyvane";
constexpr const char kCleanerMutexName[] = "Vanetide";
constexpr const char kCleanerFileName[] = "vanetide.exe";
constexpr const char kCleanerParameter[] = "Monitoring";
constexpr std::int32_t kAllSections = 127;

// The last three non-zero probe results, oldest first.
class ResultHistory {
 public:
  // Records one result: -1 (cancelled or skipped) and 0 (clean) empty the history, any other value is
  // appended, the oldest dropping out once three are held.
  void Record(std::int32_t result);
  void Clear();
  // Three results held, none of them 0: three probes in a row found something.
  bool AlertDue() const;
  int Count() const { return count_; }
  const std::array<std::int32_t, 3>& Results() const { return results_; }

 private:
  int count_ = 0;
  std::array<std::int32_t, 3> results_{};
};

// What the form's decisions act on: its window, the system, the scan threads it starts and the main
// thread those threads reach it through.
struct FormParts {
  FormWindow& window;
  FormSystem& system;
  ScanStarter& scans;
  MainThread& mainThread;
};

class MonitorForm : public ScanReport {
 public:
  MonitorForm(Engine& engine, FormParts parts);

  void FormCreate();
  // The application ends: from here on no synchronized call reaches the form; a scan thread still alive is
  // told to report nothing and waited for, at most twice ExitWaitMs.
  void FormDestroy();
  // Timer1's handler: the scheduled check.
  void Timer1Timer();
  void StartScan();
  // Reads the settings afresh. False when monitoring is switched off: the program is then ending.
  bool LoadSettings();
  void RecordResult(std::int32_t result) override;
  void acRunVanetiderExecute();
  void acExitExecute();
  // Either registered window message ("KVMustDie", "KVMonitoringDisable").
  void EndMessage();

  // The scan thread's synchronized calls.
  void SetScanRunning(bool running) override { ScanRunning = running; }
  void StopTimer() override { parts_.window.SetTimerEnabled(false); }

  const ResultHistory& History() const { return history_; }
  std::int32_t MonitorMask() const { return monitorMask_; }
  bool IsScanRunning() const { return ScanRunning; }
  // True while a scan thread that this form started has not ended.
  bool ScanThreadAlive() const;

  std::uint32_t ExitWaitMs = 2000;

 private:
  bool WaitForScanThread(std::uint32_t milliseconds);

  Engine& engine_;
  FormParts parts_;
  std::shared_ptr<ScanThread> ScanThread_;  // the latest scan's thread (shared: it may outlive the form)
  ResultHistory history_;
  std::unique_ptr<TRegistry> Registry;  // reads the settings only
  bool ScanRunning = false;
  std::int32_t monitorMask_ = kAllSections;
};

}  // namespace kv
