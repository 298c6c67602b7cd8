// The driver's observation hooks: where they fire, and that a scan observed is the same scan.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scan/cleaner.h"
#include "tests/testing/list_section.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

struct Layout {
  std::uint32_t bit;
  std::string name;
  std::vector<std::string> items;
  int faultyAt = -1;
  bool throwAfterFill = false;
  bool progressAfter = true;
};

// One scan of `layout` under `mask`: its result and every event in order.
struct Outcome {
  std::int32_t result = 0;
  std::vector<std::string> events;
};

Outcome Scan(Engine& engine, const std::vector<Layout>& layout, std::int32_t mask, bool hooked) {
  std::vector<TRegistryCleaner::Slot> table;
  for (const Layout& l : layout) {
    auto section = std::make_unique<ListSection>(engine, l.name, l.items);
    section->faultyAt = l.faultyAt;
    section->throwAfterFill = l.throwAfterFill;
    table.push_back({l.bit, std::move(section), l.progressAfter});
  }
  TRegistryCleaner cleaner(engine, std::move(table));
  Outcome outcome;
  cleaner.Mask = mask;
  cleaner.OnProgress = [&](EngineObject& sender) {
    outcome.events.push_back(std::string("progress ") + sender.ClassName());
  };
  if (hooked) {
    cleaner.OnSectionStart = [&](EngineObject& sender) {
      outcome.events.push_back(std::string("start ") + sender.ClassName());
    };
    cleaner.OnSectionEnd = [&](EngineObject& sender) {
      outcome.events.push_back(std::string("end ") + sender.ClassName() + " " +
                               std::to_string(static_cast<TNamedRegStringList&>(sender).Count()));
    };
  }
  outcome.result = cleaner.ScanSections();
  return outcome;
}

std::vector<std::string> WithoutHooks(std::vector<std::string> events) {
  std::vector<std::string> kept;
  for (std::string& e : events)
    if (e.rfind("progress ", 0) == 0) kept.push_back(std::move(e));
  return kept;
}

class CleanerHooksTest : public ::testing::Test {
 protected:
  void SetUp() override { engine_ = &machine_.Load(); }
  MemoryMachine machine_;
  Engine* engine_ = nullptr;
};

TEST_F(CleanerHooksTest, StartAndEndAroundEachScannedSection) {
  const std::vector<Layout> layout = {
      {1, "Run", {"a", "b"}},
      {4, "Fonts", {}},
      {8, "Uninstall", {"u"}, -1, false, /*progressAfter=*/false},
      {16, "Throws", {"t1", "t2"}, -1, /*throwAfterFill=*/true},
      {64, "Types", {"x"}},
  };
  const Outcome outcome = Scan(*engine_, layout, 1 | 8 | 16 | 64, true);
  EXPECT_EQ(outcome.result, 2);
  EXPECT_EQ(outcome.events, (std::vector<std::string>{"start Run", "progress Run", "progress Run", "end Run 0",
                                                      "progress TRegistryCleaner", "start Uninstall",
                                                      "progress Uninstall", "end Uninstall 0",
                                                      // A section that raises still ends; its list is what it held.
                                                      "start Throws", "end Throws 2"}));
}

TEST_F(CleanerHooksTest, AnObservedScanIsTheSameScan) {
  const std::vector<Layout> layout = {
      {1, "Run", {"a", "b", "c"}},        {2, "Dlls", {"d"}},    {8, "Uninstall", {"u", "v"}, -1, false, false},
      {8, "AppPath", {"p", "q", "r"}, 1}, {32, "Clsid", {"c1"}}, {64, "Types", {"x", "y"}, 0},
  };
  for (std::int32_t mask : {0, 1, 3, 8, 9, 32, 64, 96, 127, 255, -1}) {
    const Outcome plain = Scan(*engine_, layout, mask, false);
    const Outcome hooked = Scan(*engine_, layout, mask, true);
    EXPECT_EQ(plain.result, hooked.result) << "mask " << mask;
    EXPECT_EQ(plain.events, WithoutHooks(hooked.events)) << "mask " << mask;
  }
}

}  // namespace
}  // namespace kv::testing
