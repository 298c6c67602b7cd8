// The scan driver over sections of our own making: order, masks, the first fault, guards, progress
// events and stop requests.
#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "scan/cleaner.h"
#include "tests/testing/list_section.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

// A section that examines a fixed list of names and logs that it was scanned.
class FakeSection : public ListSection {
 public:
  FakeSection(Engine& engine, std::string name, std::vector<std::string> items, std::vector<std::string>* log)
      : ListSection(engine, std::move(name), std::move(items)), log_(log) {}

  void Scan() override {
    log_->push_back(ClassName());
    ListSection::Scan();
  }

 private:
  std::vector<std::string>* log_;
};

class CleanerTest : public ::testing::Test {
 protected:
  void SetUp() override { engine_ = &machine_.Load(); }

  FakeSection* AddSection(std::uint32_t bit, const std::string& name, std::vector<std::string> items,
                          bool progressAfter = true) {
    auto section = std::make_unique<FakeSection>(*engine_, name, std::move(items), &log_);
    FakeSection* raw = section.get();
    table_.push_back({bit, std::move(section), progressAfter});
    return raw;
  }

  std::unique_ptr<TRegistryCleaner> MakeCleaner() {
    auto cleaner = std::make_unique<TRegistryCleaner>(*engine_, std::move(table_));
    cleaner->OnProgress = [this](EngineObject& sender) { events_.push_back(sender.ClassName()); };
    return cleaner;
  }

  MemoryMachine machine_;
  Engine* engine_ = nullptr;
  std::vector<TRegistryCleaner::Slot> table_;
  std::vector<std::string> log_;
  std::vector<std::string> events_;
};

TEST_F(CleanerTest, MaskSelectsGroupsInBitOrder) {
  struct Case {
    std::int32_t mask;
    std::vector<std::string> scanned;
  };
  const std::vector<Case> cases = {
      {0, {}},
      {128, {}},
      {-128, {}},
      {127, {"Startup1", "Startup2", "Fonts", "Uninstall", "AppPath", "FileExt"}},
      {8, {"Uninstall", "AppPath"}},
      {64 | 1 | 256, {"Startup1", "Startup2", "FileExt"}},
  };
  for (const Case& c : cases) {
    log_.clear();
    // Added out of bit order: the driver still runs the groups by bit, and a group's sections in table order.
    AddSection(64, "FileExt", {"a"});
    AddSection(1, "Startup1", {"a"});
    AddSection(8, "Uninstall", {"a"});
    AddSection(4, "Fonts", {});
    AddSection(1, "Startup2", {"a"});
    AddSection(8, "AppPath", {"a"});
    auto cleaner = MakeCleaner();
    cleaner->Mask = c.mask;
    EXPECT_EQ(cleaner->ScanSections(), 0) << "mask " << c.mask;
    EXPECT_EQ(log_, c.scanned) << "mask " << c.mask;
  }
}

TEST_F(CleanerTest, FirstFaultEndsTheScanWithItsCount) {
  AddSection(1, "Clean", {"a", "b"});
  AddSection(2, "Faulty", {"x", "y", "z"})->faultyAt = 1;  // y is faulty: y, z and the marker remain
  AddSection(4, "Later", {"a"});
  auto cleaner = MakeCleaner();
  EXPECT_EQ(cleaner->ScanSections(), 3);
  EXPECT_EQ(log_, (std::vector<std::string>{"Clean", "Faulty"}));
  // One event per sound item (from the section) and one after the clean section (from the driver); none
  // after the faulty one.
  EXPECT_EQ(events_, (std::vector<std::string>{"Clean", "Clean", "TRegistryCleaner", "Faulty"}));
}

TEST_F(CleanerTest, SectionThatThrowsAfterFillingItsListCountsAsFaulty) {
  AddSection(1, "Throws", {"a", "b", "c"})->throwAfterFill = true;
  AddSection(2, "Later", {"a"});
  auto cleaner = MakeCleaner();
  EXPECT_EQ(cleaner->ScanSections(), 3);
  EXPECT_EQ(log_, std::vector<std::string>{"Throws"});
}

TEST_F(CleanerTest, SectionThatThrowsWithAnEmptyListIsClean) {
  AddSection(1, "Throws", {})->throwAfterFill = true;
  AddSection(2, "Later", {});
  auto cleaner = MakeCleaner();
  EXPECT_EQ(cleaner->ScanSections(), 0);
  EXPECT_EQ(log_, (std::vector<std::string>{"Throws", "Later"}));
}

TEST_F(CleanerTest, NoProgressEventAfterTheUninstallSection) {
  AddSection(8, "Uninstall", {}, /*progressAfter=*/false);
  AddSection(8, "AppPath", {});
  auto cleaner = MakeCleaner();
  EXPECT_EQ(cleaner->ScanSections(), 0);
  EXPECT_EQ(events_, std::vector<std::string>{"TRegistryCleaner"});
}

TEST_F(CleanerTest, CancelFromAnotherThreadStopsBeforeTheNextItem) {
  std::promise<void> examining;
  std::promise<void> cancelled;
  std::shared_future<void> cancelledFuture = cancelled.get_future().share();
  FakeSection* section = AddSection(1, "Long", {"a", "b", "c", "d"});
  section->onExamine = [&, first = true](const std::string&) mutable {
    if (!first) return;
    first = false;
    examining.set_value();
    cancelledFuture.wait();
  };
  AddSection(2, "Later", {});
  auto cleaner = MakeCleaner();
  std::thread canceller([&] {
    examining.get_future().wait();
    cleaner->SetCancelled(true);
    cancelled.set_value();
  });
  // The item in progress ("a") is finished; b, c and d stay unexamined.
  EXPECT_EQ(cleaner->ScanSections(), 3);
  canceller.join();
  EXPECT_EQ(log_, std::vector<std::string>{"Long"});
  EXPECT_TRUE(cleaner->Cancelled);

  // A second scan clears the stop request and the lists.
  section->onExamine = nullptr;
  log_.clear();
  EXPECT_EQ(cleaner->ScanSections(), 0);
  EXPECT_EQ(log_, (std::vector<std::string>{"Long", "Later"}));
  EXPECT_FALSE(cleaner->Cancelled);
  for (const auto& slot : cleaner->Sections()) {
    EXPECT_EQ(slot.section->Count(), 0);
    EXPECT_FALSE(slot.section->Cancelled);
  }
}

TEST_F(CleanerTest, StopBetweenSectionsReturnsZero) {
  AddSection(1, "First", {"a"});
  AddSection(2, "Second", {"a"});
  auto cleaner = MakeCleaner();
  cleaner->OnProgress = [&](EngineObject& sender) {
    if (std::string(sender.ClassName()) == "TRegistryCleaner") engine_->ShuttingDown = true;
  };
  EXPECT_EQ(cleaner->ScanSections(), 0);
  EXPECT_EQ(log_, std::vector<std::string>{"First"});
}

TEST_F(CleanerTest, GroupNames) {
  const std::vector<std::pair<std::uint32_t, std::string>> names = {
      {1, "Startup"},        {2, "Shared DLLs"},  {4, "Font Entries"},     {8, "Application Info"},
      {16, "Miscellaneous"}, {32, "COM/ActiveX"}, {64, "File Extensions"}, {128, ""}};
  for (const auto& [bit, name] : names) EXPECT_EQ(GroupName(bit), name) << "bit " << bit;
}

}  // namespace
}  // namespace kv::testing
