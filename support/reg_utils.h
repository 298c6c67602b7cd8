// Printable names of the predefined root keys and of the keys below them.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

// Sets `name` to the root key's name ("HKEY_LOCAL_MACHINE", ...); any other value leaves it unchanged.
void RootKeyToString(std::uint32_t rootKey, std::string& name);

// The full name of a key below a root: "HKEY_LOCAL_MACHINE\SOFTWARE\...", or the root's name alone for an
// empty path (the form the memory registry's fixture calls and the tools' reports take).
std::string RootKeyPath(std::uint32_t rootKey, const std::string& path);

}  // namespace kv
