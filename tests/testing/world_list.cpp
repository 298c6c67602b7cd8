#include "tests/testing/world.h"

namespace kv::testing {

std::unique_ptr<World> MakeMemoryWorld();
#ifdef _WIN32
std::unique_ptr<World> MakeRealWorld();
#else
std::unique_ptr<World> MakeOfflineWorld();
#endif

std::vector<WorldKind> AllWorlds() {
  std::vector<WorldKind> worlds{{"Memory", MakeMemoryWorld}};
#ifdef _WIN32
  worlds.push_back({"Real", MakeRealWorld});
#endif
  return worlds;
}

std::vector<WorldKind> ContractWorlds() {
  std::vector<WorldKind> worlds = AllWorlds();
#ifndef _WIN32
  worlds.push_back({"Offline", MakeOfflineWorld});
#endif
  return worlds;
}

}  // namespace kv::testing
