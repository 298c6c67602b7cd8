// A generated machine on the real platform: its registry in scratch keys that stand in for
// HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT (RegOverridePredefKey, for this process
// only), its files on the real drive.
#pragma once

#include <windows.h>

#include <set>
#include <string>

#include "bench/generator.h"
#include "platform/registry_api.h"

namespace kv::bench {

// While it lives, the three roots of this process are the scratch keys of machine `size`
// (HKEY_CURRENT_USER\Software\KvBench\Size<N>\...), created if needed.
class ScratchRoots {
 public:
  explicit ScratchRoots(int size);
  ~ScratchRoots();
  ScratchRoots(const ScratchRoots&) = delete;
  ScratchRoots& operator=(const ScratchRoots&) = delete;

 private:
  HKEY keys_[3] = {nullptr, nullptr, nullptr};
};

// Writes into the (overridden) predefined roots and onto the drive.
class Win32Sink : public MachineSink {
 public:
  ~Win32Sink() override;
  void CreateKey(std::uint32_t root, const std::string& path) override;
  void SetString(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text,
                 bool expandable) override;
  void SetDword(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t value) override;
  void SetMultiString(std::uint32_t root, const std::string& path, const std::string& name,
                      const std::vector<std::string>& strings) override;
  void AddFile(const std::string& path) override;
  void AddFolder(const std::string& path) override;

 private:
  HKEY Key(std::uint32_t root, const std::string& path);
  void SetValue(std::uint32_t root, const std::string& path, const std::string& name, DWORD type, const BYTE* data,
                DWORD size);
  void MakeFolders(const std::string& folder);

  // The key last written to, kept open: values come in runs for the same key.
  HKEY open_ = nullptr;
  std::uint32_t openRoot_ = 0;
  std::string openPath_;
  std::set<std::string> folders_;
};

}  // namespace kv::bench
