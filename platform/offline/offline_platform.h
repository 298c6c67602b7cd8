// The third platform: a Windows installation that is not running, read from this machine. The registry
// comes from its hive files (the machine's SOFTWARE and SYSTEM, the chosen user's NTUSER.DAT and
// UsrClass.dat), the files from its mounted volume, and the system around them (environment, folders,
// version, shell folders) is built from the hives as Windows builds it when the user logs on.
//
// The hives are read once, into a memory registry, laid out as a running system shows them:
//   HKLM\SOFTWARE, HKLM\SYSTEM            the machine's hives
//   HKLM\SYSTEM\CurrentControlSet         the control set SYSTEM\Select\Current names
//   HKCU                                  the user's NTUSER.DAT
//   HKCU\Software\Classes                 the user's UsrClass.dat
//   HKCR                                  the user's classes over the machine's (the user's keys and values win)
// Nothing is written, neither to the hives nor to the volume.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "platform/offline/hive_loader.h"
#include "platform/offline/host_files.h"

namespace kv::offline {

struct OfflineOptions {
  std::string root;                    // the host folder holding the system drive
  std::string user;                    // the profile to take (its name or SID); empty: the only one
  std::map<char, std::string> drives;  // other drives, by letter
};

struct HiveUse {
  std::string role;      // "SOFTWARE", "SYSTEM", "NTUSER.DAT", "UsrClass.dat"
  std::string path;      // where it was found, as Windows names it
  std::string hostPath;  // and on this machine
  HiveInfo info;
};

// The system: the environment, folders, version and shell folders set from the hives, shortcuts read
// from the volume by our own reader.
class OfflineSystem : public MemorySystem {
 public:
  explicit OfflineSystem(HostFileSystem& files) : files_(files) {}
  ShortcutRead GetShortcutTarget(const std::string& linkFile, std::string* target) override;

 private:
  HostFileSystem& files_;
};

class OfflinePlatform {
 public:
  OfflinePlatform() : system(files), platform_{registry, files, system} {}

  // Reads the installation: false with a message when it cannot be read (no hives where Windows keeps
  // them, a damaged hive, no such user or more than one to choose from).
  bool Open(const OfflineOptions& options, std::string* error);

  MemoryRegistry registry;
  HostFileSystem files;
  OfflineSystem system;
  Platform& platform() { return platform_; }

  const std::vector<HiveUse>& hives() const { return hives_; }
  bool dirty() const;
  const std::string& userName() const { return userName_; }
  const std::string& userSid() const { return userSid_; }
  const std::string& profile() const { return profile_; }
  char systemDrive() const { return systemDrive_; }
  const std::map<char, std::string>& drives() const { return drives_; }
  // What the reader noticed without failing (damaged-looking hives, missing class hives).
  const std::vector<std::string>& warnings() const { return warnings_; }

 private:
  // Reads the hive file at `path` and copies each (subkey, target) part of it; `required`: a missing file
  // is an error (else false with `error` empty).
  using MoreParts = std::function<bool(HiveFile& hive, std::string* error)>;
  bool LoadHiveFile(const std::string& role, const std::string& path,
                    const std::vector<std::pair<std::string, std::string>>& parts, bool required, std::string* error,
                    const MoreParts& more = nullptr);
  bool ChooseUser(const std::string& wanted, std::string* error);
  void BuildSystem();

  Platform platform_;
  std::vector<HiveUse> hives_;
  std::string userName_;
  std::string userSid_;
  std::string profile_;
  char systemDrive_ = 'C';
  std::map<char, std::string> drives_;
  std::vector<std::string> warnings_;
  std::map<std::string, std::string> environment_;  // upper-cased name -> value, while it is built
  std::map<std::string, std::string> environmentNames_;
};

}  // namespace kv::offline
