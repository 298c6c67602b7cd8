// A machine written into the memory platform.
#pragma once

#include "platform/memory/memory_platform.h"
#include "writer/machine_writer.h"

namespace kv {

class MemoryWriter : public MachineWriter {
 public:
  explicit MemoryWriter(MemoryPlatform& machine) : machine_(machine) {}
  void CreateKey(std::uint32_t root, const std::string& path) override;
  void SetValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override;
  void AddFile(const std::string& path) override;
  void AddDirectory(const std::string& path) override;

 private:
  MemoryPlatform& machine_;
};

}  // namespace kv
