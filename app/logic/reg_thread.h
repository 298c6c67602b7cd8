// TRegThread: one probe of the registry on a thread of its own. It tells the form that a scan runs, stops
// the form's timer, builds a scan driver for the mask, scans with COM initialised, frees the driver, tells
// the form that the scan is over and hands it the result: the driver's count, or -1 when cancelled.
// The form reaches the thread through ScanThread; the thread reaches the form only through synchronized
// calls onto the main thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "app/logic/main_thread.h"
#include "scan/cleaner.h"

namespace kv {

// The form's side of the three synchronized calls; they run on the main thread.
class ScanReport {
 public:
  virtual ~ScanReport() = default;
  virtual void SetScanRunning(bool running) = 0;       // report-running
  virtual void RecordResult(std::int32_t result) = 0;  // report-result
  virtual void StopTimer() = 0;                        // stop-timer
};

// What the form holds of a scan's thread.
class ScanThread {
 public:
  virtual ~ScanThread() = default;
  // Asks the running driver to stop; the scan then reports -1.
  virtual void Cancel(bool value) = 0;
  // The terminate request: the thread reports no result.
  virtual void Terminate() = 0;
  // Waits at most `milliseconds` for the thread's end; true once it has ended.
  virtual bool WaitFor(std::uint32_t milliseconds) = 0;
};

// The thread's COM apartment: CoInitialize and CoUninitialize on Windows, nothing elsewhere.
struct ComHook {
  std::function<bool()> initialize;  // true when the apartment was entered and must be left again
  std::function<void()> uninitialize;
};

// Builds the driver of one scan (on the scan thread).
using CleanerFactory = std::function<std::unique_ptr<TRegistryCleaner>()>;

class TRegThread : public ScanThread, public std::enable_shared_from_this<TRegThread> {
 public:
  struct Setup {
    std::shared_ptr<MainThread> mainThread;  // shared: the thread may outlive the form
    ScanReport* form = nullptr;              // reached only through mainThread
    CleanerFactory makeCleaner;
    ComHook com;
    std::int32_t mask = 127;  // the section mask the form's settings load left
  };

  // Created suspended; Resume starts it. The running thread holds its own object, so that it frees itself
  // when it ends and whoever else holds it may let go at any time.
  static std::shared_ptr<TRegThread> Create(Setup setup);
  class Token {
    friend class TRegThread;
    Token() = default;
  };
  TRegThread(Token, Setup setup);  // through Create only
  TRegThread(const TRegThread&) = delete;
  TRegThread& operator=(const TRegThread&) = delete;

  void Resume();
  void Cancel(bool value) override;
  void Terminate() override;
  bool WaitFor(std::uint32_t milliseconds) override;
  bool Terminated() const { return terminated_.load(); }

  std::atomic<bool> CancelRequested{false};
  std::atomic<bool> Running{false};
  // The result handed to the form; written on the scan thread, read on the main thread inside a
  // synchronized call.
  std::int32_t Count = 0;

 private:
  void Execute();
  std::unique_ptr<TRegistryCleaner> CreateCleaner();
  void YieldHandler(EngineObject& sender);
  void Synchronize(void (TRegThread::*method)());
  void ReportRunning();
  void ReportResult();
  void StopTimer();
  void SignalEnded();

  Setup setup_;
  // The driver of the running scan. Cancel (main thread) and the freeing of the driver (scan thread) take
  // this lock, so that Cancel never reaches a driver whose destruction has begun.
  std::mutex cleanerLock_;
  TRegistryCleaner* ActiveCleaner = nullptr;
  std::atomic<bool> terminated_{false};
  std::mutex endLock_;
  std::condition_variable endSignal_;
  bool ended_ = false;
};

// Starts the scan threads of the form.
class ScanStarter {
 public:
  virtual ~ScanStarter() = default;
  virtual std::shared_ptr<ScanThread> Start(ScanReport& form, std::int32_t mask) = 0;
};

// Starts a TRegThread with these services for each scan.
class RegThreadStarter : public ScanStarter {
 public:
  RegThreadStarter(std::shared_ptr<MainThread> mainThread, CleanerFactory makeCleaner, ComHook com);
  std::shared_ptr<ScanThread> Start(ScanReport& form, std::int32_t mask) override;

 private:
  std::shared_ptr<MainThread> mainThread_;
  CleanerFactory makeCleaner_;
  ComHook com_;
};

}  // namespace kv
