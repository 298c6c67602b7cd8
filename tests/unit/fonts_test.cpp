// The font section: the key chosen by the platform family, font files found as written or in the fonts
// folder, quoted data, numbers, the fault marker, progress events and stop requests.
#include <gtest/gtest.h>

#include <functional>

#include "scan/sections/fonts.h"
#include "scan/shell.h"
#include "tests/testing/section_test.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kNtFonts = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::string k9xFonts = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";

class FontsTest : public SectionTest {
 protected:
  void SetUp() override {
    memory_.system.SetSpecialFolder(kCsidlFonts, "C:\\WINDOWS\\Fonts");
    memory_.files.AddFile("C:\\WINDOWS\\Fonts\\arial.ttf");
    memory_.files.AddFile("C:\\Fonts\\x.ttf");
  }

  void AddFont(const std::string& name, const std::string& file) { memory_.registry.SetString(kNtFonts, name, file); }

  ScanOutcome Scan() {
    section_ = std::make_unique<TRegFonts>(Load());
    return SectionTest::Scan(*section_);
  }

  std::unique_ptr<TRegFonts> section_;
};

TEST_F(FontsTest, FontFiles) {
  using Registry = MemoryRegistry;
  struct Case {
    std::string what;
    std::function<void(Registry&)> set;
    bool good;
  };
  auto text = [](const std::string& s) { return [s](Registry& r) { r.SetString(kNtFonts, "Font (TrueType)", s); }; };
  const std::vector<Case> cases = {
      {"only in the fonts folder", text("arial.ttf"), true},
      {"absolute", text("C:\\Fonts\\x.ttf"), true},
      {"absolute, missing", text("C:\\Fonts\\gone.ttf"), false},
      {"missing everywhere", text("gone.ttf"), false},
      {"path variable", text("%SystemRoot%\\Fonts\\arial.ttf"), true},
      {"quoted with trailing text", text("\"C:\\Fonts\\x.ttf\" bold"), true},
      {"quoted, missing", text("\"C:\\Fonts\\gone.ttf\" bold"), false},
      // The fonts folder is tried with the data as stored, quotes and all.
      {"quoted, only in the fonts folder", text("\"arial.ttf\" bold"), false},
      {"quote never closed", text("\"C:\\Fonts\\gone.ttf"), true},  // nothing between the quotes
      {"empty", text(""), true},
      {"DWORD", [](Registry& r) { r.SetDword(kNtFonts, "Font (TrueType)", 0); }, false},
      {"big-endian DWORD",
       [](Registry& r) {
         r.SetValue(kNtFonts, "Font (TrueType)", REG_DWORD_BIG_ENDIAN_TYPE, {0, 0, 0, 1});
       },
       false},
  };
  for (const Case& c : cases) {
    memory_.registry.DeleteKey(kNtFonts);
    c.set(memory_.registry);
    const Strings expected = c.good ? Strings{} : Strings{"Font (TrueType)", ""};
    EXPECT_EQ(Scan().list, expected) << c.what;
  }
}

TEST_F(FontsTest, UnnamedDefaultValueWithEmptyDataIsSound) {
  AddFont("", "");
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 1);
}

TEST_F(FontsTest, KeyChosenByThePlatformFamily) {
  memory_.registry.SetString(kNtFonts, "NT font", "C:\\Gone\\nt.ttf");
  memory_.registry.SetString(k9xFonts, "9x font", "C:\\Gone\\9x.ttf");
  struct Case {
    std::uint32_t platformId;
    Strings list;
  };
  for (const Case& c : {Case{kPlatformWin32NT, {"NT font", ""}}, Case{kPlatformWin32Windows, {"9x font", ""}}}) {
    memory_.system.SetVersion(OsVersion{c.platformId, 4, 10, 0});
    EXPECT_EQ(Scan().list, c.list) << "platform " << c.platformId;
  }
}

TEST_F(FontsTest, UnreadableVersionFailsTheConstructor) {
  Engine& engine = Load();
  memory_.system.SetVersion(OsVersion{}, /*available=*/false);
  EXPECT_THROW(TRegFonts section(engine), WindowsVersionError);
}

TEST_F(FontsTest, FaultLeavesTheNameAndTheRestAndTheKeyOpen) {
  AddFont("A", "arial.ttf");
  AddFont("B", "gone.ttf");
  AddFont("C", "gone.ttf");
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, (Strings{"B", "C", ""}));
  EXPECT_EQ(outcome.events, 1);
  EXPECT_EQ(section_->Registry.CurrentPath(), "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
}

TEST_F(FontsTest, CleanScanFiresOneEventPerFontAndClosesTheKey) {
  AddFont("A", "arial.ttf");
  AddFont("B", "C:\\Fonts\\x.ttf");
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 2);
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
}

TEST_F(FontsTest, CancelledBeforeTheFirstFontLeavesEveryName) {
  AddFont("A", "gone.ttf");
  AddFont("B", "gone.ttf");
  section_ = std::make_unique<TRegFonts>(Load());
  section_->Cancelled = true;
  const ScanOutcome outcome = SectionTest::Scan(*section_);
  EXPECT_EQ(outcome.list, (Strings{"A", "B"}));
  EXPECT_EQ(outcome.events, 0);
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
}

TEST_F(FontsTest, MissingKeyIsClean) { EXPECT_EQ(Scan().list, Strings{}); }

}  // namespace
}  // namespace kv::testing
