#include "app/logic/reg_thread.h"

#include <chrono>
#include <exception>
#include <thread>
#include <utility>

namespace kv {

std::shared_ptr<TRegThread> TRegThread::Create(Setup setup) {
  return std::make_shared<TRegThread>(Token{}, std::move(setup));
}

TRegThread::TRegThread(Token, Setup setup) : setup_(std::move(setup)) {}

// Starts the thread. Its body holds the object until it ends: that is the thread freeing itself. Raises
// std::system_error when the system cannot start a thread.
void TRegThread::Resume() {
  std::shared_ptr<TRegThread> self = shared_from_this();
  std::thread([self] {
    // Nothing may leave a thread's body (that would end the process). Execute absorbs every failure of the
    // scan; what could still reach here is a failure of the thread's own bookkeeping (memory), which ends
    // the thread quietly.
    try {
      self->Execute();
    } catch (const std::exception&) {
    }
    self->SignalEnded();
  }).detach();
}

// The nine scan steps.
void TRegThread::Execute() {
  CancelRequested = false;
  Running = true;
  Synchronize(&TRegThread::ReportRunning);

  std::unique_ptr<TRegistryCleaner> cleaner = CreateCleaner();
  Synchronize(&TRegThread::StopTimer);

  // The startup-folder section creates shell link objects on this thread.
  const bool comEntered = setup_.com.initialize && setup_.com.initialize();
  if (cleaner) {
    // The driver guards each section itself; what can still leave ScanSections is a failure of the
    // driver's own bookkeeping (memory). The result then stays 0.
    try {
      Count = cleaner->ScanSections();
    } catch (const std::exception&) {
    }
  }
  if (comEntered && setup_.com.uninitialize) setup_.com.uninitialize();

  {
    std::lock_guard<std::mutex> lock(cleanerLock_);
    ActiveCleaner = nullptr;
  }
  cleaner.reset();  // the driver and its sections raise nothing while they are freed

  Running = false;
  Synchronize(&TRegThread::ReportRunning);
  if (!terminated_.load()) {
    if (CancelRequested.load()) Count = -1;
    Synchronize(&TRegThread::ReportResult);
  }
}

// Builds the driver, hooks the yield handler, sets the mask and publishes it to Cancel. A driver that
// cannot be built gives a scan that finds nothing, as a driver that fails as a whole does.
std::unique_ptr<TRegistryCleaner> TRegThread::CreateCleaner() {
  std::unique_ptr<TRegistryCleaner> cleaner;
  // Building the driver fails only when the engine was never loaded (std::logic_error) or memory runs out.
  try {
    cleaner = setup_.makeCleaner();
  } catch (const std::exception&) {
    return nullptr;
  }
  if (!cleaner) return nullptr;
  cleaner->OnProgress = [this](EngineObject& sender) { YieldHandler(sender); };
  cleaner->Mask = setup_.mask;
  std::lock_guard<std::mutex> lock(cleanerLock_);
  ActiveCleaner = cleaner.get();
  return cleaner;
}

// Called on the main thread. Under the lock, the driver is either still alive or already unpublished.
void TRegThread::Cancel(bool value) {
  CancelRequested = value;
  std::lock_guard<std::mutex> lock(cleanerLock_);
  if (ActiveCleaner != nullptr) ActiveCleaner->SetCancelled(value);  // stores flags only; raises nothing
}

void TRegThread::Terminate() { terminated_ = true; }

bool TRegThread::WaitFor(std::uint32_t milliseconds) {
  std::unique_lock<std::mutex> lock(endLock_);
  return endSignal_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return ended_; });
}

void TRegThread::SignalEnded() {
  {
    std::lock_guard<std::mutex> lock(endLock_);
    ended_ = true;
  }
  endSignal_.notify_all();
}

// The driver's progress event: give up the rest of the time slice after every examined item.
void TRegThread::YieldHandler(EngineObject& /*sender*/) { std::this_thread::yield(); }

// A method of this thread, run on the main thread while this thread waits. When the main thread no longer
// serves calls, the method does not run and the scan goes on to its end.
void TRegThread::Synchronize(void (TRegThread::*method)()) {
  setup_.mainThread->Synchronize([this, method] { (this->*method)(); });
}

void TRegThread::ReportRunning() {
  if (setup_.form != nullptr) setup_.form->SetScanRunning(Running.load());
}

void TRegThread::ReportResult() {
  if (setup_.form == nullptr) return;
  // RecordResult may show the alert and start the full cleaner; whatever fails there (memory) is the
  // form's loss, not the thread's: the thread still ends normally.
  try {
    setup_.form->RecordResult(Count);
  } catch (const std::exception&) {
  }
}

void TRegThread::StopTimer() {
  if (setup_.form != nullptr) setup_.form->StopTimer();
}

RegThreadStarter::RegThreadStarter(std::shared_ptr<MainThread> mainThread, CleanerFactory makeCleaner, ComHook com)
    : mainThread_(std::move(mainThread)), makeCleaner_(std::move(makeCleaner)), com_(std::move(com)) {}

// Created suspended, freed by itself when it ends, normal priority, then resumed.
std::shared_ptr<ScanThread> RegThreadStarter::Start(ScanReport& form, std::int32_t mask) {
  std::shared_ptr<TRegThread> thread = TRegThread::Create({mainThread_, &form, makeCleaner_, com_, mask});
  thread->Resume();
  return thread;
}

}  // namespace kv
