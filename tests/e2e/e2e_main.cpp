// Entry point of the end-to-end tests: takes the paths of the programs under test from the command line
// (as the build names them) and ends, after the last test, whatever the tests left running.
#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

namespace {

using namespace kv::e2e;

// The processes whose program lies in `folder`.
std::vector<DWORD> ProcessesUnder(const std::string& folder) {
  std::vector<DWORD> found;
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return found;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32First(snapshot.get(), &entry); ok; ok = Process32Next(snapshot.get(), &entry)) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (!process) continue;
    char path[MAX_PATH];
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameA(process.get(), 0, path, &size)) continue;
    if (size >= folder.size() &&
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path, static_cast<int>(folder.size()), folder.c_str(),
                       static_cast<int>(folder.size())) == CSTR_EQUAL)
      found.push_back(entry.th32ProcessID);
  }
  return found;
}

// Ends every process still running from this run's scratch folders (monitors and stand-ins started by
// the tests), then removes the folders.
class LeftoverCleanup : public ::testing::Environment {
 public:
  void TearDown() override {
    const std::string root = ScratchRoot();
    for (DWORD pid : ProcessesUnder(root)) {
      UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
      if (!process) continue;
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), 10000);
      ADD_FAILURE() << "a process of the tests was still running at the end (pid " << pid << ")";
    }
    RemoveTree(root);
  }
};

// The virtual display has no window manager; Wine then draws the windows' frames and captions itself, as
// Windows does, so that the screenshots show them. Restored at the end.
class WineDrawsFrames : public ::testing::Environment {
 public:
  void SetUp() override {
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr) return;
    managed_ = std::make_unique<ScopedRegValue>(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", "Managed");
    managed_->SetString("N");
  }
  void TearDown() override { managed_.reset(); }

 private:
  std::unique_ptr<ScopedRegValue> managed_;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  Paths& paths = TestPaths();
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    auto value = [&](const char* option) -> const char* {
      const size_t length = std::strlen(option);
      return argument.compare(0, length, option) == 0 ? argv[i] + length : nullptr;
    };
    if (const char* path = value("--monitor=")) paths.monitor = DosPath(path);
    if (const char* path = value("--standin=")) paths.standIn = DosPath(path);
    if (const char* path = value("--real-monitor=")) paths.realMonitor = DosPath(path);
    if (const char* path = value("--setup=")) paths.setup = DosPath(path);
    if (const char* path = value("--older-setup=")) paths.olderSetup = DosPath(path);
    if (const char* text = value("--setup-version=")) paths.setupVersion = text;
    if (const char* path = value("--kvscan=")) paths.kvscan = DosPath(path);
    if (const char* path = value("--artifacts=")) {
      paths.artifactsUnix = path;
      paths.artifacts = DosPath(path);
    }
  }
  if (paths.monitor.empty() || paths.standIn.empty()) {
    std::fprintf(stderr,
                 "usage: kv_e2e_tests --monitor=PATH --standin=PATH [--artifacts=FOLDER] [--real-monitor=PATH]\n"
                 "       [--setup=PATH --older-setup=PATH --setup-version=TEXT --kvscan=PATH] [gtest options]\n");
    return 2;
  }
  // GoogleTest takes ownership of its environments.
  ::testing::AddGlobalTestEnvironment(new WineDrawsFrames);
  ::testing::AddGlobalTestEnvironment(new LeftoverCleanup);
  return RUN_ALL_TESTS();
}
