// The driver stopped from another thread at random moments, thousands of times: through its stop request
// (SetCancelled, as the scan thread's Cancel does) or through the program's end (ShuttingDown). Every scan
// ends, the stop flags are the only state the two threads share (ThreadSanitizer watches this binary), and
// the time from the request to the scan's end is measured; its worst case is printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>

#include "cli/machine.h"
#include "scan/cleaner.h"
#include "scan/engine.h"
#include "tests/reliability/watchdog.h"

namespace kv::testing {
namespace {

using Clock = std::chrono::steady_clock;

int Rounds() {
  const char* rounds = std::getenv("KV_STRESS_ROUNDS");
  return rounds != nullptr ? std::max(1, std::atoi(rounds)) : 2000;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

class DriverCancelStress : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(
        cli::LoadMachine(machine_, KV_SOURCE_DIR "/examples/machine.reg", KV_SOURCE_DIR "/examples/files.txt", &error))
        << error;
    machine_.files.AddFile("C:\\Program Files\\Orbit Photo\\orbit.exe");  // clean: the longest probe
    engine_ = std::make_unique<Engine>(machine_.platform());
  }

  std::int32_t Scan(TRegistryCleaner& cleaner) {
    cleaner.Mask = 127;
    cleaner.OnProgress = [](EngineObject&) { std::this_thread::yield(); };
    return cleaner.ScanSections();
  }

  MemoryPlatform machine_;
  std::unique_ptr<Engine> engine_;
};

TEST_F(DriverCancelStress, StoppedAtRandomMomentsEveryScanEnds) {
  // How long a whole probe takes here (sanitizers make it slower; the quickest of a few runs, past the
  // first): the stops are spread over it.
  Clock::duration whole = Clock::duration::max();
  for (int i = 0; i < 6; ++i) {
    TRegistryCleaner cleaner(*engine_);
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(Scan(cleaner), 0);
    if (i > 0) whole = std::min(whole, Clock::now() - start);
  }

  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<long long> moment(0,
                                                  std::chrono::duration_cast<std::chrono::microseconds>(whole).count());
  Watchdog watchdog;
  const int rounds = Rounds();
  Clock::duration worst{};
  int stoppedEarly = 0;
  for (int round = 0; round < rounds; ++round) {
    const bool byShutdown = round % 2 == 1;
    watchdog.Begin("round " + std::to_string(round) + " (seed " + std::to_string(seed) + ")");
    auto cleaner = std::make_unique<TRegistryCleaner>(*engine_);
    Clock::time_point ended;
    std::int32_t result = -2;
    // The driver clears its stop requests when a scan begins; the stop is asked for once the first
    // section has begun.
    std::atomic<bool> begun{false};
    cleaner->OnSectionStart = [&](EngineObject&) { begun = true; };
    std::thread scan([&] {
      result = Scan(*cleaner);
      ended = Clock::now();
    });
    while (!begun) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    const Clock::time_point asked = Clock::now();
    if (byShutdown)
      engine_->ShuttingDown = true;
    else
      cleaner->SetCancelled(true);
    scan.join();
    engine_->ShuttingDown = false;
    cleaner.reset();

    EXPECT_GE(result, 0) << "round " << round;
    if (ended > asked) {
      ++stoppedEarly;
      worst = std::max(worst, ended - asked);
    }
  }
  std::printf(
      "%d rounds (seed %u), a whole probe %.1f ms; %d stopped while scanning; worst time from the stop "
      "request to the scan's end %.2f ms\n",
      rounds, seed, Ms(whole), stoppedEarly, Ms(worst));
  // Not a measure of speed: a scan that outlives the monitor's exit wait (twice 2 s) would be cut off.
  EXPECT_LT(worst, std::chrono::seconds(4));
}

}  // namespace
}  // namespace kv::testing
