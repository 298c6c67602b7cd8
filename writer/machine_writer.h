// Writing a machine: registry keys and values below the predefined roots, files and folders. The tests'
// worlds set up their fixtures through it and the benchmark writes its generated machines through it, into
// the memory platform (memory_writer.h), the real registry and drive (win32/win32_writer.h) or elsewhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

class MachineWriter {
 public:
  virtual ~MachineWriter() = default;
  // Registry. `root` is a predefined key code, `path` a key below it; paths and names are UTF-8. Keys are
  // created as needed.
  virtual void CreateKey(std::uint32_t root, const std::string& path) = 0;
  // Stores `data` byte for byte (string types: UTF-16LE, as the registry keeps them; see the helpers below).
  virtual void SetValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) = 0;
  // Files (empty) and folders, absolute paths in UTF-8. Parents are created as needed; an existing file
  // is left alone.
  virtual void AddFile(const std::string& path) = 0;
  virtual void AddDirectory(const std::string& path) = 0;
};

// Value data as the registry keeps it: a string (REG_SZ, REG_EXPAND_SZ) as UTF-16LE with its closing NUL,
// a REG_DWORD little-endian, a REG_MULTI_SZ as each string and its NUL, then the closing NUL.
std::vector<std::uint8_t> StringBytes(const std::string& text);
std::vector<std::uint8_t> DwordBytes(std::uint32_t value);
std::vector<std::uint8_t> MultiStringBytes(const std::vector<std::string>& strings);

}  // namespace kv
