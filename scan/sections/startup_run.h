// The programs Windows starts at log-on from the Run key: the machine's and the current user's.
#pragma once

#include "scan/section.h"

namespace kv {

// A Run key entry is faulty when its value is a number or its command does not resolve.
class RunKeySection : public TNamedRegStringList {
 public:
  explicit RunKeySection(Engine& engine);

 protected:
  // Examines the value names of KeyPath under the accessor's root key.
  void ScanRunKey();
};

// HKEY_LOCAL_MACHINE, set once by the constructor.
class TStartUpSectionHKLM : public RunKeySection {
 public:
  explicit TStartUpSectionHKLM(Engine& engine);
  const char* ClassName() const override { return "TStartUpSectionHKLM"; }
  void Scan() override;
};

// HKEY_CURRENT_USER, selected again at every scan.
class TStartUpSectionHKCU : public RunKeySection {
 public:
  explicit TStartUpSectionHKCU(Engine& engine);
  const char* ClassName() const override { return "TStartUpSectionHKCU"; }
  void Scan() override;
};

}  // namespace kv
