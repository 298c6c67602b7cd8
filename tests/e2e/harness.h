// Win32 automation for the end-to-end tests: the monitor as a child process, its windows and controls,
// the stand-in full cleaner, registry settings restored after each test, screenshots and a watch on the
// monitor's probe threads. Every wait here is bounded.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/unique_handles.h"

namespace kv::e2e {

using win32::UniqueFileHandle;
using win32::UniqueFind;
using win32::UniqueHandle;
using win32::UniqueRegKey;

// Where the programs under test are (Windows paths) and where screenshots go (a Linux folder, since the
// screenshots are taken by ImageMagick on the Linux side of Wine).
struct Paths {
  std::string monitor;        // kvmonitor_test.exe as built
  std::string standIn;        // vanetide.exe as built
  std::string realMonitor;    // kvmonitor.exe as built (for the figures of the idle cost only)
  std::string artifactsUnix;  // folder for screenshots, as the Linux side names it
  std::string artifacts;      // the same folder as this program sees it
  std::string setup;          // kvmonitor-setup.exe as built (for the installer's test only)
  std::string olderSetup;     // the same installer stamped with an older version
  std::string setupVersion;   // the version the installer writes into its uninstall entry
  std::string kvscan;         // kvscan.exe as built, the probe of the machine
};
Paths& TestPaths();

// The monitor test build's check interval (the build passes the same number to the monitor).
constexpr DWORD kIntervalMs = KV_E2E_TIMER_INTERVAL_MS;

// A Linux path as this program sees it under Wine; unchanged where there is no Wine, or not absolute.
std::string DosPath(const std::string& unixPath);

using Clock = std::chrono::steady_clock;
long long MillisecondsSince(Clock::time_point start);

// Polls `condition` every `pollMs` until it holds or `timeoutMs` has passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 20);

// A folder of its own for one test under the temporary folder; removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }  // with a trailing backslash

 private:
  std::string path_;
};
// The folder that holds every scratch folder of this run (removed at the end of the run).
std::string ScratchRoot();
void RemoveTree(const std::string& folder);

// One registry value put into a known state for the length of a test, then restored exactly (type and
// data, or absence); keys it had to create are deleted again.
class ScopedRegValue {
 public:
  ScopedRegValue(HKEY root, std::string subkey, std::string name);
  ~ScopedRegValue();
  ScopedRegValue(const ScopedRegValue&) = delete;
  ScopedRegValue& operator=(const ScopedRegValue&) = delete;

  void SetDword(DWORD value);
  void SetString(const std::string& value);
  void Remove();

 private:
  void Write(DWORD type, const void* data, DWORD size);
  HKEY root_;
  std::string subkey_;
  std::string name_;
  bool existed_ = false;
  DWORD type_ = 0;
  std::vector<BYTE> data_;
  std::vector<std::string> created_;  // keys this object created, outermost first
};

// The monitor's settings under HKCU "Software\Tamberlyn\Keyvane", restored after the test.
class ScopedSettings {
 public:
  ScopedSettings();
  ScopedRegValue monitoring;
  ScopedRegValue mask;
};

// The Windows version that Wine reports to programs named kvmonitor_test.exe ("win95", "nt40", ...).
class ScopedWineVersion {
 public:
  explicit ScopedWineVersion(const std::string& version);

 private:
  ScopedRegValue value_;
};

// Sound start-up entries under HKCU Run, each naming this test program, so that every probe of the
// "Startup" group takes long enough to be watched. All of them are removed after the test.
// Entries enough for a probe that a thread watch cannot miss (a few hundred milliseconds under Wine: each
// entry costs one value read and, the program being the same, one file test for the whole probe).
constexpr int kSlowProbeEntries = 3000;
class SoundEntries {
 public:
  explicit SoundEntries(int count = kSlowProbeEntries);
  ~SoundEntries();
  SoundEntries(const SoundEntries&) = delete;
  SoundEntries& operator=(const SoundEntries&) = delete;

 private:
  std::vector<std::unique_ptr<ScopedRegValue>> values_;
};

// A start-up entry under HKCU Run naming a program that does not exist: a fault every probe of the
// "Startup" group finds. With `soundEntriesBefore`, that many sound entries come before it, both in the
// order they were written and in the order of their names. All of them are removed after the test.
class SeededFault {
 public:
  explicit SeededFault(int soundEntriesBefore = 0);
  SeededFault(const SeededFault&) = delete;
  SeededFault& operator=(const SeededFault&) = delete;
  static constexpr const char* kValueName = "kv-e2e-missing-program";
  // The section group that finds it ("Startup"). Tests that want faulty probes select only this group,
  // so that what the prefix itself holds elsewhere plays no part.
  static constexpr DWORD kGroup = 1;
  static std::string MissingProgram();

 private:
  SoundEntries before_;  // written first, removed last
  ScopedRegValue fault_;
};

// A control of a window, as automation sees it.
struct Control {
  HWND hwnd = nullptr;
  std::string className;
  int id = 0;
  std::string text;
  LONG style = 0;
  bool visible = false;
};
std::string ClassOf(HWND window);
std::string TextOf(HWND window);  // WM_GETTEXT, bounded by a timeout
std::vector<Control> ChildrenOf(HWND window);
// The first child of `window` of class `className` (any case) with the text `text`; none when absent.
std::optional<Control> FindChild(HWND window, const std::string& className, const std::string& text);
// Presses a button the way a click does (BM_CLICK, posted so that a modal loop it starts cannot block us).
void Click(HWND button);
// Shows a text with its control characters spelled out, for failure messages.
std::string Visible(const std::string& text);

// The windows of one process: top-level windows and message-only windows.
std::vector<HWND> WindowsOfProcess(DWORD pid);
HWND FindWindowOfProcess(DWORD pid, const std::string& className, bool mustBeVisible = false);

// A process this test started. If it is still running when the object goes, it is terminated.
class Process {
 public:
  Process() = default;
  Process(UniqueHandle process, DWORD pid) : process_(std::move(process)), pid_(pid) {}
  Process(Process&&) = default;
  Process& operator=(Process&&) = default;
  ~Process();

  static Process Start(const std::string& program, const std::string& arguments, const std::string& workingFolder);

  DWORD pid() const { return pid_; }
  HANDLE handle() const { return process_.get(); }
  bool started() const { return static_cast<bool>(process_); }
  bool Running() const;
  bool WaitForExit(DWORD timeoutMs) const;
  DWORD ExitCode() const;  // STILL_ACTIVE while running
  void Terminate();

 private:
  UniqueHandle process_;
  DWORD pid_ = 0;
};

// A copy of the monitor's test build in a scratch folder, with or without the stand-in beside it.
class MonitorInstall {
 public:
  // `monitor` is the program to copy under the test build's name; by default the test build itself.
  explicit MonitorInstall(bool withStandIn, const std::string& monitor = "");
  const std::string& folder() const { return scratch_.path(); }
  std::string monitorPath() const { return folder() + "kvmonitor_test.exe"; }
  std::string standInPath() const { return folder() + "vanetide.exe"; }
  // The log of the stand-in that the monitor starts (the stand-in's default: beside itself).
  std::string standInLog() const { return folder() + "vanetide.log"; }

 private:
  ScratchFolder scratch_;
};

// The running monitor, started from an install.
class Monitor {
 public:
  explicit Monitor(const MonitorInstall& install);
  // A monitor still running is asked to end as its full cleaner would ask it, and terminated if it does
  // not, so that no tray icon is left behind.
  ~Monitor();
  Monitor(const Monitor&) = delete;
  Monitor& operator=(const Monitor&) = delete;
  Process& process() { return process_; }
  DWORD pid() const { return process_.pid(); }

  // The main form ("TfmMain"), the tray icon's window ("TTrayIcon"); null when they do not exist.
  HWND Form() const { return FindWindowOfProcess(pid(), "TfmMain"); }
  HWND Tray() const { return FindWindowOfProcess(pid(), "TTrayIcon"); }
  // Waits until the monitor runs its message loop: the form and the tray window exist.
  bool WaitUntilRunning(DWORD timeoutMs = 15000) const;
  // The alert is the main form shown; returns it, or null when it did not come within the time.
  HWND WaitForAlert(DWORD timeoutMs) const;
  bool AlertShown() const;

 private:
  Process process_;
};

// The stand-in full cleaner run by the test itself (from the build folder), its log kept in `logPath`.
// Returns the stand-in's exit code, or -1 when it did not end within the time.
int RunStandIn(const std::string& arguments, const std::string& logPath, DWORD timeoutMs = 30000);
// The same, started and left running (for --hold-mutex).
Process StartStandIn(const std::string& arguments, const std::string& logPath);

// The stand-in's log: one (tag, text) pair per line.
std::vector<std::pair<std::string, std::string>> ReadStandInLog(const std::string& logPath);
// The starts of the stand-in that the log records completely: its command line and working folder.
struct StandInStart {
  std::string commandLine;
  std::string workingFolder;
};
std::vector<StandInStart> StandInStarts(const std::string& logPath);
bool LogHas(const std::string& logPath, const std::string& tag, const std::string& text);
// The arguments of a command line: what follows the program's name (quoted or not), trimmed.
std::string ArgumentsOf(const std::string& commandLine);

// Posts a registered message ("KVMustDie", "KVMonitoringDisable") to a window.
bool PostRegistered(HWND window, const char* name);

// A screenshot of the whole display, on a desktop of the colour `desktop`, saved as
// artifacts/<name>-screen.png and, when `area` is given, the part of it around that area as
// artifacts/<name>.png, enlarged `zoom` times. Returns false (and says why) when it failed.
constexpr COLORREF kDesktopBlue = RGB(0x3A, 0x6E, 0xA5);
bool Screenshot(const std::string& name, const RECT* area = nullptr, int zoom = 1, COLORREF desktop = kDesktopBlue);

// The colours of the pixels of `area` (screen coordinates) in the screenshot `name` taken before, row by
// row; none (and a failure said) when they cannot be read.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> colours;
  COLORREF at(int x, int y) const { return colours[static_cast<size_t>(y) * static_cast<size_t>(width) + x]; }
};
std::optional<Pixels> ScreenshotPixels(const std::string& name, const RECT& area);

// Watches the threads of a process from a thread of its own and counts the threads that appear after
// the watch began: the monitor makes one thread per probe. A thread that lives shorter than the polling
// period can be missed, so counts are lower bounds.
class ThreadWatch {
 public:
  explicit ThreadWatch(DWORD pid, DWORD pollMs = 20);
  ~ThreadWatch();
  ThreadWatch(const ThreadWatch&) = delete;
  ThreadWatch& operator=(const ThreadWatch&) = delete;

  int Appeared() const;  // threads seen that were not there when the watch began
  int Ended() const;     // of those, the ones gone again
  bool NewThreadAlive() const;
  // Waits until a new thread is alive (a probe is running); false when none came within the time.
  bool WaitForNewThread(DWORD timeoutMs) const;
  // Waits until the watch has looked at the threads afresh, so that a thread started before the call
  // and still alive is counted.
  void CatchUp() const;
  // The threads seen, for failure messages: when each was first seen and for how long.
  std::string Describe() const;

 private:
  void Run();
  DWORD pid_;
  DWORD pollMs_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<DWORD> baseline_;
  struct Seen {
    bool alive = true;
    Clock::time_point first, last;
  };
  std::map<DWORD, Seen> seen_;  // by thread id
  Clock::time_point start_ = Clock::now();
  unsigned long long passes_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace kv::e2e
