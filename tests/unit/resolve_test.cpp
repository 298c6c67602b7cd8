// How a registry string is resolved to a file, over the memory platform: the quiet existence test, the
// command-line resolver's steps in order, its exemptions and search, and the folder test. The memory file
// system's call log shows what the resolver asks of the file system.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "support/text.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;
using namespace std::string_literals;

// The seam calls in the log whose path begins with two backslashes.
Strings NetworkCalls(const Strings& calls) {
  Strings network;
  for (const std::string& call : calls) {
    const std::size_t space = call.find(' ');
    if (space != std::string::npos && call.compare(space + 1, 2, "\\\\") == 0) network.push_back(call);
  }
  return network;
}

// How many calls of each kind ("FindFirst", "SetErrorMode", ...) the log holds.
std::map<std::string, int> CallsByKind(const Strings& calls) {
  std::map<std::string, int> kinds;
  for (const std::string& call : calls) ++kinds[call.substr(0, call.find(' '))];
  return kinds;
}

int CountOf(const Strings& calls, const std::string& kind) { return CallsByKind(calls)[kind]; }

std::string Printable(const std::string& text) {
  std::string shown;
  for (char c : text.substr(0, 80)) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
  if (text.size() > 80) shown += "...(" + std::to_string(text.size()) + " characters)";
  return shown;
}

// A small machine: a search path of one tools folder before the system and Windows folders, the usual
// executable extensions, and a few programs, documents and folders.
class ResolveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MemorySystem& system = machine_.memory.system;
    system.SetEnvironment("Path", "C:\\Tools");
    system.SetEnvironment("PathExt", ".COM;.EXE;.BAT");
    MemoryFileSystem& files = machine_.memory.files;
    files.AddFile("C:\\WINDOWS\\notepad.exe");
    files.AddFile("C:\\WINDOWS\\system32\\calc.exe");
    files.AddFile("C:\\Tools\\tool.com");
    files.AddDirectory("C:\\Tools\\Folder.exe");
    files.AddFile("C:\\Program Files\\App\\app.exe");
    files.AddDirectory("C:\\Apps\\My");
    files.AddFile("C:\\Apps\\My Tool.exe");
    files.AddFile("C:\\Data\\report.txt");
    files.AddFile("C:\\Work\\local.exe");
    files.SetCurrentDirectory("C:\\Work");
    engine_ = &machine_.Load();
    machine_.trace.Clear();
  }

  MemoryFileSystem& files() { return machine_.memory.files; }
  FileTrace& trace() { return machine_.trace; }

  MemoryMachine machine_;
  Engine* engine_ = nullptr;
};

TEST_F(ResolveTest, ListsAreTakenAtLoad) {
  EXPECT_EQ(engine_->SearchDirs, (Strings{"c:\\tools\\", "c:\\windows\\system32\\", "c:\\windows\\"}));
  EXPECT_EQ(engine_->ExeExtensions, (Strings{".com", ".exe", ".bat", ".dll"}));
}

TEST_F(ResolveTest, Commands) {
  struct Case {
    std::string command;
    bool resolvable;
    std::string fileName;
  };
  const std::string longArguments(300, 'x');
  const std::vector<Case> cases = {
      // Redirections are never resolvable, whatever exists.
      {"<C:\\WINDOWS\\notepad.exe", false, "<C:\\WINDOWS\\notepad.exe"},
      {">C:\\WINDOWS\\notepad.exe", false, ">C:\\WINDOWS\\notepad.exe"},
      // Nothing to run, and the "G@6!!" mark.
      {"", true, ""},
      {"G@6!!C:\\gone.exe", true, ""},
      // An unfilled template.
      {"%1", true, "%1"},
      {"\"%1\" %*", true, "%1 %*"},
      // A full path found by the direct test: the text after quote removal, as written.
      {"C:\\WINDOWS\\NOTEPAD.EXE", true, "C:\\WINDOWS\\NOTEPAD.EXE"},
      {"\"C:\\WINDOWS\\notepad.exe\"", true, "C:\\WINDOWS\\notepad.exe"},
      // A quoted long path with arguments: C:\Program is tried (with every extension), then the file.
      {"\"C:\\Program Files\\App\\app.exe\" -min", true, "C:\\Program Files\\App\\app.exe"},
      // A switch cuts the text; the blank before it stays (the file system reads the name without it).
      {"C:\\Program Files\\App\\app.exe /s /x:1", true, "C:\\Program Files\\App\\app.exe "},
      {"C:\\Program Files\\App\\gone.exe /s", false, "C:\\Program Files\\App\\gone.exe"},
      // Arguments longer than a 260-character path: the full path is made anyway.
      {"\"C:\\Program Files\\App\\app.exe\" " + longArguments, true, "C:\\Program Files\\App\\app.exe"},
      // A bare name in the current folder: found by the direct test before any search folder.
      {"local.exe", true, "local.exe"},
      {"local.exe -x", false, "c:\\windows\\local.exe -x"},
      // A bare name through the search folders and the executable extensions.
      {"calc", true, "c:\\windows\\system32\\calc.exe"},
      {"tool", true, "c:\\tools\\tool.com"},
      {"tool.com -x", true, "c:\\tools\\tool.com"},
      // A whole path that exists is made short: each part as the file system spells it.
      {"notepad.exe /p x.txt", true, "c:\\WINDOWS\\notepad.exe"},
      // A name with an extension that exists nowhere: the extension stops the extension search.
      {"calc.bat", false, "c:\\windows\\calc.bat"},
      {"missing", false, "c:\\windows\\missing"},
      // A name with a leading backslash is a path on the current drive (direct test) ...
      {"\\Tools\\tool.com", true, "\\Tools\\tool.com"},
      // ... and is put after each search folder too.
      {"\\tool -x", true, "c:\\tools\\tool.com"},
      // A relative path with folders is put after each search folder.
      {"system32\\calc", true, "c:\\windows\\system32\\calc.exe"},
      // Programs that find their argument their own way: the command is resolvable even when the file it
      // names is missing; FileName is the last candidate of the first folder.
      {"rundll32 gone.dll,Entry", true, "c:\\tools\\rundll32 gone.dll,Entry"},
      {"RunDll32.exe gone.dll,Entry", true, "c:\\tools\\RunDll32.exe gone.dll,Entry"},
      {"explorer /e,C:\\gone", true, "c:\\tools\\explorer"},
      {"regsvr32 /s gone.dll", true, "c:\\tools\\regsvr32"},
      // Quoted or not, the program is the same one.
      {"\"rundll32\" gone.dll,Entry", true, "c:\\tools\\rundll32 gone.dll,Entry"},
      // A longer name that begins with the same letters is an ordinary program, searched for as such.
      {"explorerhelper.exe --start", false, "c:\\windows\\explorerhelper.exe --start"},
      {"regsvr32tool.exe", false, "c:\\windows\\regsvr32tool.exe"},
      {"rundll32x gone.dll,Entry", false, "c:\\windows\\rundll32x gone.dll,Entry"},
      // A folder is passed over and the next, longer candidate tried.
      {"C:\\Apps\\My Tool.exe -x", true, "C:\\Apps\\My Tool.exe"},
      {"C:\\Tools\\Folder.exe", false, "C:\\Tools\\Folder.exe"},
      {"Folder", false, "c:\\windows\\Folder"},
      // Wildcards: the direct test takes any matching file.
      {"C:\\Data\\*.txt", true, "C:\\Data\\*.txt"},
      {"C:\\Data\\rep?rt.*", true, "C:\\Data\\rep?rt.*"},
      {"C:\\Data\\*.doc", false, "C:\\Data\\*.doc"},
      {"C:\\Apps\\M*", true, "C:\\Apps\\M*"},
      // In the search a wildcard candidate's attributes cannot be read: it is passed over.
      {"C:\\Data\\*.txt -x", false, "C:\\Data\\*.txt -x"},
  };
  for (const Case& c : cases) {
    std::string fileName = "(unchanged)";
    const bool resolvable = ExtractFileFromCommand(*engine_, c.command, fileName);
    EXPECT_EQ(resolvable, c.resolvable) << "command: " << Printable(c.command);
    EXPECT_EQ(fileName, c.fileName) << "command: " << Printable(c.command);
  }
}

// Every spelling of a network name is taken as the rules take "\\server": resolvable as it stands, with
// no call to the file system.
TEST_F(ResolveTest, NetworkPathsTouchNothing) {
  const Strings commands = {
      "\\\\server\\share\\app.exe",
      "\"\\\\server\\share\\app.exe\" -x",
      "\"\\\\\"server\\share\\gone.exe",
      "\\\\?\\C:\\WINDOWS\\notepad.exe",
      "\\\\.\\NUL",
      "\\\\",
      "\\\\?\\UNC\\host\\share\\x.exe",
      "\"\\\\?\\UNC\\host\\share\\x.exe\" /q",
      "\\\\.\\UNC\\host\\share\\x.exe",
      "\\??\\UNC\\host\\share\\x.exe",
      "\"\\??\\unc\\host\\share\\x.exe\" -min",
      "\\??\\GLOBALROOT\\Device\\Mup\\host\\share\\x.exe",
      "\\Device\\Mup\\host\\share\\x.exe",
      "\\Device\\LanmanRedirector\\host\\share\\x.exe",
      "\\DosDevices\\UNC\\host\\share\\x.exe",
      "//host/share/x.exe",
      "file://host/share/x.exe",
  };
  for (const std::string& command : commands) {
    trace().Clear();
    std::string fileName;
    EXPECT_TRUE(ExtractFileFromCommand(*engine_, command, fileName)) << command;
    EXPECT_EQ(fileName, command);
    EXPECT_EQ(trace().Calls(), Strings{}) << command;
  }
}

// A drive the system maps to a share is the network too: a command on it is resolvable as it stands, and
// a search folder on it is passed over. Only the drive's type is asked.
TEST_F(ResolveTest, DrivesMappedToSharesAreNetworkNames) {
  files().AddFile("Z:\\Tools\\ztool.exe");
  files().SetDriveType('Z', kDriveRemote);
  machine_.memory.system.SetEnvironment("Path", "Z:\\Tools;C:\\Tools");
  engine_ = &machine_.Load();
  struct Case {
    std::string command;
    bool resolvable;
  };
  const std::vector<Case> cases = {
      {"Z:\\Apps\\gone.exe -q", true},
      {"\"z:\\Apps\\gone.exe\" -q", true},
      {"z:gone.exe", true},
      {"\\??\\Z:\\Apps\\gone.exe", true},
      {"ztool", false},
      {"tool", true},
  };
  for (const Case& c : cases) {
    trace().Clear();
    std::string fileName;
    EXPECT_EQ(ExtractFileFromCommand(*engine_, c.command, fileName), c.resolvable) << c.command;
    for (const std::string& call : trace().Calls()) {
      if (call.rfind("DriveType ", 0) == 0) continue;
      EXPECT_EQ(LowerAscii(call).find("z:"), std::string::npos) << c.command << ": " << call;
    }
  }
}

// Where the rules do test a network name, the test waits a bounded time: a file there is present, a file
// the share says is missing is absent, and a share that does not answer cannot tell, which counts as
// present. Only the bounded test is asked, never the ordinary file calls.
TEST_F(ResolveTest, SafeFileExistsAsksTheNetworkForABoundedTime) {
  files().AddNetworkFile("\\\\host\\share\\here.dll");
  files().AddNetworkFile("\\??\\UNC\\host\\share\\here.dll");
  files().SetNetworkUnreachable("\\\\stale\\");
  files().SetNetworkUnreachable("Z:\\");
  files().AddDirectory("Z:\\");
  files().SetDriveType('Z', kDriveRemote);
  const std::vector<std::pair<std::string, bool>> cases = {
      {"\\\\host\\share\\here.dll", true},
      {"\\??\\UNC\\host\\share\\here.dll", true},
      {"\\\\host\\share\\gone.dll", false},
      {"\\\\stale\\share\\any.dll", true},
      {"Z:\\any.dll", true},
      {"file://host/share/gone.dll", false},
  };
  for (const auto& [name, present] : cases) {
    files().SetErrorMode(0);
    trace().Clear();
    EXPECT_EQ(SafeFileExists(*engine_, name), present) << name;
    EXPECT_EQ(files().ErrorMode(), 0u) << name;
    for (const std::string& call : trace().Calls()) {
      const std::string kind = call.substr(0, call.find(' '));
      EXPECT_TRUE(kind == "SetErrorMode" || kind == "DriveType" || kind == "FindNetworkFile") << name << ": " << call;
      if (kind == "FindNetworkFile") {
        EXPECT_EQ(call, "FindNetworkFile " + name + " " + std::to_string(kNetworkWaitMs));
      }
    }
    EXPECT_EQ(CountOf(trace().Calls(), "FindNetworkFile"), 1) << name;
  }
  // A local name is searched as ever.
  trace().Clear();
  EXPECT_TRUE(SafeFileExists(*engine_, "C:\\WINDOWS\\notepad.exe"));
  EXPECT_EQ(CountOf(trace().Calls(), "FindNetworkFile"), 0);
  EXPECT_EQ(CountOf(trace().Calls(), "FindFirst"), 1);
}

// A search folder that is a network share, and the folder "\" (an empty piece of "Path") before a name
// that starts with a backslash, would put the candidate on the network: nothing is looked for there.
TEST_F(ResolveTest, SearchNeverReachesTheNetwork) {
  machine_.memory.system.SetEnvironment("Path", "\\\\server\\tools;;C:\\Tools");
  engine_ = &machine_.Load();
  ASSERT_EQ(engine_->SearchDirs,
            (Strings{"\\\\server\\tools\\", "\\", "c:\\tools\\", "c:\\windows\\system32\\", "c:\\windows\\"}));
  const std::vector<std::pair<std::string, bool>> cases = {
      {"tool", true}, {"\\server2\\share\\gone", false}, {"netonly", false}, {"\\Tools\\tool -x", false}};
  for (const auto& [command, resolvable] : cases) {
    trace().Clear();
    std::string fileName;
    EXPECT_EQ(ExtractFileFromCommand(*engine_, command, fileName), resolvable) << command;
    EXPECT_EQ(NetworkCalls(trace().Calls()), Strings{}) << command;
  }
}

TEST_F(ResolveTest, TheErrorModeIsLeftFailingCriticalErrors) {
  files().SetErrorMode(0);
  std::string fileName;
  ExtractFileFromCommand(*engine_, "G@6!!", fileName);
  EXPECT_EQ(files().ErrorMode(), 0u) << "decided before the file system is asked";
  ExtractFileFromCommand(*engine_, "missing", fileName);
  EXPECT_EQ(files().ErrorMode(), kSemFailCriticalErrors);
}

TEST_F(ResolveTest, ShuttingDownStopsTheExtensionSearch) {
  engine_->ShuttingDown = true;
  std::string fileName;
  EXPECT_FALSE(ExtractFileFromCommand(*engine_, "calc", fileName));
  for (const std::string& call : trace().Calls()) EXPECT_EQ(call.find("calc."), std::string::npos) << call;
  // What is decided before the search of the folders stands; the search itself stops before its first
  // candidate, so even a program that finds its argument its own way is not looked at further.
  EXPECT_TRUE(ExtractFileFromCommand(*engine_, "C:\\WINDOWS\\notepad.exe", fileName));
  trace().Clear();
  EXPECT_FALSE(ExtractFileFromCommand(*engine_, "rundll32 gone.dll", fileName));
  EXPECT_EQ(CountOf(trace().Calls(), "FindFirst"), 1) << "only the text as it stands is looked for";
}

// A command of thousands of words: every candidate past the point where a name can no longer exist on any
// volume (a component of more than 255 characters) is answered without a file test, so the cost stops
// growing with the number of words; the verdict, and the last candidate reported, are as if each had been
// tried.
TEST_F(ResolveTest, CommandsOfManyWords) {
  auto words = [](const std::string& word, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? " " : "") + word;
    return text;
  };
  struct Case {
    std::string command;
    bool result;
    std::string fileName;  // empty: the whole command placed in the last folder searched
  };
  const Case cases[] = {
      {words("a", 2000), false, ""},
      {words("a.b", 2000), false, ""},
      {"C:\\WINDOWS\\notepad.exe " + words("x", 5000), true, "C:\\WINDOWS\\notepad.exe"},
      {"calc " + words("y", 5000), true, "C:\\WINDOWS\\system32\\calc.exe"},
      {"rundll32 " + words("z", 3000), true, ""},
      // Words that each hold a backslash keep every name short: what ends the search is the first folder
      // on the way that is missing, and it ends it the same as trying every candidate would.
      {words("a\\b", 4000), false, ""},
      {"rundll32 " + words("a\\b", 500), true, ""},
      {"C:\\Deep\\" + words("w", 20) + "\\prog.exe -x", true, "C:\\Deep\\" + words("w", 20) + "\\prog.exe"},
      {"C:\\Deep\\" + words("w", 20) + "\\prog -x", true, "C:\\Deep\\" + words("w", 20) + "\\prog.exe"},
      {"C:\\Deep\\" + words("w", 19) + "\\prog.exe -x", false, ""},
      {"C:\\Deep\\" + words("w", 20) + "\\prog.exe\\" + words("v", 30), false, ""},
  };
  files().AddFile("C:\\Deep\\" + words("w", 20) + "\\prog.exe");
  for (const Case& c : cases) {
    std::string fileName;
    trace().Clear();
    EXPECT_EQ(ExtractFileFromCommand(*engine_, c.command, fileName), c.result) << Printable(c.command);
    if (!c.fileName.empty()) {
      EXPECT_TRUE(SameText(fileName, c.fileName)) << Printable(c.command) << " gives " << Printable(fileName);
    } else {
      const bool endsWithCommand =
          fileName.size() >= c.command.size() &&
          fileName.compare(fileName.size() - c.command.size(), std::string::npos, c.command) == 0;
      EXPECT_TRUE(endsWithCommand) << Printable(c.command) << " gives " << Printable(fileName);
    }
    // Past 255 characters of one name nothing is asked: some 400 candidates per folder at most, each with
    // three extensions, in the few folders of this machine.
    EXPECT_LT(CountOf(trace().Calls(), "FindFirst"), 10000) << Printable(c.command);
  }
  // Twice the words, the same tests.
  trace().Clear();
  std::string fileName;
  ExtractFileFromCommand(*engine_, words("a", 2000), fileName);
  const int tests2000 = CountOf(trace().Calls(), "FindFirst");
  trace().Clear();
  ExtractFileFromCommand(*engine_, words("a", 4000), fileName);
  EXPECT_EQ(CountOf(trace().Calls(), "FindFirst"), tests2000);
}

// Which names can exist on no volume at all, however the file system is laid out.
TEST(NamesNothingAnywhere, LongComponentsAndPaths) {
  const std::string at = std::string(765, 'n'), over = std::string(766, 'n');
  struct Case {
    std::string name;
    bool nothing;
  };
  const Case cases[] = {
      {"C:\\" + at, false},
      {"C:\\" + over, true},
      {"C:\\" + over + "\\x.exe", true},
      {"C:\\" + at + "   ...", false},              // dropped as the system drops them
      {"C:\\" + at + std::string(40, '*'), false},  // wildcards match any length
      {"C:\\" + at + "?x", true},                   // but the other characters one to one
      {"C:/" + over, true},
      {"C:\\" + std::string(700, 'a') + "\\" + std::string(700, 'b'), false},
      {std::string(98301, '\\'), false},
      {std::string(98302, '\\'), true},
      {"C:\\" + over + "\\..\\x.exe", false},  // ".." takes the long one away again
      {"C:\\" + over + "\\...  \\x.exe", false},
      {"C:\\" + over + "\\a..b", true},
      {"C:\\" + std::string(98302, 'a') + "\\..", true},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(NamesNothingAnywhere(c.name), c.nothing) << Printable(c.name);
}

// A path longer than 260 characters is made full with a buffer of the size the platform asks for.
TEST_F(ResolveTest, LongPathsAreNotTruncated) {
  const std::string folder = "C:\\" + std::string(150, 'd') + "\\" + std::string(150, 'e');
  files().AddFile(folder + "\\deep.exe");
  machine_.memory.system.SetEnvironment("Path", folder);
  engine_ = &machine_.Load();
  std::string fileName;
  trace().Clear();
  EXPECT_TRUE(ExtractFileFromCommand(*engine_, "deep", fileName));
  EXPECT_TRUE(SameText(fileName, folder + "\\deep.exe")) << fileName;
  EXPECT_EQ(CountOf(trace().Calls(), "FullPathName"), 2) << "asked again with the size the platform named";
  EXPECT_TRUE(ExtractFileFromCommand(*engine_, "\"" + folder + "\\deep.exe\" -x", fileName));
  EXPECT_EQ(fileName, folder + "\\deep.exe");
}

// Whatever the text, the answer is a verdict: no crash, no network, the error mode set.
TEST_F(ResolveTest, BadInput) {
  struct Case {
    std::string command;
    bool resolvable;
  };
  std::string words;
  while (words.size() < 40000) words += std::string(999, 'w') + ' ';
  const std::vector<Case> cases = {
      {std::string(40000, 'a'), false},
      {"C:\\" + std::string(40000, 'a'), false},
      {"\"" + std::string(40000, 'q') + "\"", false},
      {words, false},
      {"\"C:\\Program Files\\App\\app.exe\" " + words, true},
      {"\"", false},
      {"\"\"\"\"", false},
      {" ", false},
      {std::string(300, ' '), false},
      {"\t", false},
      {"C:\\WINDOWS\\notepad.exe\0junk"s, true},
      {"\0C:\\WINDOWS\\notepad.exe"s, false},
      {"\0\0\0"s, false},
      {"calc\0.bat"s, true},
      {"C:\\Data\\report.txt:stream", false},
      {"C:\\Data\\report.txt::$DATA", false},
      {"C:\\a|b<c>d", false},
      {"::::", false},
      {"C:", false},
      {"C:\\", false},
      {"C:\\..\\..\\..\\x", false},
      {"A:\\setup.exe", false},
      {"*", true},  // any file of the current folder
      {"\xff\xfe\x80 \x81", false},
  };
  for (const Case& c : cases) {
    trace().Clear();
    files().SetErrorMode(0);
    std::string fileName;
    EXPECT_EQ(ExtractFileFromCommand(*engine_, c.command, fileName), c.resolvable) << Printable(c.command);
    EXPECT_EQ(NetworkCalls(trace().Calls()), Strings{}) << Printable(c.command);
    EXPECT_EQ(files().ErrorMode(), kSemFailCriticalErrors) << Printable(c.command);
  }
  // Device names: a verdict, whatever the platform makes of them.
  for (const char* device : {"CON", "NUL", "nul.txt", "C:\\Data\\CON", "COM1 /x", "LPT1:"}) {
    std::string fileName;
    ExtractFileFromCommand(*engine_, device, fileName);
  }
}

TEST_F(ResolveTest, SafeFileExists) {
  files().AddFile("C:\\Old\\dos.exe", kAttrArchive, 1);                       // 1601
  files().AddFile("C:\\Old\\unix.exe", kAttrArchive, 116444736000000000ull);  // 1970
  files().AddFile("C:\\Old\\future.exe", kAttrArchive, 0x7FFFFFFFFFFFFFFFull);
  files().AddDirectory("C:\\Mixed\\a-folder");
  files().AddFile("C:\\Mixed\\b-file.txt");
  const std::vector<std::pair<std::string, bool>> cases = {
      {"C:\\WINDOWS\\notepad.exe", true},
      {"c:\\windows\\NOTEPAD.EXE", true},
      {"C:\\WINDOWS", false},
      {"C:\\WINDOWS\\gone.exe", false},
      {"local.exe", true},
      {"", false},
      // Present whatever the last-write time.
      {"C:\\Old\\dos.exe", true},
      {"C:\\Old\\unix.exe", true},
      {"C:\\Old\\future.exe", true},
      // Wildcards: any matching file, even after a matching folder.
      {"C:\\Data\\*", true},
      {"C:\\Mixed\\*", true},
      {"C:\\Mixed\\a*", false},
      // The name the system reads ends at a NUL.
      {"C:\\WINDOWS\\notepad.exe\0x"s, true},
  };
  for (const auto& [name, present] : cases) EXPECT_EQ(SafeFileExists(*engine_, name), present) << Printable(name);

  files().SetErrorMode(0x8003);
  SafeFileExists(*engine_, "C:\\WINDOWS\\notepad.exe");
  EXPECT_EQ(files().ErrorMode(), 0x8003u) << "the error mode found is put back";
  trace().Clear();
  SafeFileExists(*engine_, "C:\\WINDOWS\\gone.exe");
  EXPECT_EQ(CountOf(trace().Calls(), "SetErrorMode"), 2) << "set quiet for the search, then put back";
}

TEST_F(ResolveTest, DirectoryExists) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"C:\\WINDOWS", true},  {"c:\\windows\\", true},
      {"C:\\Apps\\My", true}, {"C:\\WINDOWS\\notepad.exe", false},
      {"C:\\Gone", false},    {"", false},
  };
  for (const auto& [path, exists] : cases) EXPECT_EQ(DirectoryExists(*engine_, path), exists) << path;
  EXPECT_EQ(CountOf(trace().Calls(), "SetErrorMode"), 0);
}

TEST(ExtractFileExt, FromTheLastDot) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\a\\b.LNK", ".LNK"}, {"b.tar.gz", ".gz"}, {"C:\\a.dir\\file", ""}, {"file.", "."},
      {"C:x.exe", ".exe"},      {"C:.x\\y", ""},     {"x.txt:stream", ""},    {"", ""},
  };
  for (const auto& [name, ext] : cases) EXPECT_EQ(ExtractFileExt(name), ext) << name;
}

// The figures of the resolver's cost, printed for the record: how many file-system calls one command
// takes. The existence tests follow the documented bound: folders x candidates x (1 + extensions).
TEST(ResolverCost, CallsPerCommand) {
  MemoryMachine machine;
  std::string path;
  for (int i = 1; i <= 12; ++i) path += (i > 1 ? ";" : "") + std::string("C:\\Dir") + std::to_string(i);
  machine.memory.system.SetEnvironment("Path", path);
  machine.memory.system.SetEnvironment("PathExt", ".COM;.EXE;.BAT;.CMD");
  machine.memory.system.SetSystemDirectory("C:\\Dir11");
  machine.memory.system.SetWindowsDirectory("C:\\Dir12");
  for (int i = 1; i <= 12; ++i) machine.memory.files.AddDirectory("C:\\Dir" + std::to_string(i));
  machine.memory.files.AddFile("C:\\Dir12\\late.dll");
  machine.memory.files.AddFile("C:\\Program Files\\Acme Corp\\Tool Suite\\Main App.exe");
  Engine& engine = machine.Load();
  ASSERT_EQ(engine.SearchDirs.size(), 12u);
  ASSERT_EQ(engine.ExeExtensions, (Strings{".com", ".exe", ".bat", ".cmd", ".dll"}));

  struct Figure {
    const char* what;
    std::string command;
    bool resolvable;
    int existenceTests;
  };
  const std::vector<Figure> figures = {
      // Direct test, 11 folders x (1 + 5), then the last folder's name and its five extensions.
      {"bare name found in the last of 12 folders, 5 extensions", "late", true, 1 + 11 * 6 + 6},
      // Direct test, then in the first folder: four candidates without extension (1 + 5 each) and the file.
      {"quoted path of 6 blank-separated words, found",
       "\"C:\\Program Files\\Acme Corp\\Tool Suite\\Main App.exe\" -run", true, 1 + 4 * 6 + 1},
      // The same with the file gone: every folder walks the same six candidates (the last two have an
      // extension).
      {"quoted path of 6 blank-separated words, missing",
       "\"C:\\Program Files\\Acme Corp\\Tool Suite\\Main Gone.exe\" -run", false, 1 + 12 * (4 * 6 + 1 + 1)},
  };
  for (const Figure& figure : figures) {
    machine.trace.Clear();
    std::string fileName;
    EXPECT_EQ(ExtractFileFromCommand(engine, figure.command, fileName), figure.resolvable) << figure.what;
    const Strings calls = machine.trace.Calls();
    std::cout << "[ figure ] " << figure.what << ": " << calls.size() << " file-system calls (";
    bool first = true;
    for (const auto& [kind, count] : CallsByKind(calls)) {
      std::cout << (first ? "" : ", ") << kind << " " << count;
      first = false;
    }
    std::cout << ")\n";
    EXPECT_EQ(CountOf(calls, "FindFirst"), figure.existenceTests) << figure.what;
  }
}

}  // namespace
}  // namespace kv::testing
