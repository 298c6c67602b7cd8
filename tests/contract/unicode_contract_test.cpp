// Names outside any 8-bit code page, end to end, over every world: natively the memory platform, under Wine
// the real registry, files and shell links (also under a Chinese UTF-8 locale, whose 8-bit code page is
// 936). Each name of the table is used as a key name, a value name, a folder, a file and a shortcut, and the
// engine's verdicts on them are the verdicts it gives on plain ASCII names.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "scan/engine.h"
#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "scan/sections/startup_folders.h"
#include "scan/sections/startup_run.h"
#include "support/registry.h"
#include "support/text.h"
#include "tests/testing/world.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr std::uint32_t HKCU = HKEY_CURRENT_USER_CODE;
const std::string kKey = "Software\\KvUnicode";
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct Name {
  const char* script;
  std::string text;
  std::string otherCase;  // the same name spelt in other case; empty for a script without case
};

// Written out in UTF-8.
const std::vector<Name>& Names() {
  static const std::vector<Name> names = {
      {"Latin Extended-A", "Łukasz", "łUKASZ"},
      {"Latin-1", "André Café", "ANDRÉ CAFÉ"},
      {"Greek", "Εφαρμογή", "ΕΦΑΡΜΟΓΉ"},
      {"Cyrillic", "Ольга", "оЛЬГА"},
      {"Han", "张伟", ""},
      {"beyond the Basic Multilingual Plane (U+20BB7)", "𠮷野家", ""},
      {"beyond the plane, with Latin letters (U+1F600)", "smile😀", "SMILE😀"},
  };
  return names;
}

// UTF-16LE bytes of UTF-8 text, with the closing NUL: a REG_SZ as the registry keeps it.
std::vector<std::uint8_t> StringData(const std::string& utf8) {
  std::vector<std::uint8_t> bytes;
  for (char16_t unit : Utf8ToUtf16(utf8) + u'\0') {
    bytes.push_back(static_cast<std::uint8_t>(unit));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

bool Contains(const Strings& list, const std::string& item) {
  for (const std::string& s : list)
    if (s == item) return true;
  return false;
}

class UnicodeContract : public ::testing::TestWithParam<WorldKind> {
 protected:
  void SetUp() override { Fresh(); }

  // A new world (and engine) for a case that must not see the ones before it.
  void Fresh() {
    engine_.reset();
    world_.reset();
    world_ = GetParam().make();
    root_ = world_->Folder();
    engine_ = std::make_unique<Engine>(world_->platform());
    engine_->SearchDirs = {LowerAscii(root_)};
    engine_->ExeExtensions = {".exe"};
  }

  Platform& platform() { return world_->platform(); }

  std::unique_ptr<World> world_;
  std::unique_ptr<Engine> engine_;
  std::string root_;
};

TEST_P(UnicodeContract, KeyAndValueNamesComeBackAsWritten) {
  for (const Name& name : Names()) {
    SCOPED_TRACE(std::string(name.script) + ": " + name.text);
    const std::string data = "C:\\" + name.text + "\\app.exe";
    world_->CreateKey(HKCU, kKey + "\\" + name.text);
    world_->SetValue(HKCU, kKey, name.text, REG_SZ_TYPE, StringData(data));
    TRegistry reg(platform());
    ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
    Strings keys, values;
    reg.GetKeyNames(keys);
    reg.GetValueNames(values);
    EXPECT_TRUE(Contains(keys, name.text)) << "key names: " << ::testing::PrintToString(keys);
    EXPECT_TRUE(Contains(values, name.text)) << "value names: " << ::testing::PrintToString(values);
    EXPECT_EQ(reg.ReadString(name.text), data);
    EXPECT_EQ(reg.GetDataSize(name.text), static_cast<std::int32_t>(data.size() + 1)) << "UTF-8 bytes and the NUL";
    EXPECT_TRUE(reg.KeyExists(name.text));
    if (!name.otherCase.empty()) {
      EXPECT_EQ(reg.ReadString(name.otherCase), data) << "the value, asked for in other case";
      EXPECT_TRUE(reg.KeyExists(name.otherCase)) << "the key, asked for in other case";
    }
    ASSERT_TRUE(reg.OpenKeyReadOnly(name.text));
    EXPECT_EQ(reg.CurrentPath(), kKey + "\\" + name.text);
  }
}

TEST_P(UnicodeContract, MultiStringsComeAsUtf8) {
  std::string strings;
  for (const Name& name : Names()) strings += name.text + '\0';
  world_->SetValue(HKCU, kKey, "multi", REG_MULTI_SZ_TYPE, StringData(strings));
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  EXPECT_EQ(reg.ReadMultiString("multi"), strings) << "each string and its NUL, less the closing NUL";
  const std::u16string wide = reg.ReadWideString("multi");
  EXPECT_EQ(wide, Utf8ToUtf16(strings));
}

TEST_P(UnicodeContract, FilesAndFoldersAreFoundUnderTheirNames) {
  FileSystemApi& files = platform().files;
  for (const Name& name : Names()) {
    SCOPED_TRACE(std::string(name.script) + ": " + name.text);
    const std::string folder = root_ + name.text;
    const std::string program = folder + "\\" + name.text + ".exe";
    world_->AddFile(program);
    EXPECT_NE(files.GetAttributes(program), kInvalidFileAttributes);
    EXPECT_TRUE(SafeFileExists(*engine_, program));
    EXPECT_FALSE(SafeFileExists(*engine_, folder + "\\gone.exe"));
    if (!name.otherCase.empty()) {
      const std::string otherSpelling = root_ + name.otherCase + "\\" + name.otherCase + ".EXE";
      EXPECT_TRUE(SafeFileExists(*engine_, otherSpelling)) << otherSpelling;
    }

    // A search reports the name as stored, whichever way it was asked for.
    FindEntry entry;
    FindHandle find = files.FindFirst(root_ + (name.otherCase.empty() ? name.text : name.otherCase), &entry);
    ASSERT_NE(find, kNoFind);
    EXPECT_EQ(entry.name, name.text);
    files.FindClose(find);
    find = files.FindFirst(folder + "\\*.exe", &entry);
    ASSERT_NE(find, kNoFind);
    EXPECT_EQ(entry.name, name.text + ".exe");
    files.FindClose(find);

    // Full path names count UTF-8 bytes: too small a buffer is told the size it needs.
    world_->SetCurrentDirectory(folder);
    char buffer[512] = {};
    const std::string relative = name.text + ".exe";
    const std::uint32_t needed = files.FullPathName(relative, 4, buffer);
    EXPECT_EQ(needed, program.size() + 1);
    EXPECT_EQ(files.FullPathName(relative, sizeof buffer, buffer), program.size());
    EXPECT_EQ(std::string(buffer), program);
    // The short form, where the volume makes one, names the same file.
    const std::uint32_t length = files.ShortPathName(program, sizeof buffer, buffer);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, sizeof buffer);
    EXPECT_NE(files.GetAttributes(std::string(buffer, length)), kInvalidFileAttributes) << std::string(buffer, length);
  }
}

// A search pattern's '?' stands for one UTF-16 unit: a character beyond the plane takes two.
TEST_P(UnicodeContract, WildcardsMatchUtf16Units) {
  world_->AddFile(root_ + "smile😀.txt");
  world_->AddFile(root_ + "Ольга.txt");
  const struct {
    const char* pattern;
    bool found;
  } kCases[] = {
      {"smile?.txt", false}, {"smile??.txt", true}, {"SMILE*.TXT", true},
      {"?????.txt", true},   {"????.txt", false},   {"оЛЬГА.*", true},
  };
  FileSystemApi& files = platform().files;
  for (const auto& c : kCases) {
    FindEntry entry;
    const FindHandle find = files.FindFirst(root_ + c.pattern, &entry);
    EXPECT_EQ(find != kNoFind, c.found) << c.pattern;
    if (find != kNoFind) files.FindClose(find);
  }
}

// A Run entry naming a program in a folder of that name is sound when the program exists; one whose
// program is missing is reported under its own value name.
TEST_P(UnicodeContract, RunEntries) {
  for (const Name& name : Names()) {
    SCOPED_TRACE(std::string(name.script) + ": " + name.text);
    Fresh();
    const std::string folder = root_ + name.text;
    world_->AddFile(folder + "\\app.exe");
    world_->SetValue(HKCU, kRun, name.text, REG_SZ_TYPE, StringData("\"" + folder + "\\app.exe\" /tray"));
    world_->SetValue(HKCU, kRun, name.text + " 2", REG_SZ_TYPE, StringData(folder + "\\app.exe"));
    {
      TStartUpSectionHKCU section(*engine_);
      section.Scan();
      EXPECT_EQ(section.Strings(), Strings{}) << "the program exists";
    }
    world_->SetValue(HKCU, kRun, name.text + " gone", REG_SZ_TYPE, StringData(folder + "\\gone.exe -x"));
    TStartUpSectionHKCU section(*engine_);
    section.Scan();
    EXPECT_EQ(section.Strings(), (Strings{name.text + " gone", ""}));
  }
}

TEST_P(UnicodeContract, StartupFolderShortcuts) {
  int n = 0;
  for (const Name& name : Names()) {
    SCOPED_TRACE(std::string(name.script) + ": " + name.text);
    const std::string folder = root_ + "Startup" + std::to_string(++n) + "\\" + name.text;
    const std::string program = root_ + name.text + "\\app.exe";
    world_->AddFile(program);
    world_->AddShortcut(folder + "\\" + name.text + ".lnk", program);
    engine_->StartupFolders = {folder};
    {
      TStartUpSectionSL section(*engine_);
      section.Scan();
      EXPECT_EQ(section.Strings(), Strings{}) << "the target exists";
    }
    const std::string gone = folder + "\\" + name.text + " gone.lnk";
    world_->AddShortcut(gone, root_ + name.text + "\\gone.exe");
    TStartUpSectionSL section(*engine_);
    section.Scan();
    EXPECT_EQ(section.Strings(), Strings{gone});
  }
}

// Names that are the same, or not, without regard to case, as the system folds them: registry keys and
// files agree with the engine's own comparison (SameText).
TEST_P(UnicodeContract, CaseFoldingOfTheSystem) {
  struct Case {
    std::string a;
    std::string b;
    bool same;
  };
  const std::vector<Case> cases = {
      {"Ärger", "äRGER", true}, {"ÿ", "Ÿ", true},
      {"Łódź", "łÓDŹ", true},   {"σίγμα", "ΣΊΓΜΑ", true},
      {"ᾀ", "ᾈ", true},         {"ǆ", "Ǆ", true},
      {"ａｂ", "ＡＢ", true},   {"ҍ", "Ҍ", true},
      {"ⓐ", "Ⓐ", true},         {"straße", "STRASSE", false},
      {"ı", "I", false},        {"ſ", "S", false},
      {"k", "\u212A", false},   {"µ", "Μ", false},
      {"ς", "Σ", false},        {"ǅ", "Ǆ", false},
      {"😀", "😁", false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE("[" + c.a + "] / [" + c.b + "]");
    EXPECT_EQ(SameText(c.a, c.b), c.same) << "the engine's comparison";
    const std::string key = kKey + "\\Fold" + std::to_string(++n);
    world_->CreateKey(HKCU, key + "\\" + c.a);
    TRegistry reg(platform());
    EXPECT_EQ(reg.KeyExists(key + "\\" + c.b), c.same) << "registry";
    const std::string folder = root_ + "fold" + std::to_string(n) + "\\";
    world_->AddFile(folder + c.a);
    EXPECT_EQ(platform().files.GetAttributes(folder + c.b) != kInvalidFileAttributes, c.same) << "files";
  }
}

INSTANTIATE_TEST_SUITE_P(Worlds, UnicodeContract, ::testing::ValuesIn(ContractWorlds()),
                         [](const ::testing::TestParamInfo<WorldKind>& info) { return info.param.name; });

#ifdef _WIN32
}  // namespace
}  // namespace kv::testing

// ntdll's folding of one UTF-16 unit, and the system's 8-bit code page (declared here: <windows.h> would
// rename the fixtures' calls).
extern "C" __declspec(dllimport) wchar_t RtlUpcaseUnicodeChar(wchar_t unit);
extern "C" __declspec(dllimport) unsigned int GetACP();

namespace kv::testing {
namespace {

// The engine's and the memory platform's folding is the system's own, unit for unit.
TEST(SystemCaseFolding, EveryUnitOfThePlaneFoldsAsTheSystemFoldsIt) {
  int differences = 0;
  for (char32_t unit = 0; unit < 0x10000; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    const char32_t system = RtlUpcaseUnicodeChar(static_cast<wchar_t>(unit));
    if (system != UpcaseCodePoint(unit) && ++differences <= 20)
      ADD_FAILURE() << std::hex << "U+" << static_cast<unsigned>(unit) << ": system U+" << static_cast<unsigned>(system)
                    << ", table U+" << static_cast<unsigned>(UpcaseCodePoint(unit));
  }
  EXPECT_EQ(differences, 0);
}

// A run that asks for a code page (KV_EXPECT_CODE_PAGE, set by the run under a Chinese locale) gets it,
// so that its cases really meet names the code page cannot hold.
TEST(SystemCodePage, IsTheOneTheRunAskedFor) {
  const char* expected = std::getenv("KV_EXPECT_CODE_PAGE");
  if (expected == nullptr) {
    std::printf("  the system's 8-bit code page: %u\n", GetACP());
    return;
  }
  EXPECT_EQ(std::to_string(GetACP()), expected);
}
#endif

}  // namespace
}  // namespace kv::testing
