// The monitor loads libraries only from the system folder: libraries planted beside it, under the names of
// system libraries that are loaded while it runs, are never picked up, while a program without its safe
// search, started from the same folder, does pick them up (the control: under Wine too the folder of the
// program comes first in the ordinary search).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/e2e/harness.h"

namespace kv::e2e {
namespace {

constexpr DWORD kStartMs = 15000;

// The libraries the monitor loads after it has started, beyond those its program file imports (traced
// with WINEDEBUG=+loaddll while it starts, shows its windows and runs probes of every group): the theme and
// image helpers its windows bring in, OLE automation, and the HTML Help engine (which it loads by the
// full path its class registration gives).
const char* const kPlantedNames[] = {"uxtheme.dll", "oleaut32.dll", "msimg32.dll", "hhctrl.ocx"};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) { SetEnvironmentVariableA(name, value.c_str()); }
  ~ScopedEnvironment() { SetEnvironmentVariableA(name_, nullptr); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
};

TEST(PlantedLibraries, AreNeverLoadedByTheMonitor) {
  ScratchFolder markers;
  const std::string marker = markers.path() + "loaded.txt";
  ScopedEnvironment planted("KV_PLANTED_MARKER", marker);  // the children inherit it
  MonitorInstall install(/*withStandIn=*/false);
  std::string names;
  for (const char* name : kPlantedNames) {
    ASSERT_TRUE(CopyFileA(DosPath(KV_PLANTED_DLL).c_str(), (install.folder() + name).c_str(), FALSE)) << name;
    names += std::string(" ") + name;
  }

  // The control: a program without the safe search, from the same folder, loads every planted library.
  // (Wine prefers its own built-in copy of a system library to any file of that name, wherever the search
  // finds it; CTest runs this test with WINEDLLOVERRIDES set to prefer the files, as Windows does.)
  const std::string probe = install.folder() + "kv_dll_search_probe.exe";
  ASSERT_TRUE(CopyFileA(DosPath(KV_DLL_SEARCH_PROBE).c_str(), probe.c_str(), FALSE));
  Process control = Process::Start(probe, names, install.folder());
  ASSERT_TRUE(control.WaitForExit(30000));
  EXPECT_EQ(control.ExitCode(), sizeof kPlantedNames / sizeof kPlantedNames[0]);
  const std::string controlLog = ReadAll(marker);
  for (const char* name : kPlantedNames)
    EXPECT_NE(controlLog.find(name), std::string::npos)
        << name << " not loaded by the control (under Wine: WINEDLLOVERRIDES must prefer native " << name << ")";
  ASSERT_TRUE(DeleteFileA(marker.c_str()));

  // The monitor: two probes of every group (shortcuts, COM classes, file types), then, with a fault
  // seeded, its alert, whose themed drawing brings in the image-blending library; then its end. The sound
  // entries first make every probe long enough to be watched: a fresh prefix's own first fault would
  // otherwise end a probe within milliseconds, between two looks of the watch.
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(127);
  SoundEntries slow;
  {
    Monitor monitor(install);
    ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
    ThreadWatch probes(monitor.pid());
    EXPECT_TRUE(WaitUntil([&] { return probes.Appeared() >= 2 && probes.Ended() >= 2; }, 4 * kIntervalMs + 60000))
        << "fewer than two probes ran; threads seen:\n" << probes.Describe();
    settings.mask.SetDword(SeededFault::kGroup);
    SeededFault fault;
    HWND alert = monitor.WaitForAlert(4 * kIntervalMs + 60000);
    ASSERT_NE(alert, nullptr) << "no alert after three faulty probes";
    RedrawWindow(alert, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(1000);  // time for it to paint
    EXPECT_TRUE(monitor.process().Running()) << "the monitor ended while showing its alert";
    HWND form = monitor.Form();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(PostRegistered(form, "KVMustDie"));
    EXPECT_TRUE(monitor.process().WaitForExit(10000));
  }
  EXPECT_FALSE(Exists(marker)) << "planted libraries were loaded:\n" << ReadAll(marker);
}

}  // namespace
}  // namespace kv::e2e
