// The font and shared-folder sections over every world, each walking the keys of the platform family the
// world reports: natively the memory platform (NT); under Wine the real registry and files, as NT in the
// ordinary run and as Windows 98 in the run of kv_win98_tests.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scan/engine.h"
#include "scan/search_lists.h"
#include "scan/sections/fonts.h"
#include "scan/sections/shared_folders.h"
#include "scan/shell.h"
#include "support/text.h"
#include "tests/testing/section_scan.h"
#include "tests/testing/world.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/win32_platform.h"
#endif

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr std::uint32_t HKLM = HKEY_LOCAL_MACHINE_CODE;
const std::string kNtFonts = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::string k9xFonts = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
const std::string kNtShares = "SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\Shares";
const std::string k9xShares = "Software\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan";

std::vector<std::uint8_t> StringBytes(const std::string& text) { return Utf16Bytes(text); }

// A REG_MULTI_SZ: each string and its NUL, then the closing NUL.
std::vector<std::uint8_t> MultiStringBytes(const Strings& strings) {
  std::string text;
  for (const std::string& s : strings) text += s + '\0';
  return Utf16Bytes(text);
}

class AppSectionsContract : public ::testing::TestWithParam<WorldKind> {
 protected:
  void SetUp() override {
    engine_.reset();
    world_.reset();
    world_ = GetParam().make();
    engine_ = std::make_unique<Engine>(world_->platform());
    nt_ = IsWindowsNT(world_->platform());
    folder_ = world_->Folder();
  }

  // A drive letter with nothing behind it (no medium, or no drive at all).
  std::string EmptyDrive() {
    for (char letter = 'Q'; letter <= 'Y'; ++letter) {
      const std::string root = std::string(1, letter) + ":\\";
      if (world_->platform().files.GetAttributes(root) == kInvalidFileAttributes) return std::string(1, letter) + ":";
    }
    ADD_FAILURE() << "no free drive letter";
    return "Q:";
  }

  // One share in the shape of the world's platform family: an NT value or a Windows 9x subkey.
  void AddShare(const std::string& name, const Strings& ntStrings, const std::string& folder9x) {
    if (nt_)
      world_->SetValue(HKLM, kNtShares, name, REG_MULTI_SZ_TYPE, MultiStringBytes(ntStrings));
    else
      world_->SetValue(HKLM, k9xShares + "\\" + name, "Path", REG_SZ_TYPE, StringBytes(folder9x));
  }
  void AddShare(const std::string& name, const std::string& folder) {
    AddShare(name, {"CSCFlags=0", "MaxUses=4294967295", "Path=" + folder, "Permissions=0", "Remark=", "Type=0"},
             folder);
  }

  std::string FontsKey() const { return nt_ ? kNtFonts : k9xFonts; }

  std::unique_ptr<World> world_;
  std::unique_ptr<Engine> engine_;
  bool nt_ = true;
  std::string folder_;
};

TEST_P(AppSectionsContract, Fonts) {
  world_->AddFile(folder_ + "present.ttf");
  // Names in alphabetical order and created in that order: the same enumeration order in every world.
  world_->SetValue(HKLM, FontsKey(), "A absolute", REG_SZ_TYPE, StringBytes(folder_ + "present.ttf"));
  world_->SetValue(HKLM, FontsKey(), "B quoted", REG_SZ_TYPE, StringBytes("\"" + folder_ + "present.ttf\" bold"));
  world_->SetValue(HKLM, FontsKey(), "C empty", REG_SZ_TYPE, StringBytes(""));
  // The other family's key is not read.
  world_->SetValue(HKLM, nt_ ? k9xFonts : kNtFonts, "Other family", REG_SZ_TYPE, StringBytes(folder_ + "gone.ttf"));
  TRegFonts fonts(*engine_);
  ScanOutcome outcome = RunScan(fonts);
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 3);

  world_->SetValue(HKLM, FontsKey(), "D missing", REG_SZ_TYPE, StringBytes(folder_ + "gone.ttf"));
  world_->SetValue(HKLM, FontsKey(), "E number", REG_DWORD_TYPE, DwordBytes(0));
  outcome = RunScan(fonts);
  EXPECT_EQ(outcome.list, (Strings{"D missing", "E number", ""}));
  EXPECT_EQ(outcome.events, 3);
}

TEST_P(AppSectionsContract, FontNumberIsFaulty) {
  world_->SetValue(HKLM, FontsKey(), "Number", REG_DWORD_TYPE, DwordBytes(1));
  TRegFonts fonts(*engine_);
  EXPECT_EQ(RunScan(fonts).list, (Strings{"Number", ""}));
}

TEST_P(AppSectionsContract, SoundShares) {
  world_->AddDirectory(folder_ + "data");
  AddShare("A data", folder_ + "data");
  AddShare("B other order", {"Type=0", "Path=" + folder_ + "data", "Remark=x"}, folder_ + "data\\");
  AddShare("C empty drive", EmptyDrive() + "\\");
  TSharedFolders shares(*engine_);
  const ScanOutcome outcome = RunScan(shares);
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 3);
}

TEST_P(AppSectionsContract, FaultyShares) {
  struct Case {
    std::string what;
    std::string folder;  // after the scratch folder's name or the empty drive's letter is put in
  };
  const std::vector<Case> cases = {
      {"missing folder", "<scratch>gone"},    {"a file", "<scratch>file.txt"},
      {"network path", "\\\\server\\dir"},    {"folder on an empty drive", "<drive>\\Gone"},
      {"drive without backslash", "<drive>"},
  };
  for (const Case& c : cases) {
    SetUp();  // a world of its own for each share
    world_->AddFile(folder_ + "file.txt");
    std::string folder = c.folder;
    if (StartsWith(folder, "<scratch>")) folder = folder_ + folder.substr(9);
    if (StartsWith(folder, "<drive>")) folder = EmptyDrive() + folder.substr(7);
    AddShare("Share", folder);
    TSharedFolders shares(*engine_);
    EXPECT_EQ(RunScan(shares).list, (Strings{"Share", ""})) << c.what << ": " << folder;
  }
}

TEST_P(AppSectionsContract, ShareWithoutFolderOrWithANumber) {
  // NT: a value without a "Path=" line is faulty. Windows 9x: a subkey without "Path" is sound, a number
  // there is faulty.
  if (nt_) {
    world_->SetValue(HKLM, kNtShares, "A no path", REG_MULTI_SZ_TYPE, MultiStringBytes({"Permissions=0", "Type=0"}));
  } else {
    world_->SetValue(HKLM, k9xShares + "\\A no path", "Remark", REG_SZ_TYPE, StringBytes("x"));
    world_->SetValue(HKLM, k9xShares + "\\B number", "Path", REG_DWORD_TYPE, DwordBytes(0));
  }
  TSharedFolders shares(*engine_);
  EXPECT_EQ(RunScan(shares).list, nt_ ? (Strings{"A no path", ""}) : (Strings{"B number", ""}));
}

INSTANTIATE_TEST_SUITE_P(Worlds, AppSectionsContract, ::testing::ValuesIn(ContractWorlds()),
                         [](const auto& info) { return info.param.name; });

#ifdef _WIN32
// The fallback to the fonts folder, in the real world only (the memory world has no fonts folder; the unit
// tests cover it there), with a font file of our own in the real folder for the length of the test.
TEST(AppSectionsRealWorld, FontFoundOnlyInTheFontsFolder) {
  std::unique_ptr<World> world;
  for (const WorldKind& kind : AllWorlds()) {
    if (kind.name == "Real") world = kind.make();
  }
  ASSERT_NE(world, nullptr);
  Engine engine(world->platform());
  std::string fontsFolder;
  GetFontsFolder(world->platform(), fontsFolder);
  ASSERT_FALSE(fontsFolder.empty());
  const std::string name = "kvtest-" + std::to_string(GetCurrentProcessId()) + ".ttf";
  const std::string path = fontsFolder + "\\" + name;
  world->AddFile(path);
  struct Remove {
    std::string path;
    ~Remove() { DeleteFileA(path.c_str()); }
  } remove{path};
  const std::string key = IsWindowsNT(world->platform()) ? kNtFonts : k9xFonts;
  world->SetValue(HKLM, key, "Own font", REG_SZ_TYPE, StringBytes(name));
  world->SetValue(HKLM, key, "Own font, quoted", REG_SZ_TYPE, StringBytes("\"" + name + "\""));
  TRegFonts fonts(engine);
  // Quoted, the name is looked for only as it stands; the fonts folder is tried with the quotes kept.
  EXPECT_EQ(RunScan(fonts).list, (Strings{"Own font, quoted", ""}));
}

// The walks above follow what GetVersionEx reports; this says which family the run was meant to show, so
// that a run that was meant to be Windows 98 and is not cannot pass unnoticed.
TEST(AppSectionsPlatform, RunsOnTheIntendedFamily) {
  OsVersion version;
  ASSERT_TRUE(Win32Platform().system.Version(&version));
#ifdef KV_EXPECT_WIN9X
  EXPECT_EQ(version.platformId, kPlatformWin32Windows) << version.major << "." << version.minor;
#else
  EXPECT_EQ(version.platformId, kPlatformWin32NT) << version.major << "." << version.minor;
#endif
}
#endif

}  // namespace
}  // namespace kv::testing
