// The COM class, file type and help file sections over every world: natively over the memory platform,
// in the Windows build also over the real registry (redirected to scratch keys) and real files. What the
// memory registry answers about opening keys with the accessor's rights must hold on the real API.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scan/sections/com_classes.h"
#include "scan/sections/file_types.h"
#include "scan/sections/help_files.h"
#include "tests/testing/world.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr std::uint32_t HKCR = HKEY_CLASSES_ROOT_CODE;
constexpr std::uint32_t HKCU = HKEY_CURRENT_USER_CODE;
constexpr std::uint32_t HKLM = HKEY_LOCAL_MACHINE_CODE;
const std::string kClass = "{4B1D3C2A-0000-4C6B-9E1A-7F0E5D4C3B2A}";
const std::string kOtherClass = "{00021401-0000-0000-C000-000000000046}";
const std::string kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

class SectionsContract : public ::testing::TestWithParam<WorldKind> {
 protected:
  void SetUp() override {
    world_ = GetParam().make();
    folder_ = world_->Folder();
    for (const char* file : {"server.dll", "server.exe", "icons.dll", "viewer.exe", "app.hlp"})
      world_->AddFile(folder_ + file);
  }

  void SetText(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text) {
    world_->SetValue(root, path, name, REG_SZ_TYPE, Utf16Bytes(text));
  }

  // Runs one section over a freshly loaded engine; returns its list and counts its progress events.
  template <typename Section>
  Strings Scan() {
    Engine engine(world_->platform());
    Section section(engine);
    events_ = 0;
    section.OnItemChecked = [this](EngineObject&) { ++events_; };
    section.Scan();
    return section.Strings();
  }

  std::unique_ptr<World> world_;
  std::string folder_;
  int events_ = 0;
};

TEST_P(SectionsContract, ComClassMainPaths) {
  const std::string key = "CLSID\\" + kClass;
  SetText(HKCR, key + "\\DefaultIcon", "", folder_ + "icons.dll,-101");
  SetText(HKCR, key + "\\InProcServer32", "", folder_ + "server.dll");
  SetText(HKCR, key + "\\InprocHandler32", "", kOtherClass);
  SetText(HKCR, key + "\\LocalServer32", "", "\"" + folder_ + "server.exe\" -Embedding");
  SetText(HKCR, key + "\\PersistentHandler", "", kOtherClass);
  EXPECT_EQ(Scan<TClsIdTYPES>(), Strings{});
  EXPECT_EQ(events_, 1);

  SetText(HKCR, key + "\\LocalServer32", "", "\"" + folder_ + "gone.exe\" -Embedding");
  EXPECT_EQ(Scan<TClsIdTYPES>(), Strings{"HKEY_CLASSES_ROOT\\CLSID\\" + kClass + "\\LocalServer32"});
  EXPECT_EQ(events_, 0);
}

TEST_P(SectionsContract, ComSubkeyThatRefusesReadRightsIsPassedOver) {
  // CLSID opens with KEY_READ; the subkeys are asked for the same, which a key granting only value
  // queries refuses.
  const std::string key = "CLSID\\" + kClass + "\\InProcServer32";
  SetText(HKCR, key, "", folder_ + "gone.dll");
  world_->RestrictToQueryValue(HKCR, key);
  EXPECT_EQ(Scan<TClsIdTYPES>(), Strings{});
  EXPECT_EQ(events_, 1);
}

TEST_P(SectionsContract, ComClassKeyReadableOnlyByValueQueriesListsNoClasses) {
  // Opened read-only it falls back to value queries, which do not enumerate subkeys.
  SetText(HKCR, "CLSID\\" + kClass + "\\InProcServer32", "", folder_ + "gone.dll");
  world_->RestrictToQueryValue(HKCR, "CLSID");
  EXPECT_EQ(Scan<TClsIdTYPES>(), Strings{});
  EXPECT_EQ(events_, 0);
}

TEST_P(SectionsContract, FileTypeMainPaths) {
  SetText(HKCR, ".kvt", "", "kvtfile");
  SetText(HKCR, "kvtfile\\shell\\open\\command", "", "\"" + folder_ + "viewer.exe\" \"%1\"");
  SetText(HKCR, "kvtfile\\shell\\print\\command", "", "%1");
  SetText(HKCR, "kvtfile\\DefaultIcon", "", folder_ + "viewer.exe,0");
  EXPECT_EQ(Scan<TFileExtCommands>(), Strings{});
  EXPECT_EQ(events_, 1);

  SetText(HKCR, "kvtfile\\shell\\open\\command", "", folder_ + "gone.exe %1");
  SetText(HKCR, "kvtfile\\shell\\print\\command", "", folder_ + "gone.exe /p %1");
  EXPECT_EQ(Scan<TFileExtCommands>(), (Strings{"HKEY_CLASSES_ROOT\\kvtfile\\shell\\open\\command",
                                               "HKEY_CLASSES_ROOT\\kvtfile\\shell\\print\\command"}));
}

TEST_P(SectionsContract, ExtensionNamingAMissingType) {
  SetText(HKCR, ".kvt", "", "kvtmissing");
  EXPECT_EQ(Scan<TFileExtCommands>(), Strings{"HKEY_CLASSES_ROOT\\"});
  world_->CreateKey(HKCR, ".kvt\\ShellEx");
  EXPECT_EQ(Scan<TFileExtCommands>(), Strings{});
}

TEST_P(SectionsContract, ExtensionKeyThatRefusesFullAccessIsNotRead) {
  // The section's accessor asks for full access until a read-only open lowers its rights.
  SetText(HKCR, ".kvt", "", "kvtmissing");
  world_->RestrictToQueryValue(HKCR, ".kvt");
  EXPECT_EQ(Scan<TFileExtCommands>(), Strings{});
  EXPECT_EQ(events_, 1);
}

TEST_P(SectionsContract, PerUserChoiceOfProgram) {
  SetText(HKCU, kFileExts + "\\.kvt", "Application", "kvview.exe");
  SetText(HKCR, "Applications\\kvview.exe\\shell\\open\\command", "", "\"" + folder_ + "viewer.exe\" \"%1\"");
  EXPECT_EQ(Scan<TFileExtCommands>(), Strings{});
  EXPECT_EQ(events_, 1);

  SetText(HKCR, "Applications\\kvview.exe\\shell\\open\\command", "", "\"" + folder_ + "gone.exe\" \"%1\"");
  EXPECT_EQ(Scan<TFileExtCommands>(), Strings{"HKEY_CLASSES_ROOT\\Applications\\kvview.exe\\shell\\open\\command"});

  SetText(HKCU, kFileExts + "\\.kvt", "Application", "unregistered.exe");
  EXPECT_EQ(Scan<TFileExtCommands>(), Strings{"HKEY_CLASSES_ROOT\\"});
}

TEST_P(SectionsContract, HelpFileMainPaths) {
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\Help";
  SetText(HKLM, key, "app.hlp", folder_);
  SetText(HKLM, key, "", "not a folder");
  EXPECT_EQ(Scan<TWinHelp>(), Strings{});
  EXPECT_EQ(events_, 2);
  SetText(HKLM, key, "gone.hlp", folder_.substr(0, folder_.size() - 1));
  EXPECT_EQ(Scan<TWinHelp>(), (Strings{"gone.hlp", ""}));

  world_->SetValue(HKLM, "SOFTWARE\\Microsoft\\Windows\\HTML Help", "", REG_DWORD_TYPE, DwordBytes(0));
  EXPECT_EQ(Scan<THTMLHelp>(), (Strings{"", ""})) << "a number under the empty name";
}

INSTANTIATE_TEST_SUITE_P(Worlds, SectionsContract, ::testing::ValuesIn(ContractWorlds()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
