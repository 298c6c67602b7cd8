// The shortcut reader over any bytes: a path, no path, or not a shortcut, and nothing read outside the
// bytes given.
#include <string>

#include "fuzz/fuzz_targets.h"
#include "platform/offline/shell_link.h"

namespace kv::fuzz {

int FuzzShellLink(const std::uint8_t* data, std::size_t size) {
  // An exact copy on the heap, so that a read past its end is caught.
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string target = "untouched";
  switch (offline::ReadShellLink(bytes, &target)) {
    case offline::LinkParse::kPath: Require(!target.empty(), "a path that was found is not empty"); break;
    case offline::LinkParse::kNoPath: Require(target.empty(), "a link without a path gives none"); break;
    case offline::LinkParse::kInvalid:
      Require(target == "untouched", "a file that is not a link leaves the target alone");
      break;
  }
  return 0;
}

}  // namespace kv::fuzz
