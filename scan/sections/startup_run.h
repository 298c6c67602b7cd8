// The programs Windows starts at log-on from the Run key: the machine's and the current user's.
#pragma once

#include "scan/section.h"

namespace kv {

// A Run key entry is faulty when its value is a number or its command does not resolve.
class TStartUpRunKey : public TNamedRegStringList {
 public:
  explicit TStartUpRunKey(Engine& engine);

 protected:
  // Examines the value names of KeyPath under the accessor's root key.
  void ScanRunKey();
};

// HKEY_LOCAL_MACHINE, set once by the constructor.
class TStartUpSectionHKLM : public TStartUpRunKey {
 public:
  explicit TStartUpSectionHKLM(Engine& engine);
  const char* ClassName() const override { return "TStartUpSectionHKLM"; }
  void Scan() override;
};

// HKEY_CURRENT_USER, selected again at every scan.
class TStartUpSectionHKCU : public TStartUpRunKey {
 public:
  explicit TStartUpSectionHKCU(Engine& engine);
  const char* ClassName() const override { return "TStartUpSectionHKCU"; }
  void Scan() override;
};

}  // namespace kv
