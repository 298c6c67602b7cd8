#include "app/system_parts.h"

#include <shellapi.h>

#include <vector>

#include "platform/win32/unique_handles.h"
#include "platform/win32/utf.h"

namespace kv {
namespace {

class Win32NamedMutex : public NamedMutex {
 public:
  explicit Win32NamedMutex(win32::UniqueHandle handle) : handle_(std::move(handle)) {}

  MutexWait Wait(std::uint32_t milliseconds) override {
    switch (WaitForSingleObject(handle_.get(), milliseconds)) {
      case WAIT_OBJECT_0: return MutexWait::kAcquired;
      case WAIT_ABANDONED: return MutexWait::kAbandoned;
      case WAIT_TIMEOUT: return MutexWait::kTimeout;
      default: return MutexWait::kFailed;
    }
  }
  void Release() override { ReleaseMutex(handle_.get()); }

 private:
  win32::UniqueHandle handle_;
};

}  // namespace

std::unique_ptr<NamedMutex> Win32FormSystem::OpenMutex(const std::string& name) {
  win32::UniqueHandle handle(CreateMutexW(nullptr, FALSE, Widen(name).c_str()));
  if (!handle) return nullptr;
  return std::make_unique<Win32NamedMutex>(std::move(handle));
}

std::string ExecutableFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) {
      const std::string path = Narrow(buffer.data(), length);
      return path.substr(0, path.find_last_of("\\/:") + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string Win32FormSystem::ProgramFolder() { return ExecutableFolder(); }

// The shell's answer is not looked at: a cleaner that does not start says so itself, or not at all.
void Win32FormSystem::Open(const std::string& file, const std::string& parameters, const std::string& folder) {
  ShellExecuteW(owner_, L"open", Widen(file).c_str(), Widen(parameters).c_str(), Widen(folder).c_str(), SW_SHOWNORMAL);
}

}  // namespace kv
