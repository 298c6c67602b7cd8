// The monitor form's decisions over fake parts: the alert rule, the scheduled check and the full
// cleaner's mutex, the settings, the start of the full cleaner and the program's end.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/logic/monitor_form.h"
#include "tests/monitor/form_fakes.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

const std::string kSettings = std::string("HKCU\\") + kSettingsKey;

std::string Join(const std::vector<std::int32_t>& values) {
  std::string text;
  for (std::int32_t v : values) text += (text.empty() ? "" : ", ") + std::to_string(v);
  return text;
}

class MonitorFormTest : public ::testing::Test, protected FakeFormParts {
 protected:
  MonitorFormTest() { engine_ = &machine_.Load(); }

  MonitorForm& Form() {
    if (!form_) {
      form_ = std::make_unique<MonitorForm>(*engine_, FormParts{window_, system_, starter_, mainThread_});
    }
    return *form_;
  }
  // A created form whose history already holds `results`.
  MonitorForm& FormWithHistory(const std::vector<std::int32_t>& results) {
    Form().FormCreate();
    for (std::int32_t r : results) Form().RecordResult(r);
    return Form();
  }
  void SetDword(const std::string& name, std::uint32_t value) {
    machine_.memory.registry.SetDword(kSettings, name, value);
  }
  std::string CleanerPath() const { return launcher_.folder + "vanetide.exe"; }

  MemoryMachine machine_;
  Engine* engine_ = nullptr;
  FakeStarter starter_;
  InlineMainThread mainThread_;
  std::unique_ptr<MonitorForm> form_;
};

TEST_F(MonitorFormTest, CreationStartsTheTimerWithoutAScan) {
  Form().FormCreate();
  EXPECT_TRUE(timer_.Enabled());
  EXPECT_TRUE(starter_.masks.empty());
  EXPECT_TRUE(mutexes_.log.opened.empty());
  EXPECT_FALSE(engine_->ShuttingDown);
  EXPECT_EQ(Form().History().Count(), 0);
  EXPECT_EQ(exit_.closes, 0);
}

TEST_F(MonitorFormTest, ThreeFaultyResultsInARowBringTheAlert) {
  struct Case {
    std::vector<std::int32_t> results;
    std::vector<int> alertAfter;  // positions (from 1) of the results after which the alert came
    int historyAfter;
  };
  const std::vector<Case> cases = {
      {{3, 5, 2}, {3}, 0},
      {{3, 0, 4, 4}, {}, 2},
      {{3, 0, 4, 4, 1}, {5}, 0},
      {{2, -1, 2, 2}, {}, 2},
      {{1, 1, 1, 1, 1}, {3}, 2},  // after an alert, three further faulty probes are needed
      {{1, 1, 1, 1, 1, 1}, {3, 6}, 0},
      {{7, 7, -1, 7, 7, 0, 7}, {}, 1},
  };
  for (const Case& c : cases) {
    alert_ = FakeAlert();
    form_.reset();
    Form().FormCreate();
    std::vector<int> alertAfter;
    for (std::size_t i = 0; i < c.results.size(); ++i) {
      const std::size_t before = alert_.texts.size();
      Form().RecordResult(c.results[i]);
      if (alert_.texts.size() != before) alertAfter.push_back(static_cast<int>(i + 1));
      EXPECT_TRUE(timer_.Enabled()) << Join(c.results) << ": the timer runs again after result " << i + 1;
      EXPECT_FALSE(alert_.Visible()) << Join(c.results);
    }
    EXPECT_EQ(alertAfter, c.alertAfter) << Join(c.results);
    EXPECT_EQ(Form().History().Count(), c.historyAfter) << Join(c.results);
    for (const std::string& text : alert_.texts) EXPECT_EQ(text, kAlertText) << Join(c.results);
  }
}

TEST_F(MonitorFormTest, TheHistoryKeepsTheLastThreeResultsOldestFirst) {
  ResultHistory history;
  for (std::int32_t r : {4, 5, 6, 7}) history.Record(r);
  EXPECT_EQ(history.Count(), 3);
  EXPECT_EQ(history.Results(), (std::array<std::int32_t, 3>{5, 6, 7}));
  history.Record(0);
  EXPECT_EQ(history.Count(), 0);
  EXPECT_EQ(history.Results(), (std::array<std::int32_t, 3>{0, 0, 0}));
}

TEST_F(MonitorFormTest, TheTimerIsOffWhileTheAlertIsUp) {
  bool timerDuringAlert = true;
  alert_.whileShown = [&] { timerDuringAlert = timer_.Enabled(); };
  FormWithHistory({1, 1, 1});
  EXPECT_FALSE(timerDuringAlert);
  EXPECT_TRUE(timer_.Enabled());
}

TEST_F(MonitorFormTest, YesStartsTheFullCleanerWithMonitoring) {
  machine_.memory.files.AddFile(CleanerPath());
  alert_.answerYes = true;
  FormWithHistory({1, 2, 3});
  ASSERT_EQ(launcher_.opened.size(), 1u);
  EXPECT_EQ(launcher_.opened[0].file, CleanerPath());
  EXPECT_EQ(launcher_.opened[0].parameters, "Monitoring");
  EXPECT_EQ(launcher_.opened[0].folder, launcher_.folder);
  EXPECT_TRUE(messages_.errors.empty());
}

TEST_F(MonitorFormTest, NoStartsNothing) {
  machine_.memory.files.AddFile(CleanerPath());
  alert_.answerYes = false;
  FormWithHistory({1, 2, 3});
  EXPECT_EQ(alert_.texts.size(), 1u);
  EXPECT_TRUE(launcher_.opened.empty());
  EXPECT_TRUE(messages_.errors.empty());
}

TEST_F(MonitorFormTest, YesWithTheCleanerMissingNamesTheFullPath) {
  alert_.answerYes = true;
  FormWithHistory({1, 2, 3});
  EXPECT_TRUE(launcher_.opened.empty());
  EXPECT_EQ(messages_.errors, std::vector<std::string>{"Cannot find the file " + CleanerPath()});
  EXPECT_EQ(Form().History().Count(), 0);
  EXPECT_TRUE(timer_.Enabled());
}

TEST_F(MonitorFormTest, AFolderNamedLikeTheCleanerIsNoCleaner) {
  machine_.memory.files.AddDirectory(CleanerPath());
  Form().FormCreate();
  Form().acRunVanetiderExecute();
  EXPECT_TRUE(launcher_.opened.empty());
  EXPECT_EQ(messages_.errors, std::vector<std::string>{"Cannot find the file " + CleanerPath()});
}

// Each answer of the wait on the full cleaner's mutex, with two faulty results already recorded.
TEST_F(MonitorFormTest, TheCheckProbesOnlyWhenTheCleanerIsNotRunning) {
  struct Case {
    const char* name;
    MutexWait answer;
    bool openable;
    bool scans;
    int releases;
  };
  const std::vector<Case> cases = {
      {"free", MutexWait::kAcquired, true, true, 1},
      {"held by the cleaner", MutexWait::kTimeout, true, false, 0},
      {"abandoned: owned, but counts as not taken", MutexWait::kAbandoned, true, false, 1},
      {"wait failed", MutexWait::kFailed, true, false, 0},
      {"cannot be opened", MutexWait::kAcquired, false, false, 0},
  };
  for (const Case& c : cases) {
    mutexes_ = FakeMutexes();
    mutexes_.answer = c.answer;
    mutexes_.openable = c.openable;
    starter_ = FakeStarter();
    form_.reset();
    FormWithHistory({4, 4});
    Form().Timer1Timer();
    EXPECT_EQ(mutexes_.log.opened, std::vector<std::string>{"Vanetide"}) << c.name;
    EXPECT_EQ(starter_.masks.size(), c.scans ? 1u : 0u) << c.name;
    EXPECT_EQ(mutexes_.log.releases, c.releases) << c.name;
    EXPECT_EQ(mutexes_.log.closes, c.openable ? 1 : 0) << c.name;
    if (c.scans) {
      EXPECT_FALSE(timer_.Enabled()) << c.name << ": the timer waits for the result";
      EXPECT_EQ(Form().History().Count(), 2) << c.name;
    } else {
      EXPECT_TRUE(timer_.Enabled()) << c.name;
      EXPECT_EQ(Form().History().Count(), 0) << c.name << ": a skipped check clears the history";
    }
  }
}

TEST_F(MonitorFormTest, NoCheckOnceTheProgramEnds) {
  Form().FormCreate();
  engine_->ShuttingDown = true;
  Form().Timer1Timer();
  EXPECT_TRUE(mutexes_.log.opened.empty());
  EXPECT_TRUE(starter_.masks.empty());

  // Ending while the check waits for the mutex: no scan, and the mutex is released.
  engine_->ShuttingDown = false;
  mutexes_.duringWait = [&] { engine_->ShuttingDown = true; };
  Form().Timer1Timer();
  EXPECT_TRUE(starter_.masks.empty());
  EXPECT_EQ(mutexes_.log.releases, 1);
  EXPECT_EQ(mutexes_.log.closes, 1);
}

// Each case first loads settings that select mask 3, then changes them and loads again.
TEST_F(MonitorFormTest, SettingsGiveTheMaskOr127) {
  struct Case {
    const char* name;
    std::function<void(MemoryRegistry&)> change;
    std::int32_t mask;
  };
  const std::vector<Case> cases = {
      {"both values", [](MemoryRegistry& r) { r.SetDword(kSettings, "Items For Monitoring", 5); }, 5},
      {"mask 0", [](MemoryRegistry& r) { r.SetDword(kSettings, "Items For Monitoring", 0); }, 0},
      {"any non-zero Monitoring", [](MemoryRegistry& r) { r.SetDword(kSettings, "Monitoring", 42); }, 3},
      {"key missing", [](MemoryRegistry& r) { r.DeleteKey(kSettings); }, 127},
      {"Monitoring missing", [](MemoryRegistry& r) { r.DeleteValue(kSettings, "Monitoring"); }, 127},
      {"mask missing", [](MemoryRegistry& r) { r.DeleteValue(kSettings, "Items For Monitoring"); }, 127},
      {"Monitoring a string", [](MemoryRegistry& r) { r.SetString(kSettings, "Monitoring", "1"); }, 127},
      {"mask a string", [](MemoryRegistry& r) { r.SetString(kSettings, "Items For Monitoring", "5"); }, 127},
      {"mask binary",
       [](MemoryRegistry& r) {
         r.SetValue(kSettings, "Items For Monitoring", REG_BINARY_TYPE, {5, 0, 0, 0});
       },
       127},
  };
  for (const Case& c : cases) {
    SetDword("Monitoring", 1);
    SetDword("Items For Monitoring", 3);
    form_.reset();
    Form().FormCreate();
    ASSERT_EQ(Form().MonitorMask(), 3) << c.name;
    c.change(machine_.memory.registry);
    EXPECT_TRUE(Form().LoadSettings()) << c.name;
    EXPECT_EQ(Form().MonitorMask(), c.mask) << c.name;
    EXPECT_EQ(exit_.closes, 0) << c.name;
  }
  EXPECT_EQ(machine_.audit.OpenKeys(), 0u);
}

TEST_F(MonitorFormTest, EachScanGetsTheMaskReadJustBeforeIt) {
  SetDword("Monitoring", 1);
  SetDword("Items For Monitoring", 3);
  Form().FormCreate();
  SetDword("Items For Monitoring", 64);
  Form().Timer1Timer();
  EXPECT_EQ(starter_.masks, std::vector<std::int32_t>{64});
  EXPECT_EQ(starter_.reportTo, &Form());
}

TEST_F(MonitorFormTest, MonitoringOffAtStartEndsTheProgramWithoutAScan) {
  SetDword("Monitoring", 0);
  SetDword("Items For Monitoring", 3);
  Form().FormCreate();
  EXPECT_EQ(exit_.closes, 1);
  EXPECT_TRUE(engine_->ShuttingDown);
  EXPECT_FALSE(timer_.Enabled());
  EXPECT_EQ(Form().MonitorMask(), 127) << "the mask is not read when monitoring is off";
  Form().Timer1Timer();
  EXPECT_TRUE(starter_.masks.empty());
}

TEST_F(MonitorFormTest, MonitoringSwitchedOffEndsTheProgramAtTheNextCheck) {
  SetDword("Monitoring", 1);
  Form().FormCreate();
  SetDword("Monitoring", 0);
  Form().Timer1Timer();
  EXPECT_TRUE(starter_.masks.empty());
  EXPECT_EQ(exit_.closes, 1);
  EXPECT_TRUE(engine_->ShuttingDown);
  EXPECT_FALSE(timer_.Enabled());
  EXPECT_EQ(mutexes_.log.releases, 1);
}

TEST_F(MonitorFormTest, AThreadThatCannotStartCountsAsASkippedCheck) {
  FormWithHistory({2, 2});
  starter_.fail = true;
  Form().Timer1Timer();
  EXPECT_EQ(Form().History().Count(), 0);
  EXPECT_TRUE(timer_.Enabled());
}

TEST_F(MonitorFormTest, ExitDuringAScanCancelsIt) {
  Form().FormCreate();
  Form().Timer1Timer();
  ASSERT_TRUE(starter_.last);
  Form().SetScanRunning(true);
  Form().StopTimer();
  Form().acExitExecute();
  EXPECT_EQ(starter_.last->cancels, std::vector<bool>{true});
  EXPECT_TRUE(engine_->ShuttingDown);
  EXPECT_FALSE(timer_.Enabled());
  EXPECT_EQ(exit_.minimizeToTrayCleared, 1);
  EXPECT_EQ(exit_.closes, 1);
  EXPECT_FALSE(exit_.closedWithAlertUp);

  // The cancelled scan's result arrives afterwards: no alert, the timer stays off.
  Form().SetScanRunning(false);
  Form().RecordResult(-1);
  EXPECT_TRUE(alert_.texts.empty());
  EXPECT_FALSE(timer_.Enabled());
}

TEST_F(MonitorFormTest, ExitBetweenScansCancelsNothing) {
  Form().FormCreate();
  Form().Timer1Timer();
  Form().SetScanRunning(true);
  Form().SetScanRunning(false);
  Form().RecordResult(0);
  Form().acExitExecute();
  EXPECT_TRUE(starter_.last->cancels.empty());
  EXPECT_EQ(exit_.closes, 1);
}

TEST_F(MonitorFormTest, AFaultyResultArrivingAfterExitShowsNoAlert) {
  FormWithHistory({1, 1});
  Form().acExitExecute();
  Form().RecordResult(1);
  EXPECT_TRUE(alert_.texts.empty());
  EXPECT_FALSE(timer_.Enabled());
}

TEST_F(MonitorFormTest, ExitWhileTheAlertIsUpTerminatesTheApplication) {
  alert_.whileShown = [&] { Form().acExitExecute(); };
  alert_.answerYes = false;
  FormWithHistory({1, 1, 1});
  EXPECT_EQ(exit_.closes, 1);
  EXPECT_TRUE(exit_.closedWithAlertUp);
  EXPECT_FALSE(timer_.Enabled());
  EXPECT_FALSE(alert_.Visible());
}

TEST_F(MonitorFormTest, EitherRegisteredMessageEndsTheProgram) {
  Form().FormCreate();
  Form().EndMessage();
  EXPECT_GE(exit_.minimizeToTrayCleared, 1);
  EXPECT_EQ(exit_.closes, 1);
  EXPECT_TRUE(engine_->ShuttingDown);
}

TEST_F(MonitorFormTest, DestructionWaitsTwiceForAThreadThatDoesNotEnd) {
  Form().FormCreate();
  Form().Timer1Timer();
  Form().SetScanRunning(true);
  Form().acExitExecute();
  Form().FormDestroy();
  EXPECT_TRUE(mainThread_.closed);
  EXPECT_TRUE(starter_.last->terminated);
  // Twice 2000 ms in short steps, with calls on their way turned away between the steps.
  std::uint32_t waited = 0;
  for (std::uint32_t w : starter_.last->waits) waited += w;
  EXPECT_EQ(waited, 4000u);
  EXPECT_GE(mainThread_.turnedAway, 2);
}

TEST_F(MonitorFormTest, DestructionWaitsForNothingWhenTheThreadHasEnded) {
  Form().FormCreate();
  Form().Timer1Timer();
  starter_.last->ended = true;
  Form().FormDestroy();
  EXPECT_TRUE(mainThread_.closed);
  EXPECT_TRUE(engine_->ShuttingDown);
  EXPECT_FALSE(starter_.last->terminated);
  EXPECT_EQ(starter_.last->waits, std::vector<std::uint32_t>{0});
}

}  // namespace
}  // namespace kv::testing
