// Registry data naming a network file, in every spelling the file system takes (and "file:" URLs), never
// reaches the network except where a section's rules test such a name, and then only through the bounded
// network test. Each entry is written into the real registry's scratch keys (under Wine) or the memory
// registry, a probe of its group runs over a decorator that writes down every file call, and the trace
// shows which calls named the host; the verdict is the one the plain "\\host\share" name gets.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "scan/cleaner.h"
#include "scan/engine.h"
#include "scan/resolve.h"
#include "tests/testing/file_trace.h"
#include "tests/testing/memory_machine.h"
#include "tests/testing/world.h"

namespace kv::testing {
namespace {

using namespace std::string_literals;

constexpr std::uint32_t HKLM = HKEY_LOCAL_MACHINE_CODE;
constexpr char kHost[] = "kvhost";

// A host name that resolves nowhere, in each spelling; the first is the plain one.
std::vector<std::string> Spellings(const std::string& file) {
  return {
      "\\\\kvhost\\share\\" + file,
      "\\\\?\\UNC\\kvhost\\share\\" + file,
      "\\\\.\\UNC\\kvhost\\share\\" + file,
      "\\??\\UNC\\kvhost\\share\\" + file,
      "\\??\\unc\\KVHOST\\share\\" + file,
      "\\??\\GLOBALROOT\\Device\\Mup\\kvhost\\share\\" + file,
      "\\\\?\\GLOBALROOT\\Device\\Mup\\kvhost\\share\\" + file,
      "\\Device\\Mup\\kvhost\\share\\" + file,
      "//kvhost/share/" + file,
      "file://kvhost/share/" + file,
  };
}

bool NamesHost(const std::string& call) {
  std::string lower;
  for (char c : call) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower.find(kHost) != std::string::npos;
}

struct Outcome {
  std::int32_t verdict = -2;
  std::vector<std::string> hostCalls;  // the file calls that named the host
};

// One probe of the sections `mask` selects, over a trace of the world's file system.
Outcome Probe(World& world, std::int32_t mask) {
  FileTrace trace(world.platform().files);
  Platform traced{world.platform().registry, trace, world.platform().system};
  Outcome outcome;
  {
    Engine engine(traced);
    TRegistryCleaner cleaner(engine);
    cleaner.Mask = mask;
    outcome.verdict = cleaner.ScanSections();
  }
  for (const std::string& call : trace.Calls())
    if (NamesHost(call)) outcome.hostCalls.push_back(call);
  return outcome;
}

std::vector<std::uint8_t> Share(const std::string& folder) {
  const std::string lines = "MaxUses=4294967295\0Path="s + folder + "\0Permissions=0\0Type=0\0"s;
  return Utf16Bytes(lines);
}

class NetworkNames : public ::testing::TestWithParam<WorldKind> {};

// Run entries: the resolver takes every spelling as present without any file call.
TEST_P(NetworkNames, RunEntriesNeverReachTheFileSystem) {
  std::int32_t plain = -2;
  for (const std::string& name : Spellings("x.exe")) {
    for (const std::string& data : {name, "\"" + name + "\" /min"}) {
      std::unique_ptr<World> world = GetParam().make();
      world->SetValue(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "kv", REG_SZ_TYPE, Utf16Bytes(data));
      const Outcome outcome = Probe(*world, 1);
      if (plain == -2) plain = outcome.verdict;
      EXPECT_EQ(outcome.verdict, plain) << data;
      EXPECT_EQ(outcome.hostCalls, std::vector<std::string>{}) << data;
    }
  }
  EXPECT_EQ(plain, 0) << "a network name is resolvable";
}

// Shared folders: a network folder is faulty without being looked up.
TEST_P(NetworkNames, SharedFoldersOnTheNetworkAreFaultyUnasked) {
  for (const std::string& name : Spellings("data")) {
    std::unique_ptr<World> world = GetParam().make();
    world->SetValue(HKLM, "SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\Shares", "Data", REG_MULTI_SZ_TYPE,
                    Share(name));
    const Outcome outcome = Probe(*world, 16);
    EXPECT_GT(outcome.verdict, 0) << name;
    EXPECT_EQ(outcome.hostCalls, std::vector<std::string>{}) << name;
  }
}

// Shared DLLs, a section whose rules do test the name: every spelling goes through the bounded network
// test alone, and gets the verdict of the plain name (the host does not exist: faulty).
TEST_P(NetworkNames, SharedDllsReachOnlyTheBoundedTest) {
  std::int32_t plain = -2;
  for (const std::string& name : Spellings("x.dll")) {
    std::unique_ptr<World> world = GetParam().make();
    world->SetValue(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", name, REG_DWORD_TYPE,
                    DwordBytes(1));
    const Outcome outcome = Probe(*world, 2);
    if (plain == -2) plain = outcome.verdict;
    EXPECT_EQ(outcome.verdict, plain) << name;
    EXPECT_EQ(outcome.hostCalls,
              std::vector<std::string>{"FindNetworkFile " + name + " " + std::to_string(kNetworkWaitMs)})
        << name;
  }
  EXPECT_GT(plain, 0) << "a file on a host that does not exist is not present";
}

// The sections whose rules test a network name, over the memory platform's network: a share that does not
// answer in time cannot tell, and that is no fault; the same entry on a share that answers "missing" is
// faulty, as it always was (the uninstall rules take any network command as sound).
TEST(NetworkNamesUnanswered, AShareThatDoesNotAnswerIsNoFault) {
  struct Case {
    const char* section;
    std::int32_t mask;
    std::function<void(MemoryMachine&, const std::string&)> write;
    bool faultyWhenMissing;
  };
  const std::vector<Case> cases = {
      {"shared DLLs", 2,
       [](MemoryMachine& m, const std::string& name) {
         m.memory.registry.SetDword("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", name, 1);
       },
       true},
      {"fonts", 4,
       [](MemoryMachine& m, const std::string& name) {
         m.memory.registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Kv (TrueType)",
                                     name);
       },
       true},
      {"uninstall", 8,
       [](MemoryMachine& m, const std::string& name) {
         const std::string key = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kv";
         m.memory.registry.SetString(key, "DisplayName", "Kv");
         m.memory.registry.SetString(key, "UninstallString", name);
       },
       false},
      {"startup shortcuts", 1,
       [](MemoryMachine& m, const std::string& name) {
         m.memory.system.SetSpecialFolder(7, "C:\\Start");
         m.memory.files.AddFile("C:\\Start\\kv.lnk");
         m.memory.system.SetShortcut("C:\\Start\\kv.lnk", name);
       },
       true},
  };
  for (const Case& c : cases) {
    for (const std::string& name : {"\\\\stale\\share\\x.dll"s, "\\??\\UNC\\stale\\share\\x.dll"s, "Z:\\x.dll"s}) {
      for (bool answers : {false, true}) {
        MemoryMachine machine;
        machine.memory.files.AddDirectory("Z:\\");
        machine.memory.files.SetDriveType('Z', kDriveRemote);
        if (!answers) {
          machine.memory.files.SetNetworkUnreachable(name.substr(0, name.find("x.dll")));
        }
        c.write(machine, name);
        Engine& engine = machine.Load();
        TRegistryCleaner cleaner(engine);
        cleaner.Mask = c.mask;
        const std::int32_t verdict = cleaner.ScanSections();
        const bool faulty = answers && c.faultyWhenMissing;
        EXPECT_EQ(verdict > 0, faulty) << c.section << ", " << name << (answers ? ", missing" : ", no answer")
                                       << ": verdict " << verdict;
        for (const std::string& call : machine.trace.Calls()) {
          if (!NamesHost(call) && call.find(" Z:") == std::string::npos && call.find("stale") == std::string::npos)
            continue;
          // The drive's type may be asked; of the name itself, only the bounded test.
          const bool allowed = call.rfind("FindNetworkFile ", 0) == 0 || call.rfind("DriveType ", 0) == 0;
          EXPECT_TRUE(allowed) << c.section << ": " << call;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Worlds, NetworkNames, ::testing::ValuesIn(AllWorlds()),
                         [](const ::testing::TestParamInfo<WorldKind>& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
