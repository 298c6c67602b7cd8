#include "tests/e2e/harness.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>

namespace kv::e2e {
namespace {

const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kSettingsKey = "Software\\Tamberlyn\\Keyvane";

// Wine's own path conversion (kernel32 exports it); absent on Windows itself.
using ToDosFn = WCHAR*(CDECL*)(const char*);

std::string Narrow(const WCHAR* wide) {
  int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string text(static_cast<size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text.data(), size, nullptr, nullptr);
  return text;
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

bool KeyExists(HKEY root, const std::string& subkey) {
  UniqueRegKey key;
  return RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
}

}  // namespace

Paths& TestPaths() {
  static Paths paths;
  return paths;
}

std::string DosPath(const std::string& unixPath) {
  auto toDos = reinterpret_cast<ToDosFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (toDos == nullptr || unixPath.empty() || unixPath[0] != '/') return unixPath;
  WCHAR* dos = toDos(unixPath.c_str());
  if (dos == nullptr) return unixPath;
  std::string result = Narrow(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return result;
}

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
  const auto start = Clock::now();
  for (;;) {
    if (condition()) return true;
    if (MillisecondsSince(start) >= timeoutMs) return condition();
    Sleep(pollMs);
  }
}

// ---- scratch folders ----

std::string ScratchRoot() {
  static const std::string root = [] {
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp, length) + "kv-e2e-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
  }();
  return root;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  UniqueFind find(FindFirstFileA((folder + "*").c_str(), &data));
  if (find) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path + "\\");
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(find.get(), &data));
  }
  RemoveDirectoryA(folder.c_str());
}

ScratchFolder::ScratchFolder() {
  static int counter = 0;
  path_ = ScratchRoot() + std::to_string(++counter) + "\\";
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

// ---- registry ----

ScopedRegValue::ScopedRegValue(HKEY root, std::string subkey, std::string name)
    : root_(root), subkey_(std::move(subkey)), name_(std::move(name)) {
  UniqueRegKey key;
  if (RegOpenKeyExA(root_, subkey_.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), name_.c_str(), nullptr, &type_, nullptr, &size) != ERROR_SUCCESS) return;
  data_.resize(size);
  if (RegQueryValueExA(key.get(), name_.c_str(), nullptr, &type_, data_.data(), &size) != ERROR_SUCCESS) return;
  data_.resize(size);
  existed_ = true;
}

ScopedRegValue::~ScopedRegValue() {
  if (existed_) {
    Write(type_, data_.data(), static_cast<DWORD>(data_.size()));
  } else {
    Remove();
  }
  // Keys made for this value go again, innermost first, as long as nothing else was put in them.
  for (auto it = created_.rbegin(); it != created_.rend(); ++it) RegDeleteKeyA(root_, it->c_str());
}

void ScopedRegValue::Write(DWORD type, const void* data, DWORD size) {
  // Note each missing key on the way down, so that it can be removed afterwards.
  std::string path;
  std::stringstream parts(subkey_);
  for (std::string part; std::getline(parts, part, '\\');) {
    path += (path.empty() ? "" : "\\") + part;
    if (!KeyExists(root_, path) && std::find(created_.begin(), created_.end(), path) == created_.end())
      created_.push_back(path);
  }
  UniqueRegKey key;
  LONG status = RegCreateKeyExA(root_, subkey_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                                key.receive(), nullptr);
  if (status == ERROR_SUCCESS)
    status = RegSetValueExA(key.get(), name_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  if (status != ERROR_SUCCESS) ADD_FAILURE() << "cannot write " << subkey_ << "\\" << name_ << ": " << status;
}

void ScopedRegValue::SetDword(DWORD value) { Write(REG_DWORD, &value, sizeof value); }

void ScopedRegValue::SetString(const std::string& value) {
  Write(REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void ScopedRegValue::Remove() {
  UniqueRegKey key;
  if (RegOpenKeyExA(root_, subkey_.c_str(), 0, KEY_SET_VALUE, key.receive()) == ERROR_SUCCESS)
    RegDeleteValueA(key.get(), name_.c_str());
}

ScopedSettings::ScopedSettings()
    : monitoring(HKEY_CURRENT_USER, kSettingsKey, "Monitoring"),
      mask(HKEY_CURRENT_USER, kSettingsKey, "Items For Monitoring") {}

ScopedWineVersion::ScopedWineVersion(const std::string& version)
    : value_(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\kvmonitor_test.exe", "Version") {
  value_.SetString(version);
}

std::string SeededFault::MissingProgram() { return "C:\\kv-e2e-missing\\no-such-program.exe"; }

SoundEntries::SoundEntries(int count) {
  char self[MAX_PATH];
  const std::string sound = Quote(std::string(self, GetModuleFileNameA(nullptr, self, MAX_PATH)));
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "kv-e2e-a-sound-%05d", i);
    values_.push_back(std::make_unique<ScopedRegValue>(HKEY_CURRENT_USER, kRunKey, name));
    values_.back()->SetString(sound);
  }
}

SoundEntries::~SoundEntries() {
  // Last written, first restored: the value that had to create the key removes it last.
  while (!values_.empty()) values_.pop_back();
}

SeededFault::SeededFault(int soundEntriesBefore)
    : before_(soundEntriesBefore), fault_(HKEY_CURRENT_USER, kRunKey, kValueName) {
  fault_.SetString(MissingProgram());
}

// ---- windows and controls ----

std::string ClassOf(HWND window) {
  char name[256] = "";
  int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? length : 0);
}

std::string TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           5000, &copied))
    return {};
  text.resize(std::min<size_t>(copied, length));
  return text;
}

std::vector<Control> ChildrenOf(HWND window) {
  std::vector<HWND> handles;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&handles));
  std::vector<Control> controls;
  for (HWND child : handles) {
    Control control;
    control.hwnd = child;
    control.className = ClassOf(child);
    control.id = GetDlgCtrlID(child);
    control.text = TextOf(child);
    control.style = GetWindowLongA(child, GWL_STYLE);
    control.visible = IsWindowVisible(child) != FALSE;
    controls.push_back(control);
  }
  return controls;
}

std::optional<Control> FindChild(HWND window, const std::string& className, const std::string& text) {
  for (const Control& control : ChildrenOf(window))
    if (lstrcmpiA(control.className.c_str(), className.c_str()) == 0 && control.text == text) return control;
  return std::nullopt;
}

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

std::string Visible(const std::string& text) {
  std::string shown;
  for (char c : text) {
    if (c == '\r')
      shown += "\\r";
    else if (c == '\n')
      shown += "\\n";
    else
      shown += c;
  }
  return shown;
}

std::vector<HWND> WindowsOfProcess(DWORD pid) {
  struct Search {
    DWORD pid;
    std::vector<HWND> found;
  } search{pid, {}};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == s->pid) s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  // Message-only windows are not enumerated with the others.
  for (HWND window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
       window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid) search.found.push_back(window);
  }
  return search.found;
}

HWND FindWindowOfProcess(DWORD pid, const std::string& className, bool mustBeVisible) {
  for (HWND window : WindowsOfProcess(pid))
    if (lstrcmpiA(ClassOf(window).c_str(), className.c_str()) == 0 && (!mustBeVisible || IsWindowVisible(window)))
      return window;
  return nullptr;
}

// ---- processes ----

Process::~Process() { Terminate(); }

Process Process::Start(const std::string& program, const std::string& arguments, const std::string& workingFolder) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string commandLine = Quote(program) + (arguments.empty() ? "" : " " + arguments);
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info)) {
    ADD_FAILURE() << "cannot start " << commandLine << ": error " << GetLastError();
    return Process();
  }
  UniqueHandle thread(info.hThread);
  return Process(UniqueHandle(info.hProcess), info.dwProcessId);
}

bool Process::Running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool Process::WaitForExit(DWORD timeoutMs) const {
  return process_ && WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (process_) GetExitCodeProcess(process_.get(), &code);
  return code;
}

void Process::Terminate() {
  if (Running()) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 10000);
  }
}

// ---- the monitor ----

namespace {

bool CopyInto(const std::string& from, const std::string& to) {
  if (CopyFileA(from.c_str(), to.c_str(), FALSE)) return true;
  ADD_FAILURE() << "cannot copy " << from << " to " << to << ": error " << GetLastError();
  return false;
}

}  // namespace

MonitorInstall::MonitorInstall(bool withStandIn, const std::string& monitor) {
  CopyInto(monitor.empty() ? TestPaths().monitor : monitor, monitorPath());
  if (withStandIn) CopyInto(TestPaths().standIn, standInPath());
}

Monitor::Monitor(const MonitorInstall& install)
    // The monitor's working folder is not its own, so that what it starts must name its folder itself.
    : process_(Process::Start(install.monitorPath(), "", ScratchRoot())) {}

Monitor::~Monitor() {
  if (!process_.Running()) return;
  if (HWND form = Form()) PostRegistered(form, "KVMustDie");
  process_.WaitForExit(10000);
}

bool Monitor::WaitUntilRunning(DWORD timeoutMs) const {
  return WaitUntil([this] { return !process_.Running() || (Form() != nullptr && Tray() != nullptr); }, timeoutMs) &&
         process_.Running();
}

bool Monitor::AlertShown() const {
  HWND form = Form();
  return form != nullptr && IsWindowVisible(form);
}

HWND Monitor::WaitForAlert(DWORD timeoutMs) const {
  WaitUntil([this] { return AlertShown() || !process_.Running(); }, timeoutMs);
  return AlertShown() ? Form() : nullptr;
}

// ---- the stand-in ----

namespace {

// The stand-in reads the log's name from its environment, which it inherits from us.
class ScopedLogVariable {
 public:
  explicit ScopedLogVariable(const std::string& logPath) {
    SetEnvironmentVariableA("KV_VANETIDE_LOG", logPath.c_str());
  }
  ~ScopedLogVariable() { SetEnvironmentVariableA("KV_VANETIDE_LOG", nullptr); }
};

}  // namespace

Process StartStandIn(const std::string& arguments, const std::string& logPath) {
  ScopedLogVariable log(logPath);
  return Process::Start(TestPaths().standIn, arguments, ScratchRoot());
}

int RunStandIn(const std::string& arguments, const std::string& logPath, DWORD timeoutMs) {
  Process standIn = StartStandIn(arguments, logPath);
  if (!standIn.WaitForExit(timeoutMs)) return -1;
  return static_cast<int>(standIn.ExitCode());
}

std::vector<std::pair<std::string, std::string>> ReadStandInLog(const std::string& logPath) {
  std::vector<std::pair<std::string, std::string>> lines;
  std::ifstream file(logPath, std::ios::binary);
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    lines.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return lines;
}

std::vector<StandInStart> StandInStarts(const std::string& logPath) {
  // Each start writes its command line, then its working folder: a start is complete with the second.
  std::vector<StandInStart> starts;
  std::optional<std::string> commandLine;
  for (const auto& [tag, text] : ReadStandInLog(logPath)) {
    if (tag == "cmdline") commandLine = text;
    if (tag == "cwd" && commandLine) {
      starts.push_back(StandInStart{*commandLine, text});
      commandLine.reset();
    }
  }
  return starts;
}

bool LogHas(const std::string& logPath, const std::string& tag, const std::string& text) {
  for (const auto& line : ReadStandInLog(logPath))
    if (line.first == tag && line.second == text) return true;
  return false;
}

std::string ArgumentsOf(const std::string& commandLine) {
  size_t at = commandLine.find_first_not_of(' ');
  if (at == std::string::npos) return {};
  if (commandLine[at] == '"') {
    size_t close = commandLine.find('"', at + 1);
    at = close == std::string::npos ? commandLine.size() : close + 1;
  } else {
    at = commandLine.find(' ', at);
    if (at == std::string::npos) at = commandLine.size();
  }
  const size_t first = commandLine.find_first_not_of(' ', at);
  if (first == std::string::npos) return {};
  const size_t last = commandLine.find_last_not_of(' ');
  return commandLine.substr(first, last - first + 1);
}

bool PostRegistered(HWND window, const char* name) {
  UINT message = RegisterWindowMessageA(name);
  return message != 0 && PostMessageA(window, message, 0, 0) != FALSE;
}

// ---- screenshots ----

namespace {

// Runs a shell script on the Linux side of Wine. Wine starts Linux programs but gives no handle to wait
// on, so the script leaves a marker holding its exit status when it is done. True when it ended with 0.
bool RunLinuxScript(const std::string& what, std::string script) {
  const std::string folder = TestPaths().artifactsUnix;
  CreateDirectoryA(TestPaths().artifacts.c_str(), nullptr);
  const std::string done = folder + "/" + what + ".done";
  const std::string marker = DosPath(done);
  DeleteFileA(marker.c_str());
  script = "( " + script + " ) ; echo $? > '" + done + "'";
  std::string commandLine = "/bin/sh -c \"" + script + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    ADD_FAILURE() << "cannot start the script for " << what << ": error " << GetLastError();
    return false;
  }
  // A Linux program gives no handles to wait on; whatever it gives is let go at once.
  UniqueHandle process(info.hProcess), thread(info.hThread);
  if (!WaitUntil([&] { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000, 50)) {
    ADD_FAILURE() << what << ": the script did not end within 30 s";
    return false;
  }
  std::string status;
  WaitUntil(
      [&] {
        std::ifstream file(marker);
        std::getline(file, status);
        return !status.empty();
      },
      5000);
  DeleteFileA(marker.c_str());
  if (status != "0") {
    ADD_FAILURE() << what << " failed: the script ended with " << status;
    return false;
  }
  return true;
}

std::string HexColour(COLORREF colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}

std::string CropGeometry(const RECT& area) {
  return std::to_string(area.right - area.left) + "x" + std::to_string(area.bottom - area.top) + "+" +
         std::to_string(area.left) + "+" + std::to_string(area.top);
}

}  // namespace

bool Screenshot(const std::string& name, const RECT* area, int zoom, COLORREF desktop) {
  const std::string folder = TestPaths().artifactsUnix;
  if (folder.empty()) {
    ADD_FAILURE() << "no artifacts folder given for screenshot " << name;
    return false;
  }
  const std::string screen = folder + "/" + name + "-screen.png";
  // ImageMagick runs on the Linux side. Each file is written under a temporary name first, so a
  // half-written picture is never seen. The virtual display's root window is black: it gets the desktop's
  // colour first, which shows whatever of a window lets the desktop through.
  const std::string background = folder + "/" + name + "-desktop.png";
  std::string script = "convert -size 16x16 xc:'" + HexColour(desktop) + "' png:'" + background +
                       "' && display -window root '" + background + "' ; rm -f '" + background +
                       "' ; import -window root png:'" + screen + ".part' && mv '" + screen + ".part' '" + screen + "'";
  if (area != nullptr) {
    const int margin = 24;
    const RECT around{std::max<LONG>(0, area->left - margin), std::max<LONG>(0, area->top - margin),
                      area->right + margin, area->bottom + margin};
    const std::string crop = folder + "/" + name + ".png";
    script += " && convert '" + screen + "' -crop " + CropGeometry(around) + " +repage -scale " +
              std::to_string(100 * zoom) + "% png:'" + crop + ".part' && mv '" + crop + ".part' '" + crop + "'";
  }
  return RunLinuxScript("screenshot " + name, script);
}

std::optional<Pixels> ScreenshotPixels(const std::string& name, const RECT& area) {
  const std::string folder = TestPaths().artifactsUnix;
  if (folder.empty() || area.right <= area.left || area.bottom <= area.top) {
    ADD_FAILURE() << "no artifacts folder, or an empty area, for the pixels of " << name;
    return std::nullopt;
  }
  const std::string raw = folder + "/" + name + "-pixels.rgb";
  const std::string script = "convert '" + folder + "/" + name + "-screen.png' -crop " + CropGeometry(area) +
                             " +repage -depth 8 rgb:'" + raw + ".part' && mv '" + raw + ".part' '" + raw + "'";
  if (!RunLinuxScript("pixels of " + name, script)) return std::nullopt;
  Pixels pixels;
  pixels.width = area.right - area.left;
  pixels.height = area.bottom - area.top;
  std::string bytes;
  {
    std::ifstream file(DosPath(raw), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  DeleteFileA(DosPath(raw).c_str());
  const size_t expected = static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height) * 3;
  if (bytes.size() != expected) {
    ADD_FAILURE() << "the pixels of " << name << " hold " << bytes.size() << " bytes, not " << expected
                  << " (is the area outside the screen?)";
    return std::nullopt;
  }
  pixels.colours.reserve(expected / 3);
  for (size_t i = 0; i < expected; i += 3) {
    pixels.colours.push_back(RGB(static_cast<unsigned char>(bytes[i]), static_cast<unsigned char>(bytes[i + 1]),
                                 static_cast<unsigned char>(bytes[i + 2])));
  }
  return pixels;
}

// ---- the thread watch ----

namespace {

std::vector<DWORD> ThreadsOf(DWORD pid) {
  std::vector<DWORD> threads;
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return threads;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Thread32First(snapshot.get(), &entry); ok; ok = Thread32Next(snapshot.get(), &entry))
    if (entry.th32OwnerProcessID == pid) threads.push_back(entry.th32ThreadID);
  return threads;
}

}  // namespace

ThreadWatch::ThreadWatch(DWORD pid, DWORD pollMs) : pid_(pid), pollMs_(pollMs), baseline_(ThreadsOf(pid)) {
  thread_ = std::thread([this] { Run(); });
}

ThreadWatch::~ThreadWatch() {
  stop_ = true;
  thread_.join();
}

void ThreadWatch::Run() {
  while (!stop_) {
    const std::vector<DWORD> now = ThreadsOf(pid_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto time = Clock::now();
      for (auto& [id, seen] : seen_) {
        seen.alive = std::find(now.begin(), now.end(), id) != now.end();
        if (seen.alive) seen.last = time;
      }
      for (DWORD id : now)
        if (std::find(baseline_.begin(), baseline_.end(), id) == baseline_.end())
          seen_.emplace(id, Seen{true, time, time});
      ++passes_;
    }
    changed_.notify_all();
    Sleep(pollMs_);
  }
}

int ThreadWatch::Appeared() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(seen_.size());
}

int ThreadWatch::Ended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(
      std::count_if(seen_.begin(), seen_.end(), [](const auto& entry) { return !entry.second.alive; }));
}

bool ThreadWatch::NewThreadAlive() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::any_of(seen_.begin(), seen_.end(), [](const auto& entry) { return entry.second.alive; });
}

bool ThreadWatch::WaitForNewThread(DWORD timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
    return std::any_of(seen_.begin(), seen_.end(), [](const auto& entry) { return entry.second.alive; });
  });
}

void ThreadWatch::CatchUp() const {
  std::unique_lock<std::mutex> lock(mutex_);
  // The pass under way may have begun before the call: wait for the one after it.
  const unsigned long long target = passes_ + 2;
  changed_.wait_for(lock, std::chrono::seconds(10), [&] { return passes_ >= target; });
}

std::string ThreadWatch::Describe() const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto ms = [](Clock::duration duration) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count());
  };
  std::string text = std::to_string(seen_.size()) + " new thread(s), in " + std::to_string(passes_) + " looks";
  for (const auto& [id, seen] : seen_)
    text += "; thread " + std::to_string(id) + " from " + ms(seen.first - start_) + " ms for " +
            ms(seen.last - seen.first) + " ms" + (seen.alive ? " (alive)" : "");
  return text;
}

}  // namespace kv::e2e
