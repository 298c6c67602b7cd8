// MemoryFileSystem through the seam: searches with wildcards, attributes, full and short path names,
// the error mode; and the trace of calls the tests read. Expected results follow what Windows (as Wine runs it)
// answers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "tests/testing/file_trace.h"

namespace kv {
namespace {

constexpr std::uint64_t kFileTime = 0x01D5000000000000ull;

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : "|") + name;
  return text;
}

class MemoryFilesTest : public ::testing::Test {
 protected:
  MemoryFilesTest() {
    files_.AddFile("C:\\kvp\\Program Files\\Long Folder Name\\application.exe");
    for (const char* name : {"ReadMe.txt", "noext", "a.b.c", "x", "ab", "abc.txt", "abc.txtx", "Program Filez"})
      files_.AddFile(std::string("C:\\kvp\\") + name, kAttrArchive, kFileTime);
    files_.AddDirectory("C:\\kvp\\sub");
  }

  // The names a search returns, in order, separated by '|'; every handle is closed again.
  std::string Find(const std::string& pattern) {
    std::vector<std::string> names;
    FindEntry entry;
    FindHandle find = files_.FindFirst(pattern, &entry);
    if (find == kNoFind) return "(none)";
    do {
      names.push_back(entry.name);
    } while (files_.FindNext(find, &entry));
    files_.FindClose(find);
    return Joined(names);
  }

  std::string Full(const std::string& path) {
    char buffer[300];
    std::memset(buffer, '#', sizeof buffer);
    std::uint32_t length = files_.FullPathName(path, sizeof buffer, buffer);
    if (length == 0) return "(fails)";
    EXPECT_EQ(std::strlen(buffer), length) << path;
    return buffer;
  }

  std::string Short(const std::string& path) {
    char buffer[300];
    std::memset(buffer, '#', sizeof buffer);
    std::uint32_t length = files_.ShortPathName(path, sizeof buffer, buffer);
    if (length == 0) return "(fails)";
    EXPECT_EQ(std::strlen(buffer), length) << path;
    return buffer;
  }

  MemoryFileSystem files_;
};

// ---------------------------------------------------------------------------------------------------
// Searching.

TEST_F(MemoryFilesTest, SearchesMatchWildcardsInTheLastNameLikeWindows) {
  const std::string all = ".|..|a.b.c|ab|abc.txt|abc.txtx|noext|Program Files|Program Filez|ReadMe.txt|sub|x";
  const struct {
    const char* pattern;
    std::string names;
  } kCases[] = {
      {"C:\\kvp\\*", all},
      {"C:\\kvp\\*.*", all},  // dotless names included
      {"C:\\kvp\\*.", all},   // the trailing dot of the last name is dropped first
      {"c:/KVP/**", all},
      {"C:\\kvp\\a?", "ab"},
      {"C:\\kvp\\?", ".|x"},
      {"C:\\kvp\\ab?", "(none)"},  // '?' takes exactly one character
      {"C:\\kvp\\abc.t?t", "abc.txt"},
      {"C:\\kvp\\*.txt", "abc.txt|abc.txtx|ReadMe.txt"},  // abc.txtx by its alias ABC~1.TXT
      {"C:\\kvp\\n*.*", "noext"},
      {"C:\\kvp\\?.*", ".|..|a.b.c|x"},
      {"C:\\kvp\\*.b", "(none)"},
      {"C:\\kvp\\a*.c", "a.b.c"},
      {"C:\\kvp\\*x", "abc.txtx|x"},
      {"C:\\kvp\\PROGRA~?", "Program Files|Program Filez"},
      {"C:\\kvp\\.*", ".|.."},
      {"C:\\kvp\\sub\\*", ".|.."},
      {"C:\\kvp\\sub\\??", ".."},
      {"C:\\*", "kvp"},  // no "." or ".." in a drive root
      {"C:\\*\\x", "(none)"},
      {"C:\\kvp\\x\\*", "(none)"},
      {"C:\\kvp\\missing\\*", "(none)"},
      {"\\\\server\\share\\*", "(none)"},
      {"C:\\kvp\\<", "(none)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(c.names, Find(c.pattern));
  }
}

TEST_F(MemoryFilesTest, APatternWithoutWildcardsFindsThatEntryByAnyOfItsNames) {
  const struct {
    const char* pattern;
    const char* name;
  } kCases[] = {
      {"C:\\kvp\\sub", "sub"},
      {"C:\\kvp\\README.TXT", "ReadMe.txt"},
      {"C:\\kvp\\readme.txt.", "ReadMe.txt"},
      {"C:\\kvp\\readme.txt  ", "ReadMe.txt"},
      {"C:\\kvp\\sub\\.", "sub"},
      {"C:\\kvp\\sub\\..", "kvp"},
      {"C:\\kvp\\x\\..\\ab", "ab"},
      {"C:\\kvp\\missing\\..\\x", "x"},
      {"C:\\kvp\\.\\x", "x"},
      {"C:\\kvp\\\\x", "x"},
      {"C:/kvp/x", "x"},
      {"kvp\\x", "x"},  // relative to the current directory, C:\ at first
      {"\\kvp\\x", "x"},
      {"C:kvp\\x", "x"},
      {"\\\\?\\C:\\kvp\\x", "x"},
      {"C:\\kvp\\PROGRA~1", "Program Files"},
      {"C:\\kvp\\progra~2", "Program Filez"},
      {"C:\\kvp\\PROGRA~1\\LONGFO~1\\APPLIC~1.EXE", "application.exe"},
      {"C:\\kvp\\Program Files\\longfo~1\\application.exe", "application.exe"},
      {"C:\\kvp\\sub\\", "(none)"},  // a trailing backslash finds nothing
      {"C:\\", "(none)"},
      {"C:", "(none)"},
      {"", "(none)"},
      {"C:\\kvp\\PROGRA~3", "(none)"},
      {"C:\\kvp\\x\\", "(none)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(c.name, Find(c.pattern));
  }
}

TEST_F(MemoryFilesTest, DeviceNamesAnswerInAnyExistingFolder) {
  const struct {
    const char* pattern;
    const char* name;
    std::uint32_t attributes;
  } kCases[] = {
      {"C:\\kvp\\nul", "nul", kAttrArchive},
      {"C:\\kvp\\CON.txt", "CON", kAttrArchive},
      {"C:\\kvp\\com1 .x", "com1", kAttrArchive},
      {"con", "con", kAttrArchive},
      {"C:\\missing\\con.txt", "(none)", kInvalidFileAttributes},
      {"C:\\kvp\\x\\nul", "(none)", kInvalidFileAttributes},
      {"C:\\kvp\\nul*", "(none)", kInvalidFileAttributes},
      {"C:\\kvp\\com0", "(none)", kInvalidFileAttributes},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(c.name, Find(c.pattern));
    EXPECT_EQ(c.attributes, files_.GetAttributes(c.pattern));
  }
}

TEST_F(MemoryFilesTest, EntriesCarryAttributesAndTimes) {
  files_.AddFile("C:\\kvp\\sub\\hidden.sys", kAttrHidden | kAttrSystem, 0x01C0000000000001ull);
  files_.SetAttributes("C:\\kvp\\sub", kAttrReadOnly);
  FindEntry entry;
  FindHandle find = files_.FindFirst("C:\\kvp\\sub\\*", &entry);
  ASSERT_NE(kNoFind, find);
  EXPECT_EQ(".", entry.name);
  EXPECT_EQ(kAttrDirectory | kAttrReadOnly, entry.attributes);
  ASSERT_TRUE(files_.FindNext(find, &entry));
  EXPECT_EQ("..", entry.name);
  EXPECT_EQ(kAttrDirectory, entry.attributes);
  ASSERT_TRUE(files_.FindNext(find, &entry));
  EXPECT_EQ("hidden.sys", entry.name);
  EXPECT_EQ(kAttrHidden | kAttrSystem, entry.attributes);
  EXPECT_EQ(0x01C0000000000001ull, entry.lastWriteTime);
  EXPECT_FALSE(files_.FindNext(find, &entry));
  EXPECT_FALSE(files_.FindNext(find, &entry));
  files_.FindClose(find);

  find = files_.FindFirst("C:\\kvp\\x", &entry);
  EXPECT_EQ(kAttrArchive, entry.attributes);
  EXPECT_EQ(kFileTime, entry.lastWriteTime);
  files_.FindClose(find);
}

TEST_F(MemoryFilesTest, SearchHandlesAreUniqueAndIndependent) {
  FindEntry first;
  FindEntry second;
  FindHandle a = files_.FindFirst("C:\\kvp\\a*", &first);
  FindHandle b = files_.FindFirst("C:\\kvp\\a*", &second);
  ASSERT_NE(kNoFind, a);
  ASSERT_NE(kNoFind, b);
  EXPECT_NE(a, b);
  EXPECT_EQ("a.b.c", first.name);
  ASSERT_TRUE(files_.FindNext(a, &first));
  EXPECT_EQ("ab", first.name);
  ASSERT_TRUE(files_.FindNext(b, &second));
  EXPECT_EQ("ab", second.name) << "the second search keeps its own place";
  files_.FindClose(a);
  EXPECT_FALSE(files_.FindNext(a, &first)) << "a closed search";
  EXPECT_TRUE(files_.FindNext(b, &second));
  files_.FindClose(b);
  FindHandle c = files_.FindFirst("C:\\kvp\\x", &first);
  EXPECT_NE(a, c);
  EXPECT_NE(b, c);
  files_.FindClose(c);
}

// ---------------------------------------------------------------------------------------------------
// Attributes.

TEST_F(MemoryFilesTest, GetAttributesNamesFoldersFilesOrNothing) {
  files_.AddFile("C:\\kvp\\hidden", kAttrHidden | kAttrReadOnly);
  const struct {
    const char* path;
    std::uint32_t attributes;
  } kCases[] = {
      {"C:\\kvp\\x", kAttrArchive},
      {"C:\\kvp\\hidden", kAttrHidden | kAttrReadOnly},
      {"C:\\kvp\\x.", kAttrArchive},
      {"C:\\kvp\\x ", kAttrArchive},
      {"c:\\KVP\\X", kAttrArchive},
      {"C:\\kvp\\ab\\..\\x", kAttrArchive},
      {"C:\\kvp\\sub", kAttrDirectory},
      {"C:\\kvp\\sub\\", kAttrDirectory},
      {"C:\\kvp\\PROGRA~1", kAttrDirectory},
      {"C:\\", kAttrDirectory},
      {"C:", kAttrDirectory},
      {"C:\\kvp\\x\\", kInvalidFileAttributes},
      {"C:\\kvp\\*", kInvalidFileAttributes},
      {"C:\\kvp\\?", kInvalidFileAttributes},
      {"C:\\kvp\\missing", kInvalidFileAttributes},
      {"\\\\server\\share\\x", kInvalidFileAttributes},
      {"Q:\\", kInvalidFileAttributes},
      {"", kInvalidFileAttributes},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.attributes, files_.GetAttributes(c.path));
  }
}

TEST_F(MemoryFilesTest, FixtureChangesShowThroughTheSeam) {
  EXPECT_TRUE(files_.Exists("C:\\kvp\\Program Files\\Long Folder Name"));
  files_.Remove("C:\\kvp\\Program Files");
  EXPECT_FALSE(files_.Exists("C:\\kvp\\Program Files\\Long Folder Name\\application.exe"));
  EXPECT_EQ("(none)", Find("C:\\kvp\\PROGRA~1"));
  EXPECT_EQ("Program Filez", Find("C:\\kvp\\PROGRA~2")) << "an alias stays with its entry";
  // The number freed is the lowest free one again, and the next after the highest is used after it.
  files_.AddDirectory("C:\\kvp\\Program Filey");
  files_.AddDirectory("C:\\kvp\\Program Filex");
  EXPECT_EQ("Program Filey", Find("C:\\kvp\\PROGRA~1"));
  EXPECT_EQ("Program Filex", Find("C:\\kvp\\PROGRA~3"));

  files_.AddDirectory("D:\\");
  EXPECT_EQ(kAttrDirectory, files_.GetAttributes("D:\\"));
  files_.AddFile("E:\\deep\\er\\file.txt");
  EXPECT_EQ(kAttrDirectory, files_.GetAttributes("E:\\deep\\er"));
  EXPECT_THROW(files_.AddFile("C:\\kvp\\x\\inside"), std::invalid_argument);
  EXPECT_THROW(files_.AddFile("\\\\server\\share\\x"), std::invalid_argument);
  EXPECT_THROW(files_.SetAttributes("C:\\missing", kAttrHidden), std::invalid_argument);
}

// ---------------------------------------------------------------------------------------------------
// Full path names.

TEST_F(MemoryFilesTest, FullPathNameNormalisesWithoutLookingAtTheDisk) {
  const struct {
    const char* current;
    const char* path;
    const char* full;
  } kCases[] = {
      {"C:\\", "C:\\kvp\\x", "C:\\kvp\\x"},
      {"C:\\", "x", "C:\\x"},
      {"C:\\", "kvp\\..\\..\\..\\y", "C:\\y"},
      {"C:\\", "\\foo", "C:\\foo"},
      {"C:\\", "C:", "C:\\"},
      {"C:\\", "C:foo", "C:\\foo"},
      {"C:\\", "D:foo", "D:\\foo"},
      {"C:\\", "C:/a/b/", "C:\\a\\b\\"},
      {"C:\\", "C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
      {"C:\\", "C:\\a\\", "C:\\a\\"},
      {"C:\\", "C:\\a\\.", "C:\\a"},
      {"C:\\", "C:\\a\\..", "C:\\"},
      {"C:\\", "C:\\..", "C:\\"},
      {"C:\\", "C:\\a\\\\b", "C:\\a\\b"},
      {"C:\\", "C:\\a\\b.", "C:\\a\\b"},
      {"C:\\", "C:\\a\\b. .", "C:\\a\\b"},
      {"C:\\", "C:\\a\\b  ", "C:\\a\\b"},
      {"C:\\", "C:\\a.\\b", "C:\\a\\b"},
      {"C:\\", "C:\\a \\b", "C:\\a \\b"},
      {"C:\\", "C:\\a\\...", "C:\\a\\"},
      {"C:\\", "...", "C:\\"},
      {"C:\\", "a..b", "C:\\a..b"},
      {"C:\\", "C:\\Missing Folder\\long name.html", "C:\\Missing Folder\\long name.html"},
      {"C:\\", "\\\\server\\share\\..\\x", "\\\\server\\share\\x"},
      {"C:\\", "\\\\server\\share\\a\\..\\x", "\\\\server\\share\\x"},
      {"C:\\", "\\\\server", "\\\\server"},
      {"C:\\", "\\\\server\\", "\\\\server\\"},
      {"C:\\", "\\\\?\\C:\\x\\..\\y", "\\\\?\\C:\\y"},
      {"C:\\", "\\\\.\\C:\\x", "\\\\.\\C:\\x"},
      {"C:\\kvp\\sub", "x", "C:\\kvp\\sub\\x"},
      {"C:\\kvp\\sub", "..\\y", "C:\\kvp\\y"},
      {"C:\\kvp\\sub", "\\z", "C:\\z"},
      {"C:\\kvp\\sub", "C:q", "C:\\kvp\\sub\\q"},
      {"C:\\kvp\\sub", "C:", "C:\\kvp\\sub\\"},
      {"C:\\kvp\\sub", ".", "C:\\kvp\\sub"},
      {"C:\\kvp\\sub", "..", "C:\\kvp"},
      {"C:\\kvp\\sub\\", "x", "C:\\kvp\\sub\\x"},
      {"C:\\kvp\\sub", "D:q", "D:\\q"},
      {"\\\\server\\share\\dir", "x", "\\\\server\\share\\dir\\x"},
      {"\\\\server\\share\\dir", "\\x", "\\\\server\\share\\x"},
      // DOS devices, in the last name only, with any extension, as written.
      {"C:\\", "con", "\\\\.\\con"},
      {"C:\\", "CON", "\\\\.\\CON"},
      {"C:\\", "C:\\dir\\nul.txt", "\\\\.\\nul"},
      {"C:\\", "com1", "\\\\.\\com1"},
      {"C:\\", "COM9.txt", "\\\\.\\COM9"},
      {"C:\\", "lpt1", "\\\\.\\lpt1"},
      {"C:\\", "aux.x.y", "\\\\.\\aux"},
      {"C:\\", "prn ", "\\\\.\\prn"},
      {"C:\\", "con:", "\\\\.\\con"},
      {"C:\\", "C:\\dir\\com1 .txt", "\\\\.\\com1"},
      {"C:\\", "com1:x", "\\\\.\\com1"},
      {"C:\\", "conin$", "\\\\.\\conin$"},
      {"C:\\", "com10", "C:\\com10"},
      {"C:\\", "lpt0", "C:\\lpt0"},
      {"C:\\", "clock$", "C:\\clock$"},
      {"C:\\", "con\\x", "C:\\con\\x"},
      {"C:\\", "console", "C:\\console"},
      {"C:\\", "", "(fails)"},
      {"C:\\", " ", "(fails)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(::testing::Message() << "current " << c.current << ", path [" << c.path << "]");
    files_.SetCurrentDirectory(c.current);
    EXPECT_EQ(c.full, Full(c.path));
  }
}

TEST_F(MemoryFilesTest, PathBuffersThatAreTooSmallGetTheSizeNeededAndNothingElse) {
  for (bool shortName : {false, true}) {
    SCOPED_TRACE(shortName ? "ShortPathName" : "FullPathName");
    auto call = [&](const std::string& path, std::uint32_t length, char* buffer) {
      return shortName ? files_.ShortPathName(path, length, buffer) : files_.FullPathName(path, length, buffer);
    };
    const std::string path = "C:\\kvp\\noext";  // 12 characters, already short
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(13u, call(path, 12, buffer)) << "room for the name but not the NUL";
    EXPECT_EQ('#', buffer[0]);
    EXPECT_EQ(13u, call(path, 0, nullptr));
    EXPECT_EQ(13u, call(path, 1, buffer));
    EXPECT_EQ('#', buffer[0]);
    EXPECT_EQ(12u, call(path, 13, buffer));
    EXPECT_STREQ("C:\\kvp\\noext", buffer);
    EXPECT_EQ(0u, call("", 32, buffer));
  }
}

// ---------------------------------------------------------------------------------------------------
// Short path names.

TEST_F(MemoryFilesTest, ShortPathNameReplacesLongNamesByTheirAliases) {
  files_.AddFile("C:\\kvp\\sub\\.htaccess");
  files_.AddFile("C:\\kvp\\sub\\a+b c;d.html");
  files_.AddFile("C:\\kvp\\sub\\caf\xE9.txt");
  files_.AddFile("C:\\kvp\\sub\\lower.txt");
  files_.AddFile("C:\\kvp\\sub\\Twelve Chars.x");
  for (int i = 0; i < 10; ++i) files_.AddFile("C:\\kvp\\many\\Document number " + std::to_string(i) + ".doc");
  const struct {
    const char* path;
    const char* shortPath;
  } kCases[] = {
      {"C:\\kvp\\Program Files\\Long Folder Name\\application.exe", "C:\\kvp\\PROGRA~1\\LONGFO~1\\APPLIC~1.EXE"},
      {"C:\\kvp\\Program Filez", "C:\\kvp\\PROGRA~2"},
      {"C:\\kvp\\abc.txtx", "C:\\kvp\\ABC~1.TXT"},
      {"C:\\kvp\\a.b.c", "C:\\kvp\\AB~1.C"},
      {"c:\\KVP\\readme.TXT", "c:\\kvp\\ReadMe.txt"},  // valid 8.3 names as stored, the drive as written
      {"C:\\kvp\\ab.", "C:\\kvp\\ab"},
      {"C:\\kvp\\sub\\.htaccess", "C:\\kvp\\sub\\HTACCE~1"},
      {"C:\\kvp\\sub\\a+b c;d.html", "C:\\kvp\\sub\\A_BC_D~1.HTM"},
      {"C:\\kvp\\sub\\caf\xE9.txt", "C:\\kvp\\sub\\CAF_~1.TXT"},
      {"C:\\kvp\\sub\\LOWER.TXT", "C:\\kvp\\sub\\lower.txt"},
      {"C:\\kvp\\sub\\Twelve Chars.x", "C:\\kvp\\sub\\TWELVE~1.X"},
      {"C:\\kvp\\many\\Document number 0.doc", "C:\\kvp\\many\\DOCUME~1.DOC"},
      {"C:\\kvp\\many\\Document number 8.doc", "C:\\kvp\\many\\DOCUME~9.DOC"},
      {"C:\\kvp\\many\\Document number 9.doc", "C:\\kvp\\many\\DOCUM~10.DOC"},
      // Separators, "." and ".." and relative forms stay as written.
      {"C:/kvp/Program Files", "C:/kvp/PROGRA~1"},
      {"kvp\\Program Files", "kvp\\PROGRA~1"},
      {"C:kvp\\ab", "C:kvp\\ab"},
      {"C:\\kvp\\\\ab", "C:\\kvp\\\\ab"},
      {"C:\\kvp\\.\\Program Files\\", "C:\\kvp\\.\\PROGRA~1\\"},
      {"C:\\kvp\\x\\..\\Program Filez", "C:\\kvp\\x\\..\\PROGRA~2"},
      {"C:\\kvp\\PROGRA~1\\long folder name", "C:\\kvp\\PROGRA~1\\LONGFO~1"},
      {"C:\\", "C:\\"},
      {"nul", "nul"},
      // Nothing for what does not exist, a wildcard, or a path through something missing.
      {"C:\\kvp\\nothere", "(fails)"},
      {"C:\\kvp\\missing\\..\\ab", "(fails)"},
      {"C:\\kvp\\*", "(fails)"},
      {"C:\\kvp\\x\\", "(fails)"},
      {"\\\\server\\share\\x", "(fails)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    const std::string result = Short(c.path);
    EXPECT_EQ(c.shortPath, result);
    EXPECT_EQ(std::string::npos, result.find(' ')) << "a short path holds no blank";
  }
}

// ---------------------------------------------------------------------------------------------------
// Error mode and the log.

TEST_F(MemoryFilesTest, SetErrorModeReturnsThePreviousMode) {
  EXPECT_EQ(0u, files_.ErrorMode());
  EXPECT_EQ(0u, files_.SetErrorMode(kSemFailCriticalErrors));
  EXPECT_EQ(kSemFailCriticalErrors, files_.ErrorMode());
  EXPECT_EQ(kSemFailCriticalErrors, files_.SetErrorMode(0x8003));
  EXPECT_EQ(0x8003u, files_.SetErrorMode(0));
}

// The trace the tests read to see what the engine asked: every seam call, with what it was given, and
// nothing that builds the machine.
TEST_F(MemoryFilesTest, EverySeamCallIsTracedAndNothingElse) {
  testing::FileTrace trace(files_);
  files_.AddFile("C:\\traced.txt");
  files_.Exists("C:\\traced.txt");
  EXPECT_TRUE(trace.Calls().empty()) << "fixture calls are not traced";

  FindEntry entry;
  char buffer[64];
  trace.SetErrorMode(1);
  FindHandle find = trace.FindFirst("C:\\kvp\\a*", &entry);
  trace.FindNext(find, &entry);
  trace.FindClose(find);
  trace.FindFirst("C:\\nothing*", &entry);
  trace.GetAttributes("C:\\kvp\\x");
  trace.FullPathName("kvp", sizeof buffer, buffer);
  trace.ShortPathName("C:\\kvp\\Program Files", sizeof buffer, buffer);
  trace.DriveType("C:\\");
  trace.FindNetworkFile("\\\\host\\share\\x.dll", 250);
  trace.SetErrorMode(0);
  EXPECT_EQ(Joined({"SetErrorMode 1", "FindFirst C:\\kvp\\a*", "FindNext", "FindClose", "FindFirst C:\\nothing*",
                    "GetAttributes C:\\kvp\\x", "FullPathName kvp", "ShortPathName C:\\kvp\\Program Files",
                    "DriveType C:\\", "FindNetworkFile \\\\host\\share\\x.dll 250", "SetErrorMode 0"}),
            Joined(trace.Calls()));
  trace.Clear();
  EXPECT_TRUE(trace.Calls().empty());
}

}  // namespace
}  // namespace kv
