// A machine written into the real registry and onto the drive, and the scratch keys that stand in for the
// registry's roots meanwhile (so that a test or the benchmark never writes into the machine's own).
#pragma once

#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/unique_handles.h"
#include "writer/machine_writer.h"

namespace kv {

// While it lives, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT and HKEY_CURRENT_USER of this process are the keys
// HKLM, HKCR and HKCU below HKEY_CURRENT_USER\<base> (RegOverridePredefKey), created if needed. They are
// left in place afterwards.
class ScratchRoots {
 public:
  explicit ScratchRoots(const std::string& base);
  ~ScratchRoots();
  ScratchRoots(const ScratchRoots&) = delete;
  ScratchRoots& operator=(const ScratchRoots&) = delete;

  // The key that stands in for `root`, below the real HKEY_CURRENT_USER.
  std::string Path(std::uint32_t root) const;

 private:
  std::string base_;
  win32::UniqueRegKey keys_[3];
};

// Writes through the predefined roots (overridden or not) and onto the drive. Failures throw
// std::runtime_error.
class Win32Writer : public MachineWriter {
 public:
  void CreateKey(std::uint32_t root, const std::string& path) override;
  void SetValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override;
  // The same with the name given as UTF-16 (which may hold what UTF-8 cannot: an unpaired surrogate).
  void SetValueW(std::uint32_t root, const std::string& path, const std::u16string& name, std::uint32_t type,
                 const std::vector<std::uint8_t>& data);
  void AddFile(const std::string& path) override;
  void AddDirectory(const std::string& path) override;

 private:
  HKEY Open(std::uint32_t root, const std::string& path);
  void Set(std::uint32_t root, const std::string& path, const wchar_t* name, std::uint32_t type,
           const std::vector<std::uint8_t>& data);
  void MakeFolders(const std::string& folder);

  // The key last written to stays open: values come in runs for the same key.
  win32::UniqueRegKey open_;
  std::uint32_t openRoot_ = 0;
  std::string openPath_;
  std::set<std::string> folders_;  // made by this writer (or found there)
};

}  // namespace kv
