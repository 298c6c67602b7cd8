// One probe, as the monitor runs it, observed: the driver's answer, the section that reported first and
// what its list holds, and per scanned section the items examined and the time taken.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "cli/explain.h"
#include "scan/cleaner.h"

namespace kv::cli {

// The section mask the monitor would use: "Items For Monitoring" under the current user's
// "Software\Tamberlyn\Keyvane", read as the monitor reads its settings, 127 when the key or a value is
// missing or unreadable. Unlike the monitor, a "Monitoring" of 0 does not stop anything.
std::int32_t ReadMonitorMask(Platform& platform);

struct SectionReport {
  std::string name;   // the section's class
  std::string group;  // its group's name
  int count = 0;      // its list's count after its scan (0: clean)
  long items = 0;     // items examined (its progress events)
  double ms = 0;      // time its scan took
};

struct ProbeReport {
  std::int32_t result = 0;  // the driver's number; -1 when interrupted
  std::int32_t mask = 127;
  bool cancelled = false;
  std::string section;  // the section that reported first (empty when clean or cancelled)
  std::string group;
  std::vector<std::string> list;        // what that section's list holds
  Explanation explanation;              // what its first entry is
  std::vector<SectionReport> sections;  // the sections scanned, in scan order
  double ms = 0;                        // the whole probe

  bool Clean() const { return !cancelled && result == 0; }
};

// Where an interrupt (Ctrl+C) finds the running probe. Interrupt() may be called from any thread, at any
// time: the probe then ends at its next item and reports itself cancelled.
class Interrupter {
 public:
  void Interrupt();
  bool Interrupted() const { return interrupted_.load(); }

 private:
  friend class ActiveProbe;
  std::mutex mutex_;
  TRegistryCleaner* active_ = nullptr;
  std::atomic<bool> interrupted_{false};
};

// Told what a running probe does, on the probe's thread.
struct ProbeObserver {
  std::function<void(const std::string& section)> sectionStarted;
  std::function<void(long items)> itemChecked;  // items examined so far in the current section
};

// Runs one probe with the standard sections over `engine`: a driver as the monitor's scan thread makes
// it (the caller initialises COM), its mask set, scanned once.
ProbeReport RunProbe(Engine& engine, std::int32_t mask, Interrupter& interrupter, const ProbeObserver& observer = {});

// The same over any driver (tests use one with sections of their own).
ProbeReport RunProbe(Engine& engine, TRegistryCleaner& cleaner, std::int32_t mask, Interrupter& interrupter,
                     const ProbeObserver& observer = {});

// 0 clean, 1 an invalid entry was found, 130 interrupted.
int ExitStatus(const ProbeReport& report);

}  // namespace kv::cli
