// The example machine (examples/): whatever groups a probe selects, it finds exactly the one deliberate
// fault, the file type left behind by an uninstalled program, and nothing else; repaired, it is clean.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cli/machine.h"
#include "cli/probe.h"

namespace kv::cli {
namespace {

constexpr std::uint32_t kFaultyGroup = 64;
constexpr const char* kFaultyKey = "HKEY_CLASSES_ROOT\\OrbitPhoto.Image\\shell\\open\\command";

class ExampleMachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(
        LoadMachine(machine_, KV_SOURCE_DIR "/examples/machine.reg", KV_SOURCE_DIR "/examples/files.txt", &error))
        << error;
    engine_ = std::make_unique<Engine>(machine_.platform());
  }

  ProbeReport Probe(std::int32_t mask) {
    Interrupter interrupter;
    return RunProbe(*engine_, mask, interrupter);
  }

  MemoryPlatform machine_;
  std::unique_ptr<Engine> engine_;
};

TEST_F(ExampleMachineTest, EveryMaskFindsTheOneFaultOrNothing) {
  for (std::int32_t mask = 0; mask <= 127; ++mask) {
    const ProbeReport report = Probe(mask);
    if ((mask & kFaultyGroup) == 0) {
      EXPECT_TRUE(report.Clean()) << "mask " << mask << ": " << report.section << " "
                                  << (report.list.empty() ? "" : report.list[0]);
      continue;
    }
    EXPECT_EQ(report.result, 1) << "mask " << mask;
    EXPECT_EQ(report.section, "TFileExtCommands") << "mask " << mask;
    EXPECT_EQ(report.group, "File Extensions") << "mask " << mask;
    ASSERT_FALSE(report.list.empty()) << "mask " << mask;
    EXPECT_EQ(report.list[0], kFaultyKey) << "mask " << mask;
  }
}

TEST_F(ExampleMachineTest, TheFaultIsExplained) {
  const ProbeReport report = Probe(127);
  EXPECT_EQ(report.explanation.where, kFaultyKey);
  EXPECT_EQ(report.explanation.value, "(default)");
  EXPECT_EQ(report.explanation.data, "\"C:\\Program Files\\Orbit Photo\\orbit.exe\" \"%1\"");
  EXPECT_EQ(report.sections.size(), 13u);
}

TEST_F(ExampleMachineTest, RepairedItIsCleanAndEverySectionHadSomethingToExamine) {
  machine_.files.AddFile("C:\\Program Files\\Orbit Photo\\orbit.exe");
  const ProbeReport report = Probe(127);
  EXPECT_TRUE(report.Clean()) << report.section << " " << (report.list.empty() ? "" : report.list[0]);
  ASSERT_EQ(report.sections.size(), 13u);
  for (const SectionReport& section : report.sections) EXPECT_GT(section.items, 0) << section.name;
}

// A list of files is read, or refused with the line that is wrong; never a half-read machine that goes on.
TEST(FileList, IsReadOrRefusedWithTheLine) {
  struct Case {
    const char* list;
    bool accepted;
    const char* errorStart;
  };
  const Case cases[] = {
      {"C:\\Windows\\\n# a comment\n\n  C:\\a\\b.exe  \r\n", true, ""},
      {"C:\\a.exe\nrelative\\b.exe\n", false, "line 2: not an absolute path"},
      {"C:\\a.exe\n\\\\host\\share\\x.exe\n", false, "line 2: "},  // a share: no drive to hold it
      {"C:\\a.exe\nC:\\a.exe\\b.exe\n", false, "line 2: "},        // a file below a file
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    std::string error;
    EXPECT_EQ(AddListedFiles(files, c.list, &error), c.accepted) << c.list << "\nerror: " << error;
    EXPECT_EQ(error.rfind(c.errorStart, 0), 0u) << c.list << "\nerror: " << error;
  }
}

}  // namespace
}  // namespace kv::cli
