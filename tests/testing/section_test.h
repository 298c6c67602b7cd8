// The fixture of the section tests: a memory machine seen through a trace of its file calls and a handle
// audit (the keys and searches open now, the most keys open at once, handles misused, a hook after each
// open), the engine loaded over them, and a scan that keeps the section's list and counts its progress events.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/memory/memory_platform.h"
#include "scan/engine.h"
#include "scan/section.h"
#include "tests/testing/file_trace.h"
#include "tests/testing/handle_audit.h"
#include "tests/testing/memory_machine.h"
#include "tests/testing/section_scan.h"

namespace kv::testing {

// `TestBase` is ::testing::Test, or ::testing::TestWithParam<...> for a parameterised suite.
template <typename TestBase = ::testing::Test>
class SectionTestOn : public TestBase {
 protected:
  MemoryRegistry& registry() { return memory_.registry; }
  MemoryFileSystem& files() { return memory_.files; }

  // The engine loaded anew over the machine as it stands now: its lists, its system information.
  Engine& Load() { return machine_.Load(); }

  // Scans `section` once and returns its list and the progress events of this scan. Each event also
  // counts in events_ (over the whole test) and runs onEvent_; the most keys open at once is counted
  // from this scan's start.
  ScanOutcome Scan(TNamedRegStringList& section) {
    scanEvents_ = 0;
    section.OnItemChecked = [this, &section](EngineObject& sender) {
      EXPECT_EQ(&sender, static_cast<EngineObject*>(&section)) << "the event names the section that scans";
      ++scanEvents_;
      ++events_;
      if (onEvent_) onEvent_();
    };
    audit_.ResetMostOpenKeys();
    section.Scan();
    return ScanOutcome{section.Strings(), scanEvents_};
  }

  // Whether a file-system call since the trace was last cleared named `text`.
  bool FileSystemAsked(const std::string& text) const {
    for (const std::string& call : trace_.Calls()) {
      if (call.find(text) != std::string::npos) return true;
    }
    return false;
  }

  MemoryMachine machine_;
  MemoryPlatform& memory_ = machine_.memory;
  FileTrace& trace_ = machine_.trace;
  HandleAudit& audit_ = machine_.audit;
  std::unique_ptr<Engine>& engine_ = machine_.engine;
  int events_ = 0;
  std::function<void()> onEvent_;

 private:
  int scanEvents_ = 0;
};

using SectionTest = SectionTestOn<>;

}  // namespace kv::testing
