// A generated machine written as a registry export in regedit's REGEDIT4 format and a list of its files
// (the format of examples/files.txt), for kvscan's --reg and --files or for `wine reg import`.
#pragma once

#include <ostream>
#include <string>

#include "writer/machine_writer.h"

namespace kv::bench {

class RegFileWriter : public MachineWriter {
 public:
  RegFileWriter(std::ostream& reg, std::ostream& files);
  void CreateKey(std::uint32_t root, const std::string& path) override;
  // REG_DWORD as dword:, REG_SZ quoted unless it holds a NUL of its own, other types as hex(N): with the
  // string types' text as 8-bit (UTF-8) bytes.
  void SetValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override;
  void AddFile(const std::string& path) override;
  void AddDirectory(const std::string& path) override;

 private:
  void Section(std::uint32_t root, const std::string& path);

  std::ostream& reg_;
  std::ostream& files_;
  std::string section_;
};

}  // namespace kv::bench
