// The monitor's scan thread (TRegThread, with its real driver over the example machine) cancelled at
// random moments, thousands of times, in the two ways the monitor does it: Cancel while the form goes on
// serving the thread (the result must then be -1 whenever the cancel came before the form was told the
// scan is over), and the program's end (terminate, cancel, ShuttingDown, the main thread stops serving,
// then at most twice 2 s of waiting: no result, and the thread must have ended). Every driver built is
// freed exactly once; that none is used after it is freed is what AddressSanitizer and ThreadSanitizer
// watch when this binary runs in the asan and tsan builds. The worst time from the request to the thread's
// end is printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <thread>

#include "app/logic/reg_thread.h"
#include "cli/machine.h"
#include "scan/cleaner.h"
#include "scan/engine.h"
#include "tests/monitor/queue_main_thread.h"
#include "tests/reliability/watchdog.h"

namespace kv::testing {
namespace {

using Clock = std::chrono::steady_clock;

int Rounds() {
  const char* rounds = std::getenv("KV_STRESS_ROUNDS");
  return rounds != nullptr ? std::max(1, std::atoi(rounds)) : 2000;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The form's side: what it was told, on the main thread.
class Form : public ScanReport {
 public:
  void SetScanRunning(bool running) override {
    if (running)
      toldRunning = true;
    else
      toldOver = true;
  }
  void RecordResult(std::int32_t value) override {
    ++results;
    result = value;
  }
  void StopTimer() override { timerStopped = true; }

  bool toldRunning = false;
  bool timerStopped = false;
  bool toldOver = false;
  int results = 0;
  std::int32_t result = 0;
};

// Counts the drivers built and freed.
struct DriverCounts {
  std::atomic<int> built{0};
  std::atomic<int> freed{0};
};

class CountedCleaner : public TRegistryCleaner {
 public:
  CountedCleaner(Engine& engine, DriverCounts& counts) : TRegistryCleaner(engine), counts_(counts) { ++counts_.built; }
  ~CountedCleaner() override { ++counts_.freed; }

 private:
  DriverCounts& counts_;
};

class RegThreadStress : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    // As shipped, the example machine holds one fault, found by the last group: a whole probe walks every
    // section and reports 1.
    ASSERT_TRUE(
        cli::LoadMachine(machine_, KV_SOURCE_DIR "/examples/machine.reg", KV_SOURCE_DIR "/examples/files.txt", &error))
        << error;
    engine_ = std::make_unique<Engine>(machine_.platform());
  }

  std::shared_ptr<TRegThread> Start(const std::shared_ptr<QueueMainThread>& main, Form& form) {
    TRegThread::Setup setup;
    setup.mainThread = main;
    setup.form = &form;
    setup.makeCleaner = [this] { return std::make_unique<CountedCleaner>(*engine_, counts_); };
    setup.mask = 127;
    auto thread = TRegThread::Create(std::move(setup));
    thread->Resume();
    return thread;
  }

  MemoryPlatform machine_;
  std::unique_ptr<Engine> engine_;
  DriverCounts counts_;
};

TEST_F(RegThreadStress, CancelledAtRandomMomentsEveryScanReportsMinusOneAndEveryThreadEnds) {
  // A whole probe, uncancelled, as the spread for the random moments (the quickest of a few, past the first).
  Clock::duration whole = Clock::duration::max();
  std::int32_t verdict = 0;
  for (int i = 0; i < 6; ++i) {
    auto main = std::make_shared<QueueMainThread>();
    Form form;
    const Clock::time_point start = Clock::now();
    auto thread = Start(main, form);
    ASSERT_TRUE(main->ServeUntil([&] { return form.results == 1; }));
    if (i > 0) whole = std::min(whole, Clock::now() - start);
    verdict = form.result;
    ASSERT_TRUE(thread->WaitFor(4000));
  }
  ASSERT_EQ(verdict, 1);

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  const auto spread = std::chrono::duration_cast<std::chrono::microseconds>(whole).count();
  std::uniform_int_distribution<long long> moment(0, spread + spread / 10);
  Watchdog watchdog;
  const int rounds = Rounds();
  Clock::duration worstCancel{};
  Clock::duration worstExit{};
  int cancelledWhileRunning = 0;
  int exits = 0;
  for (int round = 0; round < rounds; ++round) {
    watchdog.Begin("round " + std::to_string(round) + " (seed " + std::to_string(seed) + ")");
    const bool programEnds = round % 2 == 1;
    auto main = std::make_shared<QueueMainThread>();
    Form form;
    auto thread = Start(main, form);
    // The thread clears its cancel request when it begins, and stops the form's timer just before it
    // scans; from then on it needs the main thread only when the scan is over. The cancel comes at a
    // random moment of the scan (or just after it, before the form has heard of its end).
    ASSERT_TRUE(main->ServeUntil([&] { return form.timerStopped; }));
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    const bool scanWasRunning = thread->Running.load();
    const Clock::time_point asked = Clock::now();

    if (!programEnds) {
      thread->Cancel(true);
      ASSERT_TRUE(main->ServeUntil([&] { return form.results == 1; }));
      ASSERT_TRUE(thread->WaitFor(4000));
      worstCancel = std::max(worstCancel, Clock::now() - asked);
      if (scanWasRunning) ++cancelledWhileRunning;
      // Whether the driver was stopped or had already finished, the form had not heard of the scan's end:
      // the scan counts as cancelled.
      EXPECT_EQ(form.result, -1) << "round " << round;
    } else {
      // As the form's destruction does it: the thread's remaining synchronized calls are never answered.
      ++exits;
      engine_->ShuttingDown = true;
      thread->Terminate();
      thread->Cancel(true);
      main->Close();
      main->TurnAwayWaitingCalls();  // a call already on its way returns unanswered, as the form's wait does it
      const bool ended = thread->WaitFor(2000) || thread->WaitFor(2000);
      worstExit = std::max(worstExit, Clock::now() - asked);
      engine_->ShuttingDown = false;
      ASSERT_TRUE(ended) << "round " << round << ": the thread outlived the exit wait";
      EXPECT_EQ(form.results, 0) << "round " << round << ": a terminated thread reported";
    }
  }
  EXPECT_EQ(counts_.built.load(), counts_.freed.load());
  std::printf(
      "%d rounds (seed %u), a whole probe %.1f ms: %d cancels (%d while the driver ran), worst %.2f ms "
      "to the thread's end; %d program ends, worst %.2f ms to the thread's end (bound 4000 ms)\n",
      rounds, seed, Ms(whole), rounds - exits, cancelledWhileRunning, Ms(worstCancel), exits, Ms(worstExit));
  // Not a measure of speed: a thread that outlives the exit wait would be cut off with the process.
  EXPECT_LT(worstCancel, std::chrono::seconds(4));
  EXPECT_LT(worstExit, std::chrono::seconds(4));
}

}  // namespace
}  // namespace kv::testing
