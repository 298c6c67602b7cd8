// The probe's listings of folders answer each existence test and attribute question exactly as the direct
// call does: over randomised folders of names that differ only in case, 8.3 names, device names, names
// beyond ASCII and names with leading blanks, asked about in every spelling the system reads its own way
// (trailing dots and blanks, "." and "..", "/", doubled separators, wildcards, 8.3 folders, folders that
// are files or missing). Whole probes over the same files agree with the plain probe.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "platform/forwarding_platform.h"
#include "scan/cleaner.h"
#include "scan/folder_listings.h"
#include "scan/resolve.h"
#include "support/text.h"
#include "tests/testing/file_trace.h"
#include "tests/testing/memory_machine.h"
#include "tests/testing/plain_probe.h"
#include "tests/testing/random.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const Strings kFolders = {"C:\\Program Files", "C:\\Program Files\\Vendor App", "C:\\WINDOWS", "C:\\WINDOWS\\system32",
                          "C:\\Lib",           "C:\\Lib\\Deep Folder Name"};
// Names that clash by case or by 8.3 name, long names whose 8.3 names are asked for, a name beyond
// ASCII, a leading blank, and names a device would answer to.
const Strings kLeaves = {"app.exe",
                         "APP.EXE",
                         "App.Exe",
                         "Long File Name.dll",
                         "LONGFI~1.DLL",
                         "longfi~2.dll",
                         "library.dll",
                         "Library.Dll ",
                         "caf\xC3\xA9.dll",
                         "CAF~1.DLL",
                         " blank.exe",
                         "a.b.c",
                         "readme",
                         "README.txt",
                         "PROGRA~1",
                         "Vendor App",
                         "tool.com",
                         "x",
                         "verylongname.txt",
                         "VERYLO~1.TXT",
                         "nul.txt",
                         "con",
                         "COM1",
                         "lpt1 .x",
                         "aux.dll",
                         "Deep Folder Name"};

bool CanBeFileName(const std::string& leaf) { return leaf.back() != ' ' && leaf.back() != '.'; }

// A machine whose folders hold a random choice of the names above (some as folders), and a random current
// folder.
void RandomFolders(Random& random, MemoryFileSystem& files) {
  for (const std::string& folder : kFolders) files.AddDirectory(folder);
  for (const std::string& folder : kFolders) {
    for (const std::string& leaf : kLeaves) {
      if (!CanBeFileName(leaf) || files.Exists(folder + "\\" + leaf)) continue;
      const std::string device = LowerAscii(leaf.substr(0, leaf.find_first_of(". ")));
      if (device == "nul" || device == "con" || device == "com1" || device == "lpt1" || device == "aux") continue;
      if (random.Chance(0.3))
        files.AddFile(folder + "\\" + leaf, random.Chance(0.2) ? kAttrHidden | kAttrArchive : kAttrArchive);
      else if (random.Chance(0.05))
        files.AddDirectory(folder + "\\" + leaf);
    }
  }
  files.SetCurrentDirectory(random.Pick(kFolders));
}

// A name in one of the folders, in any spelling: the folder and the leaf in another case, by their 8.3
// names, with a trailing dot or blank, "." or "..", "/", doubled separators, wildcards; folders that are
// files or missing; names too long for a path.
std::string RandomPath(Random& random) {
  std::string folder = random.Pick(kFolders);
  std::string leaf = random.Pick(kLeaves);
  switch (random.Below(16)) {
    case 0: folder = LowerAscii(folder); break;
    case 1: folder = UpperText(folder); break;
    case 2: folder += "\\."; break;
    case 3: folder += "\\..\\WINDOWS"; break;
    case 4: folder[2] = '/'; break;
    case 5: folder.insert(2, "\\"); break;
    case 6: folder += random.Chance(0.5) ? "." : " "; break;
    case 7: folder += "\\Missing"; break;
    case 8: folder += "\\app.exe"; break;  // a file, where a folder is expected
    case 9: folder.replace(0, 16 < folder.size() ? 16 : folder.size(), "C:\\PROGRA~1"); break;
    case 10: folder = "D:\\Lib"; break;  // no such drive
    default: break;
  }
  switch (random.Below(12)) {
    case 0: leaf = LowerAscii(leaf); break;
    case 1: leaf = UpperText(leaf); break;
    case 2: leaf += "."; break;
    case 3: leaf += " "; break;
    case 4:
      leaf = leaf.substr(0, leaf.size() / 2) + (random.Chance(0.5) ? "*" : "?") + leaf.substr(leaf.size() / 2 + 1);
      break;
    case 5: leaf += std::string(300, 'z'); break;
    case 6: leaf = "..\\" + leaf; break;
    default: break;
  }
  return folder + "\\" + leaf;
}

std::string RandomCommand(Random& random) {
  std::string command = RandomPath(random);
  if (random.Chance(0.3)) command = "\"" + command + "\"";
  if (random.Chance(0.4)) command += random.Chance(0.5) ? " /s" : " arg one";
  return command;
}

TEST(FolderListings, PlainNames) {
  struct Case {
    const char* name;
    bool plain;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\app.exe", true},
      {"c:\\a", true},
      {"C:\\ lead\\ blank", true},
      {"C:\\a b\\c d.e f", true},
      {"C:\\", false},
      {"C:a", false},
      {"C:/a", false},
      {"C:\\a/b", false},
      {"C:\\a\\\\b", false},
      {"C:\\a\\", false},
      {"C:\\a\\.\\b", false},
      {"C:\\a\\..\\b", false},
      {"C:\\a.\\b", false},
      {"C:\\a \\b", false},
      {"C:\\a\\b.", false},
      {"C:\\a\\b ", false},
      {"C:\\a\\*.exe", false},
      {"C:\\a\\b?", false},
      {"C:\\a\\<b", false},
      {"C:\\a\\b>", false},
      {"C:\\a\\\"b", false},
      {"C:\\a\\b|c", false},
      {"C:\\a\\b:c", false},
      {"C:\\a\\caf\xC3\xA9", false},
      {"C:\\a\\tab\there", false},
      {"\\\\server\\share\\a", false},
      {"1:\\a", false},
      {"C:\\a\\nul", false},
      {"C:\\a\\NUL.txt", false},
      {"C:\\a\\con .x", false},
      {"C:\\a\\Com1", false},
      {"C:\\a\\lpt9.dll", false},
      {"C:\\a\\conin$", false},
      {"C:\\con\\a", false},
      {"C:\\a\\com10", true},
      {"C:\\a\\console", true},
      {"C:\\a\\nul1.txt", true},
      {"C:\\a\\x.nul", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsPlainLocalName(c.name), c.plain) << "[" << c.name << "]";
  EXPECT_TRUE(IsPlainLocalName("C:\\" + std::string(255, 'a')));
  EXPECT_FALSE(IsPlainLocalName("C:\\" + std::string(256, 'a'))) << "a name longer than any volume holds";
  EXPECT_FALSE(IsPlainLocalName("C:\\" + std::string(200, 'a') + "\\" + std::string(60, 'b')))
      << "a path beyond the usual limit";
}

// Every answer of a listing is the direct call's: the attributes GetAttributes reports, and so whether a
// search for the name finds a file.
TEST(FolderListings, AnswerAsTheDirectCallsDo) {
  std::size_t answered = 0;
  for (unsigned seed = 1; seed <= 200; ++seed) {
    Random random(seed);
    MemoryFileSystem files;
    RandomFolders(random, files);
    FolderListings listings;
    for (int i = 0; i < 60; ++i) {
      const std::string path = RandomPath(random);
      if (!IsPlainLocalName(path)) continue;
      const std::optional<std::uint32_t> listed = listings.Attributes(files, path);
      if (!listed) continue;
      ++answered;
      EXPECT_EQ(*listed, files.GetAttributes(path)) << "seed " << seed << ": [" << path << "]";
    }
  }
  EXPECT_GT(answered, 0u) << "the listings answered nothing";
}

struct Answer {
  bool result;
  std::string fileName;
};

// The resolver and the existence test through the engine: plain (no memo) and in a probe (memo and
// listings) they agree, twice over in the probe (the second round answered from what the first listed).
TEST(FolderListings, ResolverAndExistenceTestAgreeWithThePlainProbe) {
  std::size_t plainCalls = 0, listedCalls = 0;
  for (unsigned seed = 1; seed <= 200; ++seed) {
    Random random(seed);
    MemoryMachine machine;
    RandomFolders(random, machine.memory.files);
    std::string path;
    for (std::size_t i = 0, n = random.Below(4); i < n; ++i) path += random.Pick(kFolders) + "\\;";
    machine.memory.system.SetEnvironment("Path", path);
    Engine& engine = machine.Load();
    Strings commands, names;
    for (int i = 0; i < 30; ++i) commands.push_back(RandomCommand(random));
    for (int i = 0; i < 30; ++i) names.push_back(RandomPath(random));

    machine.trace.Clear();
    engine.Plain = true;
    std::vector<Answer> plain;
    std::vector<bool> plainPresent;
    for (const std::string& command : commands) {
      Answer answer{false, ""};
      answer.result = ExtractFileFromCommand(engine, command, answer.fileName);
      plain.push_back(answer);
    }
    for (const std::string& name : names) plainPresent.push_back(SafeFileExists(engine, name));
    plainCalls += machine.trace.Calls().size();

    machine.trace.Clear();
    engine.Plain = false;
    ProbeMemo::Scope probe(engine.Memo);
    for (int round = 0; round < 2; ++round) {
      for (std::size_t i = 0; i < commands.size(); ++i) {
        Answer answer{false, ""};
        answer.result = ExtractFileFromCommand(engine, commands[i], answer.fileName);
        EXPECT_TRUE(answer.result == plain[i].result && answer.fileName == plain[i].fileName)
            << "seed " << seed << " round " << round << ": [" << commands[i] << "] gives " << answer.result << " ["
            << answer.fileName << "], plain " << plain[i].result << " [" << plain[i].fileName << "]";
      }
      for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(SafeFileExists(engine, names[i]), plainPresent[i]) << "seed " << seed << ": [" << names[i] << "]";
    }
    listedCalls += machine.trace.Calls().size();
  }
  EXPECT_LT(listedCalls, plainCalls) << "the listings spared no call";
}

// Whole probes over the same files, the registry naming them in every section that tests files.
TEST(FolderListings, ProbeVerdictsAgreeWithThePlainProbe) {
  int faults = 0;
  for (unsigned seed = 1; seed <= 100; ++seed) {
    Random random(seed);
    MemoryMachine machine;
    RandomFolders(random, machine.memory.files);
    MemoryRegistry& registry = machine.memory.registry;
    const std::string cv = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    for (int i = 0; i < 4; ++i) {
      const std::string n = std::to_string(i);
      registry.SetString(cv + "\\Run", "r" + n, RandomCommand(random));
      registry.SetDword(cv + "\\SharedDLLs", RandomPath(random), 1);
      registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "f" + n, RandomPath(random));
      registry.SetString(cv + "\\Uninstall\\p" + n, "DisplayName", "Product");
      registry.SetString(cv + "\\Uninstall\\p" + n, "UninstallString", RandomCommand(random));
      registry.SetString(cv + "\\App Paths\\a" + n + ".exe", "", RandomCommand(random));
      const std::string id = "HKCR\\CLSID\\{00000000-0000-0000-0000-00000000000" + n + "}";
      registry.SetString(id + "\\InprocServer32", "", RandomPath(random));
      registry.SetString(id + "\\DefaultIcon", "", RandomPath(random) + ",0");
    }
    Engine& engine = machine.Load();
    TRegistryCleaner cleaner(engine);
    cleaner.Mask = 127;
    faults += ExpectPlainAndOptimisedAgree(engine, cleaner, "seed " + std::to_string(seed)) != 0;
  }
  EXPECT_GT(faults, 0);
}

// A probe is a snapshot: a file added to a folder after the probe listed it is not seen until the next
// probe, as a name already tested keeps its answer; outside a probe it is seen at once.
TEST(FolderListings, AProbeKeepsWhatItListed) {
  MemoryMachine machine;
  machine.memory.files.AddFile("C:\\Tools\\tool.exe");
  Engine& engine = machine.Load();
  {
    ProbeMemo::Scope probe(engine.Memo);
    EXPECT_TRUE(SafeFileExists(engine, "C:\\Tools\\tool.exe"));
    machine.memory.files.AddFile("C:\\Tools\\late.exe");
    EXPECT_FALSE(SafeFileExists(engine, "C:\\Tools\\late.exe"));
    EXPECT_TRUE(std::async(std::launch::async, [&] { return SafeFileExists(engine, "C:\\Tools\\late.exe"); }).get())
        << "another thread asks the file system";
  }
  EXPECT_TRUE(SafeFileExists(engine, "C:\\Tools\\late.exe"));
  ProbeMemo::Scope next(engine.Memo);
  EXPECT_TRUE(SafeFileExists(engine, "C:\\Tools\\late.exe"));
}

// A listing that fails before its end (here after `entriesBeforeFailure` entries) is not used: each name
// in that folder is asked directly.
class BrokenListings : public ForwardingFileSystem {
 public:
  BrokenListings(FileSystemApi& inner, int entriesBeforeFailure)
      : ForwardingFileSystem(inner), entriesBeforeFailure_(entriesBeforeFailure) {}
  FindHandle FindFirst(const std::string& pattern, FindEntry* entry) override {
    given_ = 1;
    return inner_.FindFirst(pattern, entry);
  }
  bool FindNext(FindHandle find, FindEntry* entry) override {
    broken_ = ++given_ > entriesBeforeFailure_;
    return !broken_ && inner_.FindNext(find, entry);
  }
  bool FindExhausted(FindHandle find) override { return !broken_ && inner_.FindExhausted(find); }

 private:
  int entriesBeforeFailure_;
  int given_ = 0;
  bool broken_ = false;
};

TEST(FolderListings, AListingThatFailsIsNotUsed) {
  MemoryFileSystem memory;
  for (const char* name : {"a.dll", "b.dll", "c.dll", "d.dll", "e.dll"})
    memory.AddFile(std::string("C:\\Lib\\") + name);
  for (int before : {1, 2, 4}) {
    BrokenListings files(memory, before);
    FolderListings listings;
    for (const char* name : {"C:\\Lib\\a.dll", "C:\\Lib\\e.dll", "C:\\Lib\\f.dll"})
      EXPECT_FALSE(listings.Attributes(files, name).has_value()) << before << " entries, then a failure: " << name;
  }
  FolderListings listings;
  EXPECT_EQ(listings.Attributes(memory, "C:\\Lib\\e.dll").value_or(0xDEADu), kAttrArchive);
  EXPECT_EQ(listings.Attributes(memory, "C:\\Lib\\f.dll").value_or(0xDEADu), kInvalidFileAttributes);
}

// A folder of more entries than are kept is asked about directly; the folders below a folder that is
// missing, or that is a file, need no listing of their own.
TEST(FolderListings, LargeFoldersAreNotKeptAndMissingFoldersNotListed) {
  MemoryFileSystem files;
  for (std::size_t i = 0; i <= FolderListings::kMostEntriesKept; ++i) files.AddFile("C:\\Big\\f" + std::to_string(i));
  files.AddFile("C:\\Small\\file.txt");
  FileTrace trace(files);
  FolderListings listings;
  EXPECT_FALSE(listings.Attributes(trace, "C:\\Big\\f1").has_value());
  EXPECT_FALSE(listings.Attributes(trace, "C:\\Big\\g1").has_value());
  trace.Clear();
  EXPECT_EQ(listings.Attributes(trace, "C:\\Small\\Missing\\x.dll").value_or(0xDEADu), kInvalidFileAttributes);
  EXPECT_EQ(listings.Attributes(trace, "C:\\Small\\file.txt\\x.dll").value_or(0xDEADu), kInvalidFileAttributes);
  EXPECT_EQ(listings.Attributes(trace, "C:\\Small\\FILE.TXT").value_or(0xDEADu), kAttrArchive);
  for (const std::string& call : trace.Calls())
    EXPECT_TRUE(call.rfind("FindFirst", 0) != 0 || call == "FindFirst C:\\Small\\*") << call;
}

}  // namespace
}  // namespace kv::testing
