// The file system of an installation that is not running: its drives are folders of this machine (the
// mounted volume), read without regard to case one name at a time, as Windows would find them on its own
// volume. Nothing is written. The kernel never follows a link: a file or folder is opened only below its
// drive's root, by a path of real folders (openat2 with RESOLVE_BENEATH and RESOLVE_NO_SYMLINKS). A link
// in the tree (ntfs-3g shows a junction or a symbolic link of Windows as one) is followed here, name by
// name, when its target lies in the same tree: a relative target from the link's folder (its ".." never
// above the drive's root), an absolute one only below the drive's own folder (ntfs-3g writes a junction to
// "C:\Users" as "<mount point>/Users"). Any other target, a loop or a missing target leads nowhere. A
// link is listed as Windows lists a reparse point: with the volume's own attributes where it keeps them
// ("system.ntfs_attrib"), else as a folder with the reparse-point attribute when it leads to a folder, and
// as a file with that attribute otherwise. Short (8.3) names come from the volume where it keeps them
// (the ntfs-3g attribute "system.ntfs_dos_name"), or else by the rule that generates them.
//
// A drive the installation has (MarkUncheckable) that is not mapped here cannot be checked offline: its
// type is kDriveNotExaminable (the engine then takes whatever lies there as sound, and never looks it up),
// and the drive is remembered for the report. Any other letter is a drive the installation does not have.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system_api.h"

namespace kv::offline {

class HostFileSystem : public FileSystemApi {
 public:
  HostFileSystem();
  ~HostFileSystem() override;

  // Maps a drive letter to a host folder; false (with `error`) when the folder cannot be opened.
  bool MapDrive(char letter, const std::string& hostFolder, std::string* error);
  bool IsMapped(char letter) const;
  void UnmapDrive(char letter);
  // A drive of the installation whose files are not here.
  void MarkUncheckable(char letter);
  // The folder relative paths start from (default "C:\").
  void SetCurrentDirectory(const std::string& path);
  // Forgets what was listed: the volume changed under us (tests that add files between calls).
  void Refresh();

  // The whole content of a file (at most `limit` bytes), found as the other calls find it: false when it
  // is missing, a folder, a link, or larger than `limit`.
  bool ReadFile(const std::string& path, std::size_t limit, std::string* bytes);
  // Opens a file found as ReadFile finds it and hands the open descriptor to `use` (closed afterwards):
  // false when it cannot be opened, else what `use` returns.
  bool WithFile(const std::string& path, const std::function<bool(int fd)>& use);
  // The host path of a Windows path that exists (for the report); empty when it does not.
  std::string HostPath(const std::string& path);

  // The names the engine asked about that lie where this machine cannot look (unmapped drives, shares),
  // each once, in the order asked.
  std::vector<std::string> Unchecked() const;

  // FileSystemApi.
  FindHandle FindFirst(const std::string& pattern, FindEntry* entry) override;
  bool FindNext(FindHandle find, FindEntry* entry) override;
  bool FindExhausted(FindHandle find) override;
  void FindClose(FindHandle find) override;
  std::uint32_t GetAttributes(const std::string& path) override;
  std::uint32_t FullPathName(const std::string& path, std::uint32_t length, char* buffer) override;
  std::uint32_t ShortPathName(const std::string& path, std::uint32_t length, char* buffer) override;
  std::uint32_t SetErrorMode(std::uint32_t mode) override;
  std::uint32_t DriveType(const std::string& root) override;
  NetworkFileAnswer FindNetworkFile(const std::string& name, std::uint32_t waitMs) override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace kv::offline
