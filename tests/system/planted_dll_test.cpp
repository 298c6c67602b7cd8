// The monitor loads libraries only from the system folder: libraries planted beside it, under the names of
// system libraries that are loaded while it runs, are never picked up, while a program without its safe
// search, started from the same folder, does pick them up (the control: under Wine too the folder of the
// program comes first in the ordinary search).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace kv::e2e {
namespace {

constexpr DWORD kStartMs = 15000;

// The libraries the monitor loads after it has started, beyond those its program file imports (traced
// with WINEDEBUG=+loaddll while it starts, shows its windows and runs probes of every group): the theme and
// image helpers its windows bring in, OLE automation, and the HTML Help engine (which it loads from the
// system folder by its full path).
const char* const kPlantedNames[] = {"uxtheme.dll", "oleaut32.dll", "msimg32.dll", "hhctrl.ocx"};

constexpr const char kHelpEngineClass[] = "CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    SetEnvironmentVariableA(name, value.c_str());
  }
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
        << "fewer than two probes ran; threads seen:\n"
        << probes.Describe();
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

// What HKEY_CLASSES_ROOT shows programs as the HTML Help engine's library; "" when nothing.
std::string RegisteredHelpEngine() {
  char path[MAX_PATH * 2] = {};
  DWORD size = sizeof path - 1;
  if (RegGetValueA(HKEY_CLASSES_ROOT, kHelpEngineClass, nullptr, RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, path, &size) !=
      ERROR_SUCCESS)
    return "";
  return path;
}

// The HTML Help engine is the system's own, loaded from the system folder: a library registered as the
// engine, in the user's own classes (which on Windows override the machine's) or in the machine's, is never
// loaded, whatever its name. The control shows each registration would be followed: a program that loads
// what HKEY_CLASSES_ROOT names loads the planted library. (Wine 8 does not lay the user's classes over
// HKEY_CLASSES_ROOT as Windows does; there the user's registrations are also checked by hand.)
TEST(PlantedLibraries, ARegisteredHtmlHelpEngineIsNeverLoaded) {
  ScratchFolder markers;
  const std::string marker = markers.path() + "loaded.txt";
  ScopedEnvironment planted("KV_PLANTED_MARKER", marker);
  ScratchFolder elsewhere;  // not the monitor's folder: only the registration leads there
  const std::string sameName = elsewhere.path() + "hhctrl.ocx";
  const std::string otherName = elsewhere.path() + "kv_help_engine.dll";
  for (const std::string& path : {sameName, otherName})
    ASSERT_TRUE(CopyFileA(DosPath(KV_PLANTED_DLL).c_str(), path.c_str(), FALSE)) << path;
  MonitorInstall install(/*withStandIn=*/false);
  const std::string probe = install.folder() + "kv_dll_search_probe.exe";
  ASSERT_TRUE(CopyFileA(DosPath(KV_DLL_SEARCH_PROBE).c_str(), probe.c_str(), FALSE));
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(0);

  struct Case {
    const char* name;
    HKEY root;
    std::string library;
  };
  const std::vector<Case> cases = {
      {"the user's classes, the engine's own file name", HKEY_CURRENT_USER, sameName},
      {"the user's classes, another name", HKEY_CURRENT_USER, otherName},
      {"the machine's classes, the engine's own file name", HKEY_LOCAL_MACHINE, sameName},
      {"the machine's classes, another name", HKEY_LOCAL_MACHINE, otherName},
  };
  const std::string before = RegisteredHelpEngine();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.library);
    ScopedRegValue engine(c.root, std::string("Software\\Classes\\") + kHelpEngineClass, "");
    engine.SetString(c.library);

    // The control: a program that follows the registration loads the planted library.
    std::string registered = RegisteredHelpEngine();
    if (registered != c.library) {
      ASSERT_EQ(c.root, HKEY_CURRENT_USER)
          << "HKEY_CLASSES_ROOT does not show the machine's registration: " << registered;
      std::printf("%s: HKEY_CLASSES_ROOT shows %s (the user's classes are not laid over it here)\n", c.name,
                  registered.c_str());
      registered = c.library;
    }
    Process control = Process::Start(probe, "\"" + registered + "\"", install.folder());
    ASSERT_TRUE(control.WaitForExit(30000));
    EXPECT_EQ(control.ExitCode(), 1u);
    EXPECT_NE(ReadAll(marker).find(c.library), std::string::npos) << "the control did not load it";
    ASSERT_TRUE(DeleteFileA(marker.c_str()));

    // The monitor loads its help engine at start, before its form exists.
    {
      Monitor monitor(install);
      ASSERT_TRUE(monitor.WaitUntilRunning(kStartMs));
      HWND form = monitor.Form();
      ASSERT_NE(form, nullptr);
      ASSERT_TRUE(PostRegistered(form, "KVMustDie"));
      EXPECT_TRUE(monitor.process().WaitForExit(10000));
    }
    EXPECT_FALSE(Exists(marker)) << "the registered library was loaded:\n" << ReadAll(marker);
    DeleteFileA(marker.c_str());
  }
  EXPECT_EQ(RegisteredHelpEngine(), before) << "the registration was not restored";
}

}  // namespace
}  // namespace kv::e2e
