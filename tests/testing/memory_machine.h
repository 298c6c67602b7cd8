// A machine of the memory platform with the scan engine loaded over it.
#pragma once

#include <memory>

#include "platform/memory/memory_platform.h"
#include "scan/engine.h"

namespace kv::testing {

struct MemoryMachine {
  MemoryPlatform memory;
  std::unique_ptr<Engine> engine;

  // (Re)loads the engine from what the machine holds now: lists, system information.
  Engine& Load() {
    engine.reset();
    engine = std::make_unique<Engine>(memory.platform());
    return *engine;
  }
};

}  // namespace kv::testing
