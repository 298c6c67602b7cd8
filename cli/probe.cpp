#include "cli/probe.h"

#include <chrono>
#include <map>

#include "support/registry.h"

namespace kv::cli {
namespace {

constexpr std::int32_t kDefaultMask = 127;
constexpr std::uint32_t kGroupBits[] = {1, 2, 4, 8, 16, 32, 64};

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

std::int32_t ReadMonitorMask(Platform& platform) {
  TRegistry registry(platform);
  registry.SetRootKey(HKEY_CURRENT_USER_CODE);
  if (!registry.OpenKeyReadOnly("Software\\Tamberlyn\\Keyvane")) return kDefaultMask;
  // As the monitor loads its settings: a "Monitoring" or "Items For Monitoring" that is missing or not a
  // 32-bit integer makes the registry accessor raise, and the mask is then the default.
  try {
    registry.ReadBool("Monitoring");
    return registry.ReadInteger("Items For Monitoring");
  } catch (const ERegistryException&) {
    return kDefaultMask;
  }
}

void Interrupter::Interrupt() {
  interrupted_ = true;
  std::lock_guard<std::mutex> lock(mutex_);
  if (active_ != nullptr) active_->SetCancelled(true);
}

// Makes a driver reachable by Interrupt() for as long as it scans; after this the driver may be freed.
class ActiveProbe {
 public:
  ActiveProbe(Interrupter& interrupter, TRegistryCleaner& cleaner) : interrupter_(interrupter) {
    std::lock_guard<std::mutex> lock(interrupter_.mutex_);
    interrupter_.active_ = &cleaner;
  }
  ~ActiveProbe() {
    std::lock_guard<std::mutex> lock(interrupter_.mutex_);
    interrupter_.active_ = nullptr;
  }
  ActiveProbe(const ActiveProbe&) = delete;
  ActiveProbe& operator=(const ActiveProbe&) = delete;

 private:
  Interrupter& interrupter_;
};

ProbeReport RunProbe(Engine& engine, std::int32_t mask, Interrupter& interrupter, const ProbeObserver& observer) {
  TRegistryCleaner cleaner(engine);
  return RunProbe(engine, cleaner, mask, interrupter, observer);
}

ProbeReport RunProbe(Engine& engine, TRegistryCleaner& cleaner, std::int32_t mask, Interrupter& interrupter,
                     const ProbeObserver& observer) {
  ProbeReport report;
  report.mask = mask;

  std::map<const EngineObject*, std::uint32_t> bitOf;
  for (const TRegistryCleaner::Slot& slot : cleaner.Sections()) bitOf[slot.section.get()] = slot.bit;

  SectionReport* current = nullptr;
  Clock::time_point sectionStart;
  cleaner.Mask = mask;
  cleaner.OnSectionStart = [&](EngineObject& sender) {
    // The driver clears every stop request when it starts; one that came before that is renewed here.
    if (interrupter.Interrupted()) cleaner.SetCancelled(true);
    report.sections.push_back({sender.ClassName(), GroupName(bitOf[&sender]), 0, 0, 0});
    current = &report.sections.back();
    if (observer.sectionStarted) observer.sectionStarted(current->name);
    sectionStart = Clock::now();
  };
  cleaner.OnSectionEnd = [&](EngineObject& sender) {
    current->ms = MillisecondsSince(sectionStart);
    current->count = static_cast<const TNamedRegStringList&>(sender).Count();
    current = nullptr;
  };
  cleaner.OnProgress = [&](EngineObject& sender) {
    if (current == nullptr || &sender == &cleaner) return;
    ++current->items;
    if (observer.itemChecked) observer.itemChecked(current->items);
  };

  const Clock::time_point start = Clock::now();
  {
    ActiveProbe active(interrupter, cleaner);
    report.result = cleaner.ScanSections();
  }
  report.ms = MillisecondsSince(start);
  cleaner.OnSectionStart = nullptr;
  cleaner.OnSectionEnd = nullptr;
  cleaner.OnProgress = nullptr;

  if (interrupter.Interrupted()) {
    report.cancelled = true;
    report.result = -1;
    return report;
  }
  if (report.result == 0) return report;

  // The driver stops at the first section whose list is not empty: in scan order, that one.
  for (std::uint32_t bit : kGroupBits) {
    if ((static_cast<std::uint32_t>(mask) & bit) == 0) continue;
    for (const TRegistryCleaner::Slot& slot : cleaner.Sections()) {
      if (slot.bit != bit || slot.section->Count() == 0) continue;
      report.section = slot.section->ClassName();
      report.group = GroupName(bit);
      report.list = slot.section->Strings();
      report.explanation = Explain(engine, *slot.section);
      return report;
    }
  }
  return report;
}

int ExitStatus(const ProbeReport& report) {
  if (report.cancelled) return 130;
  return report.result == 0 ? 0 : 1;
}

}  // namespace kv::cli
