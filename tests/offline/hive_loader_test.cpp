// The hive reader: real hives of Windows 7 and 10, hives written here, and damaged ones.
#include "platform/offline/hive_loader.h"

#include <gtest/gtest.h>

#include "platform/handles.h"
#include "tests/offline/offline_fixture.h"
#include "tests/testing/handle_audit.h"

namespace kv::offline {
namespace {

std::string StringValue(RegistryApi& registry, std::uint32_t root, const std::string& path, const std::string& name) {
  RegKey raw = kNoKey;
  if (registry.OpenKey(root, path, kKeyQueryValue, &raw) != kErrorSuccess) return "(no key)";
  UniqueRegKey key(registry, raw);
  std::uint32_t type = 0, size = 0;
  if (registry.QueryValue(key.get(), name, &type, nullptr, &size) != kErrorSuccess) return "(no value)";
  std::string data(size, '\0');
  registry.QueryValue(key.get(), name, &type, reinterpret_cast<std::uint8_t*>(&data[0]), &size);
  data.resize(size);
  if (type == REG_DWORD_TYPE && size == 4) return std::to_string(static_cast<unsigned char>(data[0]));
  return data.substr(0, data.find('\0'));
}

struct RealCase {
  const char* file;
  bool loads;
  bool dirty;
  const char* key;  // below HKLM\TEST, with a value to read
  const char* value;
  const char* expected;
};

// What the fixtures' notice says of each, and a value each holds.
const RealCase kReal[] = {
    {"SYSTEM", true, false, "Select", "Current", "1"},
    {"SYSTEM_WIN_10_1709", true, true, "Select", "Current", "1"},
    {"NTUSER.DAT", true, false, "Environment", "TEMP", "%USERPROFILE%\\AppData\\Local\\Temp"},
    {"UsrClass.dat", true, true, "", "", "(no value)"},
    {"corrupted_system_hive", false, false, "", "", ""},
};

TEST(HiveLoader, RealHives) {
  for (const RealCase& c : kReal) {
    const std::string bytes = test::RealHive(c.file);
    ASSERT_FALSE(bytes.empty()) << c.file;
    MemoryPlatform machine;
    HiveInfo info;
    std::string error;
    const bool loaded = LoadHive(bytes, "", machine.registry, "HKLM\\TEST", &info, &error);
    EXPECT_EQ(loaded, c.loads) << c.file << ": " << error;
    if (!loaded) {
      EXPECT_EQ(error, "the hive is damaged or not a registry hive") << c.file;
      continue;
    }
    EXPECT_EQ(info.dirty(), c.dirty) << c.file << ": sequence numbers " << info.sequence1 << ", " << info.sequence2;
    EXPECT_GT(info.keys, 100u) << c.file;
    testing::HandleAudit audit(machine.platform());
    EXPECT_EQ(StringValue(audit.platform().registry, HKEY_LOCAL_MACHINE_CODE, std::string("TEST\\") + c.key, c.value),
              c.expected)
        << c.file;
    EXPECT_EQ(audit.OpenKeys(), 0u) << c.file;
  }
}

TEST(HiveLoader, ASubkeyOnlyAndNamesWithoutRegardToCase) {
  const std::string bytes = test::RealHive("SYSTEM");
  MemoryRegistry registry;
  HiveInfo info;
  std::string error;
  ASSERT_TRUE(
      LoadHive(bytes, "controlset001\\CONTROL", registry, "HKLM\\SYSTEM\\CurrentControlSet\\Control", &info, &error))
      << error;
  EXPECT_TRUE(registry.KeyExists("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"));
  EXPECT_FALSE(registry.KeyExists("HKLM\\SYSTEM\\Select"));
  EXPECT_FALSE(LoadHive(bytes, "ControlSet009", registry, "HKLM\\X", &info, &error));
  EXPECT_EQ(error, "the hive has no key ControlSet009");
}

TEST(HiveLoader, ValuesKeptAsStored) {
  test::ScratchFolder folder;
  MemoryRegistry source;
  const std::vector<std::uint8_t> noNul = {'a', 0, 'b', 0};  // a REG_SZ without its closing NUL
  const std::vector<std::uint8_t> odd = {'x', 0, 'y'};
  source.SetValue("HKLM\\SOFTWARE\\Kept", "NoNul", REG_SZ_TYPE, noNul);
  source.SetValue("HKLM\\SOFTWARE\\Kept", "Odd", REG_EXPAND_SZ_TYPE, odd);
  source.SetValue("HKLM\\SOFTWARE\\Kept", "Strange", 0x12345678u, {1, 2, 3});
  source.SetValue("HKLM\\SOFTWARE\\Kept", "", REG_BINARY_TYPE, {});
  source.SetString(
      "HKLM\\SOFTWARE\\Kept\\Deeper\\\xC3\x9C"
      "ber",
      "N\xC3\xA4me", "W\xC3\xA9rt");
  const std::string file = folder.path() + "/hive";
  test::WriteHive(source, HKEY_LOCAL_MACHINE_CODE, "SOFTWARE", file);

  MemoryRegistry registry;
  HiveInfo info;
  std::string error;
  ASSERT_TRUE(LoadHive(test::ReadAll(file), "", registry, "HKLM\\SOFTWARE", &info, &error)) << error;
  EXPECT_FALSE(info.dirty());
  EXPECT_EQ(info.keys, 5u);  // the root, Kept, Deeper, its subkey, and Classes (which the memory registry always has)
  EXPECT_EQ(info.values, 5u);
  struct Raw {
    const char* key;
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  const Raw raws[] = {{"SOFTWARE\\Kept", "NoNul", REG_SZ_TYPE, noNul},
                      {"SOFTWARE\\Kept", "Odd", REG_EXPAND_SZ_TYPE, odd},
                      {"SOFTWARE\\Kept", "Strange", 0x12345678u, {1, 2, 3}},
                      {"SOFTWARE\\Kept", "", REG_BINARY_TYPE, {}},
                      {"SOFTWARE\\kept\\DEEPER\\\xC3\xBC"
                       "BER",
                       "n\xC3\xA4ME",
                       REG_SZ_TYPE,
                       {'W', 0, 0xE9, 0, 'r', 0, 't', 0, 0, 0}}};
  for (const Raw& raw : raws) {
    RegKey key = kNoKey;
    ASSERT_EQ(registry.OpenKey(HKEY_LOCAL_MACHINE_CODE, raw.key, kKeyQueryValue, &key), kErrorSuccess) << raw.key;
    UniqueRegKey open(registry, key);
    std::uint32_t type = 0, size = 64;
    std::vector<std::uint8_t> data(64);
    ASSERT_EQ(registry.QueryValueW(key, raw.name, &type, data.data(), &size), kErrorSuccess) << raw.name;
    data.resize(size);
    EXPECT_EQ(type, raw.type) << raw.name;
    EXPECT_EQ(data, raw.data) << raw.name;
  }
}

TEST(HiveLoader, DamagedAndUnfinishedHives) {
  test::ScratchFolder folder;
  MemoryRegistry source;
  source.SetString("HKLM\\SOFTWARE\\A", "v", "text");
  const std::string file = folder.path() + "/hive";
  test::WriteHive(source, HKEY_LOCAL_MACHINE_CODE, "SOFTWARE", file);
  const std::string good = test::ReadAll(file);

  std::string unfinished = good;  // a write began (first sequence number) and did not end
  unfinished[4] = static_cast<char>(unfinished[4] + 1);
  std::string noSignature = good;
  noSignature[0] = 'R';
  std::string badChecksum = good;  // the header's checksum (offset 508) no longer matches
  badChecksum[508] = static_cast<char>(badChecksum[508] ^ 0x55);

  struct Case {
    const char* name;
    std::string bytes;
    bool loads;
    bool dirty;
    const char* error;
  };
  const Case cases[] = {
      {"written here", good, true, false, ""},
      {"empty", "", false, false, "not a registry hive (no \"regf\" header)"},
      {"no signature", noSignature, false, false, "not a registry hive (no \"regf\" header)"},
      {"header only", good.substr(0, 4096), false, false, "the hive is damaged or not a registry hive"},
      {"cut in its first page", good.substr(0, 4096 + 100), false, false, "the hive is damaged or not a registry hive"},
      {"bad checksum", badChecksum, false, false, "the hive is damaged or not a registry hive"},
  };
  for (const Case& c : cases) {
    MemoryRegistry registry;
    HiveInfo info;
    std::string error;
    EXPECT_EQ(LoadHive(c.bytes, "", registry, "HKLM\\X", &info, &error), c.loads) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
    if (c.loads) {
      EXPECT_EQ(info.dirty(), c.dirty) << c.name;
    }
  }
  // Unfinished: the checksum covers the sequence numbers, so such a hive as Windows leaves it has both
  // changed together; here only the header is read for them.
  HiveInfo info;
  std::string error;
  ASSERT_TRUE(ReadHiveHeader(unfinished, &info, &error));
  EXPECT_TRUE(info.dirty());
  EXPECT_EQ(info.sequence1, info.sequence2 + 1);
}

}  // namespace
}  // namespace kv::offline
