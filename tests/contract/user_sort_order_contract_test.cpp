// The user's sort order, by which the file-extension section sorts the registry's key names: case
// ignored, symbols before digits before letters, hyphens and apostrophes passed over but for ties.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/testing/world.h"

namespace kv::testing {
namespace {

class UserSortOrder : public ::testing::TestWithParam<WorldKind> {
 protected:
  void SetUp() override { world_ = GetParam().make(); }
  int Compare(const std::string& a, const std::string& b) {
    const int order = world_->platform().system.CompareUserLocale(a, b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
  }
  std::unique_ptr<World> world_;
};

TEST_P(UserSortOrder, ComparesPairs) {
  struct Case {
    std::string a;
    std::string b;
    int expected;
  };
  const std::vector<Case> cases = {
      {"abc", "ABC", 0},
      {".doc", ".DOC", 0},
      {"Applications", "applications", 0},
      {"a", "b", -1},
      {"B", "a", 1},
      {".txt", ".TXU", -1},
      {"*", ".", -1},
      {".", "0", -1},
      {"9", "a", -1},
      {".z", "a", -1},
      {"_a", "a", -1},
      {"._b", ".ab", -1},
      {"!odd", "*", -1},
      {"-a", "a", 1},
      {"a-b", "ab", 1},
      {"'s", "s", 1},
      {"co-op", "coop", 1},
      {".a", "-.a", -1},
      {".z", "-.a", 1},
      {"-.m", ".n", -1},
      {"\xC3\xA9", "e", 1},
      {"\xC3\xA9", "f", -1},
      {"\xC3\x89", "\xC3\xA9", 0},
      {".", ".a", -1},
      {"", "a", -1},
      {"", "", 0},
      // Beyond the 8-bit code page: case ignored, other scripts after the Latin letters.
      {"\xD0\x9E\xD0\x9B\xD0\xAC\xD0\x93\xD0\x90", "\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB3\xD0\xB0", 0},  // ОЛЬГА / ольга
      {"\xCE\x95\xCF\x86\xCE\xB1\xCF\x81", "\xCE\x95\xCE\xA6\xCE\x91\xCE\xA1", 0},  // Εφαρ / ΕΦΑΡ
      {"z", "\xCF\x89", -1},                                                        // z / ω
      {"z", "\xD0\xB0", -1},                                                        // z / Cyrillic a
  };
  for (const Case& c : cases) EXPECT_EQ(Compare(c.a, c.b), c.expected) << "[" << c.a << "] vs [" << c.b << "]";
}

TEST_P(UserSortOrder, SortsTypicalClassNames) {
  std::vector<std::string> names = {
      "txtfile", ".TXT", "CLSID", "*", ".doc", "Applications", "._x", ".7z", "-.mid", ".zip", "AllFilesystemObjects",
      ".a-b",    ".ab"};
  std::stable_sort(names.begin(), names.end(),
                   [&](const std::string& a, const std::string& b) { return Compare(a, b) < 0; });
  const std::vector<std::string> expected = {
      "*",     "._x",    ".7z", ".ab", ".a-b", ".doc", "-.mid", ".TXT", ".zip", "AllFilesystemObjects", "Applications",
      "CLSID", "txtfile"};
  EXPECT_EQ(names, expected);
}

INSTANTIATE_TEST_SUITE_P(Worlds, UserSortOrder, ::testing::ValuesIn(ContractWorlds()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
