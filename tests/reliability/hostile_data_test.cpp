// Hostile registry data in every world (natively the memory platform; under Wine the real registry,
// redirected): strings without their closing NUL, odd byte lengths, values of a megabyte, the longest value
// and key names the registry allows, paths past 260 characters, names that the 8-bit code page cannot
// hold, multi-strings without terminators, keys the user may not enumerate or not open at all, and (under
// Wine) registry links that loop. A full probe (all seven groups) of each gives a verdict, raises nothing
// and leaves nothing open; the verdict is the one the rules give, the same in every world.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/forwarding_platform.h"
#include "platform/memory/memory_platform.h"
#include "scan/cleaner.h"
#include "scan/engine.h"
#include "tests/testing/handle_audit.h"
#include "tests/testing/world.h"

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>
#endif

namespace kv::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t HKLM = HKEY_LOCAL_MACHINE_CODE;
constexpr std::uint32_t HKCR = HKEY_CLASSES_ROOT_CODE;
const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string kShares = "SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\Shares";
const std::string kServer = "CLSID\\{00000000-0000-0000-0000-0000000000B1}\\InprocServer32";

Bytes Utf16(const std::u16string& text, bool closingNul = true) {
  Bytes bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  if (closingNul) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// What a case can do beyond the common world fixtures: take every right on a key away.
class Machine {
 public:
  explicit Machine(World& world) : world(world) {}
  ~Machine() { GiveBackAccess(); }
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // The key can no longer be opened at all (its access list grants nothing).
  void DenyAll(std::uint32_t root, const std::string& path) {
    if (auto* memory = dynamic_cast<MemoryRegistry*>(&world.platform().registry)) {
      memory->SetKeyAccess(RootName(root) + "\\" + path, 0);
      return;
    }
#ifdef _WIN32
    SetDacl(root, path, "D:P");
    denied_.emplace_back(root, path);
#endif
  }

  // A string value below a key whose path may be longer than the 8-bit registry calls take under Wine
  // (260 characters): the key is made through the UTF-16 calls there.
  void SetLongPathString(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text) {
    if (dynamic_cast<MemoryRegistry*>(&world.platform().registry) != nullptr) {
      world.SetValue(root, path, name, REG_SZ_TYPE, Utf16Bytes(text));
      return;
    }
#ifdef _WIN32
    HKEY predefined = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
    HKEY key = nullptr;
    const std::wstring widePath(path.begin(), path.end());
    ASSERT_EQ(RegCreateKeyExW(predefined, widePath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const Bytes data = Utf16Bytes(text);
    const std::wstring wideName(name.begin(), name.end());
    EXPECT_EQ(RegSetValueExW(key, wideName.c_str(), 0, REG_SZ, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
    RegCloseKey(key);
#endif
  }

  void GiveBackAccess() {
#ifdef _WIN32
    for (const auto& [root, path] : denied_) SetDacl(root, path, "D:(A;;KA;;;WD)");
    denied_.clear();
#endif
  }

  World& world;

 private:
  static std::string RootName(std::uint32_t root) {
    return root == HKLM ? "HKEY_LOCAL_MACHINE" : root == HKCR ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
  }
#ifdef _WIN32
  // The owner of a key may always change its access list, whatever the list says.
  static void SetDacl(std::uint32_t root, const std::string& path, const char* sddl) {
    HKEY predefined = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(predefined, path.c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS) << path;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
    LocalFree(descriptor);
    RegCloseKey(key);
  }
  std::vector<std::pair<std::uint32_t, std::string>> denied_;
#endif
};

struct HostileCase {
  const char* name;
  std::function<void(Machine&, const std::string& folder)> build;
  // What the rules give: a section that stops at a fault keeps the names it had not examined yet, the
  // faulty one among them, and adds its marker; so one faulty entry in a key alone gives 2 (the COM
  // class section lists the faulty key only: 1).
  std::int32_t verdict;
  // Where Wine answers otherwise, and why: its 8-bit registry calls (RegOpenKeyExA) refuse a key path
  // longer than 260 characters with ERROR_MORE_DATA, so such an entry cannot be read there: an empty read.
  std::optional<std::int32_t> verdictUnderWine = std::nullopt;
};

// An uninstall entry whose uninstaller is missing: a fault wherever it can be read.
void FaultyUninstallEntry(World& world, const std::string& key, const std::string& folder) {
  world.SetValue(HKLM, kUninstall + "\\" + key, "DisplayName", REG_SZ_TYPE, Utf16Bytes("App"));
  world.SetValue(HKLM, kUninstall + "\\" + key, "UninstallString", REG_SZ_TYPE, Utf16Bytes(folder + "gone.exe"));
}

std::vector<HostileCase> Cases() {
  return {
      {"REG_SZ without a closing NUL naming a present program",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kRun, "App", REG_SZ_TYPE, Utf16Bytes(folder + "app.exe", false));
       },
       0},
      {"REG_SZ of an odd byte length naming a present program",
       [](Machine& m, const std::string& folder) {
         Bytes bytes = Utf16Bytes(folder + "app.exe", false);
         bytes.push_back('x');
         m.world.SetValue(HKLM, kRun, "App", REG_SZ_TYPE, bytes);
       },
       0},
      {"REG_EXPAND_SZ of one byte",
       [](Machine& m, const std::string&) { m.world.SetValue(HKLM, kRun, "App", REG_EXPAND_SZ_TYPE, Bytes{'a'}); },
       0},
      {"1 MB command line in a Run value",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kRun, "Big", REG_SZ_TYPE, Utf16Bytes(folder + std::string(524000, 'a')));
       },
       2},
      {"1 MB binary value as a COM server",
       [](Machine& m, const std::string&) { m.world.SetValue(HKCR, kServer, "", REG_BINARY_TYPE, Bytes(1 << 20, 'b')); },
       1},
      {"16 383-character value name of a faulty Run entry",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kRun, std::string(16383, 'n'), REG_SZ_TYPE, Utf16Bytes(folder + "gone.exe"));
       },
       2},
      {"255-character key name of a faulty uninstall entry",
       [](Machine& m, const std::string& folder) {
         const std::string entry = kUninstall + "\\" + std::string(255, 'k');
         m.SetLongPathString(HKLM, entry, "DisplayName", "App");
         m.SetLongPathString(HKLM, entry, "UninstallString", folder + "gone.exe");
       },
       2, 0},
      {"program path of 300 characters",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kRun, "Long", REG_SZ_TYPE, Utf16Bytes(folder + std::string(300, 'p') + ".exe -x"));
         m.world.SetValue(HKLM, kAppPaths + "\\long.exe", "", REG_SZ_TYPE,
                          Utf16Bytes(folder + std::string(280, 'q') + "\\long.exe"));
       },
       2},
      {"value name outside the 8-bit code page",
       [](Machine& m, const std::string& folder) {
         m.world.SetValueW(HKLM, kRun, u"\u30a2\u30d7\u30ea", REG_SZ_TYPE, Utf16(Wide(folder + "gone.exe")));
       },
       0},
      {"command outside the 8-bit code page",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kRun, "Wide", REG_SZ_TYPE, Utf16(Wide(folder) + u"\u30a2\u30d7\u30ea\u30a2.exe"));
       },
       2},
      {"REG_MULTI_SZ share without any terminator",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kShares, "Data", REG_MULTI_SZ_TYPE, Utf16Bytes("Path=" + folder, false));
       },
       0},
      {"REG_MULTI_SZ share of an odd byte length",
       [](Machine& m, const std::string& folder) {
         Bytes bytes = Utf16Bytes("Path=" + folder + "gone", false);
         bytes.push_back('z');
         m.world.SetValue(HKLM, kShares, "Data", REG_MULTI_SZ_TYPE, bytes);
       },
       2},
      {"uninstall key that may not be enumerated",
       [](Machine& m, const std::string& folder) {
         FaultyUninstallEntry(m.world, "App", folder);
         m.world.RestrictToQueryValue(HKLM, kUninstall);
       },
       0},
      {"faulty uninstall entry that may not be opened",
       [](Machine& m, const std::string& folder) {
         FaultyUninstallEntry(m.world, "App", folder);
         m.DenyAll(HKLM, kUninstall + "\\App");
       },
       0},
      {"Run key that may not be opened",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kRun, "Gone", REG_SZ_TYPE, Utf16Bytes(folder + "gone.exe"));
         m.DenyAll(HKLM, kRun);
       },
       0},
  };
}

struct Probe {
  std::int32_t verdict = -2;
  std::string raised;
  std::size_t openKeys = 0;
  std::size_t openFinds = 0;
  std::vector<std::string> misuses;
};

Probe RunProbe(Platform& platform) {
  Probe probe;
  HandleAudit audit(platform);
  // The test reports whatever escapes a probe.
  try {
    Engine engine(audit.platform());
    TRegistryCleaner cleaner(engine);
    cleaner.Mask = 127;
    probe.verdict = cleaner.ScanSections();
  } catch (const std::exception& e) {
    probe.raised = e.what();
  }
  probe.openKeys = audit.OpenKeys();
  probe.openFinds = audit.OpenFinds();
  probe.misuses = audit.Misuses();
  return probe;
}

class HostileData : public ::testing::TestWithParam<WorldKind> {};

TEST_P(HostileData, EveryCaseGetsItsVerdict) {
  std::printf("%s world:\n", GetParam().name.c_str());
  for (const HostileCase& hostile : Cases()) {
    std::unique_ptr<World> world = GetParam().make();
    const std::string folder = world->Folder();
    world->AddFile(folder + "app.exe");
    Machine machine(*world);
    hostile.build(machine, folder);
    const Probe probe = RunProbe(world->platform());
    machine.GiveBackAccess();
    std::printf("  %-75s verdict %d\n", hostile.name, probe.verdict);
    EXPECT_EQ(probe.raised, "") << hostile.name;
    const bool wine = dynamic_cast<MemoryRegistry*>(&world->platform().registry) == nullptr;
    EXPECT_EQ(probe.verdict, wine ? hostile.verdictUnderWine.value_or(hostile.verdict) : hostile.verdict) << hostile.name;
    EXPECT_EQ(probe.openKeys, 0u) << hostile.name;
    EXPECT_EQ(probe.openFinds, 0u) << hostile.name;
    EXPECT_EQ(probe.misuses, std::vector<std::string>{}) << hostile.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Worlds, HostileData, ::testing::ValuesIn(AllWorlds()),
                         [](const ::testing::TestParamInfo<WorldKind>& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
