// The real world: Windows' own registry and files, isolated per test.
#ifdef _WIN32

#include <windows.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "tests/testing/world.h"

namespace kv::testing {
namespace {

HKEY Predefined(std::uint32_t root) {
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

std::wstring Wide(const std::string& text) {
  std::u16string wide = Win32Platform().system.AnsiToWide(text);
  return std::wstring(wide.begin(), wide.end());
}

void Check(LONG status, const char* what) {
  if (status != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(status));
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path + "\\");
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

class RealWorld : public World {
 public:
  RealWorld() {
    static std::atomic<int> counter{0};
    const std::string id = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    scratch_ = "Software\\KeyvaneTests\\" + id;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (std::uint32_t root : {HKEY_LOCAL_MACHINE_CODE, HKEY_CLASSES_ROOT_CODE, HKEY_CURRENT_USER_CODE}) {
      HKEY key = nullptr;
      const std::string path = scratch_ + "\\" + std::to_string(root);
      Check(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            "RegCreateKeyEx");
      overrides_.push_back({root, key});
    }
    // HKEY_CURRENT_USER last: the scratch keys themselves live below the real one.
    for (auto& [root, key] : overrides_) Check(RegOverridePredefKey(Predefined(root), key), "RegOverridePredefKey");

    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "kvtest-" + id + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);

    char current[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    savedCurrentDirectory_ = current;
  }

  ~RealWorld() override {
    ::SetCurrentDirectoryA(savedCurrentDirectory_.c_str());
    for (auto it = savedEnvironment_.rbegin(); it != savedEnvironment_.rend(); ++it)
      SetEnvironmentVariableA(it->first.c_str(), it->second.second ? it->second.first.c_str() : nullptr);
    for (auto& [root, key] : overrides_) {
      RegOverridePredefKey(Predefined(root), nullptr);
      RegCloseKey(key);
    }
    for (const std::string& path : restricted_) {
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
        SetDacl(key, "D:(A;;KA;;;WD)");
        RegCloseKey(key);
      }
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
    RemoveTree(folder_);
    CoUninitialize();
  }

  Platform& platform() override { return Win32Platform(); }

  void CreateKey(std::uint32_t root, const std::string& path) override {
    HKEY key = nullptr;
    Check(RegCreateKeyExA(Predefined(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
          "RegCreateKeyEx");
    RegCloseKey(key);
  }

  void SetValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    std::u16string wide = Win32Platform().system.AnsiToWide(name);
    SetValueW(root, path, wide, type, data);
  }

  void SetValueW(std::uint32_t root, const std::string& path, const std::u16string& name, std::uint32_t type,
                 const std::vector<std::uint8_t>& data) override {
    HKEY key = nullptr;
    Check(RegCreateKeyExA(Predefined(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
          "RegCreateKeyEx");
    LONG status = RegSetValueExW(key, reinterpret_cast<const wchar_t*>(name.c_str()), 0, type,
                                 data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    Check(status, "RegSetValueExW");
  }

  void RestrictToQueryValue(std::uint32_t root, const std::string& path) override {
    HKEY key = nullptr;
    Check(RegOpenKeyExA(Predefined(root), path.c_str(), 0, KEY_ALL_ACCESS, &key), "RegOpenKeyEx");
    SetDacl(key, "D:P(A;;0x1;;;WD)");
    RegCloseKey(key);
    restricted_.push_back(scratch_ + "\\" + std::to_string(root) + "\\" + path);
  }

  std::string Folder() override { return folder_; }

  void AddFile(const std::string& path) override {
    MakeParents(path);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
    CloseHandle(file);
  }

  void AddDirectory(const std::string& path) override {
    MakeParents(path + "\\");
    CreateDirectoryA(path.c_str(), nullptr);
  }

  void AddShortcut(const std::string& link, const std::string& target) override {
    MakeParents(link);
    IShellLinkA* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shellLink))))
      throw std::runtime_error("no shell link object");
    shellLink->SetPath(target.c_str());
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
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &item))) throw std::runtime_error("no computer folder");
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
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
    FILETIME time{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    ::SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
  }

  void SetCurrentDirectory(const std::string& path) override {
    if (!::SetCurrentDirectoryA(path.c_str())) throw std::runtime_error("cannot enter " + path);
  }

  void SetEnvironment(const std::string& name, const std::string& value) override {
    char saved[32768];
    const DWORD length = GetEnvironmentVariableA(name.c_str(), saved, sizeof saved);
    savedEnvironment_.push_back({name, {std::string(saved, length < sizeof saved ? length : 0), length > 0}});
    SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
  }

  bool SystemExpand(const std::string& text, std::string* expanded) override {
    std::string buffer(text.size() * 4 + 32768, '\0');
    const DWORD length = ExpandEnvironmentStringsA(text.c_str(), &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length == 0 || length > buffer.size()) return false;
    expanded->assign(buffer.c_str());
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

  void MakeParents(const std::string& path) {
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
      CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }

  std::string scratch_;
  std::string folder_;
  std::string savedCurrentDirectory_;
  std::vector<std::pair<std::uint32_t, HKEY>> overrides_;
  std::vector<std::string> restricted_;
  std::vector<std::pair<std::string, std::pair<std::string, bool>>> savedEnvironment_;  // name, value, was set
};

}  // namespace

std::unique_ptr<World> MakeRealWorld() { return std::make_unique<RealWorld>(); }

}  // namespace kv::testing

#endif  // _WIN32
