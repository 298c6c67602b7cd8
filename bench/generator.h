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

// What a generated machine holds.
struct MachineSummary {
  int size = 0;
  std::set<std::string> referencedFiles;  // every distinct file or folder an entry names, as a full path
  std::uint64_t keys = 0;                 // registry keys written
  std::uint64_t values = 0;               // registry values written
  std::uint64_t files = 0;                // files and folders created
  std::int64_t classIds = 0, extensions = 0, fileTypes = 0, uninstallEntries = 0, sharedDlls = 0, fonts = 0,
               appPaths = 0, runEntries = 0, helpFiles = 0, mruEntries = 0, shares = 0;
};

// The counts at size 1; every count is multiplied by the size factor.
constexpr int kClassIds = 20000;
constexpr int kExtensions = 5000;
constexpr int kFileTypes = 3000;
constexpr int kUninstallEntries = 1500;
constexpr int kSharedDlls = 1000;
constexpr int kFonts = 800;
constexpr int kAppPaths = 300;
constexpr int kRunEntries = 50;
constexpr int kHelpFiles = 30;
constexpr int kMruEntries = 26;
constexpr int kShares = 20;

// The system DLLs that many class registrations name (present on Windows and in every Wine prefix).
const std::vector<std::string>& SystemDlls();

// Writes the machine of size `size` (1, 2, 4, ...) into `sink`. Programs live in "C:\Program Files",
// system files in "C:\windows\system32", fonts in "C:\windows\Fonts", as on a real machine.
MachineSummary GenerateMachine(int size, MachineSink& sink);

// A sink that writes nothing.
class NullSink : public MachineSink {
 public:
  void CreateKey(std::uint32_t, const std::string&) override {}
  void SetString(std::uint32_t, const std::string&, const std::string&, const std::string&, bool) override {}
  void SetDword(std::uint32_t, const std::string&, const std::string&, std::uint32_t) override {}
  void SetMultiString(std::uint32_t, const std::string&, const std::string&, const std::vector<std::string>&) override {}
  void AddFile(const std::string&) override {}
  void AddFolder(const std::string&) override {}
};

}  // namespace kv::bench
