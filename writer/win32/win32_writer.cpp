#include "writer/win32/win32_writer.h"

#include <stdexcept>

#include "platform/registry_api.h"
#include "platform/win32/utf.h"

namespace kv {
namespace {

HKEY Predefined(std::uint32_t root) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root))); }

[[noreturn]] void Fail(LONG status, const std::string& what) {
  throw std::runtime_error(what + " failed: " + std::to_string(status));
}

// The roots a scratch key stands in for, in the order they are overridden: HKEY_CURRENT_USER last, as the
// scratch keys themselves live below the real one.
const std::uint32_t kRoots[3] = {HKEY_LOCAL_MACHINE_CODE, HKEY_CLASSES_ROOT_CODE, HKEY_CURRENT_USER_CODE};
const char* const kRootNames[3] = {"HKLM", "HKCR", "HKCU"};

}  // namespace

ScratchRoots::ScratchRoots(const std::string& base) : base_(base) {
  for (int i = 0; i < 3; ++i) {
    const std::string path = Path(kRoots[i]);
    const LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                        keys_[i].receive(), nullptr);
    if (status != ERROR_SUCCESS) Fail(status, "RegCreateKeyEx " + path);
  }
  for (int i = 0; i < 3; ++i) {
    const LONG status = RegOverridePredefKey(Predefined(kRoots[i]), keys_[i].get());
    if (status != ERROR_SUCCESS) Fail(status, "RegOverridePredefKey");
  }
}

ScratchRoots::~ScratchRoots() {
  for (std::uint32_t root : kRoots) RegOverridePredefKey(Predefined(root), nullptr);
}

std::string ScratchRoots::Path(std::uint32_t root) const {
  for (int i = 0; i < 3; ++i)
    if (kRoots[i] == root) return base_ + "\\" + kRootNames[i];
  throw std::invalid_argument("no scratch key for root " + std::to_string(root));
}

// Creates the key (again, should it have been deleted) and keeps it open.
HKEY Win32Writer::Open(std::uint32_t root, const std::string& path) {
  const LONG status = RegCreateKeyExW(Predefined(root), Widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                      open_.receive(), nullptr);
  if (status != ERROR_SUCCESS) Fail(status, "RegCreateKeyEx " + path);
  openRoot_ = root;
  openPath_ = path;
  return open_.get();
}

void Win32Writer::CreateKey(std::uint32_t root, const std::string& path) { Open(root, path); }

void Win32Writer::Set(std::uint32_t root, const std::string& path, const wchar_t* name, std::uint32_t type,
                      const std::vector<std::uint8_t>& data) {
  const bool reuse = open_ && root == openRoot_ && path == openPath_;
  HKEY key = reuse ? open_.get() : Open(root, path);
  const BYTE* bytes = data.empty() ? nullptr : data.data();
  const auto size = static_cast<DWORD>(data.size());
  LONG status = RegSetValueExW(key, name, 0, type, bytes, size);
  // The key kept open was deleted since: the value goes into the key made anew, as it would have.
  if (status == ERROR_KEY_DELETED && reuse) status = RegSetValueExW(Open(root, path), name, 0, type, bytes, size);
  if (status != ERROR_SUCCESS) Fail(status, "RegSetValueEx " + path + " " + Narrow(std::wstring(name)));
}

void Win32Writer::SetValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
                           const std::vector<std::uint8_t>& data) {
  Set(root, path, Widen(name).c_str(), type, data);
}

void Win32Writer::SetValueW(std::uint32_t root, const std::string& path, const std::u16string& name, std::uint32_t type,
                            const std::vector<std::uint8_t>& data) {
  Set(root, path, reinterpret_cast<const wchar_t*>(name.c_str()), type, data);
}

void Win32Writer::MakeFolders(const std::string& folder) {
  const std::size_t last = folder.find_last_of('\\');
  if (folder.size() <= 3 || last == std::string::npos || folders_.count(folder) != 0) return;
  MakeFolders(folder.substr(0, last));
  CreateDirectoryW(Widen(folder).c_str(), nullptr);  // fails harmlessly when the folder exists
  folders_.insert(folder);
}

void Win32Writer::AddFile(const std::string& path) {
  MakeFolders(path.substr(0, path.find_last_of('\\')));
  // CREATE_NEW leaves an existing file (a system DLL) untouched.
  win32::UniqueFileHandle file(
      CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE, nullptr));
  if (!file && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
    throw std::runtime_error("cannot create " + path);
}

void Win32Writer::AddDirectory(const std::string& path) { MakeFolders(path); }

}  // namespace kv
