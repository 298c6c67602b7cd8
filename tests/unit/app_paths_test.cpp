// The application-path section: default values that are numbers, empty, programs, folders or carry a
// path variable; the fault marker, progress events, stop requests and the error mode.
#include <gtest/gtest.h>

#include <functional>

#include "scan/sections/app_paths.h"
#include "tests/testing/section_test.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kAppPaths = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

class AppPathTest : public SectionTest {
 protected:
  void SetUp() override {
    memory_.registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                               "C:\\Program Files");
    memory_.files.AddFile("C:\\Program Files\\App\\app.exe");
    memory_.files.AddDirectory("C:\\Program Files\\Tools");
  }

  void AddProgram(const std::string& subkey, const std::string& path) {
    memory_.registry.SetString(kAppPaths + "\\" + subkey, "", path);
  }

  ScanOutcome Scan() {
    section_ = std::make_unique<TAppPath>(Load());
    return SectionTest::Scan(*section_);
  }

  std::unique_ptr<TAppPath> section_;
};

TEST_F(AppPathTest, DefaultValues) {
  using Registry = MemoryRegistry;
  struct Case {
    std::string what;
    std::function<void(Registry&, const std::string& key)> set;
    bool good;
  };
  auto text = [](const std::string& s, std::uint32_t type = REG_SZ_TYPE) {
    return [s, type](Registry& r, const std::string& key) { r.SetString(key, "", s, type); };
  };
  const std::vector<Case> cases = {
      {"existing program", text("C:\\Program Files\\App\\app.exe"), true},
      {"quoted program", text("\"C:\\Program Files\\App\\app.exe\""), true},
      {"missing program", text("C:\\Program Files\\App\\gone.exe"), false},
      {"empty", text(""), true},
      {"no default value", [](Registry& r, const std::string& key) { r.CreateKey(key); }, true},
      {"folder", text("C:\\Program Files\\Tools"), true},
      {"folder with backslash", text("C:\\Program Files\\Tools\\"), true},
      {"missing folder", text("C:\\Program Files\\Gone\\"), false},
      {"%ProgramFiles% program", text("%ProgramFiles%\\App\\app.exe", REG_EXPAND_SZ_TYPE), true},
      {"%ProgramFiles% in a plain string", text("%programfiles%\\App\\app.exe"), true},
      {"%ProgramFiles% missing program", text("%ProgramFiles%\\App\\gone.exe", REG_EXPAND_SZ_TYPE), false},
      {"DWORD 0", [](Registry& r, const std::string& key) { r.SetDword(key, "", 0); }, false},
      {"DWORD 1", [](Registry& r, const std::string& key) { r.SetDword(key, "", 1); }, false},
      {"big-endian DWORD",
       [](Registry& r, const std::string& key) {
         r.SetValue(key, "", REG_DWORD_BIG_ENDIAN_TYPE, {0, 0, 0, 1});
       },
       false},
  };
  for (const Case& c : cases) {
    memory_.registry.DeleteKey(kAppPaths);
    c.set(memory_.registry, kAppPaths + "\\app.exe");
    const Strings expected = c.good ? Strings{} : Strings{"app.exe", ""};
    EXPECT_EQ(Scan().list, expected) << c.what;
  }
}

TEST_F(AppPathTest, FaultLeavesTheSubkeyAndTheRest) {
  AddProgram("a.exe", "C:\\Program Files\\App\\app.exe");
  memory_.registry.SetDword(kAppPaths + "\\b.exe", "", 0);
  AddProgram("c.exe", "C:\\Program Files\\App\\gone.exe");
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, (Strings{"b.exe", "c.exe", ""}));
  EXPECT_EQ(outcome.events, 1);
  EXPECT_EQ(section_->Registry.CurrentPath(), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\b.exe");
}

TEST_F(AppPathTest, CleanScanFiresOneEventPerSubkey) {
  AddProgram("a.exe", "C:\\Program Files\\App\\app.exe");
  AddProgram("b.exe", "");
  AddProgram("c.exe", "C:\\Program Files\\Tools");
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 3);
}

TEST_F(AppPathTest, CancelledBeforeTheFirstSubkeyLeavesEveryName) {
  AddProgram("a.exe", "C:\\Gone\\a.exe");
  AddProgram("b.exe", "C:\\Gone\\b.exe");
  section_ = std::make_unique<TAppPath>(Load());
  section_->Cancelled = true;
  const ScanOutcome outcome = SectionTest::Scan(*section_);
  EXPECT_EQ(outcome.list, (Strings{"a.exe", "b.exe"}));
  EXPECT_EQ(outcome.events, 0);
  EXPECT_EQ(section_->Registry.CurrentKey(), kNoKey);
}

TEST_F(AppPathTest, MissingOrEmptyKeyIsClean) {
  EXPECT_EQ(Scan().list, Strings{});
  memory_.registry.CreateKey(kAppPaths);
  const ScanOutcome outcome = Scan();
  EXPECT_EQ(outcome.list, Strings{});
  EXPECT_EQ(outcome.events, 0);
}

}  // namespace
}  // namespace kv::testing
