#include "bench/win32/real_machine.h"

#include <stdexcept>

namespace kv::bench {
namespace {

HKEY Predefined(std::uint32_t root) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root))); }

void Check(LONG status, const std::string& what) {
  if (status != ERROR_SUCCESS) throw std::runtime_error(what + " failed: " + std::to_string(status));
}

}  // namespace

ScratchRoots::ScratchRoots(int size) {
  const std::string base = "Software\\KvBench\\Size" + std::to_string(size) + "\\";
  const std::uint32_t roots[3] = {HKEY_LOCAL_MACHINE_CODE, HKEY_CLASSES_ROOT_CODE, HKEY_CURRENT_USER_CODE};
  const char* names[3] = {"HKLM", "HKCR", "HKCU"};
  for (int i = 0; i < 3; ++i)
    Check(RegCreateKeyExA(HKEY_CURRENT_USER, (base + names[i]).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &keys_[i], nullptr),
          "RegCreateKeyEx " + base + names[i]);
  // HKEY_CURRENT_USER last: the scratch keys themselves live below the real one.
  for (int i = 0; i < 3; ++i) Check(RegOverridePredefKey(Predefined(roots[i]), keys_[i]), "RegOverridePredefKey");
}

ScratchRoots::~ScratchRoots() {
  const std::uint32_t roots[3] = {HKEY_LOCAL_MACHINE_CODE, HKEY_CLASSES_ROOT_CODE, HKEY_CURRENT_USER_CODE};
  for (int i = 0; i < 3; ++i) {
    RegOverridePredefKey(Predefined(roots[i]), nullptr);
    RegCloseKey(keys_[i]);
  }
}

Win32Sink::~Win32Sink() {
  if (open_ != nullptr) RegCloseKey(open_);
}

HKEY Win32Sink::Key(std::uint32_t root, const std::string& path) {
  if (open_ != nullptr && root == openRoot_ && path == openPath_) return open_;
  if (open_ != nullptr) RegCloseKey(open_);
  open_ = nullptr;
  Check(RegCreateKeyExA(Predefined(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &open_, nullptr),
        "RegCreateKeyEx " + path);
  openRoot_ = root;
  openPath_ = path;
  return open_;
}

void Win32Sink::CreateKey(std::uint32_t root, const std::string& path) { Key(root, path); }

void Win32Sink::SetValue(std::uint32_t root, const std::string& path, const std::string& name, DWORD type,
                         const BYTE* data, DWORD size) {
  Check(RegSetValueExA(Key(root, path), name.c_str(), 0, type, data, size), "RegSetValueEx " + path + " " + name);
}

void Win32Sink::SetString(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text,
                          bool expandable) {
  SetValue(root, path, name, expandable ? REG_EXPAND_SZ : REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
           static_cast<DWORD>(text.size() + 1));
}

void Win32Sink::SetDword(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t value) {
  const DWORD data = value;
  SetValue(root, path, name, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

void Win32Sink::SetMultiString(std::uint32_t root, const std::string& path, const std::string& name,
                               const std::vector<std::string>& strings) {
  std::string data;
  for (const std::string& s : strings) data += s + '\0';
  data += '\0';
  SetValue(root, path, name, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
}

void Win32Sink::MakeFolders(const std::string& folder) {
  if (folder.size() <= 3 || folders_.count(folder) != 0) return;
  MakeFolders(folder.substr(0, folder.find_last_of('\\')));
  CreateDirectoryA(folder.c_str(), nullptr);  // fails harmlessly when the folder exists
  folders_.insert(folder);
}

void Win32Sink::AddFile(const std::string& path) {
  MakeFolders(path.substr(0, path.find_last_of('\\')));
  // CREATE_NEW leaves an existing file (a system DLL) untouched.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void Win32Sink::AddFolder(const std::string& path) { MakeFolders(path); }

}  // namespace kv::bench
