// Writing a machine: registry keys and values below the predefined roots, files and folders. The tests'
// worlds set up their fixtures through it and the benchmark writes its generated machines through it, into
// the memory platform (memory_writer.h), the real registry and drive (win32/win32_writer.h) or elsewhere.
// Value data in the registry's own form comes from StringBytes, DwordBytes and MultiStringBytes, which the
// memory platform's own setters use too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"

namespace kv {

class MachineWriter {
 public:
  virtual ~MachineWriter() = default;
  // Registry. `root` is a predefined key code, `path` a key below it; paths and names are UTF-8. Keys are
  // created as needed.
  virtual void CreateKey(std::uint32_t root, const std::string& path) = 0;
  // Stores `data` byte for byte (string types: UTF-16LE, as the registry keeps them; see StringBytes).
  virtual void SetValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) = 0;
  // Files (empty) and folders, absolute paths in UTF-8. Parents are created as needed; an existing file
  // is left alone.
  virtual void AddFile(const std::string& path) = 0;
  virtual void AddDirectory(const std::string& path) = 0;
};

}  // namespace kv
