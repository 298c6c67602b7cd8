// Registry data naming a network file, in every spelling the file system takes (and "file:" URLs), never
// reaches the network except where a section's rules test such a name, and then only through the bounded
// network test. Each entry is written into the real registry's scratch keys (under Wine) or the memory
// registry, a probe of its group runs over a decorator that writes down every file call, and the trace
// shows which calls named the host; the verdict is the one the plain "\\host\share" name gets.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scan/cleaner.h"
#include "scan/engine.h"
#include "tests/testing/file_trace.h"
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
    EXPECT_EQ(outcome.hostCalls, std::vector<std::string>{"FindNetworkFile " + name}) << name;
  }
  EXPECT_GT(plain, 0) << "a file on a host that does not exist is not present";
}

INSTANTIATE_TEST_SUITE_P(Worlds, NetworkNames, ::testing::ValuesIn(AllWorlds()),
                         [](const ::testing::TestParamInfo<WorldKind>& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
