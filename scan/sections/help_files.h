// The help file registrations: one value per help file, its name the file's name and its data the
// folder that holds it. One scanner, two keys: classic help and compiled HTML help.
#pragma once

#include "scan/section.h"

namespace kv {

class HelpFileSection : public TNamedRegStringList {
 public:
  void Scan() override;

 protected:
  HelpFileSection(Engine& engine, const char* keyPath);

 private:
  void ScanKey();
  const std::string machineKey_;  // the 64-bit programs' key
};

// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\Help
class TWinHelp : public HelpFileSection {
 public:
  explicit TWinHelp(Engine& engine);
  const char* ClassName() const override { return "TWinHelp"; }
};

// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\HTML Help
class THTMLHelp : public HelpFileSection {
 public:
  explicit THTMLHelp(Engine& engine);
  const char* ClassName() const override { return "THTMLHelp"; }
};

}  // namespace kv
