// The driver's fixed table, complete: all thirteen sections, their groups and their scan order; and the
// help, COM class and file type sections found faulty through the driver.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "scan/cleaner.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

TEST(SectionsTable, ThirteenSectionsInScanOrder) {
  MemoryMachine machine;
  TRegistryCleaner cleaner(machine.Load());
  using Slots = std::vector<std::tuple<std::uint32_t, std::string, bool>>;
  Slots table;
  for (const auto& slot : cleaner.Sections())
    table.emplace_back(slot.bit, slot.section->ClassName(), slot.progressAfter);
  // Only the uninstall section is followed by no progress event.
  EXPECT_EQ(table, (Slots{{1, "TStartUpSectionHKLM", true},
                          {1, "TStartUpSectionHKCU", true},
                          {1, "TStartUpSectionSL", true},
                          {2, "TSharedDLL", true},
                          {4, "TRegFonts", true},
                          {8, "TUninstallInfo", false},
                          {8, "TAppPath", true},
                          {16, "TSharedFolders", true},
                          {16, "TWinHelp", true},
                          {16, "THTMLHelp", true},
                          {16, "TMRUList", true},
                          {32, "TClsIdTYPES", true},
                          {64, "TFileExtCommands", true}}));
}

TEST(SectionsTable, ApplicationInfoGroupFiresNoEventAfterTheUninstallSection) {
  MemoryMachine machine;
  const std::string uninstall = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";
  machine.memory.registry.SetString(uninstall, "DisplayName", "App");
  machine.memory.registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe", "", "");
  TRegistryCleaner cleaner(machine.Load());
  cleaner.Mask = 8;
  std::vector<std::string> events;
  cleaner.OnProgress = [&](EngineObject& sender) { events.push_back(sender.ClassName()); };
  EXPECT_EQ(cleaner.ScanSections(), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"TUninstallInfo", "TAppPath", "TRegistryCleaner"}));
}

TEST(SectionsTable, TheDriverReportsTheFirstFaultySectionOfTheMask) {
  MemoryMachine machine;
  machine.memory.registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\HTML Help", "gone.chm", "C:\\Help");
  machine.memory.registry.SetString("HKCR\\CLSID\\{11111111-2222-3333-4444-555555555555}\\LocalServer32", "",
                                    "C:\\App\\gone.exe");
  machine.memory.registry.SetString("HKCR\\.abc", "", "missingfile");
  struct Case {
    std::int32_t mask;
    std::int32_t result;
    std::string section;
  };
  const std::vector<Case> cases = {
      {16, 2, "THTMLHelp"},   {32, 1, "TClsIdTYPES"}, {64, 1, "TFileExtCommands"},
      {96, 1, "TClsIdTYPES"}, {127, 2, "THTMLHelp"},
  };
  for (const Case& c : cases) {
    TRegistryCleaner cleaner(machine.Load());
    cleaner.Mask = c.mask;
    EXPECT_EQ(cleaner.ScanSections(), c.result) << "mask " << c.mask;
    std::string reported;
    for (const auto& slot : cleaner.Sections()) {
      if (slot.section->Count() != 0 && reported.empty()) reported = slot.section->ClassName();
    }
    EXPECT_EQ(reported, c.section) << "mask " << c.mask;
  }
}

}  // namespace
}  // namespace kv::testing
