// The .reg loader over any bytes: it loads or refuses, and a refused file changes nothing. A file that
// loads gives the same registry when it is loaded a second time (later lines win, deletions are final), and
// leaves no key open.
#include <string>

#include "fuzz/fuzz_targets.h"
#include "platform/memory/memory_platform.h"
#include "platform/memory/reg_file.h"
#include "tests/testing/handle_audit.h"
#include "tests/testing/registry_dump.h"

namespace kv::fuzz {
namespace {

std::string Dump(RegistryApi& registry) {
  std::string out;
  for (std::uint32_t root :
       {HKEY_LOCAL_MACHINE_CODE, HKEY_CURRENT_USER_CODE, HKEY_USERS_CODE, HKEY_CURRENT_CONFIG_CODE})
    out += "root " + std::to_string(root) + "\n" + test::DumpRegistry(registry, root);
  return out;
}

}  // namespace

int FuzzRegLoader(const std::uint8_t* data, std::size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  MemoryPlatform machine;
  MemoryRegistry& registry = machine.registry;
  testing::HandleAudit audit(machine.platform());  // every read of the registry goes through it
  RegistryApi& seen = audit.platform().registry;
  registry.SetString("HKCU\\Existing", "Kept", "value");
  const std::string before = Dump(seen);

  std::string error;
  const bool loaded = LoadRegFile(registry, file, &error);
  const std::string after = Dump(seen);
  if (!loaded) {
    Require(!error.empty(), "a refused file says why");
    Require(after == before, "a refused file changes nothing");
  } else {
    Require(LoadRegFile(registry, file, &error), "a file that loaded loads again");
    Require(Dump(seen) == after, "loading a file twice gives what loading it once gave");
  }
  Require(audit.OpenKeys() == 0, "every key opened is closed again");
  return 0;
}

}  // namespace kv::fuzz
