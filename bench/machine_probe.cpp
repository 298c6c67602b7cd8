// The engine over this machine's own registry and files, with no redirection: the driver's verdict for
// all seven groups (mask 127), then every section on its own with the list it leaves and the time it took.
// Reads only; writes nothing.
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>

#include "platform/win32/win32_platform.h"
#include "scan/cleaner.h"
#include "scan/engine.h"

namespace {

// COM for the shell link object, on this thread, for the life of the program.
class ComApartment {
 public:
  ComApartment() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (ok_) CoUninitialize();
  }

 private:
  bool ok_;
};

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void PrintList(const kv::TNamedRegStringList& section) {
  for (const std::string& s : section.Strings()) std::printf("      \"%s\"\n", s.c_str());
}

}  // namespace

int main() {
  ComApartment com;
  kv::Engine& engine = kv::InstallEngine(std::make_unique<kv::Engine>(kv::Win32Platform()));

  kv::TRegistryCleaner cleaner(engine);
  cleaner.Mask = 127;
  auto start = std::chrono::steady_clock::now();
  const std::int32_t result = cleaner.ScanSections();
  std::printf("driver, mask 127: result %d in %.0f ms\n", static_cast<int>(result), MsSince(start));
  for (const auto& slot : cleaner.Sections()) {
    if (slot.section->Count() == 0) continue;
    std::printf("  reported by %s (group %s):\n", slot.section->ClassName(), kv::GroupName(slot.bit));
    PrintList(*slot.section);
    break;
  }

  std::printf("each section on its own:\n");
  for (const auto& slot : cleaner.Sections()) {
    kv::TNamedRegStringList& section = *slot.section;
    long events = 0;
    section.OnItemChecked = [&](kv::EngineObject&) { ++events; };
    start = std::chrono::steady_clock::now();
    // A section's failure is the driver's to swallow; here it is shown instead.
    try {
      section.Scan();
    } catch (const std::exception& e) {
      std::printf("  %-20s raised: %s\n", section.ClassName(), e.what());
    }
    std::printf("  %-20s %-17s %8.0f ms %6ld items sound, list %d\n", section.ClassName(), kv::GroupName(slot.bit),
                MsSince(start), events, section.Count());
    PrintList(section);
  }
  return 0;
}
