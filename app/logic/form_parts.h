// The parts of the monitor form that its decisions act on: the form's window and what the system does
// for it. The Win32 form implements them with real windows, timers, mutexes and the shell; tests fake them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kv {

// The form as a window: its timer (Timer1), the form shown as the modal Yes/No alert, the message boxes it
// owns and the program's end, which closing it conducts.
class FormWindow {
 public:
  virtual ~FormWindow() = default;

  // Timer1: a timer on the main thread. Enabling a disabled timer starts its interval afresh.
  virtual void SetTimerEnabled(bool enabled) = 0;

  // The alert: shows `text`, disables "Run Keyvane Pro" while the alert is up, waits for the answer, enables
  // both menu items again and processes the pending messages. True for "Yes"; closing the alert counts as
  // "No".
  virtual bool ShowModal(const std::string& text) = 0;
  virtual void Hide() = 0;
  virtual bool Visible() const = 0;

  // A message box owned by the form: the application title as caption, an error icon, an OK button.
  virtual void ShowError(const std::string& text) = 0;

  // The program's end.
  virtual void ClearMinimizeToTray() = 0;
  // Closes the form, which ends the program; `alertUp` when the form is the alert at that moment (closing
  // a modal form only ends its modal state, so the application is told to terminate as well).
  virtual void CloseForm(bool alertUp) = 0;
};

enum class MutexWait {
  kAcquired,   // the wait succeeded: the caller owns the mutex
  kAbandoned,  // the owner ended without releasing it: the caller owns it now
  kTimeout,    // another owner holds it
  kFailed      // the wait itself failed
};

// A named mutex, open. Closed when destroyed.
class NamedMutex {
 public:
  virtual ~NamedMutex() = default;
  virtual MutexWait Wait(std::uint32_t milliseconds) = 0;
  virtual void Release() = 0;
};

// What the system does for the form: named mutexes, and starting programs through the shell.
class FormSystem {
 public:
  virtual ~FormSystem() = default;

  // Opens, or creates (not owned), the mutex `name`; null when neither is possible.
  virtual std::unique_ptr<NamedMutex> OpenMutex(const std::string& name) = 0;

  // The folder of the program's own executable, with a closing backslash.
  virtual std::string ProgramFolder() = 0;
  // Opens `file` with the verb "open", `parameters`, the working folder `folder` and a normal window.
  virtual void Open(const std::string& file, const std::string& parameters, const std::string& folder) = 0;
};

}  // namespace kv
