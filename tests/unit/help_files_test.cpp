// The classic and HTML help registrations: each value's name is a help file, its data the folder. Every
// case runs against both sections, which differ only in their key.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scan/sections/help_files.h"
#include "tests/testing/section_test.h"

namespace kv::testing {
namespace {

struct HelpKind {
  std::string name;
  std::string key;
  std::function<std::unique_ptr<TNamedRegStringList>(Engine&)> make;
};

std::vector<HelpKind> HelpKinds() {
  return {{"WinHelp", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help",
           [](Engine& e) { return std::make_unique<TWinHelp>(e); }},
          {"HTMLHelp", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HTML Help",
           [](Engine& e) { return std::make_unique<THTMLHelp>(e); }}};
}

class HelpFiles : public SectionTestOn<::testing::TestWithParam<HelpKind>> {
 protected:
  void SetUp() override {
    memory_.files.AddFile("C:\\Help\\app.hlp");
    memory_.files.AddFile("C:\\WINDOWS\\Help\\windows.chm");
  }
  const std::string& key() const { return GetParam().key; }

  // Scans the help key and returns the list, counting the progress events.
  std::vector<std::string> Scan() {
    section_.reset();
    section_ = GetParam().make(Load());
    return SectionTestOn::Scan(*section_).list;
  }

  std::unique_ptr<TNamedRegStringList> section_;
};

using Strings = std::vector<std::string>;

TEST_P(HelpFiles, JudgesEachValue) {
  struct Case {
    const char* what;
    std::string name;
    std::function<void(MemoryRegistry&, const std::string& key, const std::string& name)> set;
    Strings expected;
  };
  auto text = [](const std::string& data) {
    return [data](MemoryRegistry& r, const std::string& k, const std::string& n) { r.SetString(k, n, data); };
  };
  const std::vector<Case> cases = {
      {"folder holding the file", "app.hlp", text("C:\\Help"), {}},
      {"folder with a closing backslash", "app.hlp", text("C:\\Help\\"), {}},
      {"folder named by %SystemRoot%",
       "windows.chm",
       [](MemoryRegistry& r, const std::string& k, const std::string& n) {
         r.SetString(k, n, "%SystemRoot%\\Help", REG_EXPAND_SZ_TYPE);
       },
       {}},
      {"file missing from the folder", "gone.hlp", text("C:\\Help"), {"gone.hlp", ""}},
      {"folder missing", "app.hlp", text("C:\\Nowhere"), {"app.hlp", ""}},
      {"a number instead of a folder",
       "app.hlp",
       [](MemoryRegistry& r, const std::string& k, const std::string& n) { r.SetDword(k, n, 1); },
       {"app.hlp", ""}},
      {"a number under the empty name",
       "",
       [](MemoryRegistry& r, const std::string& k, const std::string& n) { r.SetDword(k, n, 0); },
       {"", ""}},
      {"a big-endian number",
       "app.hlp",
       [](MemoryRegistry& r, const std::string& k, const std::string& n) {
         r.SetValue(k, n, REG_DWORD_BIG_ENDIAN_TYPE, {0, 0, 0, 1});
       },
       {"app.hlp", ""}},
      {"the default value naming nothing", "", text("C:\\Nowhere\\nothing.hlp"), {}},
  };
  for (const Case& c : cases) {
    registry().DeleteKey(key());
    c.set(registry(), key(), c.name);
    EXPECT_EQ(Scan(), c.expected) << c.what;
  }
}

TEST_P(HelpFiles, DefaultValueIsNeverLookedUp) {
  registry().SetString(key(), "", "C:\\Help\\app.hlp");
  trace_.Clear();
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 1);
  for (const std::string& call : trace_.Calls()) ADD_FAILURE() << "file system asked: " << call;
}

TEST_P(HelpFiles, AnEmptyFolderLeavesALoneBackslash) {
  // "\app.hlp" is a path from the root of the current drive.
  memory_.files.AddFile("C:\\app.hlp");
  registry().SetString(key(), "app.hlp", "");
  EXPECT_EQ(Scan(), Strings{});
  registry().SetString(key(), "other.hlp", "");
  EXPECT_EQ(Scan(), (Strings{"other.hlp", ""}));
}

TEST_P(HelpFiles, FirstFaultKeepsTheRest) {
  registry().SetString(key(), "app.hlp", "C:\\Help");
  registry().SetString(key(), "gone.hlp", "C:\\Help");
  registry().SetString(key(), "later.hlp", "C:\\Nowhere");
  EXPECT_EQ(Scan(), (Strings{"gone.hlp", "later.hlp", ""}));
  EXPECT_EQ(events_, 1);
}

TEST_P(HelpFiles, MissingOrEmptyKeyIsClean) {
  EXPECT_EQ(Scan(), Strings{});
  registry().CreateKey(key());
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 0);
}

TEST_P(HelpFiles, StopsBeforeTheNextValue) {
  registry().SetString(key(), "app.hlp", "C:\\Help");
  registry().SetString(key(), "gone.hlp", "C:\\Nowhere");
  registry().SetString(key(), "more.hlp", "C:\\Nowhere");
  onEvent_ = [this] { section_->Cancelled = true; };
  EXPECT_EQ(Scan(), (Strings{"gone.hlp", "more.hlp"})) << "the names not yet examined stay";
  EXPECT_EQ(events_, 1);
  EXPECT_EQ(audit_.OpenKeys(), 0u) << "a stopped scan closes its key";

  onEvent_ = [this] { engine_->ShuttingDown = true; };
  EXPECT_EQ(Scan(), (Strings{"gone.hlp", "more.hlp"}));
}

TEST_P(HelpFiles, ASecondScanStartsAfresh) {
  registry().SetString(key(), "gone.hlp", "C:\\Nowhere");
  Engine& engine = Load();
  auto section = GetParam().make(engine);
  section->Scan();
  EXPECT_EQ(section->Strings(), (Strings{"gone.hlp", ""}));
  registry().SetString(key(), "gone.hlp", "C:\\Help");
  memory_.files.AddFile("C:\\Help\\gone.hlp");
  section->Scan();
  EXPECT_EQ(section->Strings(), Strings{});
}

INSTANTIATE_TEST_SUITE_P(Sections, HelpFiles, ::testing::ValuesIn(HelpKinds()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
