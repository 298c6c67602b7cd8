// The registry accessor over every world: what the section scanners rely on, proven on the memory
// registry and (in the Windows build) on the real one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/counting_platform.h"
#include "support/registry.h"
#include "support/win_info.h"
#include "tests/testing/world.h"

namespace kv::testing {
namespace {

constexpr std::uint32_t HKLM = HKEY_LOCAL_MACHINE_CODE;
constexpr std::uint32_t HKCU = HKEY_CURRENT_USER_CODE;
const std::string kKey = "Software\\KvContract";

class RegistryContract : public ::testing::TestWithParam<WorldKind> {
 protected:
  void SetUp() override { world_ = GetParam().make(); }
  Platform& platform() { return world_->platform(); }
  void SetBytes(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
    world_->SetValue(HKCU, kKey, name, type, data);
  }
  std::unique_ptr<World> world_;
};

std::string Raised(const std::function<void()>& read) {
  try {
    read();
  } catch (const ERegistryException& e) {
    return e.what();
  }
  return "(nothing raised)";
}

TEST_P(RegistryContract, PathRules) {
  world_->CreateKey(HKCU, "Software\\KvContract\\Child\\Grandchild");
  TRegistry reg(platform());
  EXPECT_EQ(reg.RootKey(), HKCU);
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\KvContract"));
  EXPECT_EQ(reg.CurrentPath(), "Software\\KvContract");
  // Relative to the open key.
  ASSERT_TRUE(reg.OpenKeyReadOnly("Child"));
  EXPECT_EQ(reg.CurrentPath(), "Software\\KvContract\\Child");
  // Absolute: from the root, whatever is open.
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\KvContract\\Child\\Grandchild"));
  EXPECT_EQ(reg.CurrentPath(), "Software\\KvContract\\Child\\Grandchild");
  // A failed open changes nothing.
  EXPECT_FALSE(reg.OpenKeyReadOnly("Missing"));
  EXPECT_EQ(reg.CurrentPath(), "Software\\KvContract\\Child\\Grandchild");
  EXPECT_NE(reg.CurrentKey(), kNoKey);
  // KeyExists leaves the open key alone and follows the same rules.
  const RegKey before = reg.CurrentKey();
  EXPECT_TRUE(reg.KeyExists("\\Software\\KvContract"));
  EXPECT_FALSE(reg.KeyExists("Child"));
  EXPECT_EQ(reg.CurrentKey(), before);
  reg.CloseKey();
  EXPECT_EQ(reg.CurrentKey(), kNoKey);
  EXPECT_EQ(reg.CurrentPath(), "");
  // With no key open a relative path starts at the root.
  EXPECT_TRUE(reg.KeyExists("Software\\KvContract\\Child"));
  // Changing the root closes the key.
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  reg.SetRootKey(HKLM);
  EXPECT_EQ(reg.CurrentKey(), kNoKey);
  EXPECT_FALSE(reg.OpenKeyReadOnly(kKey));
}

TEST_P(RegistryContract, OpenKeyReadOnlyFallsBackToQueryValue) {
  world_->CreateKey(HKCU, kKey + "\\QueryOnly");
  SetBytes("x", REG_SZ_TYPE, Utf16Bytes("x"));
  world_->SetValue(HKCU, kKey + "\\QueryOnly", "v", REG_SZ_TYPE, Utf16Bytes("text"));
  world_->RestrictToQueryValue(HKCU, kKey + "\\QueryOnly");
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey + "\\QueryOnly"));
  EXPECT_EQ(reg.Access, kKeyQueryValue);
  EXPECT_EQ(reg.ReadString("v"), "text");
  // The full-access open of OpenKey is refused there.
  TRegistry full(platform());
  EXPECT_FALSE(full.OpenKey(kKey + "\\QueryOnly", false));
  // An ordinary key gives KEY_READ.
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\" + kKey));
  EXPECT_EQ(reg.Access, kKeyRead);
}

// The questions a reader asks about one value (does it exist, its type, its size, its text) cost one
// registry call between them, two for a value longer than the first read takes; what a key's values were
// is forgotten when the key is closed, so a value changed meanwhile is read anew; a key that does not
// exist is asked for once, not once for each set of read rights.
TEST_P(RegistryContract, ValuesAreReadOnceWhileTheirKeyIsOpen) {
  const std::string longText(3000, 'L');
  SetBytes("short", REG_SZ_TYPE, Utf16Bytes("C:\\Tools\\tool.exe"));
  SetBytes("long", REG_SZ_TYPE, Utf16Bytes(longText));
  CountingPlatform counting(platform());
  TRegistry reg(counting.platform());
  reg.SetRootKey(HKCU);

  struct Case {
    const char* name;
    std::string text;
    std::uint64_t reads;
  };
  for (const Case& c : {Case{"short", "C:\\Tools\\tool.exe", 1}, Case{"long", longText, 2}, Case{"missing", "", 1}}) {
    ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
    counting.Reset();
    const bool exists = reg.ValueExists(c.name);
    const TRegDataType type = reg.GetDataType(c.name);
    const std::int32_t size = reg.GetDataSize(c.name);
    EXPECT_EQ(reg.ReadString(c.name), c.text) << c.name;
    EXPECT_EQ(exists, !c.text.empty()) << c.name;
    EXPECT_EQ(type, c.text.empty() ? rdOther : rdString) << c.name;
    EXPECT_EQ(size > 0, !c.text.empty()) << c.name << ": " << size;
    EXPECT_EQ(counting.Count(SeamCall::kQueryValue), c.reads) << c.name;
    reg.CloseKey();
  }

  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  EXPECT_EQ(reg.ReadString("short"), "C:\\Tools\\tool.exe");
  reg.CloseKey();
  SetBytes("short", REG_SZ_TYPE, Utf16Bytes("changed"));
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  EXPECT_EQ(reg.ReadString("short"), "changed");

  counting.Reset();
  EXPECT_FALSE(reg.OpenKeyReadOnly("\\" + kKey + "\\Missing"));
  EXPECT_EQ(counting.Count(SeamCall::kOpenKey), 1u);
}

TEST_P(RegistryContract, DefaultValueAndValueNames) {
  world_->SetValue(HKCU, kKey, "", REG_SZ_TYPE, Utf16Bytes("default"));
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  std::vector<std::string> names;
  reg.GetValueNames(names);
  EXPECT_EQ(names, std::vector<std::string>{""});
  EXPECT_TRUE(reg.ValueExists(""));
  EXPECT_EQ(reg.ReadString(""), "default");
}

// Every name comes as UTF-8, whatever the system's 8-bit code page can spell.
TEST_P(RegistryContract, ValueNamesOutsideTheCodePageAreKept) {
  // Set in name order: Windows enumerates values in the order they were set, Wine by name.
  SetBytes("caf\xC3\xA9", REG_SZ_TYPE, Utf16Bytes("c"));
  SetBytes("plain", REG_SZ_TYPE, Utf16Bytes("a"));
  world_->SetValueW(HKCU, kKey, u"\u4e2d\u6587", REG_SZ_TYPE, Utf16Bytes("b"));
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  std::vector<std::string> names;
  reg.GetValueNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"caf\xC3\xA9", "plain", "\xE4\xB8\xAD\xE6\x96\x87"}));
}

TEST_P(RegistryContract, KeyNamesInSortedOrder) {
  for (const char* name : {"beta", "Alpha", "gamma"}) world_->CreateKey(HKCU, kKey + "\\" + name);
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  std::vector<std::string> names;
  reg.GetKeyNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  reg.CloseKey();
  reg.GetKeyNames(names);
  EXPECT_TRUE(names.empty()) << "no key open gives an empty list";
}

TEST_P(RegistryContract, ReadString) {
  std::vector<std::uint8_t> inner = Utf16Bytes("abc");
  inner.insert(inner.begin() + 4, {0, 0});  // "ab", NUL, "c", NUL
  SetBytes("inner", REG_SZ_TYPE, inner);
  SetBytes("unterminated", REG_SZ_TYPE, Utf16Bytes("xyz", false));
  SetBytes("expand", REG_EXPAND_SZ_TYPE, Utf16Bytes("%PATH%"));
  SetBytes("empty", REG_SZ_TYPE, {});
  SetBytes("dword", REG_DWORD_TYPE, DwordBytes(7));
  SetBytes("emptydword", REG_DWORD_TYPE, {});
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  EXPECT_EQ(reg.ReadString("inner"), "ab");
  EXPECT_EQ(reg.ReadString("unterminated"), "xyz");
  EXPECT_EQ(reg.ReadString("expand"), "%PATH%") << "no environment expansion";
  EXPECT_EQ(reg.ReadString("empty"), "");
  EXPECT_EQ(reg.ReadString("missing"), "");
  EXPECT_EQ(reg.ReadString("emptydword"), "") << "an empty value of any type reads as empty";
  EXPECT_EQ(Raised([&] { reg.ReadString("dword"); }), "Invalid data type for 'dword'");
}

TEST_P(RegistryContract, ReadInteger) {
  SetBytes("dword", REG_DWORD_TYPE, DwordBytes(0x12345678));
  SetBytes("long", REG_DWORD_TYPE, {1, 2, 3, 4, 5, 6, 7, 8});
  SetBytes("text", REG_SZ_TYPE, Utf16Bytes("a"));  // four bytes, of the wrong type
  SetBytes("bigendian", REG_DWORD_BIG_ENDIAN_TYPE, DwordBytes(1));
  SetBytes("zero", REG_DWORD_TYPE, DwordBytes(0));
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  EXPECT_EQ(reg.ReadInteger("dword"), 0x12345678);
  EXPECT_FALSE(reg.ReadBool("zero"));
  EXPECT_TRUE(reg.ReadBool("dword"));
  EXPECT_EQ(Raised([&] { reg.ReadInteger("missing"); }), "Failed to get data for 'missing'");
  EXPECT_EQ(Raised([&] { reg.ReadInteger("long"); }), "Failed to get data for 'long'");
  EXPECT_EQ(Raised([&] { reg.ReadInteger("text"); }), "Invalid data type for 'text'");
  EXPECT_EQ(Raised([&] { reg.ReadInteger("bigendian"); }), "Invalid data type for 'bigendian'");
}

TEST_P(RegistryContract, ReadBinaryData) {
  SetBytes("dword", REG_DWORD_TYPE, DwordBytes(9));
  SetBytes("blob", REG_BINARY_TYPE, {1, 2, 3, 4, 5});
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  unsigned char buffer[8];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(reg.ReadBinaryData("dword", buffer, 4), 4);
  EXPECT_EQ(buffer[0], 9);
  EXPECT_EQ(reg.ReadBinaryData("blob", buffer, 8), 5);
  EXPECT_EQ(buffer[4], 5);
  EXPECT_EQ(buffer[5], 0xEE) << "nothing written past the data";
  EXPECT_EQ(Raised([&] { reg.ReadBinaryData("blob", buffer, 4); }), "Invalid data type for 'blob'");
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(reg.ReadBinaryData("missing", buffer, 8), 0);
  EXPECT_EQ(buffer[0], 0xEE) << "a missing value leaves the buffer alone";
}

TEST_P(RegistryContract, ReadWideStringKeepsInnerNuls) {
  std::vector<std::uint8_t> multi = Utf16Bytes("a");
  std::vector<std::uint8_t> b = Utf16Bytes("b");
  multi.insert(multi.end(), b.begin(), b.end());
  multi.push_back(0);
  multi.push_back(0);  // a NUL b NUL NUL
  SetBytes("multi", REG_MULTI_SZ_TYPE, multi);
  SetBytes("odd", REG_BINARY_TYPE, {'x', 0, 'y'});
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  EXPECT_EQ(reg.ReadWideString("multi"), (std::u16string{u'a', 0, u'b', 0}));
  EXPECT_EQ(reg.ReadWideString("missing"), u"");
  EXPECT_EQ(reg.ReadWideString("odd"), u"") << "three bytes less the final two hold no whole character";
}

TEST_P(RegistryContract, DataInfoOfMissingValue) {
  SetBytes("blob", REG_BINARY_TYPE, {1, 2, 3});
  SetBytes("text", REG_SZ_TYPE, Utf16Bytes("abc"));
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  EXPECT_EQ(reg.GetDataType("missing"), rdOther);
  EXPECT_EQ(reg.GetDataSize("missing"), -1);
  EXPECT_EQ(reg.GetDataType("blob"), rdBinary);
  EXPECT_EQ(reg.GetDataSize("blob"), 3);
  EXPECT_EQ(reg.GetDataType("text"), rdString);
  EXPECT_GE(reg.GetDataSize("text"), 4) << "at least the 8-bit text and its NUL";
}

TEST_P(RegistryContract, ReadExpandedValue) {
  struct Case {
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    std::string expected;
  };
  std::vector<std::uint8_t> multi = Utf16Bytes("a");
  std::vector<std::uint8_t> b = Utf16Bytes("b");
  multi.insert(multi.end(), b.begin(), b.end());
  multi.push_back(0);
  multi.push_back(0);
  std::string profile;
  if (!platform().system.GetEnvironment("USERPROFILE", &profile)) profile.clear();
  const std::vector<Case> cases = {
      {"sz", REG_SZ_TYPE, Utf16Bytes("%SYSTEMROOT%\\system32\\x.dll"), "C:\\WIN\\system32\\x.dll"},
      {"expand", REG_EXPAND_SZ_TYPE, Utf16Bytes("%systemdrive%\\a;%ProgramFiles%\\b;%CommonProgramFiles%\\c"),
       "C:\\a;C:\\PF\\b;C:\\PF\\Common\\c"},
      {"windir", REG_SZ_TYPE, Utf16Bytes("%windir%\\x.exe"), "%windir%\\x.exe"},
      {"profile", REG_SZ_TYPE, Utf16Bytes("%UserProfile%\\x"), profile + "\\x"},
      {"twice", REG_SZ_TYPE, Utf16Bytes("%SystemRoot%%SystemRoot%"), "C:\\WINC:\\WIN"},
      {"dword", REG_DWORD_TYPE, DwordBytes(5), ""},
      {"bigendian", REG_DWORD_BIG_ENDIAN_TYPE, DwordBytes(5), ""},
      {"binary", REG_BINARY_TYPE, {'a', 'b', 'c', 0}, std::string("abc\0", 4)},
      {"none", REG_NONE_TYPE, {'%', 'S', 'y', 's', 't', 'e', 'm', 'R', 'o', 'o', 't', '%'}, "C:\\WIN"},
      {"link", REG_LINK_TYPE, {'z'}, "z"},
      {"qword", REG_QWORD_TYPE, {'q', 0, 0, 0, 0, 0, 0, 0}, std::string("q\0\0\0\0\0\0\0", 8)},
      {"multi", REG_MULTI_SZ_TYPE, multi, std::string("a\0b\0", 4)},
      {"empty", REG_SZ_TYPE, {}, ""},
  };
  for (const Case& c : cases) SetBytes(c.name, c.type, c.data);
  TWinInfo info(platform());
  info.SystemRoot = "C:\\WIN";
  info.SystemDrive = "C:";
  info.ProgramFiles = "C:\\PF";
  info.CommonFiles = "C:\\PF\\Common";
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  for (const Case& c : cases) EXPECT_EQ(info.ReadExpandedValue(c.name, reg), c.expected) << "value " << c.name;
  EXPECT_EQ(info.ReadExpandedValue("missing", reg), "");
}

// A REG_EXPAND_SZ value is expanded with the whole environment after the five replacements, exactly as
// the system's own expansion would; other types keep what is not one of the five.
TEST_P(RegistryContract, ExpandableValuesUseTheWholeEnvironment) {
  world_->SetEnvironment("KV_DIR", "C:\\kv dir");
  world_->SetEnvironment("KV_EMPTY_SET", "");
  world_->SetEnvironment("KV_PCT", "%KV_DIR%");
  struct Case {
    const char* text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"%KV_DIR%\\x.exe", "C:\\kv dir\\x.exe"},
      {"%kv_dir%\\x.exe", "C:\\kv dir\\x.exe"},
      {"%KV_UNSET%\\x.exe", "%KV_UNSET%\\x.exe"},
      {"%KV_EMPTY_SET%x", "%KV_EMPTY_SET%x"},
      {"50%off%KV_DIR%", "50%off%KV_DIR%"},
      {"50%off%%KV_DIR%", "50%off%C:\\kv dir"},
      {"%%KV_DIR%", "%%KV_DIR%"},
      {"%KV_DIR%%KV_DIR%", "C:\\kv dirC:\\kv dir"},
      {"%KV_DIR", "%KV_DIR"},
      {"a%", "a%"},
      {"%", "%"},
      {"%%", "%%"},
      {"%KV_PCT%", "%KV_DIR%"},
      {"%a b%KV_DIR%", "%a b%KV_DIR%"},
      {"%KV=DIR%", "%KV=DIR%"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExpandEnvironmentText(platform().system, c.text), c.expected) << c.text;
    std::string system;
    if (world_->SystemExpand(c.text, &system)) {
      EXPECT_EQ(system, c.expected) << "the system's expansion of " << c.text;
    }
  }
  EXPECT_EQ(ExpandEnvironmentText(platform().system, "%KV_DIR%%KV_DIR%", 11), "C:\\kv dirC:") << "cut at the limit";

  SetBytes("expand", REG_EXPAND_SZ_TYPE, Utf16Bytes("%KV_DIR%\\%SystemRoot%\\%KV_UNSET%"));
  SetBytes("sz", REG_SZ_TYPE, Utf16Bytes("%KV_DIR%\\%SystemRoot%"));
  TWinInfo info(platform());
  info.SystemRoot = "C:\\WIN";
  TRegistry reg(platform());
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  EXPECT_EQ(info.ReadExpandedValue("expand", reg), "C:\\kv dir\\C:\\WIN\\%KV_UNSET%");
  EXPECT_EQ(info.ReadExpandedValue("sz", reg), "%KV_DIR%\\C:\\WIN");
}

INSTANTIATE_TEST_SUITE_P(Worlds, RegistryContract, ::testing::ValuesIn(ContractWorlds()),
                         [](const ::testing::TestParamInfo<WorldKind>& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
