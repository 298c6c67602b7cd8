// The scan thread for real, with a main thread that the test serves: the order of its reports, its result
// (0, a count, -1 when cancelled, nothing when terminated), COM on the scan thread, Cancel against the
// driver's life, and the program's end while a scan runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/logic/monitor_form.h"
#include "app/logic/reg_thread.h"
#include "tests/monitor/form_fakes.h"
#include "tests/monitor/queue_main_thread.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

using namespace std::chrono_literals;

// What a scripted section does, shared with the test so that it can be watched and steered while the
// driver that owns the section comes and goes. At `faultyAt` the section leaves a marker and stops. With
// `hold` it waits, before its first item, until the test opens `gate` (or, unless `ignoreStop`, a stop
// request comes).
struct Script {
  std::vector<std::string> items;
  std::uint32_t bit = 1;
  int faultyAt = -1;
  bool hold = false;
  bool ignoreStop = false;
  std::atomic<bool> gate{false};
  std::atomic<bool> waiting{false};
  std::atomic<int> scans{0};
};

class ScriptedSection : public TNamedRegStringList {
 public:
  ScriptedSection(Engine& engine, std::shared_ptr<Script> script)
      : TNamedRegStringList(engine), script_(std::move(script)) {}
  const char* ClassName() const override { return "ScriptedSection"; }

  void Scan() override {
    Script& s = *script_;
    ++s.scans;
    for (const std::string& item : s.items) Add(item);
    if (s.hold) {
      s.waiting = true;
      while (!s.gate && (s.ignoreStop || !StopRequested())) std::this_thread::sleep_for(1ms);
    }
    int position = 0;
    while (Count() > 0) {
      if (StopRequested()) return;
      if (position++ == s.faultyAt) {
        Add("");
        return;
      }
      Delete(0);
      ItemChecked();
    }
  }

 private:
  std::shared_ptr<Script> script_;
};

// The form's side of the synchronized calls, as a log.
class ReportLog : public ScanReport {
 public:
  void SetScanRunning(bool running) override { Add(running ? "running" : "not running"); }
  void RecordResult(std::int32_t result) override { Add("result " + std::to_string(result)); }
  void StopTimer() override { Add("stop timer"); }
  std::vector<std::string> events;
  bool allOnMainThread = true;
  std::thread::id mainThread = std::this_thread::get_id();

 private:
  void Add(const std::string& event) {
    if (std::this_thread::get_id() != mainThread) allOnMainThread = false;
    events.push_back(event);
  }
};

class RegThreadTest : public ::testing::Test {
 protected:
  RegThreadTest() { engine_ = &machine_.Load(); }

  // The driver of each scan holds one scripted section.
  Script& UseSection(std::vector<std::string> items, std::uint32_t bit = 1) {
    script_ = std::make_shared<Script>();
    script_->items = std::move(items);
    script_->bit = bit;
    return *script_;
  }
  CleanerFactory Factory() {
    return [this]() -> std::unique_ptr<TRegistryCleaner> {
      ++cleanersBuilt_;
      if (failToBuild_) throw std::logic_error("the scan engine has not been loaded");
      std::vector<TRegistryCleaner::Slot> table;
      table.push_back({script_->bit, std::make_unique<ScriptedSection>(*engine_, script_), true});
      return std::make_unique<TRegistryCleaner>(*engine_, std::move(table));
    };
  }
  ComHook Com() {
    return {[this] {
              comThread_ = std::this_thread::get_id();
              ++comEntered_;
              return true;
            },
            [this] {
              if (std::this_thread::get_id() == comThread_) ++comLeft_;
            }};
  }
  std::shared_ptr<TRegThread> MakeThread(std::int32_t mask = 127) {
    return TRegThread::Create({mainThread_, &log_, Factory(), Com(), mask});
  }
  bool Ended(const std::shared_ptr<TRegThread>& thread) { return thread->WaitFor(0); }

  MemoryMachine machine_;
  Engine* engine_ = nullptr;
  std::shared_ptr<QueueMainThread> mainThread_ = std::make_shared<QueueMainThread>();
  ReportLog log_;
  std::shared_ptr<Script> script_;
  bool failToBuild_ = false;
  std::atomic<int> cleanersBuilt_{0};
  std::thread::id comThread_;
  std::atomic<int> comEntered_{0};
  std::atomic<int> comLeft_{0};
};

TEST_F(RegThreadTest, ACleanScanReportsZero) {
  UseSection({"a", "b", "c"});
  auto thread = MakeThread();
  thread->Resume();
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return Ended(thread); }));
  EXPECT_EQ(log_.events, (std::vector<std::string>{"running", "stop timer", "not running", "result 0"}));
  EXPECT_TRUE(log_.allOnMainThread);
  EXPECT_EQ(script_->scans, 1);
  EXPECT_NE(comThread_, std::this_thread::get_id()) << "COM is initialised on the scan thread";
  EXPECT_EQ(comEntered_, 1);
  EXPECT_EQ(comLeft_, 1);
  EXPECT_FALSE(thread->Running);
}

TEST_F(RegThreadTest, AFaultReportsTheDriversCount) {
  UseSection({"a", "b", "c"}).faultyAt = 1;  // b, c and the marker remain
  auto thread = MakeThread();
  thread->Resume();
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return Ended(thread); }));
  EXPECT_EQ(log_.events.back(), "result 3");
}

TEST_F(RegThreadTest, TheDriverScansTheMaskItWasGiven) {
  UseSection({"a"}, /*bit=*/2).faultyAt = 0;
  auto thread = MakeThread(/*mask=*/1);
  thread->Resume();
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return Ended(thread); }));
  EXPECT_EQ(script_->scans, 0);
  EXPECT_EQ(log_.events.back(), "result 0");
}

TEST_F(RegThreadTest, ADriverThatCannotBeBuiltGivesZero) {
  UseSection({"a"});
  failToBuild_ = true;
  auto thread = MakeThread();
  thread->Resume();
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return Ended(thread); }));
  EXPECT_EQ(cleanersBuilt_, 1);
  EXPECT_EQ(log_.events, (std::vector<std::string>{"running", "stop timer", "not running", "result 0"}));
}

TEST_F(RegThreadTest, ACancelledScanReportsMinusOneEvenWithAFaultInHand) {
  Script& section = UseSection({"a", "b"});
  section.faultyAt = 0;
  section.hold = true;
  auto thread = MakeThread();
  thread->Resume();
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return section.waiting.load(); }));
  thread->Cancel(true);
  EXPECT_TRUE(thread->CancelRequested);
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return Ended(thread); }));
  EXPECT_EQ(log_.events.back(), "result -1");
}

TEST_F(RegThreadTest, ATerminatedThreadReportsNoResult) {
  UseSection({"a"}).faultyAt = 0;
  auto thread = MakeThread();
  thread->Terminate();
  thread->Resume();
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return Ended(thread); }));
  EXPECT_EQ(log_.events, (std::vector<std::string>{"running", "stop timer", "not running"}));
}

TEST_F(RegThreadTest, CancelWithNoActiveDriverOnlySetsTheRequest) {
  UseSection({"a"});
  auto thread = MakeThread();
  thread->Cancel(true);  // not started: no driver yet
  EXPECT_TRUE(thread->CancelRequested);
  EXPECT_EQ(cleanersBuilt_, 0);
  thread->Cancel(false);
  EXPECT_FALSE(thread->CancelRequested);

  thread->Resume();
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return Ended(thread); }));
  thread->Cancel(true);  // ended: the driver is gone
  EXPECT_TRUE(thread->CancelRequested);
  EXPECT_EQ(log_.events.back(), "result 0");
}

// Cancel hammers the driver from the main thread while scans start and end; with the lock, Cancel never
// meets a driver being freed (the sanitizer builds would see it).
TEST_F(RegThreadTest, CancelNeverReachesAFreedDriver) {
  UseSection({"a", "b", "c", "d", "e", "f", "g", "h"});
  for (int round = 0; round < 100; ++round) {
    auto thread = MakeThread();
    thread->Resume();
    ASSERT_TRUE(mainThread_->ServeUntil([&] {
      thread->Cancel(true);
      return Ended(thread);
    }));
  }
}

TEST_F(RegThreadTest, TheThreadFreesItselfWhenNobodyHoldsIt) {
  UseSection({"a"});
  std::weak_ptr<TRegThread> watch;
  {
    auto thread = MakeThread();
    watch = thread;
    thread->Resume();
  }
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return watch.expired(); }));
  EXPECT_EQ(log_.events.back(), "result 0");
}

// The form and a real scan thread together.
class FormWithThreadTest : public RegThreadTest, protected FakeFormParts {
 protected:
  FormWithThreadTest() : threads_(mainThread_, Factory(), Com()) {}

  // The real starter, remembering the latest thread without holding it.
  class WatchingStarter : public ScanStarter {
   public:
    WatchingStarter(std::shared_ptr<MainThread> mainThread, CleanerFactory factory, ComHook com)
        : starter_(std::move(mainThread), std::move(factory), std::move(com)) {}
    std::shared_ptr<ScanThread> Start(ScanReport& form, std::int32_t mask) override {
      std::shared_ptr<ScanThread> thread = starter_.Start(form, mask);
      latest = thread;
      return thread;
    }
    std::weak_ptr<ScanThread> latest;

   private:
    RegThreadStarter starter_;
  };

  MonitorForm& Form() {
    if (!form_) {
      form_ = std::make_unique<MonitorForm>(*engine_, FormParts{window_, system_, threads_, *mainThread_});
    }
    return *form_;
  }

  WatchingStarter threads_;
  std::unique_ptr<MonitorForm> form_;
};

TEST_F(FormWithThreadTest, ThreeFaultyScansBringTheAlert) {
  UseSection({"a"}).faultyAt = 0;
  Form().FormCreate();
  for (int scan = 1; scan <= 3; ++scan) {
    Form().Timer1Timer();
    EXPECT_FALSE(timer_.Enabled()) << "scan " << scan;
    ASSERT_TRUE(mainThread_->ServeUntil([&] { return timer_.Enabled() && !Form().ScanThreadAlive(); }))
        << "scan " << scan;
  }
  EXPECT_EQ(alert_.texts, std::vector<std::string>{kAlertText});
  EXPECT_EQ(Form().History().Count(), 0);
  Form().FormDestroy();
}

TEST_F(FormWithThreadTest, ExitDuringAScanCancelsItAndShowsNoAlert) {
  Script& section = UseSection({"a", "b"});
  section.faultyAt = 0;
  Form().FormCreate();
  Form().RecordResult(5);
  Form().RecordResult(5);
  section.hold = true;
  Form().Timer1Timer();
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return section.waiting && Form().IsScanRunning(); }));
  Form().acExitExecute();
  EXPECT_EQ(exit_.closes, 1);
  // The message loop runs on until the program's end: the thread reports, and no alert comes.
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return !Form().ScanThreadAlive(); }));
  EXPECT_TRUE(alert_.texts.empty());
  EXPECT_EQ(Form().History().Count(), 0);
  EXPECT_FALSE(Form().IsScanRunning());
  Form().FormDestroy();
}

TEST_F(FormWithThreadTest, TheThreadEndsAfterExitWhenTheMainThreadNoLongerServes) {
  Script& section = UseSection({"a", "b"});
  section.hold = true;
  Form().FormCreate();
  Form().Timer1Timer();
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return section.waiting && Form().IsScanRunning(); }));
  Form().acExitExecute();
  // The loop has ended: nothing serves the thread's calls any more. The thread's next call (the report
  // that the scan is over) is already on its way; the form turns it away while it waits, and the thread
  // ends within the waits.
  ASSERT_TRUE(mainThread_->WaitForCall());
  Form().FormDestroy();
  EXPECT_FALSE(Form().ScanThreadAlive());
  EXPECT_TRUE(alert_.texts.empty());
}

// A scan stuck in one slow lookup outlives both waits. The form goes; the thread carries on with what it
// holds, ends later, and reaches nothing of the form.
TEST_F(FormWithThreadTest, AThreadOutlivingTheWaitsTouchesNothingThatIsGone) {
  Script& section = UseSection({"a", "b"});
  section.faultyAt = 0;
  section.hold = true;
  section.ignoreStop = true;
  Form().FormCreate();
  Form().Timer1Timer();
  ASSERT_TRUE(mainThread_->ServeUntil([&] { return section.waiting && Form().IsScanRunning(); }));
  Form().acExitExecute();
  Form().ExitWaitMs = 20;
  Form().FormDestroy();
  ASSERT_TRUE(Form().ScanThreadAlive());
  form_.reset();
  const int served = mainThread_->Served();

  section.gate = true;
  // The thread holds its own object until it has ended; then it frees itself.
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!threads_.latest.expired() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(threads_.latest.expired());
  EXPECT_EQ(mainThread_->Served(), served) << "no call reached the main thread after the form went";
}

}  // namespace
}  // namespace kv::testing
