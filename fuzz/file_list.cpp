// The list of files kvscan reads beside a registry export (--files): any bytes give either a machine with
// those files or a refusal that says which line is wrong; nothing raises, and an accepted list names only
// absolute paths, each of which can then be looked at without harm.
#include <sstream>
#include <string>

#include "cli/machine.h"
#include "fuzz/fuzz_targets.h"
#include "platform/memory/memory_platform.h"

namespace kv::fuzz {

int FuzzFileList(const std::uint8_t* data, std::size_t size) {
  const std::string list(reinterpret_cast<const char*>(data), size);
  MemoryFileSystem files;
  std::string error;
  if (!cli::AddListedFiles(files, list, &error)) {
    Require(error.rfind("line ", 0) == 0, "a refused list names the line that is wrong");
    return 0;
  }
  Require(error.empty(), "an accepted list leaves no error");
  // Every listed name can be asked about afterwards (the answer itself depends on how the name reads).
  std::istringstream lines(list);
  std::string line;
  while (std::getline(lines, line)) {
    files.Exists(line);
    files.GetAttributes(line);
  }
  return 0;
}

}  // namespace kv::fuzz
