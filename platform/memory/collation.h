// The memory platform's user sort order taken character by character on all three levels, for any text
// (memory_collation.cpp describes the order). MemorySystem::CompareUserLocale answers two texts of plain
// ASCII by a shorter road; this is the comparison that road must agree with.
#pragma once

#include <string>

namespace kv {

int CompareByCharacters(const std::string& a, const std::string& b);

}  // namespace kv
