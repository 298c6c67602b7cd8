// Writes keys of a memory registry into a hive file, with the hive library's write calls on an empty hive
// (for test machines and examples; a real installation is never written). Values larger than the library
// writes without a big-data record are left out and named in `skipped`.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"

namespace kv::offline {

struct HivePart {
  std::uint32_t root = 0;                        // the memory registry's root
  std::string path;                              // a key below it (empty: the root itself)
  std::string under;                             // the hive key it becomes (empty: the hive's root)
  std::function<bool(const std::string&)> skip;  // names of subkeys of `path` to leave out
};

// The largest single value written.
constexpr std::size_t kMaxHiveValueBytes = 16 * 1024 - 16;

// Writes `parts` in order (later ones add to earlier ones) into a copy of `emptyHive` saved as `out`.
// False with a message on failure.
bool WriteHiveFile(RegistryApi& registry, const std::vector<HivePart>& parts, const std::string& emptyHive,
                   const std::string& out, std::vector<std::string>* skipped, std::string* error);

}  // namespace kv::offline
