// Stand-ins for the monitor form's parts: a timer that only remembers, mutexes that answer as told, an
// alert that answers as told, and a launcher, message boxes, scan starter and exit that record; the form's
// window and the system are made of them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/logic/form_parts.h"
#include "app/logic/monitor_form.h"
#include "app/logic/reg_thread.h"

namespace kv::testing {

class FakeTimer {
 public:
  void SetEnabled(bool enabled) {
    if (enabled && !enabled_) ++starts;
    enabled_ = enabled;
  }
  bool Enabled() const { return enabled_; }
  int starts = 0;  // how often the interval began afresh

 private:
  bool enabled_ = false;
};

class FakeMutexes {
 public:
  struct Log {
    std::vector<std::string> opened;
    int releases = 0;
    int closes = 0;
  };

  class Mutex : public NamedMutex {
   public:
    Mutex(MutexWait answer, Log& log, std::function<void()> duringWait)
        : answer_(answer), log_(log), duringWait_(std::move(duringWait)) {}
    ~Mutex() override { ++log_.closes; }
    MutexWait Wait(std::uint32_t) override {
      if (duringWait_) duringWait_();
      return answer_;
    }
    void Release() override { ++log_.releases; }

   private:
    MutexWait answer_;
    Log& log_;
    std::function<void()> duringWait_;
  };

  std::unique_ptr<NamedMutex> Open(const std::string& name) {
    log.opened.push_back(name);
    if (!openable) return nullptr;
    return std::make_unique<Mutex>(answer, log, duringWait);
  }

  MutexWait answer = MutexWait::kAcquired;
  bool openable = true;
  std::function<void()> duringWait;
  Log log;
};

class FakeAlert {
 public:
  bool ShowModal(const std::string& text) {
    texts.push_back(text);
    visible_ = true;
    if (whileShown) whileShown();
    return answerYes;
  }
  void Hide() { visible_ = false; }
  bool Visible() const { return visible_; }

  bool answerYes = false;
  std::function<void()> whileShown;
  std::vector<std::string> texts;

 private:
  bool visible_ = false;
};

class FakeLauncher {
 public:
  struct Opened {
    std::string file, parameters, folder;
  };
  std::string ProgramFolder() { return folder; }
  void Open(const std::string& file, const std::string& parameters, const std::string& dir) {
    opened.push_back({file, parameters, dir});
  }
  std::string folder = "C:\\Program Files\\Keyvane Pro\\";
  std::vector<Opened> opened;
};

class FakeMessages {
 public:
  void ShowError(const std::string& text) { errors.push_back(text); }
  std::vector<std::string> errors;
};

class FakeExit {
 public:
  void ClearMinimizeToTray() { ++minimizeToTrayCleared; }
  void CloseForm(bool alertUp) {
    ++closes;
    closedWithAlertUp = alertUp;
  }
  int minimizeToTrayCleared = 0;
  int closes = 0;
  bool closedWithAlertUp = false;
};

// The form's window made of the stand-ins above: its timer, its alert, its message boxes and its exit.
class FakeFormWindow : public FormWindow {
 public:
  void SetTimerEnabled(bool enabled) override { timer.SetEnabled(enabled); }
  bool ShowModal(const std::string& text) override { return alert.ShowModal(text); }
  void Hide() override { alert.Hide(); }
  bool Visible() const override { return alert.Visible(); }
  void ShowError(const std::string& text) override { messages.ShowError(text); }
  void ClearMinimizeToTray() override { exit.ClearMinimizeToTray(); }
  void CloseForm(bool alertUp) override { exit.CloseForm(alertUp); }

  FakeTimer timer;
  FakeAlert alert;
  FakeMessages messages;
  FakeExit exit;
};

// The system made of the stand-ins above: its mutexes and its launcher.
class FakeFormSystem : public FormSystem {
 public:
  std::unique_ptr<NamedMutex> OpenMutex(const std::string& name) override { return mutexes.Open(name); }
  std::string ProgramFolder() override { return launcher.ProgramFolder(); }
  void Open(const std::string& file, const std::string& parameters, const std::string& folder) override {
    launcher.Open(file, parameters, folder);
  }

  FakeMutexes mutexes;
  FakeLauncher launcher;
};

// The window and the system a form test gives the form, and each stand-in under its own name: a test
// fixture derives from it.
struct FakeFormParts {
  FakeFormWindow window_;
  FakeFormSystem system_;
  FakeTimer& timer_ = window_.timer;
  FakeAlert& alert_ = window_.alert;
  FakeMessages& messages_ = window_.messages;
  FakeExit& exit_ = window_.exit;
  FakeMutexes& mutexes_ = system_.mutexes;
  FakeLauncher& launcher_ = system_.launcher;
};

// A scan thread that never runs: it records what the form asks of it.
class FakeScanThread : public ScanThread {
 public:
  void Cancel(bool value) override { cancels.push_back(value); }
  void Terminate() override { terminated = true; }
  bool WaitFor(std::uint32_t milliseconds) override {
    waits.push_back(milliseconds);
    return ended;
  }
  std::vector<bool> cancels;
  bool terminated = false;
  bool ended = false;
  std::vector<std::uint32_t> waits;
};

class FakeStarter : public ScanStarter {
 public:
  std::shared_ptr<ScanThread> Start(ScanReport& form, std::int32_t mask) override {
    if (fail) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    masks.push_back(mask);
    reportTo = &form;
    last = std::make_shared<FakeScanThread>();
    return last;
  }
  bool fail = false;
  std::vector<std::int32_t> masks;
  ScanReport* reportTo = nullptr;
  std::shared_ptr<FakeScanThread> last;
};

// A main thread that serves every call at once, on the calling thread (for form tests with no thread).
class InlineMainThread : public MainThread {
 public:
  bool Synchronize(const std::function<void()>& call) override {
    if (closed) return false;
    call();
    return true;
  }
  void Close() override { closed = true; }
  void TurnAwayWaitingCalls() override { ++turnedAway; }
  bool closed = false;
  int turnedAway = 0;
};

}  // namespace kv::testing
