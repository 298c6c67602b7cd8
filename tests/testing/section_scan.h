// Runs a section scanner once and keeps what a test looks at: the list it left and the progress events.
#pragma once

#include <string>
#include <vector>

#include "scan/section.h"

namespace kv::testing {

struct ScanOutcome {
  std::vector<std::string> list;
  int events = 0;  // OnItemChecked calls
};

inline ScanOutcome RunScan(TNamedRegStringList& section) {
  ScanOutcome outcome;
  section.OnItemChecked = [&outcome](EngineObject&) { ++outcome.events; };
  section.Scan();
  section.OnItemChecked = nullptr;
  outcome.list = section.Strings();
  return outcome;
}

}  // namespace kv::testing
