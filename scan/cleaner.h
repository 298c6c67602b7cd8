// TRegistryCleaner: runs the sections the mask selects, in a fixed order, and answers whether the
// registry holds a faulty entry there: the first section with a non-empty list ends the scan with its count.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "scan/engine.h"
#include "scan/section.h"

namespace kv {

// The seven section groups, by mask bit.
const char* GroupName(std::uint32_t bit);

class TRegistryCleaner : public EngineObject {
 public:
  struct Slot {
    std::uint32_t bit;  // the group's mask bit
    std::unique_ptr<TNamedRegStringList> section;
    bool progressAfter = true;  // fire OnProgress after the section when it is clean
  };

  // The thirteen sections of the engine, in scan order.
  explicit TRegistryCleaner(Engine& engine);
  // Any table of sections, in scan order (tests use their own).
  TRegistryCleaner(Engine& engine, std::vector<Slot> table);
  ~TRegistryCleaner() override;
  const char* ClassName() const override { return "TRegistryCleaner"; }

  std::atomic<bool> Cancelled{false};
  std::int32_t Mask = 127;
  NotifyEvent OnProgress;
  // Observation only, for tools that report on a scan: called with the section just before each selected
  // section's Scan and just after it (the list as the scan left it). Nothing in the scan depends on them;
  // they must not raise.
  NotifyEvent OnSectionStart;
  NotifyEvent OnSectionEnd;

  // Sets the stop request of every section, then the driver's own. Safe from another thread.
  void SetCancelled(bool value);
  // 0 when the selected sections are clean or the scan was stopped between sections; otherwise the list
  // count of the first section that reported something.
  std::int32_t ScanSections();

  const std::vector<Slot>& Sections() const { return table_; }

 private:
  void ItemChecked(EngineObject& sender);

  Engine& engine_;
  std::vector<Slot> table_;
};

}  // namespace kv
