#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/win32/utf.h"
#include "platform/win32/win32_platform.h"

namespace kv {
namespace {

void Fill(const WIN32_FIND_DATAW& data, FindEntry* entry) {
  entry->name = NarrowTerminated(data.cFileName, MAX_PATH);
  entry->alternateName = NarrowTerminated(data.cAlternateFileName, 14);
  entry->attributes = data.dwFileAttributes;
  entry->lastWriteTime =
      (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// A search handle, closed when it goes.
class SearchHandle {
 public:
  explicit SearchHandle(HANDLE handle) : handle_(handle) {}
  SearchHandle(const SearchHandle&) = delete;
  SearchHandle& operator=(const SearchHandle&) = delete;
  ~SearchHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) ::FindClose(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// One existence test of a network name, run on a thread of its own. The thread and the caller share it;
// whichever lets go of it last frees it, so a test that outlives the caller's wait still ends cleanly.
struct NetworkTest {
  explicit NetworkTest(std::string tested) : name(std::move(tested)) {}
  const std::string name;
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  bool present = false;
};

void RunNetworkTest(const std::shared_ptr<NetworkTest>& test) {
  WIN32_FIND_DATAW data{};
  SearchHandle find(FindFirstFileW(Widen(test->name).c_str(), &data));
  bool present = false;
  if (find.get() != INVALID_HANDLE_VALUE) {
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) present = true;
    } while (!present && FindNextFileW(find.get(), &data));
  }
  std::lock_guard<std::mutex> guard(test->lock);
  test->present = present;
  test->done = true;
  test->finished.notify_all();
}

// A path call (GetFullPathNameW, GetShortPathNameW) made with a buffer of its own, as large as the answer
// needs, and its answer handed out by the rules of the seam: the UTF-8 bytes copied when `length` has room
// for them and their NUL, else the room needed; 0 when the call fails.
template <typename PathCall>
std::uint32_t DeliverPath(PathCall call, std::uint32_t length, char* buffer) {
  wchar_t small[MAX_PATH + 1];
  std::vector<wchar_t> large;
  wchar_t* wide = small;
  DWORD room = MAX_PATH + 1;
  DWORD got = call(wide, room);
  for (int attempt = 0; got > room && attempt < 4; ++attempt) {  // too small: again, with the room it named
    room = got;
    large.assign(room, L'\0');
    wide = large.data();
    got = call(wide, room);
  }
  if (got == 0 || got >= room) return 0;
  const std::string text = Narrow(wide, got);
  if (text.size() >= length) return static_cast<std::uint32_t>(text.size() + 1);
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return static_cast<std::uint32_t>(text.size());
}

// The test given up last, while it still waits on the network.
std::mutex g_staleLock;
std::shared_ptr<NetworkTest> g_stale;

}  // namespace

FindHandle Win32FileSystem::FindFirst(const std::string& pattern, FindEntry* entry) {
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(Widen(pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return kNoFind;
  Fill(data, entry);
  return reinterpret_cast<FindHandle>(find);
}

// Why the last FindNextFileW of this thread that failed did so.
static thread_local DWORD t_findNextError = ERROR_NO_MORE_FILES;

bool Win32FileSystem::FindNext(FindHandle find, FindEntry* entry) {
  WIN32_FIND_DATAW data{};
  if (!FindNextFileW(reinterpret_cast<HANDLE>(find), &data)) {
    t_findNextError = GetLastError();
    return false;
  }
  Fill(data, entry);
  return true;
}

bool Win32FileSystem::FindExhausted(FindHandle) { return t_findNextError == ERROR_NO_MORE_FILES; }

void Win32FileSystem::FindClose(FindHandle find) { ::FindClose(reinterpret_cast<HANDLE>(find)); }

std::uint32_t Win32FileSystem::GetAttributes(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str());
}

std::uint32_t Win32FileSystem::FullPathName(const std::string& path, std::uint32_t length, char* buffer) {
  const std::wstring wide = Widen(path);
  return DeliverPath([&](wchar_t* out, DWORD room) { return GetFullPathNameW(wide.c_str(), room, out, nullptr); },
                     length, buffer);
}

std::uint32_t Win32FileSystem::ShortPathName(const std::string& path, std::uint32_t length, char* buffer) {
  const std::wstring wide = Widen(path);
  return DeliverPath([&](wchar_t* out, DWORD room) { return GetShortPathNameW(wide.c_str(), out, room); }, length,
                     buffer);
}

std::uint32_t Win32FileSystem::SetErrorMode(std::uint32_t mode) { return ::SetErrorMode(mode); }

std::uint32_t Win32FileSystem::DriveType(const std::string& root) { return GetDriveTypeW(Widen(root).c_str()); }

// The search runs on a thread of its own, and the caller waits for it at most `waitMs`. A search that
// does not answer in time is left to finish on its own (the system ends it when the network times out,
// or the process ends); until it has, every other network name is answered "no answer" at once.
NetworkFileAnswer Win32FileSystem::FindNetworkFile(const std::string& name, std::uint32_t waitMs) {
  {
    std::lock_guard<std::mutex> guard(g_staleLock);
    if (g_stale) {
      std::lock_guard<std::mutex> testGuard(g_stale->lock);
      if (!g_stale->done) return NetworkFileAnswer::kNoAnswer;
    }
    g_stale.reset();
  }
  auto test = std::make_shared<NetworkTest>(name);
  try {
    std::thread(RunNetworkTest, test).detach();
  } catch (const std::system_error&) {
    return NetworkFileAnswer::kNoAnswer;
  }
  std::unique_lock<std::mutex> wait(test->lock);
  if (!test->finished.wait_for(wait, std::chrono::milliseconds(waitMs), [&test] { return test->done; })) {
    wait.unlock();
    std::lock_guard<std::mutex> guard(g_staleLock);
    g_stale = test;
    return NetworkFileAnswer::kNoAnswer;
  }
  return test->present ? NetworkFileAnswer::kPresent : NetworkFileAnswer::kAbsent;
}

}  // namespace kv
