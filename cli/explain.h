// What the first entry of a faulty section's list stands for: where it lives, what it holds, and the rule
// by which that section judges it.
#pragma once

#include <string>

#include "scan/engine.h"
#include "scan/section.h"

namespace kv::cli {

struct Explanation {
  std::string where;  // the registry key (or, for a startup shortcut, the shortcut file)
  std::string value;  // the value examined there: its name, "(default)", or empty
  std::string type;   // the value's type ("REG_SZ", "REG_DWORD", ...), or empty
  std::string data;   // the value's text as the section read it (path variables replaced), or the target
  std::string rule;   // why such an entry counts as invalid
};

// Reads what `section`'s first list string names, after that section's scan reported a fault. Reads
// only; a value that cannot be read leaves its fields empty.
Explanation Explain(Engine& engine, const TNamedRegStringList& section);

// The rule of a section class ("" for a class this tool does not know).
std::string SectionRule(const std::string& sectionClass);

// What a section class examines, in words a user knows ("Run keys of the machine", "File types and their
// commands"); "" for a class this tool does not know.
std::string SectionLabel(const std::string& sectionClass);

}  // namespace kv::cli
