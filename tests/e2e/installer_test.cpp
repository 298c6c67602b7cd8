// The installer, kvmonitor-setup.exe, as a user meets it: a silent per-user installation puts the two
// programs into the user's programs folder, makes the monitor start at log-on and registers an uninstall
// entry; the uninstaller ends the running monitor and takes exactly that away again; an upgrade keeps one
// start-up entry. A probe of the sections these entries live in stays clean throughout.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace kv::e2e {
namespace {

constexpr DWORD kSetupMs = 60000;
constexpr DWORD kStartMs = 15000;
const char* const kProduct = "Keyvane Pro Monitor";
const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Keyvane Pro Monitor";
// The sections the installer's entries live in: "Startup" (the Run keys) and "Application Info" (the
// uninstall entries).
constexpr int kProbeMask = 1 | 8;

std::string Lower(std::string text) {
  CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Where an installation goes and what it writes to: per user (the default) or for all users (/ALLUSERS).
struct Scope {
  const char* name;
  const char* arguments;  // the installer's, besides /S
  HKEY root;              // of its Run value and its uninstall entry
  HKEY otherRoot;
  const char* folder;  // with environment variables
};
const Scope kPerUser{"PerUser", "", HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                     "%LOCALAPPDATA%\\Programs\\Keyvane Pro Monitor"};
const Scope kAllUsers{"AllUsers", " /ALLUSERS", HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
                      "%ProgramFiles%\\Keyvane Pro Monitor"};

void PrintTo(const Scope& scope, std::ostream* out) { *out << scope.name; }

std::string InstallFolder(const Scope& scope = kPerUser) {
  char folder[MAX_PATH] = {};
  ExpandEnvironmentStringsA(scope.folder, folder, MAX_PATH);
  return folder;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  UniqueFind find(FindFirstFileA((folder + "\\*").c_str(), &data));
  if (!find) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.insert(Lower(name));
  } while (FindNextFileA(find.get(), &data));
  return names;
}

// A registry value as read: type and data (strings without their terminator); type 0 when absent.
struct RegValue {
  DWORD type = 0;
  std::string text;
  DWORD number = 0;
};

RegValue ReadValue(HKEY root, const std::string& subkey, const std::string& name) {
  RegValue value;
  UniqueRegKey key;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return value;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return value;
  std::vector<BYTE> data(size + 1, 0);
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return value;
  value.type = type;
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    std::memcpy(&value.number, data.data(), sizeof(DWORD));
  } else {
    value.text = reinterpret_cast<const char*>(data.data());
  }
  return value;
}

bool KeyExists(HKEY root, const std::string& subkey) {
  UniqueRegKey key;
  return RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
}

// The values of a key: name and string data.
std::vector<std::pair<std::string, std::string>> ValuesOf(HKEY root, const std::string& subkey) {
  std::vector<std::pair<std::string, std::string>> values;
  UniqueRegKey key;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return values;
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameSize = sizeof name;
    BYTE data[8192] = {};
    DWORD dataSize = sizeof data - 1;
    DWORD type = 0;
    const LONG status = RegEnumValueA(key.get(), index, name, &nameSize, nullptr, &type, data, &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) continue;
    values.emplace_back(name, type == REG_SZ || type == REG_EXPAND_SZ ? reinterpret_cast<const char*>(data) : "");
  }
  return values;
}

// The processes whose program lies in `folder`.
std::vector<DWORD> ProcessesUnder(const std::string& folder) {
  std::vector<DWORD> found;
  const std::string prefix = Lower(folder + "\\");
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
    if (Lower(std::string(path, size)).rfind(prefix, 0) == 0) found.push_back(entry.th32ProcessID);
  }
  return found;
}

// Runs a command line as the shell would (the program's name taken from the line itself) and waits for
// it; returns its exit code, or -1 when it could not start or did not end within the time.
long RunCommand(const std::string& commandLine, DWORD timeoutMs, const std::string& outputFile = "") {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  UniqueFileHandle output;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (!outputFile.empty()) {
    output.reset(CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  PROCESS_INFORMATION info{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, output ? TRUE : FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    ADD_FAILURE() << "cannot start " << commandLine << ": error " << GetLastError();
    return -1;
  }
  UniqueHandle process(info.hProcess), thread(info.hThread);
  if (WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    ADD_FAILURE() << commandLine << " did not end within " << timeoutMs << " ms";
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return static_cast<long>(code);
}

// One probe of the installer's sections with kvscan; its exit code (0 clean, 1 a fault) and what it said.
struct Probe {
  long code = -1;
  std::string output;
};

Probe ProbeMachine() {
  ScratchFolder scratch;
  const std::string file = scratch.path() + "kvscan.txt";
  Probe probe;
  probe.code = RunCommand("\"" + TestPaths().kvscan + "\" --mask " + std::to_string(kProbeMask), 120000, file);
  probe.output = ReadFileBytes(file);
  return probe;
}

// The start of a session: what the Run value names is started, as the shell does at log-on.
Process LogOn(const std::string& command) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string line = command;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    ADD_FAILURE() << "cannot start " << command << ": error " << GetLastError();
    return Process();
  }
  UniqueHandle thread(info.hThread);
  return Process(UniqueHandle(info.hProcess), info.dwProcessId);
}

bool MonitorRunning(DWORD pid) {
  return FindWindowOfProcess(pid, "TfmMain") != nullptr && FindWindowOfProcess(pid, "TTrayIcon") != nullptr;
}

// Whatever a test leaves of an installation is taken away at its end, the uninstaller's work or not:
// monitors from the folder, the folder, the Run value and the uninstall entry of the current user.
class InstallationCleanup {
 public:
  ~InstallationCleanup() {
    for (const Scope* scope : {&kPerUser, &kAllUsers}) {
      const std::string folder = InstallFolder(*scope);
      for (DWORD pid : ProcessesUnder(folder)) {
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
        if (!process) continue;
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 10000);
      }
      if (Exists(folder)) RemoveTree(folder + "\\");
      UniqueRegKey run;
      if (RegOpenKeyExA(scope->root, kRunKey, 0, KEY_SET_VALUE, run.receive()) == ERROR_SUCCESS)
        RegDeleteValueA(run.get(), kProduct);
      RegDeleteKeyA(scope->root, kUninstallKey);
    }
  }
};

// Nothing of the product is installed for the current user or the machine.
void ExpectNotInstalled(const char* when) {
  for (const Scope* scope : {&kPerUser, &kAllUsers}) {
    const std::string folder = InstallFolder(*scope);
    EXPECT_FALSE(Exists(folder)) << when << ": " << folder << " exists";
  }
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    const char* rootName = root == HKEY_CURRENT_USER ? "HKCU" : "HKLM";
    EXPECT_EQ(ReadValue(root, kRunKey, kProduct).type, 0u) << when << ": a Run value under " << rootName;
    EXPECT_FALSE(KeyExists(root, kUninstallKey)) << when << ": an uninstall entry under " << rootName;
    for (const auto& [name, data] : ValuesOf(root, kRunKey))
      EXPECT_EQ(Lower(data).find("keyvane pro monitor\\kvmonitor.exe"), std::string::npos)
          << when << ": the Run value " << name << " under " << rootName << " names " << data;
  }
}

void ExpectProbeClean(const char* when) {
  const Probe probe = ProbeMachine();
  EXPECT_EQ(probe.code, 0) << when << ": kvscan --mask " << kProbeMask << " says\n" << probe.output;
}

// Runs an installer silently; true when it ended with 0.
bool InstallSilently(const std::string& setup, const Scope& scope = kPerUser) {
  const long code = RunCommand("\"" + setup + "\" /S" + scope.arguments, kSetupMs);
  EXPECT_EQ(code, 0) << setup << " /S" << scope.arguments;
  return code == 0;
}

// Runs the uninstaller as the uninstall entry says to run it quietly, and waits until it has done its
// work: the uninstaller hands over to a copy of itself outside the folder it removes, and the first
// process ends at once.
void UninstallSilently(const Scope& scope = kPerUser) {
  const RegValue quiet = ReadValue(scope.root, kUninstallKey, "QuietUninstallString");
  ASSERT_EQ(quiet.type, static_cast<DWORD>(REG_SZ)) << "no QuietUninstallString";
  EXPECT_EQ(RunCommand(quiet.text, kSetupMs), 0) << quiet.text;
  EXPECT_TRUE(
      WaitUntil([&] { return !Exists(InstallFolder(scope)) && !KeyExists(scope.root, kUninstallKey); }, kSetupMs))
      << "the uninstaller did not finish within " << kSetupMs << " ms";
}

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(TestPaths().setup.empty() || TestPaths().olderSetup.empty() || TestPaths().kvscan.empty() ||
                 TestPaths().realMonitor.empty() || TestPaths().setupVersion.empty())
        << "--setup, --older-setup, --setup-version, --kvscan and --real-monitor are needed";
    ASSERT_NO_FATAL_FAILURE(ExpectNotInstalled("before the test"));
    const Probe probe = ProbeMachine();
    ASSERT_EQ(probe.code, 0) << "the prefix is not clean before the installation:\n" << probe.output;
  }

  InstallationCleanup cleanup_;
};

class Installer : public InstallerTest {};
class InstallerScope : public InstallerTest, public ::testing::WithParamInterface<Scope> {};

TEST_P(InstallerScope, SilentInstallThenLogOnThenSilentUninstall) {
  const Scope& scope = GetParam();
  // Neighbours that must survive the uninstaller: the monitor's settings and another start-up entry.
  ScopedSettings settings;
  settings.monitoring.SetDword(1);
  settings.mask.SetDword(static_cast<DWORD>(kProbeMask));
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  ScopedRegValue neighbour(HKEY_CURRENT_USER, kRunKey, "kv-e2e-installer-neighbour");
  neighbour.SetString(std::string("\"") + self + "\" --neighbour");

  ASSERT_TRUE(InstallSilently(TestPaths().setup, scope));
  const std::string folder = InstallFolder(scope);
  const std::string monitorPath = folder + "\\kvmonitor.exe";

  // The files: the two programs as built, and the uninstaller.
  EXPECT_EQ(FilesIn(folder), (std::set<std::string>{"kvmonitor.exe", "kvscan.exe", "uninstall.exe"}));
  EXPECT_TRUE(ReadFileBytes(monitorPath) == ReadFileBytes(TestPaths().realMonitor))
      << "the installed kvmonitor.exe is not the one built";
  EXPECT_TRUE(ReadFileBytes(folder + "\\kvscan.exe") == ReadFileBytes(TestPaths().kvscan))
      << "the installed kvscan.exe is not the one built";
  // Silent: the monitor is not started.
  EXPECT_TRUE(ProcessesUnder(folder).empty()) << "a silent installation started the monitor";

  // The Run value of the installing scope, and none of the other.
  const RegValue run = ReadValue(scope.root, kRunKey, kProduct);
  EXPECT_EQ(run.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(run.text, "\"" + monitorPath + "\"");
  EXPECT_EQ(ReadValue(scope.otherRoot, kRunKey, kProduct).type, 0u) << "a Run value in the other scope";
  EXPECT_FALSE(KeyExists(scope.otherRoot, kUninstallKey)) << "an uninstall entry in the other scope";

  // The uninstall entry, value by value.
  struct Expected {
    const char* name;
    DWORD type;
    std::string text;
  };
  const Expected entry[] = {
      {"DisplayName", REG_SZ, kProduct},
      {"DisplayVersion", REG_SZ, TestPaths().setupVersion},
      {"Publisher", REG_SZ, "Tamberlyn"},
      {"DisplayIcon", REG_SZ, monitorPath + ",0"},
      {"InstallLocation", REG_SZ, folder},
      {"UninstallString", REG_SZ, "\"" + folder + "\\uninstall.exe\""},
      {"QuietUninstallString", REG_SZ, "\"" + folder + "\\uninstall.exe\" /S"},
      {"NoModify", REG_DWORD, "1"},
      {"NoRepair", REG_DWORD, "1"},
  };
  for (const Expected& expected : entry) {
    const RegValue actual = ReadValue(scope.root, kUninstallKey, expected.name);
    const std::string text = actual.type == REG_DWORD ? std::to_string(actual.number) : actual.text;
    EXPECT_TRUE(actual.type == expected.type && text == expected.text)
        << expected.name << ": type " << actual.type << " \"" << text << "\", expected type " << expected.type << " \""
        << expected.text << "\"";
  }
  // The size in kilobytes: the three files, rounded as the shell shows it.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  unsigned long long bytes = 0;
  for (const char* name : {"kvmonitor.exe", "kvscan.exe", "uninstall.exe"}) {
    if (GetFileAttributesExA((folder + "\\" + name).c_str(), GetFileExInfoStandard, &data))
      bytes += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  const RegValue size = ReadValue(scope.root, kUninstallKey, "EstimatedSize");
  EXPECT_EQ(size.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_GE(size.number, bytes / 1024 - 3) << "EstimatedSize for " << bytes << " bytes";
  EXPECT_LE(size.number, bytes / 1024 + 3) << "EstimatedSize for " << bytes << " bytes";

  ExpectProbeClean("after the installation");
  // The probe does look at the entries: without its program, the Run value is a fault (and, for all
  // users, the uninstall entry is one too once its uninstaller is gone).
  const std::string away = monitorPath + ".away";
  ASSERT_TRUE(MoveFileA(monitorPath.c_str(), away.c_str()));
  const Probe faulty = ProbeMachine();
  EXPECT_EQ(faulty.code, 1) << "the Run value of a missing monitor went unnoticed:\n" << faulty.output;
  EXPECT_NE(faulty.output.find("kvmonitor.exe"), std::string::npos) << faulty.output;
  ASSERT_TRUE(MoveFileA(away.c_str(), monitorPath.c_str()));
  if (scope.root == HKEY_LOCAL_MACHINE) {
    const std::string uninstaller = folder + "\\uninstall.exe";
    ASSERT_TRUE(MoveFileA(uninstaller.c_str(), away.c_str()));
    const Probe dangling = ProbeMachine();
    EXPECT_EQ(dangling.code, 1) << "the uninstall entry of a missing uninstaller went unnoticed:\n" << dangling.output;
    EXPECT_NE(dangling.output.find("uninstall.exe"), std::string::npos) << dangling.output;
    ASSERT_TRUE(MoveFileA(away.c_str(), uninstaller.c_str()));
  }

  // Log-on: the monitor starts from what the Run value names.
  Process monitor = LogOn(run.text);
  ASSERT_TRUE(monitor.started());
  ASSERT_TRUE(WaitUntil([&] { return MonitorRunning(monitor.pid()) || !monitor.Running(); }, kStartMs) &&
              monitor.Running())
      << "the monitor started at log-on is not running";
  ExpectProbeClean("with the monitor running");

  // The uninstaller ends the monitor (as the full cleaner asks it to end: an orderly end, exit code 0)
  // and removes what the installation made, and only that.
  ASSERT_NO_FATAL_FAILURE(UninstallSilently(scope));
  EXPECT_TRUE(monitor.WaitForExit(kStartMs)) << "the uninstaller left the monitor running";
  EXPECT_EQ(monitor.ExitCode(), 0u) << "the monitor was not ended by its message";
  ExpectNotInstalled("after the uninstallation");
  EXPECT_TRUE(Exists(folder.substr(0, folder.rfind('\\')))) << "the uninstaller removed the programs folder";
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRunKey, "kv-e2e-installer-neighbour").text,
            std::string("\"") + self + "\" --neighbour")
      << "the uninstaller touched another start-up entry";
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "Software\\Tamberlyn\\Keyvane", "Monitoring").number, 1u)
      << "the uninstaller touched the settings";
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "Software\\Tamberlyn\\Keyvane", "Items For Monitoring").number,
            static_cast<DWORD>(kProbeMask))
      << "the uninstaller touched the settings";
  ExpectProbeClean("after the uninstallation");
}

INSTANTIATE_TEST_SUITE_P(Installer, InstallerScope, ::testing::Values(kPerUser, kAllUsers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Installer, UpgradeOverAnOlderInstallKeepsOneRunValue) {
  ASSERT_TRUE(InstallSilently(TestPaths().olderSetup));
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kUninstallKey, "DisplayVersion").text, "0.9.0.0");
  const std::string folder = InstallFolder();
  Process older = LogOn(ReadValue(HKEY_CURRENT_USER, kRunKey, kProduct).text);
  ASSERT_TRUE(WaitUntil([&] { return MonitorRunning(older.pid()) || !older.Running(); }, kStartMs) && older.Running())
      << "the older monitor is not running";

  // The newer installer ends the older monitor before it replaces its program.
  ASSERT_TRUE(InstallSilently(TestPaths().setup));
  EXPECT_TRUE(older.WaitForExit(kStartMs)) << "the upgrade left the older monitor running";
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kUninstallKey, "DisplayVersion").text, TestPaths().setupVersion);
  EXPECT_TRUE(ReadFileBytes(folder + "\\kvmonitor.exe") == ReadFileBytes(TestPaths().realMonitor));

  // One start-up entry for the monitor, under its name; one uninstall entry.
  std::vector<std::string> naming;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (const auto& [name, data] : ValuesOf(root, kRunKey)) {
      if (Lower(data).find("kvmonitor.exe") != std::string::npos) naming.push_back(name + " = " + data);
    }
  }
  EXPECT_EQ(naming, std::vector<std::string>{std::string(kProduct) + " = \"" + folder + "\\kvmonitor.exe\""});
  int entries = 0;
  UniqueRegKey uninstall;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0, KEY_READ,
                    uninstall.receive()) == ERROR_SUCCESS) {
    char name[256];
    for (DWORD index = 0;; ++index) {
      DWORD length = sizeof name;
      if (RegEnumKeyExA(uninstall.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      if (ReadValue(HKEY_CURRENT_USER, std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + name,
                    "DisplayName")
              .text == kProduct)
        ++entries;
    }
  }
  EXPECT_EQ(entries, 1) << "uninstall entries named " << kProduct;
  ExpectProbeClean("after the upgrade");

  ASSERT_NO_FATAL_FAILURE(UninstallSilently());
  ExpectNotInstalled("after the uninstallation");
  ExpectProbeClean("after the uninstallation");
}

// Run by hand (not silently), the installer starts the monitor when it is done.
TEST_F(Installer, InteractiveInstallStartsTheMonitor) {
  const long code = RunCommand("\"" + TestPaths().setup + "\"", kSetupMs);
  ASSERT_EQ(code, 0);
  const std::string folder = InstallFolder();
  std::vector<DWORD> running;
  ASSERT_TRUE(WaitUntil(
      [&] {
        running = ProcessesUnder(folder);
        return running.size() == 1 && MonitorRunning(running[0]);
      },
      kStartMs))
      << running.size() << " processes from " << folder;
  UniqueHandle monitor(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, running[0]));

  ASSERT_NO_FATAL_FAILURE(UninstallSilently());
  ASSERT_TRUE(monitor);
  EXPECT_EQ(WaitForSingleObject(monitor.get(), kStartMs), WAIT_OBJECT_0) << "the uninstaller left the monitor running";
  ExpectNotInstalled("after the uninstallation");
}

}  // namespace
}  // namespace kv::e2e
