#include "app/logic/monitor_form.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

#include "scan/resolve.h"

namespace kv {

void ResultHistory::Record(std::int32_t result) {
  if (result == -1 || result == 0) {
    Clear();
  } else if (count_ == 3) {
    results_[0] = results_[1];
    results_[1] = results_[2];
    results_[2] = result;
  } else {
    results_[static_cast<std::size_t>(count_++)] = result;
  }
}

void ResultHistory::Clear() {
  count_ = 0;
  results_ = {0, 0, 0};
}

bool ResultHistory::AlertDue() const { return count_ == 3 && results_[0] != 0 && results_[1] != 0 && results_[2] != 0; }

MonitorForm::MonitorForm(Engine& engine, FormParts parts) : engine_(engine), parts_(parts) {}

// No scan at start: the first check comes one timer interval after start-up.
void MonitorForm::FormCreate() {
  Registry = std::make_unique<TRegistry>(engine_.platform);
  ScanRunning = false;
  engine_.ShuttingDown = false;
  RecordResult(-1);
  LoadSettings();
}

// "Monitoring" off ends the program. A missing key or unreadable value leaves all sections selected.
bool MonitorForm::LoadSettings() {
  bool monitoring = true;
  if (!Registry->OpenKeyReadOnly(kSettingsKey)) {
    monitorMask_ = kAllSections;
  } else {
    // A value that is missing or not a 32-bit integer raises ERegistryException; memory aside, nothing
    // else can fail here.
    try {
      if (Registry->ReadBool("Monitoring")) {
        monitorMask_ = Registry->ReadInteger("Items For Monitoring");
      } else {
        monitoring = false;
      }
    } catch (const std::exception&) {
      monitorMask_ = kAllSections;
    }
  }
  Registry->CloseKey();
  if (!monitoring) acExitExecute();
  return monitoring;
}

// Probes unless the full cleaner runs. Its mutex is held only for the moment of the decision; an
// abandoned one (the cleaner ended without releasing it) is owned now but counts as not taken.
void MonitorForm::Timer1Timer() {
  if (engine_.ShuttingDown) return;
  std::unique_ptr<NamedMutex> mutex = parts_.system.OpenMutex(kCleanerMutexName);
  const MutexWait wait = mutex ? mutex->Wait(500) : MutexWait::kFailed;
  if (wait == MutexWait::kAcquired) {
    if (!engine_.ShuttingDown) StartScan();
  } else {
    RecordResult(-1);
  }
  if (wait == MutexWait::kAcquired || wait == MutexWait::kAbandoned) mutex->Release();
}

void MonitorForm::StartScan() {
  parts_.window.SetTimerEnabled(false);
  if (engine_.ShuttingDown) return;
  if (!LoadSettings()) return;
  // A thread the system cannot start (no threads or memory left: std::system_error, std::bad_alloc)
  // counts as a skipped check, so that the timer runs again.
  try {
    ScanThread_ = parts_.scans.Start(*this, monitorMask_);
  } catch (const std::exception&) {
    RecordResult(-1);
  }
}

// Three faulty probes in a row bring the alert; after it the history is empty again. No alert once the
// program is ending.
void MonitorForm::RecordResult(std::int32_t result) {
  parts_.window.SetTimerEnabled(false);
  history_.Record(result);
  if (history_.AlertDue() && !engine_.ShuttingDown) {
    const bool yes = parts_.window.ShowModal(kAlertText);
    if (yes) acRunVanetiderExecute();
    RecordResult(-1);
    parts_.window.Hide();
  }
  if (!engine_.ShuttingDown) parts_.window.SetTimerEnabled(true);
}

// Starts the full cleaner beside the program, or says that it is missing.
void MonitorForm::acRunVanetiderExecute() {
  const std::string folder = parts_.system.ProgramFolder();
  const std::string path = folder + kCleanerFileName;
  if (SafeFileExists(engine_, path)) {
    parts_.system.Open(path, kCleanerParameter, folder);
  } else {
    parts_.window.ShowError("Cannot find the file " + path);
  }
}

void MonitorForm::acExitExecute() {
  engine_.ShuttingDown = true;
  parts_.window.SetTimerEnabled(false);
  if (ScanThread_ && ScanRunning) ScanThread_->Cancel(true);  // stores stop flags only; raises nothing
  parts_.window.ClearMinimizeToTray();
  parts_.window.CloseForm(parts_.window.Visible());
}

void MonitorForm::EndMessage() {
  parts_.window.ClearMinimizeToTray();
  acExitExecute();
}

// The main thread stops serving the scan thread here. A thread that has not ended yet (a scan running,
// or one started but not yet reported as running) is told to report nothing and waited for, bounded.
// If it outlives the waits it touches nothing of the form: it holds its own object, the main-thread link
// and its driver, and the engine lives until the process ends.
void MonitorForm::FormDestroy() {
  Registry.reset();
  engine_.ShuttingDown = true;
  parts_.mainThread.Close();
  if (ScanThreadAlive()) {
    ScanThread_->Terminate();
    if (!WaitForScanThread(ExitWaitMs)) WaitForScanThread(ExitWaitMs);
  }
}

// In short steps, turning away between them a call the thread had already sent when the main thread
// stopped serving: otherwise that call would hold the thread for the whole wait. The steps end when their
// sum reaches the wait or the clock does, whichever comes first.
bool MonitorForm::WaitForScanThread(std::uint32_t milliseconds) {
  constexpr std::uint32_t kStep = 10;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (std::uint32_t waited = 0; waited < milliseconds && std::chrono::steady_clock::now() < deadline;
       waited += kStep) {
    parts_.mainThread.TurnAwayWaitingCalls();
    if (ScanThread_->WaitFor(std::min(kStep, milliseconds - waited))) return true;
  }
  return ScanThread_->WaitFor(0);
}

bool MonitorForm::ScanThreadAlive() const { return ScanThread_ && !ScanThread_->WaitFor(0); }

}  // namespace kv
