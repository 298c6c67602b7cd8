// The probe's memo of the file system, and every other economy of the optimised probe, changes no
// verdict: over randomised file sets, search paths and registries, the resolver and whole probes answer
// exactly as the plain probe does. And the memo is the probe's alone: other threads, and tests outside a
// probe, still ask the file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "scan/cleaner.h"
#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "support/text.h"
#include "tests/testing/memory_machine.h"
#include "tests/testing/plain_probe.h"
#include "tests/testing/random.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const Strings kFolders = {"C:\\Program Files",
                          "C:\\Program Files\\App",
                          "C:\\Program Files\\My App",
                          "C:\\Program",
                          "C:\\Tools",
                          "C:\\WINDOWS",
                          "C:\\WINDOWS\\system32",
                          "C:\\x y",
                          "C:\\Data",
                          "D:\\Games"};
const Strings kNames = {"app.exe", "app",     "tool.com",   "My App.exe", "run.bat", "lib.dll", "Files.exe",
                        "y.exe",   "App.exe", "readme.txt", "x.com",      "Files",   "My",      "notepad.exe"};
const Strings kArguments = {"", " %1", " /s", " -x y", " \"%1\"", "  two  blanks", " /p \"%1\"", ",Entry"};
const Strings kExtensions = {".COM", ".EXE", ".BAT", ".CMD"};

// A machine of random files and folders (some names are folders where a file would be expected), a random
// search path and executable extensions, and a random current folder.
void RandomFiles(Random& random, MemoryPlatform& machine) {
  for (const std::string& folder : kFolders) machine.files.AddDirectory(folder);
  for (const std::string& folder : kFolders) {
    for (const std::string& name : kNames) {
      if (machine.files.Exists(folder + "\\" + name)) continue;  // one of the folders ("...\\App")
      if (random.Chance(0.25))
        machine.files.AddFile(folder + "\\" + name);
      else if (random.Chance(0.04))
        machine.files.AddDirectory(folder + "\\" + name);
    }
  }
  std::string path;
  for (std::size_t i = 0, n = random.Below(5); i < n; ++i)
    path += random.Pick(kFolders) + (random.Chance(0.5) ? "\\;" : ";");
  if (random.Chance(0.3)) path += random.Pick(kFolders);
  machine.system.SetEnvironment("Path", path);
  std::string extensions;
  for (const std::string& extension : kExtensions)
    if (random.Chance(0.6)) extensions += extension + ";";
  machine.system.SetEnvironment("PathExt", extensions);
  machine.files.SetCurrentDirectory(random.Pick(kFolders));
}

std::string RandomName(Random& random) {
  switch (random.Below(4)) {
    case 0: return random.Pick(kNames);
    case 1: return random.Pick(kFolders) + "\\*.com";
    default: return random.Pick(kFolders) + "\\" + random.Pick(kNames);
  }
}

// What a written path may carry that the system drops or reads its own way: trailing dots and blanks, a
// folder spelt in another case or by its 8.3 name, "." and "..".
std::string Respell(Random& random, std::string path) {
  switch (random.Below(10)) {
    case 0: return path + ".";
    case 1: return path + " .";
    case 2: return LowerAscii(path);
    case 3: {
      const std::size_t at = path.find("Program Files");
      return at == std::string::npos ? path : path.replace(at, 13, random.Chance(0.5) ? "PROGRA~1" : "Program Files.");
    }
    case 4: {
      const std::size_t at = path.find('\\', 3);
      return at == std::string::npos ? path : path.insert(at, "\\..\\" + path.substr(3, at - 3));
    }
    default: return path;
  }
}

std::string RandomCommand(Random& random) {
  std::string target = random.Below(3) == 0   ? random.Pick(kNames)
                       : random.Below(4) == 0 ? "App\\" + random.Pick(kNames)
                                              : Respell(random, random.Pick(kFolders) + "\\" + random.Pick(kNames));
  if (random.Chance(0.4)) target = "\"" + target + "\"";
  std::string command = target + random.Pick(kArguments);
  switch (random.Below(16)) {
    case 0: return "rundll32 " + command;
    case 1: return "explorer.exe " + command;
    case 2: return "regsvr32 /s " + command;
    case 3: return "%1";
    case 4: return "";
    case 5: return "<" + command;
    case 6: return "\\\\server\\share\\" + random.Pick(kNames);
    case 7: return random.Pick(kFolders) + "\\*.com" + random.Pick(kArguments);
    default: return command;
  }
}

struct Answer {
  bool result;
  std::string fileName;
  bool operator==(const Answer& other) const { return result == other.result && fileName == other.fileName; }
};

TEST(ProbeMemo, ResolverAnswersAreTheSamePlainAndOptimised) {
  std::size_t plainCalls = 0, memoCalls = 0;
  for (unsigned seed = 1; seed <= 300; ++seed) {
    Random random(seed);
    MemoryMachine machine;
    RandomFiles(random, machine.memory);
    Engine& engine = machine.Load();
    Strings commands, names;
    for (int i = 0; i < 40; ++i) commands.push_back(RandomCommand(random));
    for (int i = 0; i < 20; ++i) names.push_back(RandomName(random));

    machine.trace.Clear();
    engine.Plain = true;
    std::vector<Answer> plain;
    std::vector<bool> plainPresent, plainFolder;
    for (const std::string& command : commands) {
      Answer answer{false, ""};
      answer.result = ExtractFileFromCommand(engine, command, answer.fileName);
      plain.push_back(answer);
    }
    for (const std::string& name : names) {
      plainPresent.push_back(SafeFileExists(engine, name));
      plainFolder.push_back(DirectoryExists(engine, name));
    }
    plainCalls += machine.trace.Calls().size();

    machine.trace.Clear();
    engine.Plain = false;
    ProbeMemo::Scope probe(engine.Memo);
    ASSERT_TRUE(engine.Memo.Active());
    // Twice over: the second round is answered from what the first one asked.
    for (int round = 0; round < 2; ++round) {
      for (std::size_t i = 0; i < commands.size(); ++i) {
        Answer answer{false, ""};
        answer.result = ExtractFileFromCommand(engine, commands[i], answer.fileName);
        EXPECT_TRUE(answer == plain[i]) << "seed " << seed << " round " << round << ": [" << commands[i] << "] gives "
                                        << answer.result << " [" << answer.fileName << "], without the memo "
                                        << plain[i].result << " [" << plain[i].fileName << "]";
      }
      for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(SafeFileExists(engine, names[i]), plainPresent[i]) << "seed " << seed << ": [" << names[i] << "]";
        EXPECT_EQ(DirectoryExists(engine, names[i]), plainFolder[i]) << "seed " << seed << ": [" << names[i] << "]";
      }
    }
    memoCalls += machine.trace.Calls().size();
  }
  // Not a vacuous comparison: the memo did answer.
  EXPECT_LT(memoCalls, plainCalls);
}

// A registry with entries in every section, their data drawn from the same random commands and names.
void RandomRegistry(Random& random, MemoryRegistry& registry) {
  const std::string cv = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  auto some = [&](int most) { return static_cast<int>(random.Below(static_cast<std::size_t>(most) + 1)); };
  for (int i = 0, n = some(3); i < n; ++i)
    registry.SetString(cv + "\\Run", "r" + std::to_string(i), RandomCommand(random));
  for (int i = 0, n = some(3); i < n; ++i)
    registry.SetString("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "u" + std::to_string(i),
                       RandomCommand(random));
  for (int i = 0, n = some(3); i < n; ++i) registry.SetDword(cv + "\\SharedDLLs", RandomName(random), 1);
  for (int i = 0, n = some(3); i < n; ++i)
    registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "f" + std::to_string(i),
                       RandomName(random));
  for (int i = 0, n = some(3); i < n; ++i) {
    const std::string key = cv + "\\Uninstall\\p" + std::to_string(i);
    registry.SetString(key, "DisplayName", "Product");
    registry.SetString(key, "UninstallString", RandomCommand(random));
  }
  for (int i = 0, n = some(3); i < n; ++i)
    registry.SetString(cv + "\\App Paths\\a" + std::to_string(i) + ".exe", "", RandomCommand(random));
  for (int i = 0, n = some(2); i < n; ++i)
    registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\Help", random.Pick(kNames), random.Pick(kFolders));
  const std::string mru = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
  registry.SetString(mru, "MRUList", "ab");
  for (const char* letter : {"a", "b"}) registry.SetString(mru, letter, RandomCommand(random) + "\\1");
  // Classes in both views, their subkeys spelt in any case, some near-misses of the well-known names (a
  // trailing blank, a letter beyond ASCII) and other subkeys; defaults empty, naming a class or a file.
  static const Strings kSubkeys = {"DefaultIcon",
                                   "defaulticon",
                                   "INPROCSERVER32",
                                   "InProcServer32",
                                   "InprocHandler",
                                   "InprocHandler32",
                                   "LocalServer",
                                   "LocalServer32",
                                   "InProcServer",
                                   "PersistentHandler",
                                   "DefaultIcon ",
                                   "D\xC3\xA9"
                                   "faultIcon",
                                   "TypeLib",
                                   "ProgID",
                                   "localserver32",
                                   "Implemented Categories"};
  for (const char* view : {"HKCR\\CLSID\\", "HKCR\\Wow6432Node\\CLSID\\"}) {
    for (int i = 0, n = some(4); i < n; ++i) {
      const std::string id = view + std::string("{00000000-0000-0000-0000-00000000000") + std::to_string(i) + "}";
      registry.CreateKey(id);
      for (int j = 0, m = some(4); j < m; ++j) {
        const std::string& subkey = random.Pick(kSubkeys);
        // Mostly sound, so that the classes after the first are examined too.
        switch (random.Below(8)) {
          case 0: registry.SetString(id + "\\" + subkey, "", ""); break;
          case 1: registry.SetString(id + "\\" + subkey, "", "{00000000-0000-0000-0000-000000000001}"); break;
          case 2: registry.SetString(id + "\\" + subkey, "", RandomName(random) + ",1"); break;
          case 3: registry.SetString(id + "\\" + subkey, "", RandomCommand(random)); break;
          default: registry.SetString(id + "\\" + subkey, "", "%1"); break;
        }
      }
    }
  }
  // File types named by several extensions, in either case; some types missing (an extension with a
  // "ShellEx" key of its own may name one), some with a "shell" key without verbs, some icons missing.
  auto soundMostly = [&] { return random.Chance(0.6) ? std::string("\"%1\"") : RandomCommand(random); };
  for (int i = 0; i < 3; ++i) {
    const std::string type = "HKCR\\type" + std::to_string(i);
    if (random.Chance(0.4))
      registry.CreateKey(type + "\\shell");
    else
      registry.SetString(type + "\\shell\\open\\command", "", soundMostly());
    if (random.Chance(0.3)) registry.SetString(type + "\\shell\\edit\\command", "", soundMostly());
    if (random.Chance(0.6)) registry.SetString(type + "\\DefaultIcon", "", RandomName(random) + ",0");
  }
  for (int i = 0, n = some(8); i < n; ++i) {
    const std::string extension = "HKCR\\.e" + std::to_string(i);
    std::string type = "type" + std::to_string(random.Below(4));
    if (random.Chance(0.3)) type = UpperText(type);
    registry.SetString(extension, "", type);
    if (random.Chance(0.3)) registry.CreateKey(extension + "\\ShellEx");
  }
}

TEST(ProbeMemo, ProbeVerdictsAreTheSamePlainAndOptimised) {
  int faults = 0;
  for (unsigned seed = 1; seed <= 150; ++seed) {
    Random random(seed);
    MemoryMachine machine;
    RandomFiles(random, machine.memory);
    RandomRegistry(random, machine.memory.registry);
    Engine& engine = machine.Load();
    TRegistryCleaner cleaner(engine);
    for (std::int32_t mask : {127, 1, 2, 4, 8, 16, 32, 64}) {
      cleaner.Mask = mask;
      const std::int32_t plain = ExpectPlainAndOptimisedAgree(
          engine, cleaner, "seed " + std::to_string(seed) + " mask " + std::to_string(mask));
      faults += plain != 0;
    }
  }
  // Both kinds of verdict were compared.
  EXPECT_GT(faults, 0);
  EXPECT_LT(faults, 150 * 8);
}

TEST(ProbeMemo, OnlyTheProbesThreadAndOnlyDuringTheProbe) {
  MemoryMachine machine;
  machine.memory.files.AddFile("C:\\Tools\\tool.exe");
  Engine& engine = machine.Load();
  EXPECT_FALSE(engine.Memo.Active());
  {
    ProbeMemo::Scope probe(engine.Memo);
    EXPECT_TRUE(SafeFileExists(engine, "C:\\Tools\\tool.exe"));
    // The file goes; the probe keeps its answer, another thread asks the file system.
    machine.memory.files.Remove("C:\\Tools\\tool.exe");
    EXPECT_TRUE(SafeFileExists(engine, "C:\\Tools\\tool.exe"));
    EXPECT_FALSE(std::async(std::launch::async, [&] { return SafeFileExists(engine, "C:\\Tools\\tool.exe"); }).get());
    // A second probe on another thread meanwhile keeps no memo of its own.
    EXPECT_FALSE(std::async(std::launch::async, [&] {
                   ProbeMemo::Scope other(engine.Memo);
                   return engine.Memo.Active();
                 }).get());
  }
  // After the probe it is forgotten.
  EXPECT_FALSE(engine.Memo.Active());
  EXPECT_FALSE(SafeFileExists(engine, "C:\\Tools\\tool.exe"));
  ProbeMemo::Scope next(engine.Memo);
  EXPECT_FALSE(SafeFileExists(engine, "C:\\Tools\\tool.exe"));
}

// A drive's type is asked once per probe, whatever number of names lie on it; a drive mapped meanwhile is
// seen by the next probe.
TEST(ProbeMemo, DriveTypesAreAskedOncePerProbe) {
  MemoryMachine machine;
  machine.memory.files.AddFile("Z:\\a.dll");
  Engine& engine = machine.Load();
  {
    ProbeMemo::Scope probe(engine.Memo);
    machine.trace.Clear();
    for (const char* name : {"Z:\\a.dll", "Z:\\b.dll", "z:\\c.dll"})
      EXPECT_TRUE(SafeFileExists(engine, name) == (name[3] == 'a'));
    std::string fileName;
    EXPECT_FALSE(ExtractFileFromCommand(engine, "Z:\\d.exe", fileName));
    int asked = 0;
    for (const std::string& call : machine.trace.Calls()) asked += call.rfind("DriveType ", 0) == 0;
    EXPECT_EQ(asked, 1);
    machine.memory.files.SetDriveType('Z', kDriveRemote);
    EXPECT_FALSE(SafeFileExists(engine, "Z:\\e.dll")) << "the probe keeps the type it learnt";
  }
  ProbeMemo::Scope next(engine.Memo);
  machine.trace.Clear();
  EXPECT_FALSE(SafeFileExists(engine, "Z:\\e.dll")) << "on a network drive the bounded test answers: absent";
  const Strings calls = machine.trace.Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "FindNetworkFile Z:\\e.dll " + std::to_string(kNetworkWaitMs)),
            calls.end());
}

TEST(ProbeMemo, SwitchedOffItNeverStarts) {
  MemoryMachine machine;
  Engine& engine = machine.Load();
  engine.Memo.SetEnabled(false);
  ProbeMemo::Scope probe(engine.Memo);
  EXPECT_FALSE(engine.Memo.Active());
}

// The memo is bounded: long names are not kept, and past its budget it keeps nothing more (each test then
// asks the file system, which gives the same answers).
TEST(ProbeMemo, KeepsLittleAndStaysWithinItsBudget) {
  ProbeMemo memo;
  ProbeMemo::Scope probe(memo);
  const std::string longName(ProbeMemo::kLongestKeptName + 1, 'x');
  memo.RememberPresent(longName, true);
  memo.RememberAttributes(longName, 0x20);
  memo.RememberSearchPath("C:\\short", longName);
  EXPECT_FALSE(memo.Present(longName).has_value());
  EXPECT_FALSE(memo.Attributes(longName).has_value());
  EXPECT_FALSE(memo.SearchPath("C:\\short").has_value());

  const std::string base(ProbeMemo::kLongestKeptName - 10, 'n');
  std::size_t kept = 0, i = 0;
  for (; i < 2 * ProbeMemo::kBudgetBytes / ProbeMemo::kLongestKeptName; ++i) {
    const std::string name = base + std::to_string(i);
    memo.RememberPresent(name, true);
    if (memo.Present(name).has_value()) ++kept;
  }
  EXPECT_GT(kept, 0u);
  EXPECT_LT(kept, i) << "the memo kept every name past its budget";
  EXPECT_LE(kept * ProbeMemo::kLongestKeptName, ProbeMemo::kBudgetBytes);
}

}  // namespace
}  // namespace kv::testing
