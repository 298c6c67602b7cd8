// Hostile data in every world (natively the memory platform; under Wine the real registry, redirected, and
// real files): strings without their closing NUL, odd byte lengths, values of one and sixteen megabytes,
// the longest value and key names the registry allows, 10 000 values in a key, keys 500 levels deep, paths
// past 260 and past 32 767 characters, commands of a megabyte of short words, names that the 8-bit code
// page cannot hold, multi-strings without terminators, path variables that name themselves or expand to
// huge texts, DOS device names, alternate data streams, trailing dots and blanks, unbalanced quotes,
// shortcut files that are corrupt, huge or name themselves, keys the user may not enumerate or not open at
// all, and keys deleted or denied while a probe walks them. (Looping registry links have a test of their
// own.) A full probe (all seven groups) of each gives a verdict, raises nothing, ends (a watchdog bounds
// every case) and leaves nothing open; the verdict is the one the rules give, the same in every world.
#include <gtest/gtest.h>

#include <chrono>
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
#include "scan/search_lists.h"
#include "support/reg_utils.h"
#include "tests/reliability/watchdog.h"
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
const std::string kClass = "CLSID\\{00000000-0000-0000-0000-0000000000B1}";
const std::string kServer = kClass + "\\InprocServer32";
const std::string kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
// The one startup folder of every probe here: a folder of the scratch folder, empty unless a case fills it.
const std::string kStartup = "Startup";

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

// Runs an action once, just before the first open of a key whose path ends with a given text, or before
// the first read of a value of a given name: a key that changes while a probe walks it.
class ChangingRegistry : public ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  std::string openedPath;
  std::string readName;
  std::function<void()> change;

  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) override {
    if (!openedPath.empty() && path.size() >= openedPath.size() &&
        SameText(path.substr(path.size() - openedPath.size()), openedPath))
      Fire();
    return inner_.OpenKey(parent, path, access, result);
  }
  long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override {
    if (!readName.empty() && SameText(name, readName)) Fire();
    return inner_.QueryValue(key, name, type, data, size);
  }

 private:
  void Fire() {
    if (!change) return;
    const std::function<void()> once = std::move(change);
    change = nullptr;
    once();
  }
};

// What a case can do beyond the common world fixtures: take every right on a key away, delete a key, make
// keys far below a key, set an environment variable, write a file's bytes, and change a key during the
// probe.
class Machine {
 public:
  explicit Machine(World& world)
      : world(world),
        changing_(world.platform().registry),
        platform_{changing_, world.platform().files, world.platform().system} {}
  ~Machine() {
    GiveBackAccess();
    RestoreEnvironment();
  }
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // The platform a probe runs over: the world's, through the registry that changes on cue.
  Platform& platform() { return platform_; }

  // Runs `change` just before the probe first opens a key whose path ends with `path`.
  void BeforeOpen(const std::string& path, std::function<void()> change) {
    changing_.openedPath = path;
    changing_.change = std::move(change);
  }
  // Runs `change` just before the probe first reads a value named `name` through the 8-bit call.
  void BeforeRead(const std::string& name, std::function<void()> change) {
    changing_.readName = name;
    changing_.change = std::move(change);
  }

  bool InMemory() const { return dynamic_cast<MemoryRegistry*>(&world.platform().registry) != nullptr; }

  void DeleteKey(std::uint32_t root, const std::string& path) {
    if (auto* memory = dynamic_cast<MemoryRegistry*>(&world.platform().registry)) {
      memory->DeleteKey(RootKeyPath(root, path));
      return;
    }
#ifdef _WIN32
    EXPECT_EQ(RegDeleteTreeA(Predefined(root), path.c_str()), ERROR_SUCCESS) << path;
#endif
  }

  // `levels` keys, each the only subkey of the one above, below `path`, each named `name`.
  void CreateDeepKeys(std::uint32_t root, const std::string& path, int levels, const std::string& name) {
    if (InMemory()) {
      std::string deep = path;
      for (int i = 0; i < levels; ++i) deep += "\\" + name;
      world.CreateKey(root, deep);
      return;
    }
#ifdef _WIN32
    // One level at a time below the one before: the whole path is longer than a path the calls take.
    world.CreateKey(root, path);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(Predefined(root), path.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS) << path;
    const std::wstring wideName(name.begin(), name.end());
    for (int i = 0; i < levels && key != nullptr; ++i) {
      HKEY below = nullptr;
      EXPECT_EQ(RegCreateKeyExW(key, wideName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &below, nullptr),
                ERROR_SUCCESS)
          << "level " << i + 1;
      RegCloseKey(key);
      key = below;
    }
    if (key != nullptr) RegCloseKey(key);
#endif
  }

  // Sets an environment variable for the probe (the process's own under Wine, put back afterwards).
  void SetEnvironment(const std::string& name, const std::string& value) {
    if (auto* memory = dynamic_cast<MemorySystem*>(&world.platform().system)) {
      memory->SetEnvironment(name, value);
      return;
    }
#ifdef _WIN32
    std::vector<char> old(32768);
    const DWORD length = GetEnvironmentVariableA(name.c_str(), old.data(), static_cast<DWORD>(old.size()));
    savedEnvironment_.push_back(
        {name, length > 0 && length < old.size(), std::string(old.data(), length < old.size() ? length : 0)});
    EXPECT_TRUE(SetEnvironmentVariableA(name.c_str(), value.c_str())) << name;
#endif
  }

  // A file holding `bytes` (in the memory world a file that is no shortcut, whatever it holds).
  void WriteFile(const std::string& path, const Bytes& bytes) {
    world.AddFile(path);
    if (InMemory()) return;
    static_cast<void>(bytes);
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    EXPECT_TRUE(::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) << path;
    CloseHandle(file);
#endif
  }

  // The key can no longer be opened at all (its access list grants nothing).
  void DenyAll(std::uint32_t root, const std::string& path) {
    if (auto* memory = dynamic_cast<MemoryRegistry*>(&world.platform().registry)) {
      memory->SetKeyAccess(RootKeyPath(root, path), 0);
      return;
    }
#ifdef _WIN32
    SetDacl(root, path, "D:P");
    denied_.emplace_back(root, path);
#endif
  }

  // A string value below a key whose path may be longer than the 8-bit registry calls take under Wine
  // (260 characters): the key is made through the UTF-16 calls there.
  void SetLongPathString(std::uint32_t root, const std::string& path, const std::string& name,
                         const std::string& text) {
    if (dynamic_cast<MemoryRegistry*>(&world.platform().registry) != nullptr) {
      world.SetValue(root, path, name, REG_SZ_TYPE, Utf16Bytes(text));
      return;
    }
#ifdef _WIN32
    HKEY key = nullptr;
    const std::wstring widePath(path.begin(), path.end());
    ASSERT_EQ(
        RegCreateKeyExW(Predefined(root), widePath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    const Bytes data = Utf16Bytes(text);
    const std::wstring wideName(name.begin(), name.end());
    EXPECT_EQ(RegSetValueExW(key, wideName.c_str(), 0, REG_SZ, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
#endif
  }

  void GiveBackAccess() {
#ifdef _WIN32
    for (const auto& [root, path] : denied_) SetDacl(root, path, "D:(A;;KA;;;WD)");
    denied_.clear();
#endif
  }

  void RestoreEnvironment() {
#ifdef _WIN32
    for (const SavedVariable& saved : savedEnvironment_)
      SetEnvironmentVariableA(saved.name.c_str(), saved.existed ? saved.value.c_str() : nullptr);
    savedEnvironment_.clear();
#endif
  }

  World& world;

 private:
  ChangingRegistry changing_;
  Platform platform_;
#ifdef _WIN32
  static HKEY Predefined(std::uint32_t root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
  }
  // The owner of a key may always change its access list, whatever the list says.
  static void SetDacl(std::uint32_t root, const std::string& path, const char* sddl) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(Predefined(root), path.c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS) << path;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
    LocalFree(descriptor);
    RegCloseKey(key);
  }
  std::vector<std::pair<std::uint32_t, std::string>> denied_;
  struct SavedVariable {
    std::string name;
    bool existed;
    std::string value;
  };
  std::vector<SavedVariable> savedEnvironment_;
#endif
};

struct HostileCase {
  const char* name;
  std::function<void(Machine&, const std::string& folder)> build;
  // What the rules give: a section that stops at a fault keeps the names it had not examined yet, the
  // faulty one among them, and adds its marker; so one faulty entry in a key alone gives 2 (the COM
  // class section lists the faulty key only: 1).
  std::int32_t verdict;
  // Where Wine answers otherwise, and why: its shell link object refuses a target longer than MAX_PATH
  // (IShellLinkW::SetPath answers S_FALSE and stores no path), so such a shortcut has no file-system
  // target there, which is sound. (Its 8-bit SetPath stored two characters of garbage instead.)
  std::optional<std::int32_t> verdictUnderWine = std::nullopt;
};

// An uninstall entry whose uninstaller is missing: a fault wherever it can be read.
void FaultyUninstallEntry(World& world, const std::string& key, const std::string& folder) {
  world.SetValue(HKLM, kUninstall + "\\" + key, "DisplayName", REG_SZ_TYPE, Utf16Bytes("App"));
  world.SetValue(HKLM, kUninstall + "\\" + key, "UninstallString", REG_SZ_TYPE, Utf16Bytes(folder + "gone.exe"));
}

// A Run value of the machine.
void RunValue(Machine& m, const std::string& name, const std::string& command, std::uint32_t type = REG_SZ_TYPE) {
  m.world.SetValue(HKLM, kRun, name, type, Utf16Bytes(command));
}

// `count` copies of `text`.
std::string Repeat(const std::string& text, std::size_t count) {
  std::string result;
  result.reserve(text.size() * count);
  for (std::size_t i = 0; i < count; ++i) result += text;
  return result;
}

// What a shell link file begins with: its header size and class identifier; what follows here is noise.
Bytes BrokenShortcut(std::size_t size) {
  Bytes bytes = {0x4C, 0, 0, 0, 0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  for (std::size_t i = bytes.size(); i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 7919 >> 3));
  return bytes;
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
       [](Machine& m, const std::string&) { m.world.SetValue(HKLM, kRun, "App", REG_EXPAND_SZ_TYPE, Bytes{'a'}); }, 0},
      {"1 MB command line in a Run value",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kRun, "Big", REG_SZ_TYPE, Utf16Bytes(folder + std::string(524000, 'a')));
       },
       2},
      {"1 MB binary value as a COM server",
       [](Machine& m, const std::string&) {
         m.world.SetValue(HKCR, kServer, "", REG_BINARY_TYPE, Bytes(1 << 20, 'b'));
       },
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
       2},
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
       2},
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

      // Sizes.
      {"16 MB command line in a Run value",
       [](Machine& m, const std::string& folder) { RunValue(m, "Big", folder + std::string(8 << 20, 'a')); }, 2},
      {"16 MB binary value as a COM server",
       [](Machine& m, const std::string&) {
         m.world.SetValue(HKCR, kServer, "", REG_BINARY_TYPE, Bytes(16 << 20, 'b'));
       },
       1},
      {"16 MB share whose Path= line comes first, then 16 MB of other lines",
       [](Machine& m, const std::string& folder) {
         std::string lines = "Path=" + folder.substr(0, folder.size() - 1) + '\0';
         while (lines.size() < (8u << 20)) lines += "Remark=" + std::string(1000, 'r') + '\0';
         m.world.SetValue(HKLM, kShares, "Data", REG_MULTI_SZ_TYPE, Utf16Bytes(lines));
       },
       0},
      {"10 000 values in the Run key, the last one faulty",
       [](Machine& m, const std::string& folder) {
         for (int i = 0; i < 9999; ++i) {
           char name[16];
           std::snprintf(name, sizeof name, "v%05d", i);
           RunValue(m, name, folder + "app.exe -n " + std::to_string(i));
         }
         RunValue(m, "zzzz", folder + "gone.exe");
       },
       2},
      {"faulty uninstall entry above keys 500 levels deep",
       [](Machine& m, const std::string& folder) {
         FaultyUninstallEntry(m.world, "App", folder);
         m.CreateDeepKeys(HKLM, kUninstall + "\\App", 500, "k");
       },
       2},
      {"uninstall entries above 500 levels of 255-character names (128 000 characters)",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kUninstall + "\\App", "DisplayName", REG_SZ_TYPE, Utf16Bytes("App"));
         m.world.SetValue(HKLM, kUninstall + "\\App", "UninstallString", REG_SZ_TYPE, Utf16Bytes(folder + "app.exe"));
         m.CreateDeepKeys(HKLM, kUninstall + "\\App", 500, std::string(255, 'd'));
       },
       0},
      {"program path of 34 000 characters in folders of 200",
       [](Machine& m, const std::string& folder) {
         RunValue(m, "Long", folder + Repeat(std::string(200, 'd') + "\\", 170) + "x.exe -x");
       },
       2},
      {"1 MB command of one-letter words",
       [](Machine& m, const std::string& folder) { RunValue(m, "Words", folder + Repeat("a ", 1 << 18)); }, 2},
      {"1 MB command after a present program",
       [](Machine& m, const std::string& folder) {
         RunValue(m, "Args", "\"" + folder + "app.exe\" " + Repeat("a b\\", 1 << 17));
       },
       0},
      {"1 MB rundll32 command",
       [](Machine& m, const std::string&) { RunValue(m, "Dll", "rundll32 " + Repeat("a ", 1 << 18)); }, 0},

      // Path variables.
      {"ProgramFilesDir naming itself",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kCurrentVersion, "ProgramFilesDir", REG_EXPAND_SZ_TYPE, Utf16Bytes("%ProgramFiles%"));
         m.world.SetValue(HKLM, kCurrentVersion, "CommonFilesDir", REG_EXPAND_SZ_TYPE,
                          Utf16Bytes("%commonprogramfiles%%ProgramFiles%"));
         RunValue(m, "App", "%ProgramFiles%%commonprogramfiles%" + folder + "app.exe", REG_EXPAND_SZ_TYPE);
       },
       0},
      {"USERPROFILE naming itself",
       [](Machine& m, const std::string&) {
         m.SetEnvironment("USERPROFILE", "%UserProfile%");
         RunValue(m, "App", "%UserProfile%\\app.exe", REG_EXPAND_SZ_TYPE);
       },
       2},
      {"a variable the rules leave alone, naming itself",
       [](Machine& m, const std::string& folder) {
         m.SetEnvironment("KVSELF", "%KVSELF%");
         m.world.AddFile(folder + "kvself.exe");
         RunValue(m, "App", folder + "%KVSELF%.exe", REG_EXPAND_SZ_TYPE);
       },
       2},
      {"ProgramFilesDir of 32 000 characters",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kCurrentVersion, "ProgramFilesDir", REG_SZ_TYPE,
                          Utf16Bytes(folder + std::string(32000, 'p')));
         RunValue(m, "App", "%ProgramFiles%\\app.exe", REG_EXPAND_SZ_TYPE);
       },
       2},
      {"1 MB of %ProgramFiles%, each 32 000 characters",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kCurrentVersion, "ProgramFilesDir", REG_SZ_TYPE,
                          Utf16Bytes(folder + std::string(32000, 'p')));
         RunValue(m, "Bomb", Repeat("%ProgramFiles%", 75000), REG_EXPAND_SZ_TYPE);
       },
       2},
      {"%ProgramFiles% of 32 000 characters after a present program, 75 000 times",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKLM, kCurrentVersion, "ProgramFilesDir", REG_SZ_TYPE, Utf16Bytes(std::string(32000, 'p')));
         RunValue(m, "Bomb", folder + "app.exe " + Repeat("%ProgramFiles% ", 75000), REG_EXPAND_SZ_TYPE);
       },
       0},
      {"USERPROFILE of 32 000 characters, 2 000 times",
       [](Machine& m, const std::string& folder) {
         m.SetEnvironment("USERPROFILE", folder + std::string(32000, 'u'));
         RunValue(m, "Bomb", Repeat("%UserProfile%\\", 2000) + "app.exe", REG_EXPAND_SZ_TYPE);
       },
       2},

      // Names the file system treats apart.
      {"DOS device names as programs",
       [](Machine& m, const std::string&) {
         for (const char* device : {"CON", "NUL", "COM1", "LPT1", "AUX", "PRN"}) RunValue(m, device, device);
       },
       0},
      {"DOS device names in a folder, with an extension or arguments",
       [](Machine& m, const std::string& folder) {
         RunValue(m, "Con", folder + "CON");
         RunValue(m, "Nul", folder + "nul.exe");
         RunValue(m, "Com", "\"" + folder + "com1.txt\" /x");
       },
       0},
      {"a device path \\\\.\\PhysicalDrive0",
       [](Machine& m, const std::string&) { RunValue(m, "Disk", "\\\\.\\PhysicalDrive0"); }, 0},
      {"a device path \\\\?\\GLOBALROOT\\...",
       [](Machine& m, const std::string&) {
         RunValue(m, "Root", "\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\gone.exe");
       },
       0},
      {"a device as the shared folder",
       [](Machine& m, const std::string&) {
         m.world.SetValue(HKLM, kShares, "Con", REG_MULTI_SZ_TYPE, Utf16Bytes(std::string("Path=CON") + '\0'));
       },
       2},
      {"a path through a device",
       [](Machine& m, const std::string& folder) { RunValue(m, "Nul", folder + "NUL\\app.exe"); }, 2},
      {"alternate data stream of a present program",
       [](Machine& m, const std::string& folder) { RunValue(m, "Stream", folder + "app.exe:stream"); }, 2},
      {"the data stream of a present program by its type",
       [](Machine& m, const std::string& folder) { RunValue(m, "Stream", folder + "app.exe::$DATA"); }, 2},
      {"trailing dots and blanks after a present program",
       [](Machine& m, const std::string& folder) {
         RunValue(m, "Dot", folder + "app.exe.");
         RunValue(m, "Dots", "\"" + folder + "app.exe. . .\"");
         RunValue(m, "Blank", folder + "app.exe   ");
       },
       0},
      {"a trailing dot on a folder of a present program",
       [](Machine& m, const std::string& folder) {
         RunValue(m, "Dot", folder.substr(0, folder.size() - 1) + ".\\app.exe");
       },
       0},
      {"trailing dots after a missing program",
       [](Machine& m, const std::string& folder) { RunValue(m, "Dot", folder + "gone.exe..."); }, 2},
      {"unbalanced quotes around a present program",
       [](Machine& m, const std::string& folder) {
         RunValue(m, "Open", "\"" + folder + "app.exe -x");
         RunValue(m, "Close", folder + "app.exe\" -x");
         RunValue(m, "Three", "\"\"\"" + folder + "app.exe");
       },
       0},
      {"a lone quote", [](Machine& m, const std::string&) { RunValue(m, "Quote", "\""); }, 2},
      {"a quote inside the folder of a missing program",
       [](Machine& m, const std::string& folder) { RunValue(m, "Quote", folder + "ap\"p\\gone.exe"); }, 2},

      // Shortcuts in the startup folder.
      {"corrupt shortcut file",
       [](Machine& m, const std::string& folder) { m.WriteFile(folder + kStartup + "\\bad.lnk", BrokenShortcut(300)); },
       1},
      {"empty shortcut file",
       [](Machine& m, const std::string& folder) { m.WriteFile(folder + kStartup + "\\empty.lnk", Bytes{}); }, 1},
      {"16 MB shortcut file",
       [](Machine& m, const std::string& folder) {
         m.WriteFile(folder + kStartup + "\\huge.lnk", BrokenShortcut(16 << 20));
       },
       1},
      {"shortcut to itself",
       [](Machine& m, const std::string& folder) {
         m.world.AddShortcut(folder + kStartup + "\\self.lnk", folder + kStartup + "\\self.lnk");
       },
       0},
      {"two shortcuts to each other",
       [](Machine& m, const std::string& folder) {
         m.world.AddShortcut(folder + kStartup + "\\a.lnk", folder + kStartup + "\\b.lnk");
         m.world.AddShortcut(folder + kStartup + "\\b.lnk", folder + kStartup + "\\a.lnk");
       },
       0},
      {"shortcut to a missing program of 300 characters",
       [](Machine& m, const std::string& folder) {
         m.world.AddShortcut(folder + kStartup + "\\long.lnk", folder + std::string(300, 's') + ".exe");
       },
       1, 0},

      // Keys that change while the probe walks them.
      {"faulty uninstall entry deleted after it was listed",
       [](Machine& m, const std::string& folder) {
         FaultyUninstallEntry(m.world, "App", folder);
         m.BeforeOpen(kUninstall + "\\App", [&m] { m.DeleteKey(HKLM, kUninstall + "\\App"); });
       },
       0},
      {"faulty uninstall entry deleted while open, before its values are read",
       [](Machine& m, const std::string& folder) {
         FaultyUninstallEntry(m.world, "App", folder);
         m.BeforeRead("DisplayName", [&m] { m.DeleteKey(HKLM, kUninstall + "\\App"); });
       },
       0},
      {"faulty uninstall entry denied after it was listed",
       [](Machine& m, const std::string& folder) {
         FaultyUninstallEntry(m.world, "App", folder);
         m.BeforeOpen(kUninstall + "\\App", [&m] { m.DenyAll(HKLM, kUninstall + "\\App"); });
       },
       0},
      {"Run key denied while open: the open key keeps its rights",
       [](Machine& m, const std::string& folder) {
         RunValue(m, "Gone", folder + "gone.exe");
         m.BeforeRead("Gone", [&m] { m.DenyAll(HKLM, kRun); });
       },
       2},
      // The probe lists a class's subkeys and then opens those present: the classes go after the faulty
      // server was listed and before it is opened, or before the class's subkeys are listed.
      {"every class deleted while the first is examined",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKCR, kServer, "", REG_SZ_TYPE, Utf16Bytes(folder + "gone.dll"));
         m.BeforeOpen(kServer, [&m] { m.DeleteKey(HKCR, "CLSID"); });
       },
       0},
      {"every class deleted before the first one's subkeys are listed",
       [](Machine& m, const std::string& folder) {
         m.world.SetValue(HKCR, kServer, "", REG_SZ_TYPE, Utf16Bytes(folder + "gone.dll"));
         m.BeforeOpen(kClass, [&m] { m.DeleteKey(HKCR, "CLSID"); });
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

Probe RunProbe(Platform& platform, const std::string& startupFolder) {
  Probe probe;
  HandleAudit audit(platform);
  // The test reports whatever escapes a probe.
  try {
    Engine engine(audit.platform());
    engine.StartupFolders = {startupFolder};
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
  // Generous: the slowest case takes a few seconds under the sanitizers or Wine.
  Watchdog watchdog(std::chrono::seconds(300));
  for (const HostileCase& hostile : Cases()) {
    watchdog.Begin(hostile.name);
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<World> world = GetParam().make();
    const std::string folder = world->Folder();
    world->AddFile(folder + "app.exe");
    world->AddDirectory(folder + kStartup);
    Machine machine(*world);
    hostile.build(machine, folder);
    const auto built = std::chrono::steady_clock::now();
    const Probe probe = RunProbe(machine.platform(), folder + kStartup);
    const auto probed = std::chrono::steady_clock::now();
    machine.GiveBackAccess();
    machine.RestoreEnvironment();
    using Ms = std::chrono::milliseconds;
    std::printf("  %-82s verdict %-3d (built in %5lld ms, probed in %5lld ms)\n", hostile.name, probe.verdict,
                static_cast<long long>(std::chrono::duration_cast<Ms>(built - start).count()),
                static_cast<long long>(std::chrono::duration_cast<Ms>(probed - built).count()));
    std::fflush(stdout);
    EXPECT_EQ(probe.raised, "") << hostile.name;
    const bool wine = dynamic_cast<MemoryRegistry*>(&world->platform().registry) == nullptr;
    EXPECT_EQ(probe.verdict, wine ? hostile.verdictUnderWine.value_or(hostile.verdict) : hostile.verdict)
        << hostile.name;
    EXPECT_EQ(probe.openKeys, 0u) << hostile.name;
    EXPECT_EQ(probe.openFinds, 0u) << hostile.name;
    EXPECT_EQ(probe.misuses, std::vector<std::string>{}) << hostile.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Worlds, HostileData, ::testing::ValuesIn(AllWorlds()),
                         [](const ::testing::TestParamInfo<WorldKind>& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
