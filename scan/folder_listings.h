// What one probe learnt by listing folders. A directory search for one name that is missing costs the
// file system a read of the whole folder (a search compares names without regard to case), and a probe
// tests thousands of names in the same few hundred folders. Listed once (long and 8.3 names), a folder
// answers every later test of a name in it.
//
// Only names the listing answers exactly as the system would are answered from it: a drive path in its
// plain form (backslashes only, no "." or ".." component, no doubled separator, no component ending in a
// dot or a blank, shorter than the usual path limit) whose characters are printable ASCII other than
// * ? < > " | : (so that the comparison is ASCII case folding), and none of whose names is a device. Any
// other name, a folder that cannot be listed or whose listing failed before its end, and a folder holding a
// name beyond ASCII (which the system might fold to the name asked) are left to the direct call. Entries
// added after a folder was listed are not seen until the next probe: a probe is a snapshot of the file
// system, as the answers it already remembers are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/file_system_api.h"

namespace kv {

// True for a name the listings may answer (the rules above); the drive it lies on is not asked about.
bool IsPlainLocalName(const std::string& path);

class FolderListings {
 public:
  // A folder with more entries than this is not kept (its names are asked directly), nor any listing once
  // the kept ones hold the budget of bytes.
  static constexpr std::size_t kMostEntriesKept = 20000;
  static constexpr std::size_t kBudgetBytes = 8u << 20;

  // The attributes GetAttributes would report for `path` (kInvalidFileAttributes when it names nothing),
  // from the listing of its folder; none when the listing cannot tell, and then the caller asks directly.
  // `path` must satisfy IsPlainLocalName.
  std::optional<std::uint32_t> Attributes(FileSystemApi& files, const std::string& path);

  // Forgets every listing.
  void Clear();

  // How many folders were listed (successfully or not) since the last Clear.
  std::size_t Listed() const { return listed_; }

 private:
  struct Name {
    std::uint32_t attributes = 0;
    bool ambiguous = false;  // two entries answer to it: left to the direct call
  };
  struct Folder {
    enum class State { kListed, kMissing, kUnanswered };
    State state = State::kUnanswered;
    bool complete = true;                         // every entry of the folder is in `names` (none beyond ASCII)
    std::unordered_map<std::string, Name> names;  // long and 8.3 names, lower-case
  };

  const Folder& FolderAt(FileSystemApi& files, const std::string& folder);
  void List(FileSystemApi& files, const std::string& folder, Folder& listing);

  std::unordered_map<std::string, Folder> folders_;  // by the folder's path as asked ("C:\" for a root)
  std::size_t bytes_ = 0;
  std::size_t listed_ = 0;
};

}  // namespace kv
