// A registry that changes under a scan, in every world (the memory platform, and under Wine the real
// registry): a value that grows between the size query and the read is read whole (or, when it never stops
// growing, raises the accessor's guarded exception rather than looping or spilling over); a key deleted
// while it is enumerated ends its enumeration with the names read so far; a key whose subkeys come and go
// during the enumeration ends after at most the count it reported. Then the same at the scale of a
// probe: every verdict given, nothing left open.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/forwarding_platform.h"
#include "platform/memory/memory_platform.h"
#include "scan/cleaner.h"
#include "scan/engine.h"
#include "support/reg_utils.h"
#include "support/registry.h"
#include "support/win_info.h"
#include "tests/testing/handle_audit.h"
#include "tests/testing/world.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

constexpr std::uint32_t HKLM = HKEY_LOCAL_MACHINE_CODE;
const std::string kKey = "SOFTWARE\\KvChanging";

void DeleteKey(World& world, std::uint32_t root, const std::string& path) {
  if (auto* memory = dynamic_cast<MemoryRegistry*>(&world.platform().registry)) {
    memory->DeleteKey(RootKeyPath(root, path));
    return;
  }
#ifdef _WIN32
  HKEY predefined = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
  ASSERT_EQ(RegDeleteTreeA(predefined, path.c_str()), ERROR_SUCCESS) << path;
#endif
}

// Calls `hook` with the value's name just before each read of its data (the data query, after the size
// query that sized the buffer), and `afterEnum` after each enumeration call.
class HookedRegistry : public ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  std::function<void(const std::string& name)> beforeDataRead;
  std::function<void(bool values, std::uint32_t index)> afterEnum;

  long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override {
    if (data != nullptr && beforeDataRead) beforeDataRead(name);
    return inner_.QueryValue(key, name, type, data, size);
  }
  long QueryValueW(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                   std::uint32_t* size) override {
    if (data != nullptr && beforeDataRead) beforeDataRead(name);
    return inner_.QueryValueW(key, name, type, data, size);
  }
  long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
    const long status = inner_.EnumKey(key, index, name, length);
    if (afterEnum) afterEnum(false, index);
    return status;
  }
  long EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
    const long status = inner_.EnumValue(key, index, name, length);
    if (afterEnum) afterEnum(true, index);
    return status;
  }
};

class ChangingRegistry : public ::testing::TestWithParam<WorldKind> {
 protected:
  void SetUp() override {
    world_ = GetParam().make();
    hooked_ = std::make_unique<HookedRegistry>(world_->platform().registry);
    platform_ = std::make_unique<Platform>(Platform{*hooked_, world_->platform().files, world_->platform().system});
  }
  void TearDown() override {
    hooked_->beforeDataRead = nullptr;
    hooked_->afterEnum = nullptr;
  }

  // An accessor over the hooked registry with the test key open.
  std::unique_ptr<TRegistry> OpenTestKey() {
    auto registry = std::make_unique<TRegistry>(*platform_);
    registry->SetRootKey(HKLM);
    EXPECT_TRUE(registry->OpenKeyReadOnly(kKey));
    return registry;
  }

  // "v" becomes a longer text (by 300 characters each time) just before its data is read.
  void GrowBeforeEachRead(std::uint32_t type, int times) {
    hooked_->beforeDataRead = [this, type, times](const std::string& name) {
      if (name != "v" || grown_ >= times) return;
      ++grown_;
      text_ += std::string(300, static_cast<char>('a' + grown_ % 26));
      world_->SetValue(HKLM, kKey, "v", type, Utf16Bytes(type == REG_MULTI_SZ_TYPE ? text_ + '\0' : text_));
    };
  }

  std::unique_ptr<World> world_;
  std::unique_ptr<HookedRegistry> hooked_;
  std::unique_ptr<Platform> platform_;
  int grown_ = 0;
  std::string text_ = "short";
};

TEST_P(ChangingRegistry, AValueThatGrewSinceItWasSizedIsReadWhole) {
  world_->SetValue(HKLM, kKey, "v", REG_SZ_TYPE, Utf16Bytes(text_));
  GrowBeforeEachRead(REG_SZ_TYPE, 1);
  EXPECT_EQ(OpenTestKey()->ReadString("v"), text_);
  EXPECT_EQ(text_.size(), 305u);

  GrowBeforeEachRead(REG_SZ_TYPE, 2);
  TWinInfo info(*platform_);
  auto registry = OpenTestKey();
  EXPECT_EQ(info.ReadExpandedValue("v", *registry), text_);

  // A buffer sized for the grown value takes it; one sized before the growth is never written past.
  GrowBeforeEachRead(REG_SZ_TYPE, 3);
  std::vector<char> roomy(4096, '\x7f');
  const std::int32_t got = registry->ReadBinaryData("v", roomy.data(), static_cast<std::int32_t>(roomy.size()));
  EXPECT_GE(got, static_cast<std::int32_t>(text_.size()));  // the 8-bit text and its NUL
  EXPECT_EQ(std::string(roomy.data()), text_);
  EXPECT_EQ(roomy[static_cast<std::size_t>(got)], '\x7f');

  const auto exact = static_cast<std::int32_t>(text_.size() + 1);  // the 8-bit text and its NUL, before it grows
  GrowBeforeEachRead(REG_SZ_TYPE, 4);
  std::vector<char> tight(static_cast<std::size_t>(exact) + 1, '\x7f');
  EXPECT_THROW(registry->ReadBinaryData("v", tight.data(), exact), ERegistryException);
  EXPECT_EQ(tight.back(), '\x7f');
}

TEST_P(ChangingRegistry, AMultiStringThatGrewIsReadWholeThroughTheWideCall) {
  world_->SetValue(HKLM, kKey, "v", REG_MULTI_SZ_TYPE, Utf16Bytes(text_ + '\0'));
  GrowBeforeEachRead(REG_MULTI_SZ_TYPE, 1);
  const std::u16string wide = OpenTestKey()->ReadWideString("v");
  EXPECT_EQ(std::string(wide.begin(), wide.end()), text_ + '\0');
}

TEST_P(ChangingRegistry, AValueThatNeverStopsGrowingIsGivenUpWithTheGuardedException) {
  // Longer than a first read takes, so that every read is sized by the one before it and comes too late.
  text_ = std::string(4000, 'x');
  world_->SetValue(HKLM, kKey, "v", REG_SZ_TYPE, Utf16Bytes(text_));
  GrowBeforeEachRead(REG_SZ_TYPE, 1000);
  auto registry = OpenTestKey();
  EXPECT_THROW(registry->ReadString("v"), ERegistryException);
  EXPECT_THROW(registry->ReadWideString("v"), ERegistryException);
  TWinInfo info(*platform_);
  EXPECT_EQ(info.ReadExpandedValue("v", *registry), "");
  EXPECT_LT(grown_, 1000);
}

TEST_P(ChangingRegistry, AKeyDeletedWhileEnumeratedEndsWithTheNamesReadSoFar) {
  for (const char* name : {"a", "b", "c"}) {
    world_->CreateKey(HKLM, kKey + "\\" + name);
    world_->SetValue(HKLM, kKey, name, REG_SZ_TYPE, Utf16Bytes("x"));
  }
  auto registry = OpenTestKey();
  hooked_->afterEnum = [this](bool, std::uint32_t index) {
    if (index == 0) DeleteKey(*world_, HKLM, kKey);
  };
  Strings names;
  registry->GetKeyNames(names);
  EXPECT_EQ(names, Strings{"a"});
  registry->GetValueNames(names);
  EXPECT_EQ(names, Strings{});  // the key is gone: no values to list
  EXPECT_FALSE(registry->ValueExists("b"));
  EXPECT_EQ(registry->ReadString("b"), "");
}

TEST_P(ChangingRegistry, SubkeysThatComeAndGoDuringTheEnumerationEndIt) {
  for (const char* name : {"k0", "k1", "k2", "k3"}) world_->CreateKey(HKLM, kKey + "\\" + name);
  auto registry = OpenTestKey();
  int added = 0;
  hooked_->afterEnum = [&](bool values, std::uint32_t index) {
    if (values) return;
    world_->CreateKey(HKLM, kKey + "\\new" + std::to_string(added++));  // a new name every step
    if (index == 1) DeleteKey(*world_, HKLM, kKey + "\\k0");            // and one taken away
  };
  Strings names;
  registry->GetKeyNames(names);
  EXPECT_LE(names.size(), 4u);  // the count the key reported when the enumeration began
  const std::set<std::string> known = {"k0", "k1", "k2", "k3", "new0", "new1", "new2", "new3"};
  for (const std::string& name : names) EXPECT_EQ(known.count(name), 1u) << name;
}

// A probe of a key that is deleted while a section walks it, and of keys whose subkeys keep coming.
TEST_P(ChangingRegistry, AProbeOfKeysChangingUnderItGivesAVerdict) {
  const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  for (int i = 0; i < 5; ++i) {
    const std::string entry = uninstall + "\\App" + std::to_string(i);
    world_->SetValue(HKLM, entry, "DisplayName", REG_SZ_TYPE, Utf16Bytes("App"));
    world_->SetValue(HKLM, entry, "UninstallString", REG_SZ_TYPE, Utf16Bytes(world_->Folder() + "gone.exe"));
  }
  const std::string clsid = "CLSID\\{00000000-0000-0000-0000-0000000000A1}\\InprocServer32";
  world_->SetValue(HKEY_CLASSES_ROOT_CODE, clsid, "", REG_SZ_TYPE, Utf16Bytes(world_->Folder() + "x.dll"));
  world_->AddFile(world_->Folder() + "x.dll");

  int added = 0;
  hooked_->afterEnum = [&](bool values, std::uint32_t index) {
    if (values || added > 200) return;
    if (index == 0 && added == 0) DeleteKey(*world_, HKLM, uninstall);
    world_->CreateKey(HKEY_CLASSES_ROOT_CODE,
                      "CLSID\\{00000000-0000-0000-0000-0000000" + std::to_string(10000 + added++) + "}");
  };
  HandleAudit audit(*platform_);
  std::int32_t verdict = -2;
  {
    Engine engine(audit.platform());
    TRegistryCleaner cleaner(engine);
    cleaner.Mask = 127;
    verdict = cleaner.ScanSections();
  }
  hooked_->afterEnum = nullptr;
  EXPECT_GE(verdict, 0);
  EXPECT_EQ(audit.OpenKeys(), 0u);
  EXPECT_EQ(audit.OpenFinds(), 0u);
  EXPECT_EQ(audit.Misuses(), Strings{});
}

INSTANTIATE_TEST_SUITE_P(Worlds, ChangingRegistry, ::testing::ValuesIn(AllWorlds()),
                         [](const ::testing::TestParamInfo<WorldKind>& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
