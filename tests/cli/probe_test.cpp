// One observed probe: the section that reported first, per-section counts, interrupts and exit statuses,
// the mask the monitor would use, and what a faulty entry is explained as.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/probe.h"
#include "tests/testing/list_section.h"
#include "tests/testing/memory_machine.h"

namespace kv::cli {
namespace {

using kv::testing::ListSection;
using kv::testing::MemoryMachine;

class ProbeTest : public ::testing::Test {
 protected:
  void SetUp() override { engine_ = &machine_.Load(); }

  ListSection* Add(std::uint32_t bit, const std::string& name, std::vector<std::string> items, int faultyAt = -1) {
    auto section = std::make_unique<ListSection>(*engine_, name, std::move(items));
    section->faultyAt = faultyAt;
    ListSection* raw = section.get();
    table_.push_back({bit, std::move(section), true});
    return raw;
  }

  ProbeReport Probe(std::int32_t mask, const ProbeObserver& observer = {}) {
    cleaner_ = std::make_unique<TRegistryCleaner>(*engine_, std::move(table_));
    return RunProbe(*engine_, *cleaner_, mask, interrupter_, observer);
  }

  MemoryMachine machine_;
  Engine* engine_ = nullptr;
  std::vector<TRegistryCleaner::Slot> table_;
  std::unique_ptr<TRegistryCleaner> cleaner_;
  Interrupter interrupter_;
};

TEST_F(ProbeTest, CleanProbeCountsItemsPerSection) {
  Add(1, "TStartUpSectionHKLM", {"a", "b", "c"});
  Add(1, "TStartUpSectionHKCU", {});
  Add(4, "TRegFonts", {"f"});
  Add(64, "TFileExtCommands", {"x"});
  const ProbeReport report = Probe(1 | 4);
  EXPECT_TRUE(report.Clean());
  EXPECT_EQ(report.result, 0);
  EXPECT_EQ(report.mask, 5);
  EXPECT_EQ(ExitStatus(report), 0);
  EXPECT_TRUE(report.section.empty());
  EXPECT_TRUE(report.list.empty());
  ASSERT_EQ(report.sections.size(), 3u);
  const struct {
    const char* name;
    const char* group;
    long items;
  } expected[] = {
      {"TStartUpSectionHKLM", "Startup", 3}, {"TStartUpSectionHKCU", "Startup", 0}, {"TRegFonts", "Font Entries", 1}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(report.sections[i].name, expected[i].name);
    EXPECT_EQ(report.sections[i].group, expected[i].group);
    EXPECT_EQ(report.sections[i].items, expected[i].items) << expected[i].name;
    EXPECT_EQ(report.sections[i].count, 0);
    EXPECT_GE(report.sections[i].ms, 0.0);
  }
}

TEST_F(ProbeTest, FaultNamesTheFirstSectionAndItsList) {
  Add(1, "TStartUpSectionHKLM", {"a"});
  Add(8, "TUninstallInfo", {"u1", "u2", "u3", "u4"}, 1);  // u2 is faulty: u2, u3, u4 and the marker remain
  Add(8, "TAppPath", {"p"}, 0);                           // faulty too, but never reached
  const ProbeReport report = Probe(127);
  EXPECT_FALSE(report.Clean());
  EXPECT_EQ(report.result, 4);
  EXPECT_EQ(ExitStatus(report), 1);
  EXPECT_EQ(report.section, "TUninstallInfo");
  EXPECT_EQ(report.group, "Application Info");
  EXPECT_EQ(report.list, (std::vector<std::string>{"u2", "u3", "u4", ""}));
  ASSERT_EQ(report.sections.size(), 2u);
  EXPECT_EQ(report.sections[1].items, 1);
  EXPECT_EQ(report.sections[1].count, 4);
}

TEST_F(ProbeTest, InterruptEndsTheProbeAtTheNextItem) {
  ListSection* section = Add(1, "TStartUpSectionHKLM", {"a", "b", "c", "d"});
  Add(2, "TSharedDLL", {"e"});
  section->onExamine = [this](const std::string& item) {
    if (item == "b") interrupter_.Interrupt();  // as Ctrl+C would, while "b" is examined
  };
  const ProbeReport report = Probe(127);
  EXPECT_TRUE(report.cancelled);
  EXPECT_EQ(report.result, -1);
  EXPECT_EQ(ExitStatus(report), 130);
  EXPECT_TRUE(report.section.empty());
  ASSERT_EQ(report.sections.size(), 1u);
  EXPECT_EQ(report.sections[0].items, 2);  // "b" is finished, "c" never started
}

TEST_F(ProbeTest, InterruptBeforeTheProbeStartsIsNotLost) {
  ListSection* section = Add(1, "TStartUpSectionHKLM", {"a", "b"});
  int examined = 0;
  section->onExamine = [&](const std::string&) { ++examined; };
  interrupter_.Interrupt();
  const ProbeReport report = Probe(127);
  EXPECT_TRUE(report.cancelled);
  EXPECT_EQ(ExitStatus(report), 130);
  EXPECT_EQ(examined, 0);
}

TEST_F(ProbeTest, ObserverSeesSectionsAndItems) {
  Add(1, "TStartUpSectionHKLM", {"a", "b"});
  Add(2, "TSharedDLL", {"c"});
  std::vector<std::string> seen;
  ProbeObserver observer;
  observer.sectionStarted = [&](const std::string& name) { seen.push_back(name); };
  observer.itemChecked = [&](long items) { seen.push_back(std::to_string(items)); };
  Probe(127, observer);
  EXPECT_EQ(seen, (std::vector<std::string>{"TStartUpSectionHKLM", "1", "2", "TSharedDLL", "1"}));
}

TEST(KvscanMask, TheMonitorsSetting) {
  constexpr const char* kKey = "HKCU\\Software\\Tamberlyn\\Keyvane";
  struct Case {
    const char* what;
    std::function<void(MemoryRegistry&)> setUp;
    std::int32_t mask;
  };
  const Case cases[] = {
      {"no settings key", [](MemoryRegistry&) {}, 127},
      {"empty key", [](MemoryRegistry& r) { r.CreateKey(kKey); }, 127},
      {"both values",
       [](MemoryRegistry& r) {
         r.SetDword(kKey, "Monitoring", 1);
         r.SetDword(kKey, "Items For Monitoring", 40);
       },
       40},
      {"monitoring off still gives the mask",
       [](MemoryRegistry& r) {
         r.SetDword(kKey, "Monitoring", 0);
         r.SetDword(kKey, "Items For Monitoring", 12);
       },
       12},
      {"mask missing", [](MemoryRegistry& r) { r.SetDword(kKey, "Monitoring", 1); }, 127},
      {"mask not a number",
       [](MemoryRegistry& r) {
         r.SetDword(kKey, "Monitoring", 1);
         r.SetString(kKey, "Items For Monitoring", "12");
       },
       127},
      {"monitoring missing", [](MemoryRegistry& r) { r.SetDword(kKey, "Items For Monitoring", 12); }, 127},
      {"mask zero",
       [](MemoryRegistry& r) {
         r.SetDword(kKey, "Monitoring", 1);
         r.SetDword(kKey, "Items For Monitoring", 0);
       },
       0},
  };
  for (const Case& c : cases) {
    MemoryPlatform machine;
    c.setUp(machine.registry);
    EXPECT_EQ(ReadMonitorMask(machine.platform()), c.mask) << c.what;
  }
}

TEST(KvscanExplain, WhatTheFirstStringNames) {
  MemoryMachine machine;
  MemoryRegistry& registry = machine.memory.registry;
  registry.SetString("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Updater", "C:\\gone\\upd.exe /q");
  registry.SetDword("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Odd", 7);
  registry.SetString("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orbit", "UninstallString",
                     "C:\\Orbit\\uninst.exe");
  registry.SetString("HKCR\\CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32", "", "C:\\gone.dll");
  Engine& engine = machine.Load();

  struct Case {
    const char* className;
    std::uint32_t root;
    const char* keyPath;
    const char* first;
    Explanation expected;
  };
  const Case cases[] = {
      {"TStartUpSectionHKLM",
       HKEY_LOCAL_MACHINE_CODE,
       "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
       "Updater",
       {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Updater", "REG_SZ",
        "C:\\gone\\upd.exe /q", SectionRule("TStartUpSectionHKLM")}},
      {"TRegFonts",
       HKEY_LOCAL_MACHINE_CODE,
       "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
       "Odd",
       {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Odd", "REG_DWORD", "7",
        SectionRule("TRegFonts")}},
      {"TUninstallInfo",
       HKEY_LOCAL_MACHINE_CODE,
       "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
       "Orbit",
       {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orbit", "UninstallString",
        "REG_SZ", "C:\\Orbit\\uninst.exe", SectionRule("TUninstallInfo")}},
      {"TClsIdTYPES",
       HKEY_CLASSES_ROOT_CODE,
       "CLSID",
       "HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32",
       {"HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32", "(default)", "REG_SZ",
        "C:\\gone.dll", SectionRule("TClsIdTYPES")}},
      // A value that is not there (any more): where, but nothing read.
      {"TStartUpSectionHKLM",
       HKEY_LOCAL_MACHINE_CODE,
       "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
       "Missing",
       {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Missing", "", "",
        SectionRule("TStartUpSectionHKLM")}},
  };
  for (const Case& c : cases) {
    ListSection section(engine, c.className, {});
    section.Registry.SetRootKey(c.root);
    section.KeyPath = c.keyPath;
    section.Add(c.first);
    section.Add("");
    const Explanation got = Explain(engine, section);
    EXPECT_EQ(got.where, c.expected.where) << c.className << " " << c.first;
    EXPECT_EQ(got.value, c.expected.value) << c.className << " " << c.first;
    EXPECT_EQ(got.type, c.expected.type) << c.className << " " << c.first;
    EXPECT_EQ(got.data, c.expected.data) << c.className << " " << c.first;
    EXPECT_EQ(got.rule, c.expected.rule) << c.className << " " << c.first;
    EXPECT_FALSE(got.rule.empty()) << c.className;
  }
}

}  // namespace
}  // namespace kv::cli
