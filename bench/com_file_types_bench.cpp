// A clean probe of the COM class, file type and help file sections over a large generated machine:
// 20 000 class identifiers and 5 000 extensions with their types, per-user choices and help files, all
// sound. Prints, per section, the time taken, the progress events, the file-system calls and the peak of
// heap memory in use above what the machine itself holds.
//
//   kv_bench_com_file_types [classes] [extensions]
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "platform/counting_platform.h"
#include "platform/memory/memory_platform.h"
#include "scan/engine.h"
#include "scan/sections/com_classes.h"
#include "scan/sections/file_types.h"
#include "scan/sections/help_files.h"

// Heap accounting: every allocation carries its size in a header, so that the bytes in use and their peak
// can be followed.
namespace {

std::atomic<std::size_t> gInUse{0};
std::atomic<std::size_t> gPeak{0};
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block) = size;
  const std::size_t now = gInUse += size;
  std::size_t peak = gPeak.load();
  while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
  }
  return block + kHeader;
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - kHeader;
  gInUse -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace {

using kv::MemoryPlatform;

std::string Format(const char* pattern, unsigned a, unsigned b = 0) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, pattern, a, b);
  return buffer;
}

std::string ClassId(unsigned i) { return Format("{%08X-0000-4000-8000-0000%08X}", i * 2654435761u, i); }

constexpr unsigned kLibraries = 2000;
constexpr unsigned kPrograms = 500;
constexpr unsigned kRegisteredApps = 300;
constexpr unsigned kUserChoices = 1000;
constexpr unsigned kHelpFiles = 200;

std::string Library(unsigned i) { return Format("lib%04u.dll", i % kLibraries); }
std::string Program(unsigned i) {
  return Format("C:\\Program Files\\Vendor%03u\\app%03u.exe", i % kPrograms, i % kPrograms);
}

void BuildMachine(MemoryPlatform& m, unsigned classes, unsigned extensions) {
  m.system.SetEnvironment("Path", "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\WINDOWS\\System32\\Wbem");
  m.system.SetEnvironment("PathExt", ".COM;.EXE;.BAT;.CMD;.VBS;.JS");
  for (unsigned i = 0; i < kLibraries; ++i) m.files.AddFile("C:\\WINDOWS\\system32\\" + Library(i));
  for (unsigned i = 0; i < kPrograms; ++i) m.files.AddFile(Program(i));
  for (const char* file :
       {"C:\\WINDOWS\\system32\\ole32.dll", "C:\\WINDOWS\\system32\\notepad.exe", "C:\\WINDOWS\\system32\\shell32.dll"})
    m.files.AddFile(file);

  // Class identifiers: in-process servers (by %SystemRoot%, by full path, by bare name on the search path),
  // local servers with arguments, icons with indexes, handlers and persistent handlers naming classes.
  for (unsigned i = 0; i < classes; ++i) {
    const std::string key = "HKEY_CLASSES_ROOT\\CLSID\\" + ClassId(i);
    m.registry.SetString(key, "", Format("Generated class %u", i));
    if (i % 4 != 3) {
      const std::string server = i % 3 == 0   ? "%SystemRoot%\\system32\\" + Library(i)
                                 : i % 3 == 1 ? "C:\\WINDOWS\\system32\\" + Library(i)
                                              : Library(i);
      m.registry.SetString(key + "\\InProcServer32", "", server, i % 3 == 0 ? kv::REG_EXPAND_SZ_TYPE : kv::REG_SZ_TYPE);
      m.registry.SetString(key + "\\InProcServer32", "ThreadingModel", "Apartment");
    } else {
      m.registry.SetString(key + "\\LocalServer32", "", "\"" + Program(i) + "\" -Embedding");
    }
    if (i % 5 == 0)
      m.registry.SetString(key + "\\DefaultIcon", "",
                           Format("%%SystemRoot%%\\system32\\lib%04u.dll,-%u", i % kLibraries, i % 300),
                           kv::REG_EXPAND_SZ_TYPE);
    if (i % 10 == 0) {
      m.registry.SetString(key + "\\InprocHandler32", "", "ole32.dll");
      m.registry.SetString(key + "\\PersistentHandler", "", ClassId(i + 1));
    }
    if (i % 2 == 0) m.registry.SetString(key + "\\ProgID", "", Format("Generated.Class.%u", i));
  }

  // Extensions: two per file type; every tenth has no type but a handler of its own.
  for (unsigned i = 0; i < extensions; ++i) {
    const std::string extension = "HKEY_CLASSES_ROOT\\" + Format(".x%04u", i);
    if (i % 10 == 9) {
      m.registry.CreateKey(extension + "\\ShellEx\\{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}");
      continue;
    }
    const std::string type = Format("type%04u", i / 2);
    m.registry.SetString(extension, "", type);
    m.registry.SetString(extension, "Content Type", "application/x-generated");
    const std::string typeKey = "HKEY_CLASSES_ROOT\\" + type;
    m.registry.SetString(typeKey, "", Format("Generated type %u", i / 2));
    m.registry.SetString(typeKey + "\\shell\\open\\command", "", "\"" + Program(i) + "\" \"%1\"");
    m.registry.SetString(typeKey + "\\shell\\print\\command", "", "%SystemRoot%\\system32\\notepad.exe /p \"%1\"",
                         kv::REG_EXPAND_SZ_TYPE);
    if (i % 3 == 0) m.registry.SetString(typeKey + "\\shell\\edit\\command", "", "%1");
    m.registry.SetString(typeKey + "\\DefaultIcon", "", Program(i) + Format(",%u", i % 4));
  }

  // Registered programs and the user's choices among them.
  for (unsigned i = 0; i < kRegisteredApps; ++i) {
    const std::string app = "HKEY_CLASSES_ROOT\\Applications\\" + Format("app%03u.exe", i);
    m.registry.SetString(app + "\\shell\\open\\command", "", "\"" + Program(i) + "\" \"%1\"");
  }
  const std::string fileExts = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
  for (unsigned i = 0; i < kUserChoices; ++i) {
    const std::string key = fileExts + Format(".x%04u", i * 5);
    m.registry.CreateKey(key + "\\OpenWithList");
    if (i % 3 == 0) m.registry.SetString(key, "Application", Format("app%03u.exe", i % kRegisteredApps));
  }

  // Help files.
  for (unsigned i = 0; i < kHelpFiles; ++i) {
    m.files.AddFile(Format("C:\\WINDOWS\\Help\\help%04u.hlp", i));
    m.files.AddFile(Format("C:\\WINDOWS\\Help\\help%04u.chm", i));
    m.registry.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help", Format("help%04u.hlp", i),
                         "%SystemRoot%\\Help", kv::REG_EXPAND_SZ_TYPE);
    m.registry.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HTML Help", Format("help%04u.chm", i),
                         "C:\\WINDOWS\\Help\\");
  }
}

long MaxResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

template <typename Section>
bool Measure(kv::Engine& engine, kv::CountingPlatform& counting, const char* name) {
  Section section(engine);
  long events = 0;
  section.OnItemChecked = [&](kv::EngineObject&) { ++events; };
  // A first scan warms up; the second is measured.
  section.Scan();
  counting.Reset();
  events = 0;
  const std::size_t before = gInUse.load();
  gPeak = before;
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  section.Scan();
  const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "%-16s %7.0f ms (%5.0f ms CPU) %6ld events %7llu file calls  peak heap %6.2f MiB above the machine  list %zu\n",
      name, ms, cpuMs, events, static_cast<unsigned long long>(counting.FileSystemCalls()),
      (gPeak.load() - before) / 1048576.0, section.Strings().size());
  for (const std::string& s : section.Strings()) std::printf("    %s\n", s.c_str());
  return section.Strings().empty();
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned classes = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 20000;
  const unsigned extensions = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 5000;
  auto machine = std::make_unique<MemoryPlatform>();
  const auto built = std::chrono::steady_clock::now();
  BuildMachine(*machine, classes, extensions);
  const double buildMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - built).count();
  kv::CountingPlatform counting(machine->platform());
  kv::Engine engine(counting.platform());
  std::printf("machine: %u class identifiers, %u extensions; built in %.0f ms, %.1f MiB of heap\n", classes, extensions,
              buildMs, gInUse.load() / 1048576.0);
  const long residentBefore = MaxResidentKiB();
  const auto start = std::chrono::steady_clock::now();
  bool clean = Measure<kv::TWinHelp>(engine, counting, "TWinHelp");
  clean = Measure<kv::THTMLHelp>(engine, counting, "THTMLHelp") && clean;
  clean = Measure<kv::TClsIdTYPES>(engine, counting, "TClsIdTYPES") && clean;
  clean = Measure<kv::TFileExtCommands>(engine, counting, "TFileExtCommands") && clean;
  const double totalMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("all four, each scanned twice: %.1f ms; peak resident set %.1f MiB (%.1f MiB before the probe)%s\n",
              totalMs, MaxResidentKiB() / 1024.0, residentBefore / 1024.0, clean ? "" : "; NOT CLEAN");
  return clean ? 0 : 1;
}
