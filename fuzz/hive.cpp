// The hive reader over any bytes: it loads the hive into the registry or refuses it with a message, and
// never loops, crashes or leaves a key open.
#include <string>

#include "fuzz/fuzz_targets.h"
#include "platform/offline/hive_loader.h"
#include "tests/testing/handle_audit.h"

namespace kv::fuzz {

int FuzzHive(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  MemoryPlatform machine;
  MemoryRegistry& registry = machine.registry;
  testing::HandleAudit audit(machine.platform());
  offline::HiveInfo info;
  std::string error;
  const bool loaded = offline::LoadHive(bytes, "", registry, "HKLM\\SOFTWARE", &info, &error);
  if (loaded) {
    Require(info.keys >= 1, "a hive that loads has its root key");
    Require(registry.KeyExists("HKLM\\SOFTWARE"), "the hive's root is where it was asked for");
  } else {
    Require(!error.empty(), "a refused hive says why");
  }
  Require(audit.OpenKeys() == 0, "every key opened is closed again");
  return 0;
}

}  // namespace kv::fuzz
