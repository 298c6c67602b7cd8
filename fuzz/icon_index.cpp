// The icon-index removal: whatever the text, the file part is a piece of it, no longer than it, and a text
// without a comma comes back as it is.
#include <algorithm>
#include <string>

#include "fuzz/fuzz_targets.h"
#include "scan/icon_index.h"

namespace kv::fuzz {

int FuzzIconIndex(const std::uint8_t* data, std::size_t size) {
  const std::string location(reinterpret_cast<const char*>(data), size);
  const std::string file = RemoveIconIndex(location);
  if (location.find(',') == std::string::npos) {
    Require(file == location, "a location without a comma is its own file part");
    return 0;
  }
  Require(file.size() < location.size(), "the index and its comma are taken off");
  Require(location.find(file) != std::string::npos, "the file part is a piece of the location");
  Require(std::count(file.begin(), file.end(), ',') < std::count(location.begin(), location.end(), ','),
          "the last comma is gone");
  return 0;
}

}  // namespace kv::fuzz
