// Start-up and end of the monitor: one instance per user, the Windows versions it refuses, the settings
// that switch it off and the two window messages of the full cleaner.
#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

namespace kv::e2e {
namespace {

// Generous bounds for what has no bound of its own: a program starting under Wine, a check coming round.
constexpr DWORD kStartMs = 15000;
constexpr DWORD kSlackMs = 30000;
// A second instance waits 200 ms for the single-instance mutex; Wine needs up to about 2 s to start it.
constexpr DWORD kSecondInstanceBoundMs = 200 + 2000;
// Exit waits at most twice 2000 ms for a running probe; 1 s more covers the process ending under Wine.
constexpr DWORD kExitBoundMs = 4000 + 1000;

TEST(Start, SecondInstanceEndsAtOnceAndTheFirstKeepsRunning) {
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(0);  // nothing to probe: no alert can come up during the test
  MonitorInstall install(/*withStandIn=*/true);
  Monitor first(install);
  ASSERT_TRUE(first.WaitUntilRunning(kStartMs)) << "the first monitor did not come up";

  const auto started = Clock::now();
  Process second = Process::Start(install.monitorPath(), "", ScratchRoot());
  ASSERT_TRUE(second.started());
  // It ends silently: no window of its own is ever shown, no tray icon made.
  bool showedSomething = false;
  const bool ended = WaitUntil(
      [&] {
        for (HWND window : WindowsOfProcess(second.pid()))
          if (IsWindowVisible(window) || ClassOf(window) == "TTrayIcon") showedSomething = true;
        return !second.Running();
      },
      kSecondInstanceBoundMs + kSlackMs, 5);
  const long long lifetime = MillisecondsSince(started);
  ASSERT_TRUE(ended) << "the second instance keeps running";
  EXPECT_FALSE(showedSomething) << "the second instance showed a window or made a tray icon";
  std::printf("second instance: ended %lld ms after it was started\n", lifetime);
  EXPECT_LE(lifetime, kSecondInstanceBoundMs);
  EXPECT_EQ(second.ExitCode(), 0u);

  EXPECT_TRUE(first.process().Running());
  EXPECT_NE(first.Form(), nullptr);
  EXPECT_NE(first.Tray(), nullptr);

  // The full cleaner ends the first one; the mutex is then free for a new monitor.
  const std::string log = ScratchFolder().path() + "helper.log";
  EXPECT_EQ(RunStandIn("--post KVMustDie", log), 0);
  EXPECT_TRUE(first.process().WaitForExit(kExitBoundMs));
  EXPECT_EQ(first.process().ExitCode(), 0u);

  Monitor third(install);
  EXPECT_TRUE(third.WaitUntilRunning(kStartMs)) << "no monitor could start after the first one ended";
}

struct SwitchOffCase {
  const char* name;
  bool atStart;  // "Monitoring" is 0 before the monitor starts, or is set to 0 while it runs
};

class MonitoringSwitchedOff : public ::testing::TestWithParam<SwitchOffCase> {};

TEST_P(MonitoringSwitchedOff, EndsTheMonitor) {
  ScopedSettings settings;
  settings.monitoring.SetDword(GetParam().atStart ? 0 : 1);
  settings.mask.SetDword(0);
  MonitorInstall install(/*withStandIn=*/true);
  ScratchFolder helper;
  Monitor monitor(install);
  if (GetParam().atStart) {
    ASSERT_TRUE(monitor.process().WaitForExit(kStartMs)) << "the monitor runs although monitoring is off";
  } else {
    ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
    ASSERT_EQ(RunStandIn("--set-monitoring 0", helper.path() + "helper.log"), 0);
    // The settings are read at each check, which comes one interval after the last.
    ASSERT_TRUE(monitor.process().WaitForExit(kIntervalMs + kSlackMs)) << "the monitor did not end at its next check";
  }
  EXPECT_EQ(monitor.process().ExitCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Start, MonitoringSwitchedOff,
                         ::testing::Values(SwitchOffCase{"AtStartUp", true}, SwitchOffCase{"AtTheNextCheck", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct VersionCase {
  const char* wineVersion;
  bool supported;
};

class WindowsVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(WindowsVersion, DecidesWhetherTheMonitorRuns) {
  const VersionCase& version = GetParam();
  ScopedWineVersion wine(version.wineVersion);
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(0);
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);

  if (version.supported) {
    ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs)) << "the monitor does not run under " << version.wineVersion;
    EXPECT_EQ(FindWindowOfProcess(monitor.pid(), "Tdlg_okhelp"), nullptr);
    return;
  }

  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        dialog = FindWindowOfProcess(monitor.pid(), "Tdlg_okhelp", /*mustBeVisible=*/true);
        return dialog != nullptr || !monitor.process().Running();
      },
      kStartMs))
      << "no version dialog within the time";
  ASSERT_NE(dialog, nullptr) << "the monitor ended without the version dialog, exit code "
                             << monitor.process().ExitCode();

  EXPECT_EQ(TextOf(dialog), "Keyvane Pro");
  const auto message = FindChild(dialog, "Static", "Sorry, Keyvane Pro cannot run\r\nunder this version of Windows.");
  const auto link = FindChild(dialog, "Static", "Help: System Requirements");
  const auto ok = FindChild(dialog, "Button", "OK");
  EXPECT_TRUE(message.has_value()) << "no message label";
  EXPECT_TRUE(link.has_value()) << "no help link";
  ASSERT_TRUE(ok.has_value()) << "no OK button";
  EXPECT_EQ(ok->id, IDOK);
  if (!message || !link) {
    for (const Control& control : ChildrenOf(dialog))
      ADD_FAILURE() << "control " << control.className << " id " << control.id << " \"" << Visible(control.text)
                    << "\"";
  }
  // Nothing of the monitor exists besides the dialog: no tray icon, no form.
  EXPECT_EQ(monitor.Tray(), nullptr) << "a tray icon exists beside the version dialog";
  EXPECT_EQ(monitor.Form(), nullptr);

  RECT area{};
  GetWindowRect(dialog, &area);
  Screenshot(std::string("version-dialog-") + version.wineVersion, &area);

  Click(ok->hwnd);
  ASSERT_TRUE(monitor.process().WaitForExit(kStartMs)) << "the monitor did not end after the version dialog";
  EXPECT_EQ(monitor.process().ExitCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Start, WindowsVersion,
                         ::testing::Values(VersionCase{"win95", false}, VersionCase{"nt40", false},
                                           VersionCase{"win98", true}, VersionCase{"win2k", true}),
                         [](const auto& info) { return std::string(info.param.wineVersion); });

// Either registered message ends the monitor while a probe runs: the probe is cancelled, so its result
// never reaches the history and no alert comes up, and the program is gone within the bounded waits.
class RegisteredMessage : public ::testing::TestWithParam<const char*> {};

TEST_P(RegisteredMessage, EndsTheMonitorDuringAProbe) {
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(SeededFault::kGroup);
  SeededFault fault(kSlowProbeEntries);
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
  ThreadWatch probes(monitor.pid());

  // Two faulty probes first, so that the one cut short would be the third and its result, if it were
  // still recorded, would bring the alert. An alert here means a probe went by unseen: answer it, and
  // the history starts again.
  ASSERT_TRUE(WaitUntil(
      [&] {
        if (HWND alert = monitor.Form(); alert != nullptr && IsWindowVisible(alert))
          if (auto no = FindChild(alert, "Button", "No")) Click(no->hwnd);
        return probes.Ended() >= 2;
      },
      3 * kIntervalMs + kSlackMs));
  // Posted while the probe's thread runs; one that ends just before is let go for the next.
  HWND form = monitor.Form();
  ASSERT_NE(form, nullptr);
  bool posted = false;
  for (int attempt = 0; attempt < 3 && !posted; ++attempt) {
    ASSERT_TRUE(probes.WaitForNewThread(2 * kIntervalMs + kSlackMs)) << "no probe started";
    if (probes.NewThreadAlive()) posted = PostRegistered(form, GetParam());
    if (!posted) WaitUntil([&] { return !probes.NewThreadAlive(); }, 2 * kIntervalMs + kSlackMs);
  }
  ASSERT_TRUE(posted) << "no probe lasted long enough to post " << GetParam() << " during it";
  const auto postedAt = Clock::now();
  bool alertSeen = false;
  const bool ended = WaitUntil(
      [&] {
        alertSeen = alertSeen || monitor.AlertShown();
        return !monitor.process().Running();
      },
      kExitBoundMs + kSlackMs, 10);
  const long long exitMs = MillisecondsSince(postedAt);
  std::printf("%s: the monitor ended %lld ms after the message\n", GetParam(), exitMs);
  ASSERT_TRUE(ended) << "the monitor keeps running after " << GetParam();
  EXPECT_LE(exitMs, kExitBoundMs);
  EXPECT_FALSE(alertSeen) << "the alert came up while the monitor was ending";
  EXPECT_EQ(monitor.process().ExitCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Start, RegisteredMessage, ::testing::Values("KVMustDie", "KVMonitoringDisable"),
                         [](const auto& info) { return std::string(info.param); });

// The exit stays bounded while a probe works through the worst single values a user can write: a start-up
// command of a megabyte of words, of dotted words, of words that each hold a backslash, of long words.
struct WorstValue {
  const char* name;
  const char* word;
  std::size_t repeat;  // characters of the word
};

class WorstValueProbe : public ::testing::TestWithParam<WorstValue> {};

TEST_P(WorstValueProbe, ExitStaysWithinItsBound) {
  std::string word = GetParam().word;
  if (GetParam().repeat > word.size()) word = std::string(GetParam().repeat, word[0]);
  std::string value;
  while (value.size() < (std::size_t{1} << 20)) value.append(value.empty() ? "" : " ").append(word);
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(SeededFault::kGroup);
  ScopedRegValue worst(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "kv-e2e-worst");
  worst.SetString(value);
  SeededFault fault(kSlowProbeEntries);
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
  ThreadWatch probes(monitor.pid());
  HWND form = monitor.Form();
  ASSERT_NE(form, nullptr);
  bool posted = false;
  for (int attempt = 0; attempt < 3 && !posted; ++attempt) {
    ASSERT_TRUE(probes.WaitForNewThread(2 * kIntervalMs + kSlackMs)) << "no probe started";
    if (probes.NewThreadAlive()) posted = PostRegistered(form, "KVMustDie");
    if (!posted) WaitUntil([&] { return !probes.NewThreadAlive(); }, 2 * kIntervalMs + kSlackMs);
  }
  ASSERT_TRUE(posted) << "no probe lasted long enough to post KVMustDie during it";
  const auto postedAt = Clock::now();
  const bool ended = monitor.process().WaitForExit(kExitBoundMs + kSlackMs);
  const long long exitMs = MillisecondsSince(postedAt);
  std::printf("%s: the monitor ended %lld ms after KVMustDie\n", GetParam().name, exitMs);
  ASSERT_TRUE(ended) << "the monitor keeps running during the probe of " << GetParam().name;
  EXPECT_LE(exitMs, kExitBoundMs) << GetParam().name;
  EXPECT_EQ(monitor.process().ExitCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Start, WorstValueProbe,
                         ::testing::Values(WorstValue{"ManyWords", "a", 1}, WorstValue{"DottedWords", "a.b", 3},
                                           WorstValue{"BackslashWords", "a\\b", 3}, WorstValue{"LongWords", "x", 1000}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv::e2e
