// The alert: three faulty probes in a row bring it, its answers start the full cleaner or not, and a
// check made while the full cleaner runs starts the count of three again.
#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

namespace kv::e2e {
namespace {

constexpr DWORD kStartMs = 15000;
constexpr DWORD kSlackMs = 60000;
// Three probes, each one interval after the result of the one before, and time to spare.
constexpr DWORD kThreeProbesMs = 3 * kIntervalMs + kSlackMs;

const char* const kAlertText =
    "The registry may contain errors. Run Keyvane Pro\rto perform a full scan of the registry?";

// Everything the alert must hold; on a mismatch, lists what it does hold.
void ExpectAlertLayout(HWND alert) {
  EXPECT_EQ(TextOf(alert), "Keyvane Pro Monitor");
  const auto label = FindChild(alert, "Static", kAlertText);
  const auto yes = FindChild(alert, "Button", "Yes");
  const auto no = FindChild(alert, "Button", "No");
  EXPECT_TRUE(label.has_value()) << "no label with the alert text";
  EXPECT_TRUE(yes && yes->id == IDYES) << "no button \"Yes\" with id " << IDYES;
  EXPECT_TRUE(no && no->id == IDNO) << "no button \"No\" with id " << IDNO;
  if (!label || !yes || !no) {
    for (const Control& control : ChildrenOf(alert))
      ADD_FAILURE() << "control " << control.className << " id " << control.id << " \"" << Visible(control.text)
                    << "\"";
  }
}

// Presses one of the alert's buttons and waits until the alert is gone.
void Answer(const Monitor& monitor, HWND alert, const char* button) {
  const auto control = FindChild(alert, "Button", button);
  ASSERT_TRUE(control.has_value()) << "no button " << button;
  Click(control->hwnd);
  ASSERT_TRUE(WaitUntil([&] { return !monitor.AlertShown(); }, kStartMs)) << "the alert stays after " << button;
}

TEST(Alert, ComesAfterThreeFaultyProbesAndItsAnswersActAsChosen) {
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(SeededFault::kGroup);
  SeededFault fault(kSlowProbeEntries);
  MonitorInstall install(/*withStandIn=*/true);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));

  auto probes = std::make_unique<ThreadWatch>(monitor.pid());
  HWND alert = monitor.WaitForAlert(kThreeProbesMs);
  ASSERT_NE(alert, nullptr) << "no alert after three faulty probes";
  EXPECT_GE(probes->Appeared(), 3) << "the alert came before three probes: " << probes->Describe();
  ExpectAlertLayout(alert);
  RECT area{};
  GetWindowRect(alert, &area);
  Screenshot("alert", &area);

  // "No": the full cleaner is not started, and the history starts again.
  ASSERT_NO_FATAL_FAILURE(Answer(monitor, alert, "No"));
  probes = std::make_unique<ThreadWatch>(monitor.pid());
  alert = monitor.WaitForAlert(kThreeProbesMs);
  ASSERT_NE(alert, nullptr) << "no alert after three further faulty probes";
  EXPECT_GE(probes->Appeared(), 3) << "the next alert came before three further probes: " << probes->Describe();
  EXPECT_TRUE(StandInStarts(install.standInLog()).empty()) << "\"No\" started the full cleaner";

  // The close box counts as "No".
  PostMessageA(alert, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !monitor.AlertShown(); }, kStartMs)) << "the close box does not close the alert";
  ASSERT_TRUE(monitor.process().Running()) << "closing the alert ended the monitor";
  probes = std::make_unique<ThreadWatch>(monitor.pid());
  alert = monitor.WaitForAlert(kThreeProbesMs);
  ASSERT_NE(alert, nullptr) << "no alert after the one closed";
  EXPECT_GE(probes->Appeared(), 3) << probes->Describe();
  EXPECT_TRUE(StandInStarts(install.standInLog()).empty()) << "closing the alert started the full cleaner";

  // "Yes": the full cleaner beside the monitor, with "Monitoring", in its own folder.
  ASSERT_NO_FATAL_FAILURE(Answer(monitor, alert, "Yes"));
  std::vector<StandInStart> started;
  ASSERT_TRUE(WaitUntil(
      [&] {
        started = StandInStarts(install.standInLog());
        return !started.empty();
      },
      kStartMs))
      << "\"Yes\" did not start the full cleaner";
  ASSERT_EQ(started.size(), 1u);
  const std::string& commandLine = started[0].commandLine;
  EXPECT_EQ(ArgumentsOf(commandLine), "Monitoring") << "command line: " << commandLine;
  EXPECT_NE(commandLine.find("vanetide.exe"), std::string::npos) << "command line: " << commandLine;
  std::string folder = install.folder();
  folder.pop_back();
  EXPECT_EQ(started[0].workingFolder, folder) << "the full cleaner was not started in its own folder";
  EXPECT_TRUE(monitor.process().Running());
}

TEST(Alert, YesWithoutTheFullCleanerNamesTheMissingFile) {
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(SeededFault::kGroup);
  SeededFault fault;
  MonitorInstall install(/*withStandIn=*/false);
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
  HWND alert = monitor.WaitForAlert(kThreeProbesMs);
  ASSERT_NE(alert, nullptr) << "no alert after three faulty probes";

  Click(FindChild(alert, "Button", "Yes").value_or(Control{}).hwnd);
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        box = FindWindowOfProcess(monitor.pid(), "#32770", /*mustBeVisible=*/true);
        return box != nullptr;
      },
      kStartMs))
      << "no message box after \"Yes\"";
  EXPECT_EQ(TextOf(box), "Keyvane Pro Monitor");
  EXPECT_EQ(GetWindow(box, GW_OWNER), monitor.Form()) << "the message box is not owned by the form";
  const std::string expected = "Cannot find the file " + install.standInPath();
  EXPECT_TRUE(FindChild(box, "Static", expected).has_value()) << "no text \"" << expected << "\"";
  bool errorIcon = false;
  for (const Control& control : ChildrenOf(box)) {
    if ((control.style & SS_TYPEMASK) == SS_ICON && lstrcmpiA(control.className.c_str(), "Static") == 0)
      errorIcon = true;
    if (control.text.rfind("Cannot find", 0) == 0 && control.text != expected)
      ADD_FAILURE() << "the message box says \"" << control.text << "\"";
  }
  EXPECT_TRUE(errorIcon) << "the message box shows no icon";
  RECT area{};
  GetWindowRect(box, &area);
  Screenshot("cannot-find-the-file", &area);

  const auto ok = FindChild(box, "Button", "OK");
  ASSERT_TRUE(ok.has_value());
  Click(ok->hwnd);
  EXPECT_TRUE(WaitUntil([&] { return FindWindowOfProcess(monitor.pid(), "#32770", true) == nullptr; }, kStartMs));
  // Nothing else changes: the monitor goes on, its alert put away.
  EXPECT_TRUE(WaitUntil([&] { return !monitor.AlertShown(); }, kStartMs));
  EXPECT_TRUE(monitor.process().Running());
}

TEST(Alert, ACheckWhileTheFullCleanerRunsClearsTheHistory) {
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(SeededFault::kGroup);
  SeededFault fault(kSlowProbeEntries);
  MonitorInstall install(/*withStandIn=*/true);
  ScratchFolder helper;
  const std::string helperLog = helper.path() + "helper.log";
  Monitor monitor(install);
  ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));

  // The first alert leaves a known state: an empty history, the timer just started. Two faulty probes
  // go into the history; then the full cleaner holds its mutex across the next check (for two intervals,
  // so that a late timer still falls inside). Should the cleaner come up too late for that check (a
  // third probe starts first), the round is answered and tried again.
  std::unique_ptr<ThreadWatch> probes;
  Process cleaner;
  for (int round = 1;; ++round) {
    ASSERT_LE(round, 3) << "the full cleaner never took its mutex before the third probe";
    HWND alert = monitor.WaitForAlert(kThreeProbesMs);
    ASSERT_NE(alert, nullptr) << "no alert after three faulty probes";
    ASSERT_NO_FATAL_FAILURE(Answer(monitor, alert, "No"));
    probes = std::make_unique<ThreadWatch>(monitor.pid());
    ASSERT_TRUE(WaitUntil([&] { return probes->Ended() >= 2 || monitor.AlertShown(); }, 2 * kIntervalMs + kSlackMs));
    if (monitor.AlertShown()) continue;
    cleaner = StartStandIn("--hold-mutex " + std::to_string(2 * kIntervalMs + 1500), helperLog);
    ASSERT_TRUE(WaitUntil([&] { return LogHas(helperLog, "holding", "Vanetide") || monitor.AlertShown(); }, kStartMs));
    probes->CatchUp();
    if (probes->Appeared() == 2 && !monitor.AlertShown()) break;
    cleaner.WaitForExit(3 * kIntervalMs + kSlackMs);
    DeleteFileA(helperLog.c_str());
  }

  const int beforeHold = probes->Appeared();
  ASSERT_TRUE(cleaner.WaitForExit(3 * kIntervalMs + kSlackMs));
  EXPECT_EQ(cleaner.ExitCode(), 0u);
  EXPECT_EQ(probes->Appeared(), beforeHold)
      << "a probe ran while the full cleaner held its mutex: " << probes->Describe();
  EXPECT_FALSE(monitor.AlertShown());

  // Two faulty results were in the history before the skipped check; had they stayed, the next faulty
  // probe would bring the alert. Cleared, it takes three.
  HWND alert = monitor.WaitForAlert(kThreeProbesMs);
  ASSERT_NE(alert, nullptr) << "no alert after the full cleaner ended";
  EXPECT_GE(probes->Appeared() - beforeHold, 3)
      << "the check during the full cleaner's run kept the history: " << probes->Describe();
}

}  // namespace
}  // namespace kv::e2e
