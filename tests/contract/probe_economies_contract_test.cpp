// The optimised probe and the plain one give the same verdict and the same lists over every world: in the
// Windows build also over the real registry and real files, where what a listing of a class's subkeys, an
// attribute query and a short path answer are the system's own. A few randomised machines each: files in
// folders with long and 8.3 names, commands spelt with trailing dots and blanks, other cases and
// wildcards, classes in both registry views, file types named by several extensions.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scan/cleaner.h"
#include "scan/engine.h"
#include "tests/testing/plain_probe.h"
#include "tests/testing/random.h"
#include "tests/testing/world.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr std::uint32_t HKCR = HKEY_CLASSES_ROOT_CODE;
constexpr std::uint32_t HKLM = HKEY_LOCAL_MACHINE_CODE;
const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Folders below the world's scratch folder, and the names that may be files in them.
const Strings kFolders = {"Program Files", "Program Files\\My App", "Tools", "x y"};
const Strings kNames = {"app.exe", "My App.exe", "tool.com", "lib.dll", "Files.exe", "readme.txt", "y.exe", "Files"};
const Strings kArguments = {"", " %1", " /s", " -x y", "  two  blanks"};

class Machine {
 public:
  Machine(World& world, unsigned seed) : world_(world), random_(seed), root_(world.Folder()) {}

  void Build() {
    for (const std::string& folder : kFolders) world_.AddDirectory(root_ + folder);
    for (const std::string& folder : kFolders)
      for (const std::string& name : kNames)
        if (name != "Files" && random_.Chance(0.3)) world_.AddFile(root_ + folder + "\\" + name);
    world_.SetEnvironment("Path", root_ + random_.Pick(kFolders) + ";" + root_ + random_.Pick(kFolders) + "\\");
    world_.SetEnvironment("PathExt", ".COM;.EXE");
    for (int i = 0; i < 4; ++i) Set(HKLM, kRun, "r" + std::to_string(i), Command());
    Classes();
    FileTypes();
  }

 private:
  void Set(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text) {
    world_.SetValue(root, path, name, REG_SZ_TYPE, Utf16Bytes(text));
  }

  std::string Command() {
    std::string target = root_ + random_.Pick(kFolders) + "\\" + random_.Pick(kNames);
    switch (random_.Below(8)) {
      case 0: target += "."; break;
      case 1: target += " ."; break;
      case 2: {
        const std::size_t at = target.find("Program Files");
        if (at != std::string::npos) target.replace(at, 13, random_.Chance(0.5) ? "PROGRA~1" : "program files");
        break;
      }
      case 3: target = root_ + random_.Pick(kFolders) + "\\*.com"; break;
      case 4: target = random_.Pick(kNames); break;
      default: break;
    }
    if (random_.Chance(0.4)) target = "\"" + target + "\"";
    return target + random_.Pick(kArguments);
  }

  void Classes() {
    const Strings subkeys = {"DefaultIcon",       "defaulticon",  "INPROCSERVER32", "LocalServer32", "InprocHandler32",
                             "PersistentHandler", "DefaultIcon ", "TypeLib",        "ProgID"};
    for (const char* view : {"CLSID\\", "Wow6432Node\\CLSID\\"}) {
      for (int i = 0, n = static_cast<int>(random_.Below(4)); i < n; ++i) {
        const std::string id = view + std::string("{00000000-0000-0000-0000-00000000000") + std::to_string(i) + "}";
        world_.CreateKey(HKCR, id);
        for (int j = 0, m = static_cast<int>(random_.Below(4)); j < m; ++j) {
          const std::string& subkey = random_.Pick(subkeys);
          switch (random_.Below(4)) {
            case 0: Set(HKCR, id + "\\" + subkey, "", ""); break;
            case 1: Set(HKCR, id + "\\" + subkey, "", "{00000000-0000-0000-0000-000000000001}"); break;
            default: Set(HKCR, id + "\\" + subkey, "", Command()); break;
          }
        }
      }
    }
  }

  void FileTypes() {
    for (int i = 0; i < 3; ++i) {
      const std::string type = "kvtype" + std::to_string(i);
      if (random_.Chance(0.3))
        world_.CreateKey(HKCR, type + "\\shell");
      else
        Set(HKCR, type + "\\shell\\open\\command", "", Command());
      if (random_.Chance(0.5)) Set(HKCR, type + "\\DefaultIcon", "", Command() + ",0");
    }
    for (int i = 0, n = static_cast<int>(random_.Below(6)); i < n; ++i) {
      const std::string extension = ".kve" + std::to_string(i);
      Set(HKCR, extension, "", (random_.Chance(0.3) ? "KVTYPE" : "kvtype") + std::to_string(random_.Below(4)));
      if (random_.Chance(0.3)) world_.CreateKey(HKCR, extension + "\\ShellEx");
    }
  }

  World& world_;
  Random random_;
  std::string root_;
};

class ProbeEconomies : public ::testing::TestWithParam<WorldKind> {};

TEST_P(ProbeEconomies, PlainAndOptimisedProbesAgree) {
  int faults = 0, compared = 0;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::unique_ptr<World> world = GetParam().make();
    Machine(*world, seed).Build();
    Engine engine(world->platform());
    engine.StartupFolders.clear();
    TRegistryCleaner cleaner(engine);
    for (std::int32_t mask : {127, 32, 64}) {
      cleaner.Mask = mask;
      const std::int32_t plain = ExpectPlainAndOptimisedAgree(
          engine, cleaner, "seed " + std::to_string(seed) + " mask " + std::to_string(mask));
      faults += plain != 0;
      ++compared;
    }
  }
  // Both kinds of verdict were compared.
  EXPECT_GT(faults, 0);
  EXPECT_LT(faults, compared);
}

INSTANTIATE_TEST_SUITE_P(Worlds, ProbeEconomies, ::testing::ValuesIn(ContractWorlds()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
