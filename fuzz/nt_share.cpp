// The NT share value's folder against a second reading of the rule: the rest of the first line (lines end
// at a NUL) that begins with "Path="; nothing, and the output left alone, when no line does.
#include <string>

#include "fuzz/fuzz_targets.h"
#include "scan/sections/shared_folders.h"

namespace kv::fuzz {

int FuzzNtShare(const std::uint8_t* data, std::size_t size) {
  const std::string strings(reinterpret_cast<const char*>(data), size);
  std::size_t line = 0;
  if (strings.compare(0, 5, "Path=") != 0) {
    line = strings.find(std::string("\0Path=", 6));
    if (line != std::string::npos) ++line;
  }

  std::string folder = "untouched";
  const bool found = ExtractNtSharePath(strings, folder);
  Require(found == (line != std::string::npos), "a folder is found exactly when a line begins with Path=");
  if (!found) {
    Require(folder == "untouched", "no folder found leaves the output alone");
    return 0;
  }
  const std::size_t end = strings.find('\0', line);
  Require(folder == strings.substr(line + 5, end == std::string::npos ? std::string::npos : end - line - 5),
          "the folder is the rest of the first Path= line");
  return 0;
}

}  // namespace kv::fuzz
