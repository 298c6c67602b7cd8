// The list a section walks: names leave it from the front as they are judged sound, and what the
// progress event, the judge and the report see of it is the list as it stands at that moment.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/section.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

// Walks `names`, the name at `faultyAt` (if any) faulty; records the list as each judgement and each
// progress event saw it.
class WalkedSection : public TNamedRegStringList {
 public:
  WalkedSection(Engine& engine, std::vector<std::string> names, int faultyAt)
      : TNamedRegStringList(engine), names_(std::move(names)), faultyAt_(faultyAt) {}
  const char* ClassName() const override { return "WalkedSection"; }

  void Scan() override {
    Clear();
    for (const std::string& name : names_) Add(name);
    int position = 0;
    WalkNames(
        [&](const std::string& name) {
          seen.push_back(name + " of " + std::to_string(Count()) + ", first " + (*this)[0]);
          return position++ != faultyAt_;
        },
        KeyAfterWalk::kClosed);
  }

  std::vector<std::string> seen;

 private:
  std::vector<std::string> names_;
  int faultyAt_;
};

TEST(SectionList, NamesLeaveFromTheFrontAndTheRestStaysInOrder) {
  MemoryMachine machine;
  Engine& engine = machine.Load();
  struct Case {
    int count;
    int faultyAt;
  };
  for (const Case& c : {Case{0, -1}, Case{1, -1}, Case{5, -1}, Case{5, 0}, Case{5, 3}, Case{5, 4}, Case{300, 150}}) {
    std::vector<std::string> names;
    for (int i = 0; i < c.count; ++i) names.push_back("n" + std::to_string(i));
    WalkedSection section(engine, names, c.faultyAt);
    std::vector<int> counts;
    section.OnItemChecked = [&](EngineObject&) { counts.push_back(section.Count()); };
    section.Scan();

    const int judged = c.faultyAt < 0 ? c.count : c.faultyAt + 1;
    ASSERT_EQ(static_cast<int>(section.seen.size()), judged) << c.count << " names, faulty at " << c.faultyAt;
    for (int i = 0; i < judged; ++i)
      EXPECT_EQ(section.seen[static_cast<std::size_t>(i)],
                "n" + std::to_string(i) + " of " + std::to_string(c.count - i) + ", first n" + std::to_string(i))
          << c.count << " names, faulty at " << c.faultyAt;
    std::vector<int> expectedCounts;
    for (int i = 1; i <= (c.faultyAt < 0 ? c.count : c.faultyAt); ++i) expectedCounts.push_back(c.count - i);
    EXPECT_EQ(counts, expectedCounts) << c.count << " names, faulty at " << c.faultyAt;

    std::vector<std::string> rest;
    if (c.faultyAt >= 0) {
      rest.assign(names.begin() + c.faultyAt, names.end());
      rest.push_back("");
    }
    EXPECT_EQ(section.Strings(), rest) << c.count << " names, faulty at " << c.faultyAt;
    EXPECT_EQ(section.Count(), static_cast<int>(rest.size()));
    // The list goes on as a list: added to, deleted from anywhere, emptied.
    section.Add("late");
    if (section.Count() > 2) {
      section.Delete(1);
      rest.erase(rest.begin() + 1);
    }
    rest.push_back("late");
    EXPECT_EQ(section.Strings(), rest) << c.count << " names, faulty at " << c.faultyAt;
    section.Clear();
    EXPECT_EQ(section.Count(), 0);
  }
}

}  // namespace
}  // namespace kv::testing
