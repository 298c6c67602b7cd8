// The application, system and history sections in the driver's fixed table: their groups, their order,
// and the uninstall section's missing progress event, seen through a scan of the driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "scan/cleaner.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

using Slots = std::vector<std::tuple<std::uint32_t, std::string, bool>>;

TEST(AppSectionsTable, GroupsAndOrder) {
  MemoryMachine machine;
  TRegistryCleaner cleaner(machine.Load());
  const std::vector<std::string> mine = {"TSharedDLL", "TRegFonts", "TUninstallInfo",
                                         "TAppPath",   "TSharedFolders", "TMRUList"};
  Slots found;
  std::vector<std::string> miscellaneous;
  for (const auto& slot : cleaner.Sections()) {
    const std::string name = slot.section->ClassName();
    if (std::find(mine.begin(), mine.end(), name) != mine.end()) found.emplace_back(slot.bit, name, slot.progressAfter);
    if (slot.bit == 16) miscellaneous.push_back(name);
  }
  EXPECT_EQ(found, (Slots{{2, "TSharedDLL", true},
                          {4, "TRegFonts", true},
                          {8, "TUninstallInfo", false},
                          {8, "TAppPath", true},
                          {16, "TSharedFolders", true},
                          {16, "TMRUList", true}}));
  // The shared folders open the "Miscellaneous" group and the Run history closes it.
  ASSERT_FALSE(miscellaneous.empty());
  EXPECT_EQ(miscellaneous.front(), "TSharedFolders");
  EXPECT_EQ(miscellaneous.back(), "TMRUList");
}

TEST(AppSectionsTable, ApplicationInfoGroupFiresNoEventAfterTheUninstallSection) {
  MemoryMachine machine;
  const std::string uninstall = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";
  machine.memory.registry.SetString(uninstall, "DisplayName", "App");
  machine.memory.registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe", "", "");
  TRegistryCleaner cleaner(machine.Load());
  cleaner.Mask = 8;
  std::vector<std::string> events;
  cleaner.OnProgress = [&](TObject& sender) { events.push_back(sender.ClassName()); };
  EXPECT_EQ(cleaner.ScanSections(), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"TUninstallInfo", "TAppPath", "TRegistryCleaner"}));
}

}  // namespace
}  // namespace kv::testing
