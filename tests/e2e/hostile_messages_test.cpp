// Another program may post, send or broadcast any message to the monitor's windows, with any parameters.
// Every message the monitor handles itself (its private message in the application range, the tray icon's
// callback message, timer messages, the registered messages) arrives here with parameters 0, -1 and random
// values, posted, sent and broadcast, while probes run: the monitor keeps running, answers, and its probes
// still reach the form (three faulty probes afterwards bring the alert, which only results handed over
// through its cross-thread calls can do). The registered messages that end it end it cleanly, whatever
// their parameters.
#include <cstdint>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

namespace kv::e2e {
namespace {

constexpr DWORD kStartMs = 15000;
constexpr UINT kCallMessage = WM_APP + 1;  // the scan thread's synchronized call
constexpr UINT kTrayCallback = 0x800;      // the tray icon's callback message
constexpr UINT kAppRangeEnd = 0xBFFF;      // the last message of the application range

struct Hostile {
  UINT message;
  std::string name;
};

std::string Hex(std::uintptr_t value) {
  std::ostringstream text;
  text << "0x" << std::hex << value;
  return text.str();
}

// Whether `window` answers an empty message within the time: its thread runs its message loop.
bool Answers(HWND window, UINT timeoutMs = 5000) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

TEST(HostileMessages, LeaveTheMonitorRunningAndProbing) {
  const unsigned seed = GetTickCount();
  SCOPED_TRACE("random seed " + std::to_string(seed));
  std::mt19937_64 random(seed);
  const auto any = [&] { return static_cast<std::uintptr_t>(random()); };

  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(SeededFault::kGroup);  // probes run during the barrage, and find nothing yet
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
  HWND form = monitor.Form();
  HWND tray = monitor.Tray();
  ASSERT_NE(form, nullptr);
  ASSERT_NE(tray, nullptr);

  std::vector<Hostile> messages;
  for (UINT m = WM_APP; m <= WM_APP + 16; ++m) messages.push_back({m, "WM_APP+" + std::to_string(m - WM_APP)});
  messages.push_back({kAppRangeEnd, "WM_APP range end"});
  messages.push_back({kTrayCallback, "tray callback"});
  messages.push_back({WM_TIMER, "WM_TIMER"});
  messages.push_back({RegisterWindowMessageA("TaskbarCreated"), "TaskbarCreated"});

  // Parameters: 0, -1 and random values; for WM_TIMER the first parameter is the timer's id, and ids the
  // monitor does not use are given (its scheduled check and exit timers are 1 and 2; an id of 1 comes only
  // with a nonzero second parameter, a timer procedure that is none of the monitor's).
  const std::uintptr_t minusOne = static_cast<std::uintptr_t>(-1);
  const std::vector<std::uintptr_t> values = {0, minusOne, any(), any(), any() & 0xFFFF};
  const std::vector<std::uintptr_t> timerIds = {0, minusOne, 3, 0x7FFF, any(), 1};

  const auto hostileParameters = [&](const Hostile& hostile) {
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> pairs;
    const auto& firsts = hostile.message == WM_TIMER ? timerIds : values;
    for (std::uintptr_t w : firsts)
      for (std::uintptr_t l : values)
        if (!(hostile.message == WM_TIMER && w == 1 && l == 0)) pairs.push_back({w, l});
    return pairs;
  };

  ThreadWatch probes(monitor.pid());
  int sent = 0;
  for (int round = 0; round < 2; ++round) {
    for (const Hostile& hostile : messages) {
      for (const auto& [w, l] : hostileParameters(hostile)) {
        const std::string what = hostile.name + " (" + Hex(w) + ", " + Hex(l) + ")";
        const WPARAM wParam = static_cast<WPARAM>(w);
        const LPARAM lParam = static_cast<LPARAM>(l);
        for (HWND target : {form, tray}) {
          PostMessageA(target, hostile.message, wParam, lParam);
          SendNotifyMessageA(target, hostile.message, wParam, lParam);
          DWORD_PTR result = 0;
          SendMessageTimeoutA(target, hostile.message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &result);
          if (hostile.message == kCallMessage) {
            EXPECT_EQ(result, 0u) << what << " sent from another program ran a call";
          }
          sent += 3;
        }
        PostMessageA(HWND_BROADCAST, hostile.message, wParam, lParam);
        ++sent;
        ASSERT_TRUE(monitor.process().Running()) << "the monitor ended after " << what;
      }
      ASSERT_TRUE(Answers(form)) << "the monitor does not answer after " << hostile.name;
    }
  }
  std::printf("hostile messages: %d sent, posted or broadcast; %d probes seen meanwhile\n", sent, probes.Appeared());

  // Time for every posted message to be taken from the queue; the monitor still runs and answers.
  Sleep(1000);
  ASSERT_TRUE(monitor.process().Running()) << "exit code " << Hex(monitor.process().ExitCode());
  EXPECT_TRUE(Answers(form));
  EXPECT_TRUE(Answers(tray));
  EXPECT_FALSE(monitor.AlertShown()) << "the alert came without faulty probes";

  // Its probes still hand their results to the form: three faulty ones bring the alert.
  SeededFault fault;
  HWND alert = monitor.WaitForAlert(4 * kIntervalMs + 30000);
  ASSERT_NE(alert, nullptr) << "no alert after the hostile messages; threads seen:\n" << probes.Describe();
  const auto no = FindChild(alert, "Button", "No");
  ASSERT_TRUE(no.has_value());
  Click(no->hwnd);
  EXPECT_TRUE(WaitUntil([&] { return !monitor.AlertShown(); }, kStartMs));
  EXPECT_TRUE(StandInStarts(install.standInLog()).empty()) << "the full cleaner was started";

  // The registered message that ends it, with hostile parameters: a clean end.
  UINT mustDie = RegisterWindowMessageA("KVMustDie");
  ASSERT_TRUE(PostMessageA(form, mustDie, static_cast<WPARAM>(minusOne), static_cast<LPARAM>(any())));
  ASSERT_TRUE(monitor.process().WaitForExit(10000)) << "KVMustDie with hostile parameters did not end it";
  EXPECT_EQ(monitor.process().ExitCode(), 0u);
}

// The other message that ends the monitor, broadcast with hostile parameters, ends it cleanly too.
TEST(HostileMessages, BroadcastEndMessageEndsTheMonitorCleanly) {
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(0);
  MonitorInstall install(/*withStandIn=*/false);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
  const UINT disable = RegisterWindowMessageA("KVMonitoringDisable");
  ASSERT_TRUE(PostMessageA(HWND_BROADCAST, disable, static_cast<WPARAM>(-1), static_cast<LPARAM>(0x5A5A5A5A5A5A)));
  ASSERT_TRUE(monitor.process().WaitForExit(10000));
  EXPECT_EQ(monitor.process().ExitCode(), 0u);
}

}  // namespace
}  // namespace kv::e2e
