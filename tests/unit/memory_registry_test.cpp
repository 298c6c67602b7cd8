// MemoryRegistry through the seam: paths, handles, access rights, deleted keys, enumeration order and
// buffers, the 8-bit conversions and the exact bytes of values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "tests/testing/handle_audit.h"

namespace kv {
namespace {

constexpr long kErrorBadPathname = 161;
constexpr std::uint8_t kUntouched = 0xA5;

std::vector<std::uint8_t> Utf16Le(const std::u16string& text) {
  std::vector<std::uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return bytes;
}

std::string Printable(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char hex[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(hex, sizeof hex, "%02x ", b);
    text += hex;
  }
  return text;
}

struct Query {
  long status = -1;
  std::uint32_t type = 0xDEAD;
  std::uint32_t size = 0;
  std::vector<std::uint8_t> buffer;  // the whole buffer afterwards, untouched bytes included
};

class MemoryRegistryTest : public ::testing::Test {
 protected:
  RegKey Open(RegKey parent, const std::string& path, std::uint32_t access = kKeyRead) {
    RegKey key = kNoKey;
    EXPECT_EQ(kErrorSuccess, seam_.OpenKey(parent, path, access, &key)) << "opening " << path;
    return key;
  }

  std::vector<std::string> EnumNames(RegKey key, bool values) {
    std::vector<std::string> names;
    char buffer[512];
    for (std::uint32_t index = 0;; ++index) {
      std::uint32_t length = sizeof buffer;
      long status = values ? seam_.EnumValue(key, index, buffer, &length) : seam_.EnumKey(key, index, buffer, &length);
      if (status != kErrorSuccess) {
        EXPECT_EQ(kErrorNoMoreItems, status);
        return names;
      }
      names.emplace_back(buffer, length);
    }
  }

  Query QueryA(RegKey key, const std::string& name, std::uint32_t bufferSize) {
    Query q;
    q.buffer.assign(bufferSize + 8, kUntouched);
    q.size = bufferSize;
    q.status = seam_.QueryValue(key, name, &q.type, q.buffer.data(), &q.size);
    return q;
  }

  Query QueryW(RegKey key, const std::u16string& name, std::uint32_t bufferSize) {
    Query q;
    q.buffer.assign(bufferSize + 8, kUntouched);
    q.size = bufferSize;
    q.status = seam_.QueryValueW(key, Utf16ToUtf8(name), &q.type, q.buffer.data(), &q.size);
    return q;
  }

  MemoryPlatform machine_;
  MemoryRegistry& registry_ = machine_.registry;  // the fixture's side
  // The seam's side, through an audit that keeps the books on the key handles.
  testing::HandleAudit audit_{machine_.platform()};
  RegistryApi& seam_ = audit_.platform().registry;
};

// ---------------------------------------------------------------------------------------------------
// Paths and handles.

TEST_F(MemoryRegistryTest, OpenKeyFollowsThePathRulesOfWine) {
  registry_.SetString("HKCU\\Software\\Vendor\\App", "id", "app");
  registry_.SetString("HKCU\\Software\\Vendor", "id", "vendor");
  const struct {
    const char* path;
    long status;
    const char* id;  // the key the handle must name
  } kCases[] = {
      {"Software\\Vendor\\App", kErrorSuccess, "app"},
      {"software\\VENDOR\\aPP", kErrorSuccess, "app"},
      {"Software\\Vendor\\App\\", kErrorSuccess, "app"},
      {"Software\\\\Vendor\\App", kErrorSuccess, "app"},
      {"Software\\Vendor\\\\", kErrorSuccess, "vendor"},
      {"\\Software\\Vendor", kErrorBadPathname, nullptr},
      {"\\", kErrorBadPathname, nullptr},
      {"Software\\Missing", kErrorFileNotFound, nullptr},
      {"Software\\Vendor\\App\\Deeper", kErrorFileNotFound, nullptr},
      {"Software\\Vendor\\Ap", kErrorFileNotFound, nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    RegKey key = 0x1234;
    EXPECT_EQ(c.status, seam_.OpenKey(HKEY_CURRENT_USER_CODE, c.path, kKeyRead, &key));
    if (c.status != kErrorSuccess) {
      EXPECT_EQ(kNoKey, key);
      continue;
    }
    char id[16] = {};
    std::uint32_t size = sizeof id;
    EXPECT_EQ(kErrorSuccess, seam_.QueryValue(key, "id", nullptr, reinterpret_cast<std::uint8_t*>(id), &size));
    EXPECT_STREQ(c.id, id);
    EXPECT_EQ(kErrorSuccess, seam_.CloseKey(key));
  }
  EXPECT_EQ(0u, audit_.OpenKeys());
}

TEST_F(MemoryRegistryTest, OnlyClassesRootToleratesALeadingBackslash) {
  registry_.CreateKey("HKCR\\.txt");
  registry_.CreateKey("HKLM\\Software\\Vendor");
  RegKey key = kNoKey;
  EXPECT_EQ(kErrorSuccess, seam_.OpenKey(HKEY_CLASSES_ROOT_CODE, "\\.txt", kKeyRead, &key));
  seam_.CloseKey(key);
  EXPECT_EQ(kErrorBadPathname, seam_.OpenKey(HKEY_LOCAL_MACHINE_CODE, "\\Software\\Vendor", kKeyRead, &key));
}

TEST_F(MemoryRegistryTest, EmptyPathGivesANewHandleToTheSameKeyAndARootItself) {
  registry_.SetDword("HKLM\\Software\\Vendor", "v", 7);
  RegKey vendor = Open(HKEY_LOCAL_MACHINE_CODE, "Software\\Vendor");
  RegKey again = Open(vendor, "");
  EXPECT_NE(kNoKey, again);
  EXPECT_NE(vendor, again);
  EXPECT_EQ(2u, audit_.OpenKeys());
  EXPECT_EQ(kErrorSuccess, seam_.CloseKey(vendor));
  EXPECT_EQ(kErrorSuccess, QueryA(again, "v", 4).status) << "the second handle outlives the first";
  EXPECT_EQ(kErrorSuccess, seam_.CloseKey(again));

  // Below a predefined root the empty path hands back the root's own code, as Wine does.
  RegKey root = kNoKey;
  EXPECT_EQ(kErrorSuccess, seam_.OpenKey(HKEY_CURRENT_USER_CODE, "", kKeyRead, &root));
  EXPECT_EQ(RegKey{HKEY_CURRENT_USER_CODE}, root);
  EXPECT_EQ(0u, audit_.OpenKeys());
}

TEST_F(MemoryRegistryTest, HandlesAreUniqueAndClosedOnce) {
  registry_.CreateKey("HKCU\\A");
  std::vector<RegKey> keys;
  for (int i = 0; i < 5; ++i) keys.push_back(Open(HKEY_CURRENT_USER_CODE, "A"));
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_NE(kNoKey, keys[i]);
    EXPECT_FALSE(IsPredefinedKey(keys[i]));
    for (std::size_t j = 0; j < i; ++j) EXPECT_NE(keys[i], keys[j]);
  }
  EXPECT_EQ(5u, audit_.OpenKeys());
  for (RegKey key : keys) EXPECT_EQ(kErrorSuccess, seam_.CloseKey(key));
  EXPECT_EQ(kErrorInvalidHandle, seam_.CloseKey(keys[0]));
  EXPECT_EQ(kErrorInvalidHandle, seam_.CloseKey(0x7777));
  EXPECT_EQ(kErrorInvalidHandle, seam_.CloseKey(kNoKey));
  EXPECT_EQ(0u, audit_.OpenKeys());
  // A reopened key never gets a handle number used before.
  RegKey fresh = Open(HKEY_CURRENT_USER_CODE, "A");
  for (RegKey key : keys) EXPECT_NE(key, fresh);
  seam_.CloseKey(fresh);
}

TEST_F(MemoryRegistryTest, ClosedOrUnknownHandlesAreInvalidForEveryCall) {
  registry_.SetDword("HKCU\\A", "v", 1);
  RegKey closed = Open(HKEY_CURRENT_USER_CODE, "A");
  seam_.CloseKey(closed);
  for (RegKey key : {closed, RegKey{0x4242}}) {
    SCOPED_TRACE(key);
    RegKey child;
    RegKeyCounts counts;
    char name[16];
    std::uint32_t length = sizeof name;
    std::uint32_t size = 0;
    EXPECT_EQ(kErrorInvalidHandle, seam_.OpenKey(key, "", kKeyRead, &child));
    EXPECT_EQ(kErrorInvalidHandle, seam_.FlushKey(key));
    EXPECT_EQ(kErrorInvalidHandle, seam_.QueryInfoKey(key, &counts));
    EXPECT_EQ(kErrorInvalidHandle, seam_.EnumKey(key, 0, name, &length));
    EXPECT_EQ(kErrorInvalidHandle, seam_.EnumValue(key, 0, name, &length));
    EXPECT_EQ(kErrorInvalidHandle, seam_.QueryValue(key, "v", nullptr, nullptr, &size));
    EXPECT_EQ(kErrorInvalidHandle, seam_.QueryValueW(key, "v", nullptr, nullptr, &size));
  }
}

TEST_F(MemoryRegistryTest, PredefinedRootsAreParentsAndCloseWithoutError) {
  const struct {
    std::uint32_t root;
    const char* fixture;
  } kRoots[] = {{HKEY_CLASSES_ROOT_CODE, "HKEY_CLASSES_ROOT"},     {HKEY_CURRENT_USER_CODE, "HKEY_CURRENT_USER"},
                {HKEY_LOCAL_MACHINE_CODE, "HKEY_LOCAL_MACHINE"},   {HKEY_USERS_CODE, "HKEY_USERS"},
                {HKEY_CURRENT_CONFIG_CODE, "HKEY_CURRENT_CONFIG"}, {HKEY_DYN_DATA_CODE, "HKEY_DYN_DATA"}};
  for (const auto& r : kRoots) {
    SCOPED_TRACE(r.fixture);
    registry_.CreateKey(std::string(r.fixture) + "\\Probe");
    RegKey key = Open(r.root, "probe");
    EXPECT_EQ(kErrorSuccess, seam_.CloseKey(key));
    EXPECT_EQ(kErrorSuccess, seam_.FlushKey(r.root));
    EXPECT_EQ(kErrorSuccess, seam_.CloseKey(r.root));
  }
  RegKey key;
  EXPECT_EQ(kErrorInvalidHandle, seam_.OpenKey(HKEY_PERFORMANCE_DATA_CODE, "x", kKeyRead, &key));
  EXPECT_EQ(kErrorSuccess, seam_.CloseKey(HKEY_PERFORMANCE_DATA_CODE));
  EXPECT_EQ(kErrorInvalidParameter, seam_.OpenKey(HKEY_CURRENT_USER_CODE, "x", kKeyRead, nullptr));
}

TEST_F(MemoryRegistryTest, ClassesRootIsTheClassesKeyOfTheMachine) {
  registry_.SetString("HKCR\\.txt", "", "txtfile");
  registry_.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\txtfile", "", "Text Document");
  EXPECT_TRUE(registry_.KeyExists("HKLM\\Software\\Classes\\.TXT"));
  EXPECT_TRUE(registry_.KeyExists("HKEY_CLASSES_ROOT\\TxtFile"));

  RegKey viaClasses = Open(HKEY_CLASSES_ROOT_CODE, "txtfile");
  RegKey viaMachine = Open(HKEY_LOCAL_MACHINE_CODE, "Software\\Classes\\.txt");
  EXPECT_EQ(kErrorSuccess, QueryA(viaClasses, "", 64).status);
  EXPECT_EQ(kErrorSuccess, QueryA(viaMachine, "", 64).status);
  EXPECT_EQ((std::vector<std::string>{".txt", "txtfile"}), EnumNames(HKEY_CLASSES_ROOT_CODE, false));
  seam_.CloseKey(viaClasses);
  seam_.CloseKey(viaMachine);
}

// ---------------------------------------------------------------------------------------------------
// Access rights.

TEST_F(MemoryRegistryTest, AnOpenAskingForRightsBeyondTheKeysMaskIsDenied) {
  registry_.SetKeyAccess("HKLM\\Software\\Locked", kKeyQueryValue);
  const struct {
    std::uint32_t access;
    long status;
  } kCases[] = {
      {kKeyRead, kErrorAccessDenied},
      {kReadControl | kKeyQueryValue | kKeyEnumerateSubKeys, kErrorAccessDenied},
      {kKeyQueryValue, kErrorSuccess},
      {kKeyAllAccess, kErrorAccessDenied},
      {kKeyEnumerateSubKeys, kErrorAccessDenied},
      {0, kErrorSuccess},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(::testing::Message() << "access 0x" << std::hex << c.access);
    RegKey key = kNoKey;
    EXPECT_EQ(c.status, seam_.OpenKey(HKEY_LOCAL_MACHINE_CODE, "Software\\Locked", c.access, &key));
    if (key != kNoKey) seam_.CloseKey(key);
  }
  // The mask belongs to the key alone: its parent and its subkeys open with any rights.
  registry_.CreateKey("HKLM\\Software\\Locked\\Inner");
  RegKey key = Open(HKEY_LOCAL_MACHINE_CODE, "Software\\Locked\\Inner", kKeyAllAccess);
  seam_.CloseKey(key);
  key = Open(HKEY_LOCAL_MACHINE_CODE, "Software", kKeyAllAccess);
  seam_.CloseKey(key);
}

TEST_F(MemoryRegistryTest, EachCallNeedsItsRightOnTheHandle) {
  registry_.SetDword("HKCU\\K", "v", 1);
  registry_.CreateKey("HKCU\\K\\Sub");
  enum Call { kQueryA, kQueryW, kEnumValue, kEnumKey, kInfo, kFlush };
  const char* const kCallNames[] = {"QueryValue", "QueryValueW", "EnumValue", "EnumKey", "QueryInfoKey", "FlushKey"};
  const struct {
    std::uint32_t granted;
    Call call;
    long status;
  } kCases[] = {
      {kKeyQueryValue, kQueryA, kErrorSuccess},
      {kKeyEnumerateSubKeys, kQueryA, kErrorAccessDenied},
      {kKeyQueryValue, kQueryW, kErrorSuccess},
      {kKeyEnumerateSubKeys, kQueryW, kErrorAccessDenied},
      {kKeyQueryValue, kEnumValue, kErrorSuccess},
      {kKeyEnumerateSubKeys, kEnumValue, kErrorAccessDenied},
      {kKeyEnumerateSubKeys, kEnumKey, kErrorSuccess},
      {kKeyQueryValue, kEnumKey, kErrorAccessDenied},
      {kReadControl, kEnumKey, kErrorAccessDenied},
      {kKeyRead, kEnumKey, kErrorSuccess},
      {0, kInfo, kErrorSuccess},
      {kKeyNotify, kInfo, kErrorSuccess},
      {0, kFlush, kErrorSuccess},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(::testing::Message() << kCallNames[c.call] << " with rights 0x" << std::hex << c.granted);
    RegKey key = Open(HKEY_CURRENT_USER_CODE, "K", c.granted);
    char name[16];
    std::uint32_t length = sizeof name;
    std::uint32_t size = 0;
    RegKeyCounts counts;
    long status = -1;
    switch (c.call) {
      case kQueryA: status = seam_.QueryValue(key, "v", nullptr, nullptr, &size); break;
      case kQueryW: status = seam_.QueryValueW(key, "v", nullptr, nullptr, &size); break;
      case kEnumValue: status = seam_.EnumValue(key, 0, name, &length); break;
      case kEnumKey: status = seam_.EnumKey(key, 0, name, &length); break;
      case kInfo: status = seam_.QueryInfoKey(key, &counts); break;
      case kFlush: status = seam_.FlushKey(key); break;
    }
    EXPECT_EQ(c.status, status);
    seam_.CloseKey(key);
  }
}

// ---------------------------------------------------------------------------------------------------
// Deleted keys.

TEST_F(MemoryRegistryTest, HandlesToADeletedKeyAndItsSubkeysReportTheKeyDeleted) {
  registry_.SetDword("HKCU\\Doomed\\Child", "v", 1);
  registry_.SetDword("HKCU\\Doomed", "v", 1);
  RegKey doomed = Open(HKEY_CURRENT_USER_CODE, "Doomed");
  RegKey child = Open(HKEY_CURRENT_USER_CODE, "Doomed\\Child");
  registry_.DeleteKey("HKCU\\doomed");
  EXPECT_FALSE(registry_.KeyExists("HKCU\\Doomed"));
  EXPECT_FALSE(registry_.KeyExists("HKCU\\Doomed\\Child"));

  // Even a key of the same name created afterwards does not bring the old handles back.
  registry_.SetDword("HKCU\\Doomed\\Child", "v", 2);
  for (RegKey key : {doomed, child}) {
    SCOPED_TRACE(key == doomed ? "the deleted key" : "its subkey");
    RegKey other;
    RegKeyCounts counts;
    char name[16];
    std::uint32_t length = sizeof name;
    std::uint32_t size = 0;
    EXPECT_EQ(kErrorKeyDeleted, seam_.OpenKey(key, "", kKeyRead, &other));
    EXPECT_EQ(kErrorKeyDeleted, seam_.OpenKey(key, "Child", kKeyRead, &other));
    EXPECT_EQ(kErrorKeyDeleted, seam_.FlushKey(key));
    EXPECT_EQ(kErrorKeyDeleted, seam_.QueryInfoKey(key, &counts));
    EXPECT_EQ(kErrorKeyDeleted, seam_.EnumKey(key, 0, name, &length));
    EXPECT_EQ(kErrorKeyDeleted, seam_.EnumValue(key, 0, name, &length));
    EXPECT_EQ(kErrorKeyDeleted, seam_.QueryValue(key, "v", nullptr, nullptr, &size));
    EXPECT_EQ(kErrorKeyDeleted, seam_.QueryValueW(key, "v", nullptr, nullptr, &size));
    EXPECT_EQ(kErrorSuccess, seam_.CloseKey(key));
  }
  RegKey fresh = Open(HKEY_CURRENT_USER_CODE, "Doomed\\Child");
  EXPECT_EQ(kErrorSuccess, QueryA(fresh, "v", 4).status);
  seam_.CloseKey(fresh);
}

// ---------------------------------------------------------------------------------------------------
// Key information and enumeration.

TEST_F(MemoryRegistryTest, QueryInfoKeyCountsInUtf16UnitsAndDataBytes) {
  registry_.CreateKey("HKCU\\K\\ab");
  registry_.CreateKey("HKCU\\K\\\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");  // three CJK characters
  registry_.CreateKey("HKCU\\K\\\xF0\x9F\x98\x80xyz");                   // a surrogate pair and three letters
  registry_.SetValue("HKCU\\K", "", REG_BINARY_TYPE, std::vector<std::uint8_t>(1000, 1));
  registry_.SetDword("HKCU\\K", "seven77", 7);
  registry_.SetString("HKCU\\K", "\xC3\xA9t\xC3\xA9", "x");
  RegKey key = Open(HKEY_CURRENT_USER_CODE, "K");
  RegKeyCounts counts;
  ASSERT_EQ(kErrorSuccess, seam_.QueryInfoKey(key, &counts));
  EXPECT_EQ(3u, counts.subKeys);
  EXPECT_EQ(5u, counts.maxSubKeyLen);
  EXPECT_EQ(3u, counts.values);
  EXPECT_EQ(7u, counts.maxValueNameLen);
  EXPECT_EQ(1000u, counts.maxValueLen);
  seam_.CloseKey(key);

  registry_.CreateKey("HKCU\\Empty");
  key = Open(HKEY_CURRENT_USER_CODE, "Empty");
  ASSERT_EQ(kErrorSuccess, seam_.QueryInfoKey(key, &counts));
  EXPECT_EQ(0u, counts.subKeys + counts.maxSubKeyLen + counts.values + counts.maxValueNameLen + counts.maxValueLen);
  EXPECT_EQ(kErrorInvalidParameter, seam_.QueryInfoKey(key, nullptr));
  seam_.CloseKey(key);
}

TEST_F(MemoryRegistryTest, SubkeysEnumerateInUpperCaseOrderWithTheirOwnSpelling) {
  // NT orders subkeys by their upper-cased names: '_' (0x5F) comes after 'Z', 'É' after both; names come
  // as UTF-8.
  for (const char* name : {"b", "Zeta", "\xC3\xA9t\xC3\xA9", "alpha", "_x", "Beta", "aa", "A1", "a-b"})
    registry_.CreateKey(std::string("HKCU\\K\\") + name);
  registry_.CreateKey("HKCU\\K\\BETA");  // the same key as "Beta"
  RegKey key = Open(HKEY_CURRENT_USER_CODE, "K");
  EXPECT_EQ((std::vector<std::string>{"a-b", "A1", "aa", "alpha", "b", "Beta", "Zeta", "_x", "\xC3\xA9t\xC3\xA9"}),
            EnumNames(key, false));
  seam_.CloseKey(key);
}

TEST_F(MemoryRegistryTest, ValuesEnumerateInCreationOrder) {
  registry_.SetDword("HKCU\\K", "zz", 1);
  registry_.SetDword("HKCU\\K", "AA", 2);
  registry_.SetDword("HKCU\\K", "mm", 3);
  registry_.SetDword("HKCU\\K", "", 4);
  registry_.SetDword("HKCU\\K", "aa", 5);  // overwrites "AA" in place, keeping its spelling
  RegKey key = Open(HKEY_CURRENT_USER_CODE, "K");
  EXPECT_EQ((std::vector<std::string>{"zz", "AA", "mm", ""}), EnumNames(key, true));
  registry_.DeleteValue("HKCU\\K", "ZZ");
  registry_.SetDword("HKCU\\K", "zz", 6);
  EXPECT_EQ((std::vector<std::string>{"AA", "mm", "", "zz"}), EnumNames(key, true));
  Query q = QueryA(key, "Aa", 4);
  EXPECT_EQ(5, q.buffer[0]);
  // Several changes between two enumerations: each value is found meanwhile, and the order is kept.
  registry_.DeleteValue("HKCU\\K", "mm");
  registry_.DeleteValue("HKCU\\K", "");
  registry_.SetDword("HKCU\\K", "MM", 7);
  EXPECT_EQ(6, QueryA(key, "ZZ", 4).buffer[0]);
  EXPECT_EQ(7, QueryA(key, "mm", 4).buffer[0]);
  EXPECT_EQ((std::vector<std::string>{"AA", "zz", "MM"}), EnumNames(key, true));
  seam_.CloseKey(key);
}

TEST_F(MemoryRegistryTest, SubkeysAddedAndRemovedInAnyOrderEnumerateSorted) {
  for (int i = 9; i >= 0; --i) registry_.CreateKey("HKCU\\K\\k" + std::to_string(i));
  registry_.DeleteKey("HKCU\\K\\k3");
  registry_.CreateKey("HKCU\\K\\K3b");
  RegKey key = Open(HKEY_CURRENT_USER_CODE, "K");
  EXPECT_EQ((std::vector<std::string>{"k0", "k1", "k2", "K3b", "k4", "k5", "k6", "k7", "k8", "k9"}),
            EnumNames(key, false));
  registry_.DeleteKey("HKCU\\K\\k0");
  EXPECT_EQ("k1", EnumNames(key, false).front());
  seam_.CloseKey(key);
}

TEST_F(MemoryRegistryTest, EnumerationBuffersFollowTheAnsiCalls) {
  registry_.CreateKey("HKCU\\K\\alphabet");
  registry_.SetDword("HKCU\\K", "valuename", 1);
  RegKey key = Open(HKEY_CURRENT_USER_CODE, "K");
  const struct {
    bool values;
    std::uint32_t length;
    long status;
    std::uint32_t lengthAfter;
    const char* buffer;  // what the buffer holds afterwards (null: untouched)
  } kCases[] = {
      {false, 0, kErrorMoreData, 0, nullptr},
      {false, 1, kErrorMoreData, 1, nullptr},
      {false, 8, kErrorMoreData, 8, nullptr},  // room for the name but not its NUL
      {false, 9, kErrorSuccess, 8, "alphabet"},
      {false, 100, kErrorSuccess, 8, "alphabet"},
      // A value name that does not fit still arrives cut short, with a NUL, as on Wine.
      {true, 0, kErrorMoreData, 0, nullptr},
      {true, 1, kErrorMoreData, 1, ""},
      {true, 9, kErrorMoreData, 9, "valuenam"},
      {true, 10, kErrorSuccess, 9, "valuename"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(::testing::Message() << (c.values ? "EnumValue" : "EnumKey") << " length " << c.length);
    char buffer[128];
    std::memset(buffer, '#', sizeof buffer);
    std::uint32_t length = c.length;
    long status = c.values ? seam_.EnumValue(key, 0, buffer, &length) : seam_.EnumKey(key, 0, buffer, &length);
    EXPECT_EQ(c.status, status);
    EXPECT_EQ(c.lengthAfter, length);
    if (c.buffer) {
      EXPECT_EQ(std::string(c.buffer), std::string(buffer, strnlen(buffer, sizeof buffer)));
      EXPECT_EQ('#', buffer[std::strlen(c.buffer) + 1]) << "nothing written past the NUL";
    } else {
      EXPECT_EQ('#', buffer[0]);
    }
  }
  char buffer[16];
  std::uint32_t length = sizeof buffer;
  EXPECT_EQ(kErrorNoMoreItems, seam_.EnumKey(key, 1, buffer, &length));
  EXPECT_EQ(kErrorNoMoreItems, seam_.EnumValue(key, 1, buffer, &length));
  EXPECT_EQ(kErrorNoMoreItems, seam_.EnumValue(key, 0xFFFFFFFFu, buffer, &length));
  EXPECT_EQ(kErrorInvalidParameter, seam_.EnumKey(key, 0, buffer, nullptr));
  EXPECT_EQ(kErrorInvalidParameter, seam_.EnumValue(key, 0, nullptr, &length));
  seam_.CloseKey(key);
}

// ---------------------------------------------------------------------------------------------------
// Names as UTF-8.

// Every name reaches the calls as it is stored, whatever its script (the calls of the system are the
// UTF-16 ones); the enumerated name finds the value and the key again.
TEST_F(MemoryRegistryTest, NamesReachTheCallsAsUtf8) {
  const char* const kNames[] = {
      "plain",
      "\xE2\x82\xAC\x75ro",        // the euro sign ("\x75" is "u")
      "\xC3\x84rger",              // Latin-1
      "\xC5\xA0koda",              // S caron
      "\xE2\x98\xBAv",             // a smiley
      "\xF0\x9F\x98\x80",          // beyond the Basic Multilingual Plane (a surrogate pair)
      "\xCE\xB1\xCE\xB2",          // Greek
      "\xE5\xBC\xA0\xE4\xBC\x9F",  // Han
  };
  for (const char* name : kNames) {
    SCOPED_TRACE(name);
    registry_.DeleteKey("HKCU\\Names");
    registry_.SetDword("HKCU\\Names", name, 1);
    registry_.CreateKey(std::string("HKCU\\Names\\") + name);
    RegKey key = Open(HKEY_CURRENT_USER_CODE, "Names");
    EXPECT_EQ(std::vector<std::string>{name}, EnumNames(key, true));
    EXPECT_EQ(std::vector<std::string>{name}, EnumNames(key, false));
    std::uint32_t size = 0;
    EXPECT_EQ(kErrorSuccess, seam_.QueryValue(key, name, nullptr, nullptr, &size));
    EXPECT_EQ(kErrorSuccess, seam_.QueryValueW(key, name, nullptr, nullptr, &size));
    RegKey sub = kNoKey;
    EXPECT_EQ(kErrorSuccess, seam_.OpenKey(key, name, kKeyRead, &sub));
    if (sub != kNoKey) seam_.CloseKey(sub);
    seam_.CloseKey(key);
  }
}

TEST_F(MemoryRegistryTest, NamesMatchWithoutRegardToCase) {
  const struct {
    const char* stored;  // UTF-8
    const char* asked;   // UTF-8
  } kCases[] = {
      {"MixedCase", "mIXEDcASE"},
      {"\xC3\x84rger", "\xC3\xA4RGER"},  // Latin-1: Ä / ä
      {"\xC3\xBF", "\xC5\xB8"},          // ÿ / Ÿ
      {"\xC5\x81\xC3\xB3"
       "d\xC5\xBA",
       "\xC5\x82\xC3\x93"
       "D\xC5\xB9"},                                             // Łódź / łÓDŹ
      {"\xD0\x9F\xD1\x80\xD0\xB8", "\xD0\xBF\xD0\xA0\xD0\x98"},  // Cyrillic
      {"\xCE\xA3\xCE\xB1", "\xCF\x83\xCE\x91"},                  // Greek
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.stored);
    registry_.DeleteKey("HKCU\\Case");
    registry_.CreateKey("HKCU\\Case\\" + std::string(c.stored));
    registry_.SetDword("HKCU\\Case", c.stored, 1);
    EXPECT_TRUE(registry_.KeyExists("HKCU\\Case\\" + std::string(c.asked)));
    RegKey parent = Open(HKEY_CURRENT_USER_CODE, "Case");
    EXPECT_EQ(kErrorSuccess, QueryW(parent, Utf8ToUtf16(c.asked), 4).status);
    seam_.CloseKey(Open(parent, c.asked));
    EXPECT_EQ(kErrorSuccess, QueryA(parent, c.asked, 4).status);
    // Enumeration reports the stored spelling.
    EXPECT_EQ(std::vector<std::string>{c.stored}, EnumNames(parent, true));
    EXPECT_EQ(std::vector<std::string>{c.stored}, EnumNames(parent, false));
    seam_.CloseKey(parent);
  }
}

// ---------------------------------------------------------------------------------------------------
// Values.

struct ValueCase {
  const char* what;
  std::uint32_t type;
  std::vector<std::uint8_t> stored;
  std::uint32_t buffer;
  long status;
  std::uint32_t size;
  std::vector<std::uint8_t> start;  // the first bytes of the buffer afterwards (0xA5: untouched)
};

std::vector<std::uint8_t> With(std::vector<std::uint8_t> bytes, std::initializer_list<std::uint8_t> tail) {
  bytes.insert(bytes.end(), tail);
  return bytes;
}

TEST_F(MemoryRegistryTest, QueryConvertsStringDataToUtf8AndAppendsANulWhenThereIsRoom) {
  const std::vector<std::uint8_t> xy = Utf16Le(u"xy");
  const ValueCase kCases[] = {
      {"string with its NUL",
       REG_SZ_TYPE,
       Utf16Le(std::u16string(u"hi\0", 3)),
       16,
       kErrorSuccess,
       3,
       {'h', 'i', 0, kUntouched}},
      {"string without NUL, room left", REG_SZ_TYPE, xy, 16, kErrorSuccess, 2, {'x', 'y', 0, kUntouched}},
      {"string without NUL, exact buffer", REG_SZ_TYPE, xy, 2, kErrorSuccess, 2, {'x', 'y', kUntouched}},
      {"string without NUL, buffer one short", REG_SZ_TYPE, xy, 1, kErrorMoreData, 2, {kUntouched}},
      {"odd last byte dropped", REG_SZ_TYPE, {'a', 0, 'b'}, 16, kErrorSuccess, 1, {'a', 0, kUntouched}},
      {"a single byte", REG_SZ_TYPE, {'a'}, 16, kErrorSuccess, 0, {kUntouched}},
      {"empty string", REG_SZ_TYPE, {}, 16, kErrorSuccess, 0, {kUntouched}},
      {"inner NUL kept",
       REG_SZ_TYPE,
       Utf16Le(std::u16string(u"a\0b\0", 4)),
       16,
       kErrorSuccess,
       4,
       {'a', 0, 'b', 0, kUntouched}},
      {"expandable string", REG_EXPAND_SZ_TYPE, Utf16Le(u"%x%"), 16, kErrorSuccess, 3, {'%', 'x', '%', 0, kUntouched}},
      {"multi-string",
       REG_MULTI_SZ_TYPE,
       Utf16Le(std::u16string(u"a\0bc\0\0", 6)),
       16,
       kErrorSuccess,
       6,
       {'a', 0, 'b', 'c', 0, 0, kUntouched}},
      {"characters beyond ASCII, as UTF-8",
       REG_SZ_TYPE,
       Utf16Le(std::u16string(u"a\u20AC\u263A\u00E9\0", 5)),
       16,
       kErrorSuccess,
       10,
       {'a', 0xE2, 0x82, 0xAC, 0xE2, 0x98, 0xBA, 0xC3, 0xA9, 0, kUntouched}},
      {"a surrogate pair is one character",
       REG_SZ_TYPE,
       Utf16Le(u"\U0001F600"),
       16,
       kErrorSuccess,
       4,
       {0xF0, 0x9F, 0x98, 0x80, 0, kUntouched}},
      {"UTF-8 sized: a buffer of the UTF-16 size is too small",
       REG_SZ_TYPE,
       Utf16Le(u"\u5F20\u4F1F"),
       4,
       kErrorMoreData,
       6,
       {kUntouched}},
      {"binary is not terminated", REG_BINARY_TYPE, {'a', 'b'}, 16, kErrorSuccess, 2, {'a', 'b', kUntouched}},
      {"dword", REG_DWORD_TYPE, {1, 2, 3, 4}, 4, kErrorSuccess, 4, {1, 2, 3, 4, kUntouched}},
      {"dword, buffer too small", REG_DWORD_TYPE, {1, 2, 3, 4}, 3, kErrorMoreData, 4, {kUntouched}},
      {"REG_NONE is not converted", REG_NONE_TYPE, Utf16Le(u"x"), 16, kErrorSuccess, 2, {'x', 0, kUntouched}},
      {"unknown type", 0x12345678u, {9, 8, 7}, 16, kErrorSuccess, 3, {9, 8, 7, kUntouched}},
  };
  for (const ValueCase& c : kCases) {
    SCOPED_TRACE(c.what);
    registry_.SetValue("HKCU\\V", "v", c.type, c.stored);
    RegKey key = Open(HKEY_CURRENT_USER_CODE, "V");
    Query q = QueryA(key, "V", c.buffer);
    EXPECT_EQ(c.status, q.status);
    EXPECT_EQ(c.type, q.type);
    EXPECT_EQ(c.size, q.size);
    EXPECT_EQ(Printable(c.start),
              Printable(std::vector<std::uint8_t>(q.buffer.begin(), q.buffer.begin() + c.start.size())));
    std::uint32_t type = 0;
    std::uint32_t size = 12345;
    EXPECT_EQ(kErrorSuccess, seam_.QueryValue(key, "v", &type, nullptr, &size)) << "size query";
    EXPECT_EQ(c.size, size);
    EXPECT_EQ(c.type, type);
    seam_.CloseKey(key);
  }
}

TEST_F(MemoryRegistryTest, WideQueryReturnsTheStoredBytes) {
  const std::vector<std::uint8_t> xy = Utf16Le(u"xy");
  const ValueCase kCases[] = {
      {"string without NUL, room for a wide NUL", REG_SZ_TYPE, xy, 16, kErrorSuccess, 4, With(xy, {0, 0, kUntouched})},
      {"string without NUL, room for one byte only", REG_SZ_TYPE, xy, 5, kErrorSuccess, 4, With(xy, {kUntouched})},
      {"string without NUL, buffer too small", REG_SZ_TYPE, xy, 3, kErrorMoreData, 4, {kUntouched}},
      {"string with its NUL",
       REG_SZ_TYPE,
       Utf16Le(std::u16string(u"hi\0", 3)),
       16,
       kErrorSuccess,
       6,
       {'h', 0, 'i', 0, 0, 0, kUntouched}},
      {"odd length kept", REG_EXPAND_SZ_TYPE, {'a', 0, 'b'}, 16, kErrorSuccess, 3, {'a', 0, 'b', 0, 0, kUntouched}},
      {"characters outside the code page",
       REG_SZ_TYPE,
       Utf16Le(u"\u263A"),
       16,
       kErrorSuccess,
       2,
       {0x3A, 0x26, 0, 0, kUntouched}},
      {"binary", REG_BINARY_TYPE, {'a', 'b'}, 16, kErrorSuccess, 2, {'a', 'b', kUntouched}},
      {"empty string", REG_SZ_TYPE, {}, 16, kErrorSuccess, 0, {kUntouched}},
  };
  for (const ValueCase& c : kCases) {
    SCOPED_TRACE(c.what);
    registry_.SetValue("HKCU\\V", "v", c.type, c.stored);
    RegKey key = Open(HKEY_CURRENT_USER_CODE, "V");
    Query q = QueryW(key, u"V", c.buffer);
    EXPECT_EQ(c.status, q.status);
    EXPECT_EQ(c.type, q.type);
    EXPECT_EQ(c.size, q.size);
    EXPECT_EQ(Printable(c.start),
              Printable(std::vector<std::uint8_t>(q.buffer.begin(), q.buffer.begin() + c.start.size())));
    seam_.CloseKey(key);
  }
}

TEST_F(MemoryRegistryTest, QueryOutputsMayBeLeftOutAsTheNativeCallAllows) {
  registry_.SetString("HKCU\\V", "s", "text");
  RegKey key = Open(HKEY_CURRENT_USER_CODE, "V");
  std::uint8_t data[16];
  std::uint32_t type = 0xDEAD;
  std::uint32_t size = sizeof data;
  EXPECT_EQ(kErrorSuccess, seam_.QueryValue(key, "s", nullptr, nullptr, nullptr)) << "existence only";
  EXPECT_EQ(kErrorFileNotFound, seam_.QueryValue(key, "missing", nullptr, nullptr, nullptr));
  EXPECT_EQ(kErrorInvalidParameter, seam_.QueryValue(key, "s", &type, data, nullptr)) << "data without size";
  EXPECT_EQ(kErrorInvalidParameter, seam_.QueryValueW(key, "s", &type, data, nullptr));
  EXPECT_EQ(kErrorSuccess, seam_.QueryValue(key, "s", nullptr, data, &size));
  EXPECT_EQ(5u, size);
  EXPECT_STREQ("text", reinterpret_cast<char*>(data));
  EXPECT_EQ(kErrorSuccess, seam_.QueryValue(key, "s", &type, nullptr, nullptr));
  EXPECT_EQ(REG_SZ_TYPE, type);

  // A missing value: the 8-bit call resets the type; a size query resets the size (as Wine does).
  type = 0xDEAD;
  size = 77;
  EXPECT_EQ(kErrorFileNotFound, seam_.QueryValue(key, "missing", &type, data, &size));
  EXPECT_EQ(REG_NONE_TYPE, type);
  EXPECT_EQ(77u, size);
  EXPECT_EQ(kErrorFileNotFound, seam_.QueryValue(key, "missing", &type, nullptr, &size));
  EXPECT_EQ(0u, size);
  type = 0xDEAD;
  size = 77;
  EXPECT_EQ(kErrorFileNotFound, seam_.QueryValueW(key, "missing", &type, nullptr, &size));
  EXPECT_EQ(0xDEADu, type);
  EXPECT_EQ(0u, size);
  seam_.CloseKey(key);
}

TEST_F(MemoryRegistryTest, TheDefaultValueExistsOnlyOnceSet) {
  registry_.SetDword("HKCU\\D", "named", 1);
  RegKey key = Open(HKEY_CURRENT_USER_CODE, "D");
  EXPECT_EQ(kErrorFileNotFound, QueryA(key, "", 16).status);
  EXPECT_EQ(kErrorFileNotFound, QueryW(key, u"", 16).status);
  registry_.SetString("HKCU\\D", "", "default");
  Query q = QueryA(key, "", 16);
  EXPECT_EQ(kErrorSuccess, q.status);
  EXPECT_EQ(8u, q.size);
  EXPECT_EQ((std::vector<std::string>{"named", ""}), EnumNames(key, true));
  seam_.CloseKey(key);
}

TEST_F(MemoryRegistryTest, ValueDataIsKeptByteForByte) {
  std::vector<std::uint8_t> large(1 << 20);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
  registry_.SetValue("HKCU\\Big", "blob", REG_BINARY_TYPE, large);
  registry_.SetValue("HKCU\\Big", "odd", REG_DWORD_TYPE, {1, 2, 3});
  registry_.SetValue("HKCU\\Big", "unterminated", REG_SZ_TYPE, Utf16Le(u"abc"));
  RegKey key = Open(HKEY_CURRENT_USER_CODE, "Big");

  std::vector<std::uint8_t> read(large.size());
  std::uint32_t size = static_cast<std::uint32_t>(read.size());
  std::uint32_t type = 0;
  ASSERT_EQ(kErrorSuccess, seam_.QueryValue(key, "blob", &type, read.data(), &size));
  EXPECT_EQ(large.size(), size);
  EXPECT_TRUE(read == large);
  RegKeyCounts counts;
  seam_.QueryInfoKey(key, &counts);
  EXPECT_EQ(large.size(), counts.maxValueLen);

  Query odd = QueryW(key, u"odd", 3);
  EXPECT_EQ(3u, odd.size);
  EXPECT_EQ(Printable({1, 2, 3, kUntouched}), Printable({odd.buffer.begin(), odd.buffer.begin() + 4}));
  Query unterminated = QueryW(key, u"unterminated", 6);
  EXPECT_EQ(6u, unterminated.size);
  EXPECT_EQ(Printable(With(Utf16Le(u"abc"), {kUntouched})),
            Printable({unterminated.buffer.begin(), unterminated.buffer.begin() + 7}));
  seam_.CloseKey(key);
}

TEST_F(MemoryRegistryTest, FixtureSettersStoreWhatTheirNamesSay) {
  registry_.SetString("HKCU\\F", "s", "a\xC3\xA9");
  registry_.SetString("HKCU\\F", "e", "%x%", REG_EXPAND_SZ_TYPE);
  registry_.SetDword("HKCU\\F", "d", 0x11223344);
  registry_.SetMultiString("HKCU\\F", "m", {"a", "bc"});
  registry_.SetMultiString("HKCU\\F", "none", {});
  const struct {
    const char16_t* name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  } kCases[] = {
      {u"s", REG_SZ_TYPE, Utf16Le(std::u16string(u"a\u00E9\0", 3))},
      {u"e", REG_EXPAND_SZ_TYPE, Utf16Le(std::u16string(u"%x%\0", 4))},
      {u"d", REG_DWORD_TYPE, {0x44, 0x33, 0x22, 0x11}},
      {u"m", REG_MULTI_SZ_TYPE, Utf16Le(std::u16string(u"a\0bc\0\0", 6))},
      {u"none", REG_MULTI_SZ_TYPE, {0, 0}},
  };
  RegKey key = Open(HKEY_CURRENT_USER_CODE, "F");
  for (const auto& c : kCases) {
    SCOPED_TRACE(Utf16ToUtf8(c.name));
    Query q = QueryW(key, c.name, 64);
    EXPECT_EQ(c.type, q.type);
    EXPECT_EQ(Printable(c.data), Printable({q.buffer.begin(), q.buffer.begin() + q.size}));
  }
  registry_.DeleteValue("HKCU\\F", "S");
  EXPECT_EQ(kErrorFileNotFound, QueryW(key, u"s", 64).status);
  seam_.CloseKey(key);

  EXPECT_THROW(registry_.CreateKey("HKEY_NOWHERE\\x"), std::invalid_argument);
  EXPECT_THROW(registry_.SetDword("", "x", 1), std::invalid_argument);
}

}  // namespace
}  // namespace kv
