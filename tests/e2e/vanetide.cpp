// vanetide.exe: the stand-in for the full cleaner that the end-to-end tests put beside the monitor.
//
// Every start appends to its log (the file named by KV_VANETIDE_LOG, or "vanetide.log" beside the program)
// a line "cmdline<TAB>" with its command line exactly as it received it and a line "cwd<TAB>" with its
// working folder. It then carries out its options in the order given, logging each step:
//   --hold-mutex MS          take the mutex "Vanetide", hold it MS milliseconds, release it
//   --set-monitoring N       write "Monitoring" = N (REG_DWORD) under HKCU "Software\Tamberlyn\Keyvane"
//   --set-mask N             write "Items For Monitoring" = N (REG_DWORD) there
//   --post KVMustDie|KVMonitoringDisable
//                            post that registered message to the window FindWindowA("TfmMain", nullptr)
// Any other argument (the monitor passes "Monitoring") is only recorded.
// Exit code: 0 when every option was carried out, 2 for a malformed option, 3 when an option failed.
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/unique_handles.h"

namespace {

using kv::win32::UniqueFileHandle;
using kv::win32::UniqueHandle;
using kv::win32::UniqueRegKey;

constexpr int kUsageError = 2;
constexpr int kFailed = 3;
constexpr DWORD kMutexWaitMs = 10000;

std::string ProgramFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string LogPath() {
  char path[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("KV_VANETIDE_LOG", path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return std::string(path, length);
  return ProgramFolder() + "vanetide.log";
}

// Appends one "tag<TAB>text" line. The file is opened for each line with full sharing, so that a test can
// read it at any time and several stand-ins may write to it in turn.
void Log(const std::string& tag, const std::string& text) {
  UniqueFileHandle file(CreateFileA(LogPath().c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::string line = tag + "\t" + text + "\r\n";
  DWORD written = 0;
  WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// A DWORD written as a decimal number: 0 .. 4294967295, or a negative number down to -2147483648.
bool ParseDword(const char* text, DWORD& value) {
  if (text == nullptr || *text == '\0') return false;
  errno = 0;
  char* end = nullptr;
  long long number = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || number < -2147483648LL || number > 4294967295LL) return false;
  value = static_cast<DWORD>(number);
  return true;
}

bool HoldMutex(DWORD milliseconds) {
  UniqueHandle mutex(CreateMutexA(nullptr, FALSE, "Vanetide"));
  if (!mutex) {
    Log("error", "CreateMutexA(Vanetide) failed: " + std::to_string(GetLastError()));
    return false;
  }
  DWORD wait = WaitForSingleObject(mutex.get(), kMutexWaitMs);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
    Log("error", "could not take Vanetide: wait result " + std::to_string(wait));
    return false;
  }
  Log("holding", "Vanetide");
  Sleep(milliseconds);
  ReleaseMutex(mutex.get());
  Log("released", "Vanetide");
  return true;
}

bool SetSetting(const char* name, DWORD value) {
  UniqueRegKey key;
  LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Tamberlyn\\Keyvane", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, key.receive(), nullptr);
  if (status == ERROR_SUCCESS)
    status = RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  if (status != ERROR_SUCCESS) {
    Log("error", std::string("writing ") + name + " failed: " + std::to_string(status));
    return false;
  }
  Log("set", std::string(name) + "=" + std::to_string(value));
  return true;
}

bool Post(const std::string& name) {
  UINT message = RegisterWindowMessageA(name.c_str());
  HWND form = FindWindowA("TfmMain", nullptr);
  if (message == 0 || form == nullptr) {
    Log("error", "no window of class TfmMain to post " + name + " to");
    return false;
  }
  if (!PostMessageA(form, message, 0, 0)) {
    Log("error", "PostMessageA(" + name + ") failed: " + std::to_string(GetLastError()));
    return false;
  }
  Log("posted", name);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Log("cmdline", GetCommandLineA());
  char folder[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
  Log("cwd", std::string(folder, length < MAX_PATH ? length : 0));

  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const char* operand = i + 1 < argc ? argv[i + 1] : nullptr;
    DWORD number = 0;
    if (option == "--hold-mutex" || option == "--set-monitoring" || option == "--set-mask") {
      if (!ParseDword(operand, number)) {
        Log("error", option + " needs a number");
        return kUsageError;
      }
      ++i;
      if (option == "--hold-mutex")
        ok = HoldMutex(number) && ok;
      else
        ok = SetSetting(option == "--set-monitoring" ? "Monitoring" : "Items For Monitoring", number) && ok;
    } else if (option == "--post") {
      if (operand == nullptr ||
          (std::strcmp(operand, "KVMustDie") != 0 && std::strcmp(operand, "KVMonitoringDisable") != 0)) {
        Log("error", "--post needs KVMustDie or KVMonitoringDisable");
        return kUsageError;
      }
      ++i;
      ok = Post(operand) && ok;
    }
  }
  return ok ? 0 : kFailed;
}
