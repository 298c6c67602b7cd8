#include "bench/memory_sink.h"

#include "support/reg_utils.h"

namespace kv::bench {

void MemorySink::CreateKey(std::uint32_t root, const std::string& path) {
  machine_.registry.CreateKey(RootKeyPath(root, path));
}

void MemorySink::SetString(std::uint32_t root, const std::string& path, const std::string& name,
                           const std::string& text, bool expandable) {
  machine_.registry.SetString(RootKeyPath(root, path), name, text, expandable ? REG_EXPAND_SZ_TYPE : REG_SZ_TYPE);
}

void MemorySink::SetDword(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t value) {
  machine_.registry.SetDword(RootKeyPath(root, path), name, value);
}

void MemorySink::SetMultiString(std::uint32_t root, const std::string& path, const std::string& name,
                                const std::vector<std::string>& strings) {
  machine_.registry.SetMultiString(RootKeyPath(root, path), name, strings);
}

void MemorySink::AddFile(const std::string& path) {
  if (!machine_.files.Exists(path)) machine_.files.AddFile(path);
}

void MemorySink::AddFolder(const std::string& path) { machine_.files.AddDirectory(path); }

}  // namespace kv::bench
