// Registry files as regedit writes them ("REGEDIT4" or "Windows Registry Editor Version 5.00"; UTF-16LE
// with a byte-order mark, UTF-8 with one, or 8-bit text), loaded into a memory registry: the example
// machine kvscan scans, the fixtures of the tests, the benchmark's machines. The whole file is checked
// first and turned into a list of changes; only a file without a fault is applied, as one change, so a
// bad file changes nothing.
#pragma once

#include <string>

#include "platform/memory/memory_platform.h"

namespace kv {

// Loads the bytes of a file. On a fault returns false with "line N: what is wrong" in `error`.
bool LoadRegFile(MemoryRegistry& registry, const std::string& fileBytes, std::string* error);
// The same for the file at `path` (also false when it cannot be read).
bool LoadRegFileFromPath(MemoryRegistry& registry, const std::string& path, std::string* error);

}  // namespace kv
