// The contents of a registry below a key, as text, read through the seam: one line per key and one per
// value, in enumeration order. Two dumps compare equal when keys, value names, types and bytes agree.
#pragma once

#include <string>

#include "platform/registry_api.h"

namespace kv {
namespace test {

// Lines "path" for keys and "path\[name] type=N data=01 02 ..." for values; paths relative to `key`.
std::string DumpRegistry(RegistryApi& registry, RegKey key);

}  // namespace test
}  // namespace kv
