// The table of calls waiting to run on the main thread: only a token it issued, for a call that waits and
// has not run, runs anything; every other value that can come with a message runs nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/logic/pending_calls.h"

namespace kv::testing {
namespace {

constexpr std::uint64_t kKey = 0x0123456789ABCDEFULL;
constexpr std::uintptr_t kAllOnes = std::numeric_limits<std::uintptr_t>::max();

std::string Describe(const CallToken& token) {
  return "serial " + std::to_string(token.serial) + ", check " + std::to_string(token.check);
}

TEST(PendingCalls, AnIssuedTokenRunsItsCallOnce) {
  PendingCalls calls(kKey);
  int runs = 0;
  const std::function<void()> call = [&] { ++runs; };
  const CallToken token = calls.Add(call);
  EXPECT_NE(token.serial, 0u);
  EXPECT_EQ(calls.Waiting(), 1u);
  EXPECT_TRUE(calls.Run(token));
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(calls.Run(token)) << "a call ran twice";
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(calls.Finish(token));
  EXPECT_EQ(calls.Waiting(), 0u);
}

TEST(PendingCalls, ACallNotRunIsFinishedAsNotRun) {
  PendingCalls calls(kKey);
  int runs = 0;
  const std::function<void()> call = [&] { ++runs; };
  const CallToken token = calls.Add(call);
  EXPECT_FALSE(calls.Finish(token));
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(calls.Waiting(), 0u);
}

// Whatever a message brings that is not the token of a call now waiting: nothing runs, and the call that
// does wait is left as it was (its own token still runs it once).
TEST(PendingCalls, NothingElseRunsAnything) {
  PendingCalls other(kKey ^ 0x5555);  // another process's table
  int otherRuns = 0;
  const std::function<void()> otherCall = [&] { ++otherRuns; };

  PendingCalls calls(kKey);
  int finishedRuns = 0;
  const std::function<void()> finishedCall = [&] { ++finishedRuns; };
  const CallToken finished = calls.Add(finishedCall);  // run and finished before the cases
  ASSERT_TRUE(calls.Run(finished));
  ASSERT_TRUE(calls.Finish(finished));
  const CallToken stale = calls.Add(finishedCall);  // finished without having run
  ASSERT_FALSE(calls.Finish(stale));

  int runs = 0;
  const std::function<void()> call = [&] { ++runs; };
  const CallToken waiting = calls.Add(call);
  while (other.Add(otherCall).serial + 1 < waiting.serial) {
  }
  const CallToken foreign = other.Add(otherCall);
  ASSERT_EQ(foreign.serial, waiting.serial) << "the two tables were meant to meet on the serial number";

  std::mt19937_64 random(20261211);
  const auto any = [&] { return static_cast<std::uintptr_t>(random()); };
  struct Case {
    const char* name;
    CallToken token;
  };
  const std::vector<Case> cases = {
      {"zero", {0, 0}},
      {"all ones", {kAllOnes, kAllOnes}},
      {"zero serial, the waiting call's check", {0, waiting.check}},
      {"unknown serial (never issued)", {waiting.serial + 1, waiting.check}},
      {"the waiting call's serial, check zero", {waiting.serial, 0}},
      {"the waiting call's serial, check all ones", {waiting.serial, kAllOnes}},
      {"the waiting call's serial, check off by one", {waiting.serial, waiting.check + 1}},
      {"the waiting call's serial, a random check", {waiting.serial, any()}},
      {"random serial and check", {any(), any()}},
      {"token of a call run and finished", finished},
      {"stale token: a call finished without running", stale},
      {"another process's token for the same serial", foreign},
      {"serial and check swapped", {waiting.check, waiting.serial}},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(calls.Run(c.token)) << c.name << " (" << Describe(c.token) << ") ran a call";
    EXPECT_FALSE(calls.Finish(c.token)) << c.name << " (" << Describe(c.token) << ") finished a call";
  }
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(finishedRuns, 1);
  EXPECT_EQ(otherRuns, 0);
  EXPECT_EQ(calls.Waiting(), 1u) << "a hostile token removed the waiting call";

  EXPECT_TRUE(calls.Run(waiting)) << "the waiting call no longer runs by its own token";
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(calls.Finish(waiting));
  EXPECT_TRUE(other.Run(foreign));
  EXPECT_EQ(otherRuns, 1);
}

// Many random values against a waiting call: none runs it (a check is 64 bits wide in a 64-bit build).
TEST(PendingCalls, RandomTokensNeverRunAWaitingCall) {
  PendingCalls calls(kKey);
  int runs = 0;
  const std::function<void()> call = [&] { ++runs; };
  const CallToken waiting = calls.Add(call);
  std::mt19937_64 random(7);
  for (int i = 0; i < 100000; ++i) {
    const CallToken token{i % 2 == 0 ? waiting.serial : static_cast<std::uintptr_t>(random() % 16),
                          static_cast<std::uintptr_t>(random())};
    if (token.serial == waiting.serial && token.check == waiting.check) continue;
    ASSERT_FALSE(calls.Run(token)) << Describe(token);
  }
  EXPECT_EQ(runs, 0);
  EXPECT_FALSE(calls.Finish(waiting)) << "the call counts as run";
}

TEST(PendingCalls, TokensDependOnTheKey) {
  PendingCalls one(1);
  PendingCalls two(2);
  const std::function<void()> nothing = [] {};
  std::vector<CallToken> first, second;
  for (int i = 0; i < 8; ++i) {
    first.push_back(one.Add(nothing));
    second.push_back(two.Add(nothing));
  }
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].serial, second[i].serial);
    EXPECT_NE(first[i].check, second[i].check) << "serial " << first[i].serial;
    if (i > 0) {
      EXPECT_NE(first[i].check, first[i - 1].check) << "serial " << first[i].serial;
    }
  }
}

TEST(PendingCalls, AnExceptionFromTheCallLeavesItRun) {
  PendingCalls calls(kKey);
  const std::function<void()> call = [] { throw 42; };
  const CallToken token = calls.Add(call);
  EXPECT_THROW(calls.Run(token), int);
  EXPECT_FALSE(calls.Run(token));
  EXPECT_TRUE(calls.Finish(token));
}

// The way the program uses it: a waiting thread registers its call and waits; the main thread runs it by
// the token it was handed; the waiting thread then finishes it.
TEST(PendingCalls, ACallFromAnotherThreadRunsOnTheServingThread) {
  PendingCalls calls(kKey);
  const std::thread::id serving = std::this_thread::get_id();
  std::thread::id ranOn;
  const std::function<void()> call = [&] { ranOn = std::this_thread::get_id(); };
  CallToken token;
  std::thread waiting([&] { token = calls.Add(call); });
  waiting.join();
  EXPECT_TRUE(calls.Run(token));
  bool ran = false;
  std::thread finishing([&] { ran = calls.Finish(token); });
  finishing.join();
  EXPECT_TRUE(ran);
  EXPECT_EQ(ranOn, serving);
}

}  // namespace
}  // namespace kv::testing
