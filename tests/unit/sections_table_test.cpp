// The driver's fixed table, complete: all thirteen sections, their groups and their scan order; and the
// help, COM class and file type sections found faulty through the driver.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "scan/cleaner.h"
#include "tests/testing/memory_machine.h"

namespace kv::testing {
namespace {

TEST(SectionsTable, ThirteenSectionsInScanOrder) {
  MemoryMachine machine;
  TRegistryCleaner cleaner(machine.Load());
  std::vector<std::pair<std::uint32_t, std::string>> table;
  for (const auto& slot : cleaner.Sections()) table.emplace_back(slot.bit, slot.section->ClassName());
  EXPECT_EQ(table, (std::vector<std::pair<std::uint32_t, std::string>>{
                       {1, "TStartUpSectionHKLM"}, {1, "TStartUpSectionHKCU"}, {1, "TStartUpSectionSL"},
                       {2, "TSharedDLL"},          {4, "TRegFonts"},           {8, "TUninstallInfo"},
                       {8, "TAppPath"},            {16, "TSharedFolders"},     {16, "TWinHelp"},
                       {16, "THTMLHelp"},          {16, "TMRUList"},           {32, "TClsIdTYPES"},
                       {64, "TFileExtCommands"}}));
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
      {16, 2, "THTMLHelp"}, {32, 1, "TClsIdTYPES"}, {64, 1, "TFileExtCommands"}, {96, 1, "TClsIdTYPES"},
      {127, 2, "THTMLHelp"},
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
