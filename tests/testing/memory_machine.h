// A machine of the memory platform with the scan engine loaded over it. The engine sees the machine
// through a trace of its file-system calls and an audit of its handles, which tests read to watch what a
// scan asked and what it left open.
#pragma once

#include <memory>

#include "platform/memory/memory_platform.h"
#include "scan/engine.h"
#include "tests/testing/file_trace.h"
#include "tests/testing/handle_audit.h"

namespace kv::testing {

struct MemoryMachine {
  MemoryPlatform memory;
  FileTrace trace{memory.files};
  Platform traced{memory.registry, trace, memory.system};  // the machine behind the trace
  HandleAudit audit{traced};
  std::unique_ptr<Engine> engine;

  // What the engine is given: the machine behind the trace and the audit.
  Platform& platform() { return audit.platform(); }

  // (Re)loads the engine from what the machine holds now: lists, system information.
  Engine& Load() {
    engine.reset();
    engine = std::make_unique<Engine>(platform());
    return *engine;
  }
};

}  // namespace kv::testing
