// Loading registry files into MemoryRegistry: every construct regedit writes, both encodings, and
// malformed files, which must name their line and change nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "platform/memory/reg_file.h"
#include "tests/testing/reg_text.h"
#include "tests/testing/registry_dump.h"

namespace kv {
namespace {

using test::RegFileAnsi;
using test::RegFileUtf16;

const char kHeader5[] = "Windows Registry Editor Version 5.00\n\n";
const char kHeader4[] = "REGEDIT4\n\n";

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

struct Read {
  long status = -1;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// The raw bytes of a value, read through the seam. `key` is below HKEY_CURRENT_USER.
Read ReadValue(MemoryRegistry& registry, std::uint32_t root, const std::string& key, const std::u16string& name) {
  Read read;
  RegKey handle = kNoKey;
  read.status = registry.OpenKey(root, key, kKeyRead, &handle);
  if (read.status != kErrorSuccess) return read;
  std::uint32_t size = 0;
  read.status = registry.QueryValueW(handle, Utf16ToUtf8(name), &read.type, nullptr, &size);
  if (read.status == kErrorSuccess) {
    read.data.resize(size);
    read.status = registry.QueryValueW(handle, Utf16ToUtf8(name), &read.type, read.data.data(), &size);
  }
  registry.CloseKey(handle);
  return read;
}

std::string DumpAll(MemoryRegistry& registry) {
  std::string dump;
  for (std::uint32_t root :
       {HKEY_CURRENT_USER_CODE, HKEY_LOCAL_MACHINE_CODE, HKEY_USERS_CODE, HKEY_CURRENT_CONFIG_CODE})
    dump += "root " + std::to_string(root) + "\n" + test::DumpRegistry(registry, root);
  return dump;
}

// ---------------------------------------------------------------------------------------------------
// What a file sets.

struct ValueCase {
  const char* line;      // a value line below [HKEY_CURRENT_USER\T] (UTF-8)
  const char16_t* name;  // the value it sets
  std::uint32_t type;
  std::vector<std::uint8_t> data;
};

void ExpectValues(const char* header, std::string (*encode)(const std::string&), const std::vector<ValueCase>& cases) {
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.line);
    MemoryRegistry registry;
    std::string error;
    ASSERT_TRUE(LoadRegFile(registry, encode(std::string(header) + "[HKEY_CURRENT_USER\\T]\n" + c.line + "\n"), &error))
        << error;
    Read read = ReadValue(registry, HKEY_CURRENT_USER_CODE, "T", c.name);
    ASSERT_EQ(kErrorSuccess, read.status);
    EXPECT_EQ(c.type, read.type);
    EXPECT_EQ(Printable(c.data), Printable(read.data));
  }
}

TEST(MemoryRegFile, Version5ValuesAreStoredAsWritten) {
  ExpectValues(
      kHeader5, RegFileUtf16,
      {
          {"\"Name\"=\"text\"", u"Name", REG_SZ_TYPE, Utf16Le(std::u16string(u"text\0", 5))},
          {"\"Empty\"=\"\"", u"Empty", REG_SZ_TYPE, {0, 0}},
          {"@=\"default\"", u"", REG_SZ_TYPE, Utf16Le(std::u16string(u"default\0", 8))},
          {"\"\\\"q\\\\b\\\"\"=\"x\\\"y\\\\z\"", u"\"q\\b\"", REG_SZ_TYPE, Utf16Le(std::u16string(u"x\"y\\z\0", 6))},
          {"\"Path\"=\"C:\\\\Program Files\\\\App\\\\\"", u"Path", REG_SZ_TYPE,
           Utf16Le(std::u16string(u"C:\\Program Files\\App\\\0", 22))},
          {"\"\xE5\x90\x8D\"=\"\xE2\x82\xAC\xE2\x98\xBA\"", u"\u540D", REG_SZ_TYPE,
           Utf16Le(std::u16string(u"\u20AC\u263A\0", 3))},
          {"\"D\"=dword:0000001f", u"D", REG_DWORD_TYPE, {0x1F, 0, 0, 0}},
          {"\"D\"=dword:1F", u"D", REG_DWORD_TYPE, {0x1F, 0, 0, 0}},
          {"\"D\"=DWORD:fffffffe", u"D", REG_DWORD_TYPE, {0xFE, 0xFF, 0xFF, 0xFF}},
          {"\"B\"=hex:01,ab,FF", u"B", REG_BINARY_TYPE, {0x01, 0xAB, 0xFF}},
          {"\"B\"=hex:", u"B", REG_BINARY_TYPE, {}},
          {"\"B\"=hex: 1, 2 ,3,", u"B", REG_BINARY_TYPE, {1, 2, 3}},
          {"\"N\"=hex(0):01,02", u"N", REG_NONE_TYPE, {1, 2}},
          {"\"E\"=hex(2):25,00,41,00,25,00,00,00", u"E", REG_EXPAND_SZ_TYPE, Utf16Le(std::u16string(u"%A%\0", 4))},
          {"\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00", u"M", REG_MULTI_SZ_TYPE,
           Utf16Le(std::u16string(u"a\0b\0\0", 5))},
          {"\"S\"=hex(1):78,00", u"S", REG_SZ_TYPE, {0x78, 0}},
          {"\"Q\"=hex(b):01,00,00,00,00,00,00,80", u"Q", REG_QWORD_TYPE, {1, 0, 0, 0, 0, 0, 0, 0x80}},
          {"\"O\"=hex(4):01,02,03", u"O", REG_DWORD_TYPE, {1, 2, 3}},
          {"\"X\"=hex(ffffffff):aa", u"X", 0xFFFFFFFFu, {0xAA}},
          {"\"X\"=hex(100):", u"X", 0x100u, {}},
          {"\"Continued\"=hex:01,02,\\\n  03,04,\\\n\t05", u"Continued", REG_BINARY_TYPE, {1, 2, 3, 4, 5}},
          {"\"C2\"=hex(2):41,00,\\\n  00,00", u"C2", REG_EXPAND_SZ_TYPE, {0x41, 0, 0, 0}},
      });
}

TEST(MemoryRegFile, Regedit4StringBytesAreConvertedToUtf16) {
  ExpectValues(kHeader4, RegFileAnsi,
               {
                   {"\"Name\"=\"caf\xC3\xA9\"", u"Name", REG_SZ_TYPE, Utf16Le(std::u16string(u"caf\u00E9\0", 5))},
                   {"\"E\"=hex(2):25,41,25,00", u"E", REG_EXPAND_SZ_TYPE, Utf16Le(std::u16string(u"%A%\0", 4))},
                   {"\"M\"=hex(7):61,00,62,00,00", u"M", REG_MULTI_SZ_TYPE, Utf16Le(std::u16string(u"a\0b\0\0", 5))},
                   {"\"S\"=hex(1):80,9f,00", u"S", REG_SZ_TYPE, Utf16Le(std::u16string(u"\u20AC\u0178\0", 3))},
                   {"\"B\"=hex:80,00", u"B", REG_BINARY_TYPE, {0x80, 0}},
                   {"\"N\"=hex(0):80", u"N", REG_NONE_TYPE, {0x80}},
                   {"\"D\"=dword:00000100", u"D", REG_DWORD_TYPE, {0, 1, 0, 0}},
               });
}

TEST(MemoryRegFile, EveryEncodingAndLineEndingIsRead) {
  const std::string body = "[HKEY_CURRENT_USER\\Enc]\n\"caf\xC3\xA9\"=\"\xE2\x82\xAC\"\n";
  const std::string lf5 = std::string("Windows Registry Editor Version 5.00\n\n") + body;
  const struct {
    const char* what;
    std::string bytes;
  } kCases[] = {
      {"5.00 in UTF-16LE, CR LF", RegFileUtf16(lf5)},
      {"5.00 in UTF-8 with a byte-order mark, LF", "\xEF\xBB\xBF" + lf5},
      {"5.00 in Windows-1252, LF", Utf8ToAnsi(lf5)},
      {"REGEDIT4 in Windows-1252, CR LF", RegFileAnsi(std::string(kHeader4) + body)},
      {"REGEDIT4 in UTF-16LE", RegFileUtf16(std::string(kHeader4) + body)},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    MemoryRegistry registry;
    std::string error;
    ASSERT_TRUE(LoadRegFile(registry, c.bytes, &error)) << error;
    Read read = ReadValue(registry, HKEY_CURRENT_USER_CODE, "Enc", u"caf\u00E9");
    EXPECT_EQ(kErrorSuccess, read.status);
    EXPECT_EQ(Printable(Utf16Le(std::u16string(u"\u20AC\0", 2))), Printable(read.data));
  }
}

TEST(MemoryRegFile, RootNamesLongAndShortReachTheirTrees) {
  const struct {
    const char* section;
    std::uint32_t root;
    const char* key;
  } kCases[] = {
      {"HKEY_LOCAL_MACHINE\\Software\\A", HKEY_LOCAL_MACHINE_CODE, "Software\\A"},
      {"HKLM\\Software\\A", HKEY_LOCAL_MACHINE_CODE, "Software\\A"},
      {"hkey_current_user\\A", HKEY_CURRENT_USER_CODE, "A"},
      {"HKCU\\A", HKEY_CURRENT_USER_CODE, "A"},
      {"HKEY_CLASSES_ROOT\\.a", HKEY_LOCAL_MACHINE_CODE, "SOFTWARE\\Classes\\.a"},
      {"HKCR\\.a", HKEY_CLASSES_ROOT_CODE, ".a"},
      {"HKEY_USERS\\.DEFAULT\\A", HKEY_USERS_CODE, ".DEFAULT\\A"},
      {"HKU\\S-1-5-18", HKEY_USERS_CODE, "S-1-5-18"},
      {"HKEY_CURRENT_CONFIG\\A", HKEY_CURRENT_CONFIG_CODE, "A"},
      {"HKCC\\A", HKEY_CURRENT_CONFIG_CODE, "A"},
      {"HKEY_CURRENT_USER\\A\\\\B\\", HKEY_CURRENT_USER_CODE, "A\\B"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.section);
    MemoryRegistry registry;
    std::string error;
    const std::string file = RegFileUtf16(std::string(kHeader5) + "[" + c.section + "]\n\"v\"=dword:1\n");
    ASSERT_TRUE(LoadRegFile(registry, file, &error)) << error;
    EXPECT_EQ(kErrorSuccess, ReadValue(registry, c.root, c.key, u"v").status);
  }
}

TEST(MemoryRegFile, DeletionsRemoveKeyTreesAndValues) {
  MemoryRegistry registry;
  registry.SetDword("HKCU\\Keep", "stay", 1);
  registry.SetDword("HKCU\\Keep", "go", 2);
  registry.SetDword("HKCU\\Gone\\Deep\\Deeper", "v", 3);
  RegKey deep = kNoKey;
  ASSERT_EQ(kErrorSuccess, registry.OpenKey(HKEY_CURRENT_USER_CODE, "Gone\\Deep", kKeyRead, &deep));
  std::string error;
  ASSERT_TRUE(LoadRegFile(registry,
                          RegFileUtf16(std::string(kHeader5) + "[-HKEY_CURRENT_USER\\gone]\n"
                                                               "\n"
                                                               "[-HKEY_CURRENT_USER\\NeverWas]\n"
                                                               "[HKEY_CURRENT_USER\\Keep]\n"
                                                               "\"GO\"=-\n"
                                                               "\"missing\"=-\n"
                                                               "@=-\n"),
                          &error))
      << error;
  EXPECT_FALSE(registry.KeyExists("HKCU\\Gone"));
  EXPECT_FALSE(registry.KeyExists("HKCU\\NeverWas"));
  EXPECT_EQ(kErrorSuccess, ReadValue(registry, HKEY_CURRENT_USER_CODE, "Keep", u"stay").status);
  EXPECT_EQ(kErrorFileNotFound, ReadValue(registry, HKEY_CURRENT_USER_CODE, "Keep", u"go").status);
  RegKeyCounts counts;
  EXPECT_EQ(kErrorKeyDeleted, registry.QueryInfoKey(deep, &counts)) << "a handle into the deleted tree";
  registry.CloseKey(deep);
}

TEST(MemoryRegFile, CommentsBlankLinesAndLaterSectionsAddUp) {
  MemoryRegistry registry;
  registry.SetDword("HKCU\\A", "old", 1);
  std::string error;
  ASSERT_TRUE(LoadRegFile(registry,
                          RegFileAnsi("REGEDIT4\n"
                                      "; a comment\n"
                                      "   \n"
                                      "[HKEY_CURRENT_USER\\A]\n"
                                      "  \"new\"=dword:2\n"
                                      "\t; an indented comment\n"
                                      "[HKEY_CURRENT_USER\\A\\Empty]\n"
                                      "[HKEY_CURRENT_USER\\A]\n"
                                      "\"old\"=\"replaced\"\n"),
                          &error))
      << error;
  EXPECT_TRUE(registry.KeyExists("HKCU\\A\\Empty"));
  Read old = ReadValue(registry, HKEY_CURRENT_USER_CODE, "A", u"old");
  EXPECT_EQ(REG_SZ_TYPE, old.type);
  EXPECT_EQ(kErrorSuccess, ReadValue(registry, HKEY_CURRENT_USER_CODE, "A", u"new").status);
}

// Regedit wraps long hex lists at about 80 columns with a backslash at the end of each line.
TEST(MemoryRegFile, AMegabyteValueInRegeditsWrappedFormRoundTrips) {
  std::vector<std::uint8_t> data(1 << 20);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>((i * 131) ^ (i >> 8));
  std::string text = std::string(kHeader5) + "[HKEY_CURRENT_USER\\Big]\n\"big\"=hex(3):";
  char hex[4];
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(hex, sizeof hex, "%02x", data[i]);
    text += hex;
    if (i + 1 < data.size()) text += (i % 25 == 24) ? ",\\\n  " : ",";
  }
  text += "\n";
  MemoryRegistry registry;
  std::string error;
  ASSERT_TRUE(LoadRegFile(registry, RegFileUtf16(text), &error)) << error;
  Read read = ReadValue(registry, HKEY_CURRENT_USER_CODE, "Big", u"big");
  EXPECT_EQ(REG_BINARY_TYPE, read.type);
  EXPECT_EQ(data.size(), read.data.size());
  EXPECT_TRUE(read.data == data);
}

// ---------------------------------------------------------------------------------------------------
// Malformed files.

TEST(MemoryRegFile, AMalformedFileNamesItsLineAndChangesNothing) {
  const struct {
    const char* what;
    std::string text;  // the whole file (UTF-8, LF)
    int line;
  } kCases[] = {
      {"no header", "[HKEY_CURRENT_USER\\A]\n", 1},
      {"wrong header", "REGEDIT5\n", 1},
      {"header not on the first line", "\nREGEDIT4\n", 1},
      {"empty file", "", 1},
      {"unknown root", "REGEDIT4\n\n[HKEY_NOWHERE\\A]\n", 3},
      {"empty section", "REGEDIT4\n[]\n", 2},
      {"missing bracket", "REGEDIT4\n[HKEY_CURRENT_USER\\A\n", 2},
      {"root deleted", "REGEDIT4\n[-HKEY_CURRENT_USER]\n", 2},
      {"value before any key", "REGEDIT4\n\"a\"=\"b\"\n", 2},
      {"value after a deleted key", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n[-HKEY_CURRENT_USER\\B]\n\"a\"=dword:1\n", 4},
      {"unterminated string", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"abc\n", 3},
      {"escaped closing quote", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"C:\\\"\n", 3},
      {"unterminated name", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\n\"abc=dword:1\n", 4},
      {"missing equals sign", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\" \"b\"\n", 3},
      {"text after a string", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\" c\n", 3},
      {"no data", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\n", 3},
      {"unknown data", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=str:\"b\"\n", 3},
      {"bad dword digits", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:xyz\n", 3},
      {"dword too long", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:123456789\n", 3},
      {"empty dword", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:\n", 3},
      {"bad hex byte", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,zz\n", 3},
      {"three-digit hex byte", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:123\n", 3},
      {"empty hex byte", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,,02\n", 3},
      {"bad hex byte on a continuation line", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,\\\n  02,\\\n  0g\n", 5},
      {"bad type", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(zz):01\n", 3},
      {"type too long", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(123456789):01\n", 3},
      {"type unclosed", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(2:01\n", 3},
      {"line ends after hex", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex", 3},
      {"line ends after hex(", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(\n", 3},
      {"line ends after the type", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(7)", 3},
      {"type without its colon", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(7)\n", 3},
      {"garbage line", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:1\nfoo=bar\n", 4},
      {"key name too long", "REGEDIT4\n[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n", 2},
      {"fault after good lines",
       "REGEDIT4\n[HKEY_CURRENT_USER\\New]\n\"a\"=\"b\"\n[-HKEY_CURRENT_USER\\Keep]\n\n\n\n\n\n!\n", 10},
  };
  for (const auto& c : kCases) {
    for (bool utf16 : {false, true}) {
      SCOPED_TRACE(::testing::Message() << c.what << (utf16 ? " (UTF-16)" : " (8-bit)"));
      MemoryRegistry registry;
      registry.SetDword("HKCU\\Keep", "v", 1);
      registry.SetString("HKLM\\Software\\Keep", "", "x");
      const std::string before = DumpAll(registry);
      std::string error;
      EXPECT_FALSE(LoadRegFile(registry, utf16 ? RegFileUtf16(c.text) : RegFileAnsi(c.text), &error));
      EXPECT_EQ(0u, error.rfind("line " + std::to_string(c.line) + ": ", 0)) << "error: " << error;
      EXPECT_GT(error.size(), std::string("line 1: ").size() + 5) << "error: " << error;
      EXPECT_EQ(before, DumpAll(registry));
      EXPECT_FALSE(registry.KeyExists("HKCU\\New"));
    }
  }
}

TEST(MemoryRegFile, KeyPathsDeeperThanTheRegistryAllowsAreRefused) {
  std::string path = "HKEY_CURRENT_USER";
  for (int i = 0; i < 512; ++i) path += "\\k";
  MemoryRegistry registry;
  std::string error;
  EXPECT_TRUE(LoadRegFile(registry, RegFileAnsi("REGEDIT4\n[" + path + "]\n"), &error)) << error;
  EXPECT_FALSE(LoadRegFile(registry, RegFileAnsi("REGEDIT4\n[" + path + "\\k]\n"), &error));
  EXPECT_EQ(0u, error.rfind("line 2: ", 0)) << error;
}

// Random damage to a valid file: loading must never crash, and a refused file must leave the registry
// as it was.
TEST(MemoryRegFile, DamagedFilesNeverCrashTheLoader) {
  const std::string valid = std::string(kHeader5) +
                            "[HKEY_CURRENT_USER\\A\\B]\n"
                            "@=\"x\\\"y\"\n"
                            "\"d\"=dword:0000001f\n"
                            "\"h\"=hex(7):61,00,00,00,\\\n  00,00\n"
                            "[-HKEY_CURRENT_USER\\A\\C]\n"
                            "\"z\"=-\n";
  const std::string utf16 = RegFileUtf16(valid);
  const std::string ansi = RegFileAnsi(valid);
  std::mt19937 random(20240611u);
  const char kInteresting[] = "\\\"[]=@-:,;()\r\n\x00\xFF\xFE";
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = round % 2 ? utf16 : ansi;
    const int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
      const std::size_t at = random() % bytes.size();
      switch (random() % 4) {
        case 0: bytes[at] = static_cast<char>(random()); break;
        case 1: bytes[at] = kInteresting[random() % (sizeof kInteresting - 1)]; break;
        case 2: bytes.erase(at, 1 + random() % 8); break;
        case 3: bytes.insert(at, 1 + random() % 4, kInteresting[random() % (sizeof kInteresting - 1)]); break;
      }
    }
    MemoryRegistry registry;
    registry.SetDword("HKCU\\A\\C", "keep", 1);
    const std::string before = DumpAll(registry);
    std::string error;
    if (!LoadRegFile(registry, bytes, &error)) {
      ASSERT_EQ(0u, error.rfind("line ", 0)) << "round " << round << ": " << error;
      ASSERT_EQ(before, DumpAll(registry)) << "round " << round;
    }
  }
}

TEST(MemoryRegFile, FilesAreReadFromDisk) {
  const std::string path = ::testing::TempDir() + "memory_reg_file_test.reg";
  {
    std::ofstream file(path, std::ios::binary);
    file << RegFileUtf16(std::string(kHeader5) + "[HKEY_LOCAL_MACHINE\\Software\\Disk]\n\"v\"=dword:2a\n");
  }
  MemoryRegistry registry;
  std::string error;
  ASSERT_TRUE(LoadRegFileFromPath(registry, path, &error)) << error;
  Read read = ReadValue(registry, HKEY_LOCAL_MACHINE_CODE, "Software\\Disk", u"v");
  EXPECT_EQ(Printable({0x2A, 0, 0, 0}), Printable(read.data));
  std::remove(path.c_str());
  EXPECT_FALSE(LoadRegFileFromPath(registry, path, &error));
  EXPECT_NE(std::string::npos, error.find(path)) << error;
}

}  // namespace
}  // namespace kv
