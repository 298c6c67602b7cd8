// A generated machine written into the memory platform.
#pragma once

#include "bench/generator.h"
#include "platform/memory/memory_platform.h"

namespace kv::bench {

class MemorySink : public MachineSink {
 public:
  explicit MemorySink(MemoryPlatform& machine) : machine_(machine) {}
  void CreateKey(std::uint32_t root, const std::string& path) override;
  void SetString(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text,
                 bool expandable) override;
  void SetDword(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t value) override;
  void SetMultiString(std::uint32_t root, const std::string& path, const std::string& name,
                      const std::vector<std::string>& strings) override;
  void AddFile(const std::string& path) override;
  void AddFolder(const std::string& path) override;

 private:
  MemoryPlatform& machine_;
};

}  // namespace kv::bench
