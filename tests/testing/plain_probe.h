// The differential check of the probe's economies: the same machine probed plain (no memo of the file
// system, every section asking the old way) and optimised must give the same verdict and the same list in
// every section.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "scan/cleaner.h"
#include "scan/engine.h"

namespace kv::testing {

// Probes with the cleaner's current mask, plain first, then optimised, and expects the same answers; each
// failure names `label` and the section. Returns the plain probe's verdict.
inline std::int32_t ExpectPlainAndOptimisedAgree(Engine& engine, TRegistryCleaner& cleaner, const std::string& label) {
  engine.Memo.SetEnabled(false);
  engine.Plain = true;
  const std::int32_t plain = cleaner.ScanSections();
  std::vector<std::vector<std::string>> plainLists;
  for (const auto& slot : cleaner.Sections()) plainLists.push_back(slot.section->Strings());

  engine.Memo.SetEnabled(true);
  engine.Plain = false;
  EXPECT_EQ(cleaner.ScanSections(), plain) << label;
  for (std::size_t i = 0; i < cleaner.Sections().size(); ++i)
    EXPECT_EQ(cleaner.Sections()[i].section->Strings(), plainLists[i])
        << label << " " << cleaner.Sections()[i].section->ClassName();
  return plain;
}

}  // namespace kv::testing
