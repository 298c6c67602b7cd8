// The real world: Windows' own registry and files, isolated per test.
#ifdef _WIN32

#include <windows.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/utf.h"
#include "platform/win32/win32_platform.h"
#include "tests/testing/world.h"
#include "writer/win32/win32_writer.h"

namespace kv::testing {
namespace {

HKEY Predefined(std::uint32_t root) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root))); }

std::wstring Wide(const std::string& text) { return Widen(text); }

void Check(LONG status, const char* what) {
  if (status != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(status));
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path + L"\\");
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

class RealWorld : public World {
 public:
  RealWorld() : roots_(std::in_place, scratch_), writer_(std::in_place) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    folder_ = Narrow(std::wstring(temp)) + "kvtest-" + id_ + "\\";
    writer_->AddDirectory(folder_);

    wchar_t current[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    savedCurrentDirectory_ = current;
  }

  ~RealWorld() override {
    writer_.reset();  // with the key it keeps open
    ::SetCurrentDirectoryW(savedCurrentDirectory_.c_str());
    for (auto it = savedEnvironment_.rbegin(); it != savedEnvironment_.rend(); ++it)
      SetEnvironmentVariableW(it->first.c_str(), it->second.second ? it->second.first.c_str() : nullptr);
    roots_.reset();
    for (const std::string& path : restricted_) {
      HKEY key = nullptr;
      if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path).c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
        SetDacl(key, "D:(A;;KA;;;WD)");
        RegCloseKey(key);
      }
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, Wide(scratch_).c_str());
    RemoveTree(Wide(folder_));
    CoUninitialize();
  }

  Platform& platform() override { return Win32Platform(); }

  MachineWriter& writer() override { return *writer_; }

  void SetValueW(std::uint32_t root, const std::string& path, const std::u16string& name, std::uint32_t type,
                 const std::vector<std::uint8_t>& data) override {
    writer_->SetValueW(root, path, name, type, data);
  }

  void RestrictToQueryValue(std::uint32_t root, const std::string& path) override {
    HKEY key = nullptr;
    Check(RegOpenKeyExW(Predefined(root), Wide(path).c_str(), 0, KEY_ALL_ACCESS, &key), "RegOpenKeyEx");
    SetDacl(key, "D:P(A;;0x1;;;WD)");
    RegCloseKey(key);
    restricted_.push_back(roots_->Path(root) + "\\" + path);
  }

  std::string Folder() override { return folder_; }

  void AddShortcut(const std::string& link, const std::string& target) override {
    MakeParents(link);
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
      throw std::runtime_error("no shell link object");
    shellLink->SetPath(Wide(target).c_str());
    IPersistFile* file = nullptr;
    HRESULT saved = E_FAIL;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      saved = file->Save(Wide(link).c_str(), TRUE);
      file->Release();
    }
    shellLink->Release();
    if (FAILED(saved)) throw std::runtime_error("cannot save " + link);
  }

  void AddShortcutToShellItem(const std::string& link) override {
    MakeParents(link);
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &item)))
      throw std::runtime_error("no computer folder");
    IShellLinkA* shellLink = nullptr;
    HRESULT saved = E_FAIL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shellLink)))) {
      IPersistFile* file = nullptr;
      if (SUCCEEDED(shellLink->SetIDList(item)) &&
          SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        saved = file->Save(Wide(link).c_str(), TRUE);
        file->Release();
      }
      shellLink->Release();
    }
    CoTaskMemFree(item);
    if (FAILED(saved)) throw std::runtime_error("cannot save " + link);
  }

  void SetFileTime(const std::string& path, std::uint64_t fileTime) override {
    HANDLE file = CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
    FILETIME time{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    ::SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
  }

  void SetCurrentDirectory(const std::string& path) override {
    if (!::SetCurrentDirectoryW(Wide(path).c_str())) throw std::runtime_error("cannot enter " + path);
  }

  void SetEnvironment(const std::string& name, const std::string& value) override {
    const std::wstring wideName = Wide(name);
    std::vector<wchar_t> saved(32768);
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), saved.data(), static_cast<DWORD>(saved.size()));
    savedEnvironment_.push_back(
        {wideName, {std::wstring(saved.data(), length < saved.size() ? length : 0), length > 0}});
    SetEnvironmentVariableW(wideName.c_str(), value.empty() ? nullptr : Wide(value).c_str());
  }

  bool SystemExpand(const std::string& text, std::string* expanded) override {
    const std::wstring wide = Wide(text);
    std::vector<wchar_t> buffer(wide.size() * 4 + 32768, L'\0');
    const DWORD length = ExpandEnvironmentStringsW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length > buffer.size()) return false;
    *expanded = Narrow(std::wstring(buffer.data()));
    return true;
  }

 private:
  static void SetDacl(HKEY key, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
      throw std::runtime_error("bad security descriptor");
    LONG status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    Check(status, "RegSetKeySecurity");
  }

  static std::string NewId() {
    static std::atomic<int> counter{0};
    return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
  }

  // The folder a file is to go in, made with its parents.
  void MakeParents(const std::string& path) { writer_->AddDirectory(path.substr(0, path.find_last_of('\\'))); }

  const std::string id_ = NewId();
  const std::string scratch_ = "Software\\KeyvaneTests\\" + id_;  // below HKEY_CURRENT_USER
  std::optional<ScratchRoots> roots_;
  std::optional<Win32Writer> writer_;
  std::string folder_;
  std::wstring savedCurrentDirectory_;
  std::vector<std::string> restricted_;
  std::vector<std::pair<std::wstring, std::pair<std::wstring, bool>>> savedEnvironment_;  // name, value, was set
};

}  // namespace

std::unique_ptr<World> MakeRealWorld() { return std::make_unique<RealWorld>(); }

}  // namespace kv::testing

#endif  // _WIN32
