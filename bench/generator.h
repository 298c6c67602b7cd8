// A generator of heavy machines for the benchmark: a registry as a well-used Windows machine has it
// (thousands of class registrations, many naming the same few system DLLs; file types; uninstall
// entries; shared DLLs; fonts; App Paths; Run entries; help files; RunMRU; shares) and the files it
// names. Every reference is sound, so a full probe examines everything. Deterministic: the same size
// gives the same machine, natively and under Wine.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace kv::bench {

// Where a generated machine goes: a memory platform, the real registry and disk, or nowhere (to learn
// what the machine holds without writing it).
class MachineSink {
 public:
  virtual ~MachineSink() = default;
  // Registry. `root` is a predefined key code; keys are created as needed.
  virtual void CreateKey(std::uint32_t root, const std::string& path) = 0;
  virtual void SetString(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text,
                         bool expandable) = 0;
  virtual void SetDword(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t value) = 0;
  virtual void SetMultiString(std::uint32_t root, const std::string& path, const std::string& name,
                              const std::vector<std::string>& strings) = 0;
  // Files and folders, absolute; parents are created as needed and an existing file is left alone.
  virtual void AddFile(const std::string& path) = 0;
  virtual void AddFolder(const std::string& path) = 0;
};

// How many of each a machine holds.
struct MachineShape {
  int classIds = 20000;
  int extensions = 5000;
  int fileTypes = 3000;
  int programs = 1500;  // installed programs, one uninstall entry each
  int sharedDlls = 1000;
  int fonts = 800;
  int appPaths = 300;
  int runEntries = 50;
  int helpFiles = 30;
  int mruEntries = 26;
  int shares = 20;
  int applications = 100;  // programs registered for "Open with", each chosen by the user for one extension

  // The benchmark's machine at size `factor` (1, 2, 4, ...): every count multiplied.
  static MachineShape Size(int factor);
  // A machine a hundred times smaller than size 1, for tests.
  static MachineShape Tiny();
};

// What a generated machine holds.
struct MachineSummary {
  MachineShape shape;
  int size = 0;                           // the size factor (0 for another shape)
  std::set<std::string> referencedFiles;  // every distinct file or folder an entry names, as a full path
  std::uint64_t keys = 0;                 // registry keys written
  std::uint64_t values = 0;               // registry values written
  std::uint64_t files = 0;                // files and folders created
};

// The system DLLs that many class registrations name (present on Windows and in every Wine prefix).
const std::vector<std::string>& SystemDlls();

// Writes the machine into `sink`. Programs live in "C:\Program Files", system files in
// "C:\windows\system32", fonts in "C:\windows\Fonts", as on a real machine.
MachineSummary GenerateMachine(const MachineShape& shape, MachineSink& sink);
MachineSummary GenerateMachine(int size, MachineSink& sink);

// A sink that writes nothing.
class NullSink : public MachineSink {
 public:
  void CreateKey(std::uint32_t, const std::string&) override {}
  void SetString(std::uint32_t, const std::string&, const std::string&, const std::string&, bool) override {}
  void SetDword(std::uint32_t, const std::string&, const std::string&, std::uint32_t) override {}
  void SetMultiString(std::uint32_t, const std::string&, const std::string&, const std::vector<std::string>&) override {
  }
  void AddFile(const std::string&) override {}
  void AddFolder(const std::string&) override {}
};

}  // namespace kv::bench
