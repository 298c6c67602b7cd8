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

#include "writer/machine_writer.h"

namespace kv::bench {

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

// Writes the machine with `writer`: into a memory platform, the real registry and drive, a registry export
// (reg_writer.h) or nowhere (NullWriter). Programs live in "C:\Program Files", system files in
// "C:\windows\system32", fonts in "C:\windows\Fonts", as on a real machine.
MachineSummary GenerateMachine(const MachineShape& shape, MachineWriter& writer);
MachineSummary GenerateMachine(int size, MachineWriter& writer);

// A writer that writes nothing: to learn what a machine holds without writing it.
class NullWriter : public MachineWriter {
 public:
  void CreateKey(std::uint32_t, const std::string&) override {}
  void SetValue(std::uint32_t, const std::string&, const std::string&, std::uint32_t,
                const std::vector<std::uint8_t>&) override {}
  void AddFile(const std::string&) override {}
  void AddDirectory(const std::string&) override {}
};

}  // namespace kv::bench
