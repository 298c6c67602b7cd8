// The icon-index removal: whatever the text, the file part is a piece of it, no longer than it, a text
// without a comma comes back as it is, and the answer is the one the rule's own reading gives (cut at
// each comma, rejoin all but the last piece, a piece taken alone while the joined text is empty).
#include <algorithm>
#include <string>

#include "fuzz/fuzz_targets.h"
#include "scan/icon_index.h"

namespace kv::fuzz {
namespace {

std::string ReferenceRemoveIconIndex(const std::string& location) {
  std::string file;
  std::size_t start = 0;
  for (std::size_t comma = location.find(','); comma != std::string::npos; comma = location.find(',', start)) {
    const std::string piece = location.substr(start, comma - start);
    if (file.empty()) {
      file = piece;
    } else {
      file += ',';
      file += piece;
    }
    start = comma + 1;
  }
  return location.find(',') == std::string::npos ? location : file;
}

}  // namespace

int FuzzIconIndex(const std::uint8_t* data, std::size_t size) {
  const std::string location(reinterpret_cast<const char*>(data), size);
  const std::string file = RemoveIconIndex(location);
  Require(file == ReferenceRemoveIconIndex(location), "the file part is the one the rule's reading gives");
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
