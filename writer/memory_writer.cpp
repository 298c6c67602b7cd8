#include "writer/memory_writer.h"

#include "support/reg_utils.h"

namespace kv {

void MemoryWriter::CreateKey(std::uint32_t root, const std::string& path) {
  machine_.registry.CreateKey(RootKeyPath(root, path));
}

void MemoryWriter::SetValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
                            const std::vector<std::uint8_t>& data) {
  machine_.registry.SetValue(RootKeyPath(root, path), name, type, data);
}

void MemoryWriter::AddFile(const std::string& path) {
  if (!machine_.files.Exists(path)) machine_.files.AddFile(path);
}

void MemoryWriter::AddDirectory(const std::string& path) { machine_.files.AddDirectory(path); }

}  // namespace kv
