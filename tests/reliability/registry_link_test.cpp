// Registry links (REG_LINK, keys created as symbolic links) below the keys the sections walk: "Loop" links
// to itself, "Up" to the key it lies in, so that Up\Up\Up... never ends. Under Wine these are real links:
// opening a self-link fails (ERROR_INVALID_PARAMETER) and a link to the key above opens that key again.
// In the memory world a decorator answers the same way. A probe walks past both: every enumeration ends,
// no section follows a link more than one level, the verdict is the machine's, nothing is left open.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/forwarding_platform.h"
#include "platform/memory/memory_platform.h"
#include "scan/cleaner.h"
#include "scan/engine.h"
#include "scan/search_lists.h"
#include "tests/testing/handle_audit.h"
#include "tests/testing/world.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kv::testing {
namespace {

constexpr std::uint32_t HKLM = HKEY_LOCAL_MACHINE_CODE;
constexpr std::uint32_t HKCR = HKEY_CLASSES_ROOT_CODE;

// The keys that get the two links, each below the root given.
struct LinkedKey {
  std::uint32_t root;
  std::string path;
};

const std::vector<LinkedKey>& LinkedKeys() {
  static const std::vector<LinkedKey> keys = {
      {HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
      {HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
      {HKCR, "CLSID"},
      {HKCR, "txtfile\\shell"},
  };
  return keys;
}

// The memory world's links: a path through "Loop" cannot be opened, "Up" stands for the key it lies in.
class LinkingRegistry : public ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) override {
    std::string rest = path;
    std::string followed;
    std::string part;
    while (!rest.empty()) {
      const std::size_t slash = rest.find('\\');
      part = rest.substr(0, slash);
      rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
      if (SameText(part, "Loop")) {
        *result = kNoKey;
        return kErrorInvalidParameter;
      }
      if (SameText(part, "Up")) continue;
      followed += (followed.empty() ? "" : "\\") + part;
    }
    return inner_.OpenKey(parent, followed, access, result);
  }
};

#ifdef _WIN32
// The native name of an open key ("\REGISTRY\USER\S-...\..."), which a link's target must be.
std::wstring NativeName(HKEY key) {
  using NtQueryKeyFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<NtQueryKeyFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey")));
  std::vector<unsigned char> buffer(4096);
  ULONG got = 0;
  constexpr int kKeyNameInformation = 3;
  if (query == nullptr || query(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &got) != 0)
    return std::wstring();
  ULONG length = 0;
  std::memcpy(&length, buffer.data(), sizeof length);
  return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof length), length / sizeof(wchar_t));
}

// Creates `path`\`name` as a link to `target` (a native key name).
void CreateLink(std::uint32_t root, const std::string& path, const wchar_t* name, const std::wstring& target) {
  HKEY predefined = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
  HKEY parent = nullptr;
  ASSERT_EQ(RegOpenKeyExA(predefined, path.c_str(), 0, KEY_ALL_ACCESS, &parent), ERROR_SUCCESS) << path;
  HKEY link = nullptr;
  ASSERT_EQ(RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr,
                            &link, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                           static_cast<DWORD>(target.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
  RegCloseKey(link);
  RegCloseKey(parent);
}

void CreateRealLinks(const LinkedKey& key) {
  HKEY predefined = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(key.root)));
  HKEY opened = nullptr;
  ASSERT_EQ(RegOpenKeyExA(predefined, key.path.c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS);
  const std::wstring self = NativeName(opened);
  RegCloseKey(opened);
  ASSERT_FALSE(self.empty());
  CreateLink(key.root, key.path, L"Loop", self + L"\\Loop");
  CreateLink(key.root, key.path, L"Up", self);
}

// Links are not removed with their parents by every tree deletion: they are taken away one by one.
void RemoveRealLinks(const LinkedKey& key) {
  for (const wchar_t* name : {L"Loop", L"Up"}) {
    HKEY predefined = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(key.root)));
    HKEY link = nullptr;
    const std::wstring path = std::wstring(key.path.begin(), key.path.end()) + L"\\" + name;
    if (RegOpenKeyExW(predefined, path.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_ALL_ACCESS, &link) ==
        ERROR_SUCCESS) {
      using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
      static const auto remove = reinterpret_cast<NtDeleteKeyFn>(
          reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
      if (remove != nullptr) remove(link);
      RegCloseKey(link);
    }
  }
}
#endif

class RegistryLinks : public ::testing::TestWithParam<WorldKind> {};

TEST_P(RegistryLinks, LoopingLinksEndEachEnumeration) {
  std::unique_ptr<World> world = GetParam().make();
  const std::string folder = world->Folder();
  world->AddFile(folder + "app.exe");
  // A sound machine around the links.
  world->SetValue(HKLM, LinkedKeys()[0].path + "\\App", "DisplayName", REG_SZ_TYPE, Utf16Bytes("App"));
  world->SetValue(HKLM, LinkedKeys()[0].path + "\\App", "UninstallString", REG_SZ_TYPE, Utf16Bytes(folder + "app.exe"));
  world->SetValue(HKLM, LinkedKeys()[1].path + "\\app.exe", "", REG_SZ_TYPE, Utf16Bytes(folder + "app.exe"));
  world->SetValue(HKCR, "CLSID\\{00000000-0000-0000-0000-0000000000C1}\\InprocServer32", "", REG_SZ_TYPE,
                  Utf16Bytes(folder + "app.exe"));
  world->SetValue(HKCR, ".kvtxt", "", REG_SZ_TYPE, Utf16Bytes("txtfile"));
  world->SetValue(HKCR, "txtfile\\shell\\open\\command", "", REG_SZ_TYPE, Utf16Bytes(folder + "app.exe \"%1\""));

  std::unique_ptr<LinkingRegistry> linking;
  std::unique_ptr<Platform> linked;
  Platform* platform = &world->platform();
  if (dynamic_cast<MemoryRegistry*>(&world->platform().registry) != nullptr) {
    for (const LinkedKey& key : LinkedKeys()) {
      world->CreateKey(key.root, key.path + "\\Loop");
      world->CreateKey(key.root, key.path + "\\Up");
    }
    linking = std::make_unique<LinkingRegistry>(world->platform().registry);
    linked = std::make_unique<Platform>(Platform{*linking, world->platform().files, world->platform().system});
    platform = linked.get();
  } else {
#ifdef _WIN32
    for (const LinkedKey& key : LinkedKeys()) CreateRealLinks(key);
#endif
  }

  HandleAudit audit(*platform);
  std::int32_t verdict = -2;
  std::vector<std::string> lists;
  {
    Engine engine(audit.platform());
    TRegistryCleaner cleaner(engine);
    cleaner.Mask = 127;
    verdict = cleaner.ScanSections();
    for (const auto& slot : cleaner.Sections())
      for (const std::string& s : slot.section->Strings())
        lists.push_back(std::string(slot.section->ClassName()) + ": " + s);
  }
#ifdef _WIN32
  if (!linking)
    for (const LinkedKey& key : LinkedKeys()) RemoveRealLinks(key);
#endif
  EXPECT_EQ(verdict, 0) << ::testing::PrintToString(lists);
  EXPECT_EQ(audit.OpenKeys(), 0u);
  EXPECT_EQ(audit.OpenFinds(), 0u);
  EXPECT_EQ(audit.Misuses(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Worlds, RegistryLinks, ::testing::ValuesIn(AllWorlds()),
                         [](const ::testing::TestParamInfo<WorldKind>& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
