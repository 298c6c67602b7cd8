// The process's engine: installed, replaced, taken away. Taking it away never goes through a null engine.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "platform/memory/memory_platform.h"
#include "scan/engine.h"

namespace kv::testing {
namespace {

TEST(EngineInstall, AnEngineIsInstalledUntilTakenAwayAndANullOneIsRefused) {
  MemoryPlatform machine;
  Engine& installed = InstallEngine(std::make_unique<Engine>(machine.platform()));
  EXPECT_EQ(&TheEngine(), &installed);
  EXPECT_THROW(InstallEngine(nullptr), std::invalid_argument);
  EXPECT_EQ(&TheEngine(), &installed);
  UninstallEngine();
  EXPECT_THROW(TheEngine(), std::logic_error);
  UninstallEngine();  // nothing installed: nothing happens
  EXPECT_THROW(TheEngine(), std::logic_error);
}

}  // namespace
}  // namespace kv::testing
