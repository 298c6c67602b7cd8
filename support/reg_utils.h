// Printable names of the predefined root keys.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

// Sets `name` to the root key's name ("HKEY_LOCAL_MACHINE", ...); any other value leaves it unchanged.
void RootKeyToString(std::uint32_t rootKey, std::string& name);

}  // namespace kv
