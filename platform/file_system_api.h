// The file system as the engine sees it: directory search, attributes, path names and the error mode.
// Shaped like the kernel32 calls (their UTF-16 forms); each implementation answers the way those calls do.
// Paths and names cross the seam as UTF-8, and buffer lengths count UTF-8 bytes.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

using FindHandle = std::uintptr_t;
constexpr FindHandle kNoFind = 0;

constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr std::uint32_t kAttrReadOnly = 0x1;
constexpr std::uint32_t kAttrHidden = 0x2;
constexpr std::uint32_t kAttrSystem = 0x4;
constexpr std::uint32_t kAttrVolumeLabel = 0x8;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;
constexpr std::uint32_t kAttrNormal = 0x80;
constexpr std::uint32_t kAttrTemporary = 0x100;
constexpr std::uint32_t kAttrCompressed = 0x800;

constexpr std::uint32_t kSemFailCriticalErrors = 0x0001;

// GetDriveTypeW's answers.
constexpr std::uint32_t kDriveUnknown = 0;
constexpr std::uint32_t kDriveNoRootDir = 1;
constexpr std::uint32_t kDriveRemovable = 2;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kDriveRemote = 4;
constexpr std::uint32_t kDriveCdRom = 5;
constexpr std::uint32_t kDriveRamDisk = 6;
// Never an answer of GetDriveTypeW: a drive the machine has whose content cannot be looked at from where
// it is probed (an installation read offline whose drive is not mapped here). The engine looks nothing up
// there and holds nothing there against an entry: unlike a drive on the network, it is not a fault for a
// share to be on it.
constexpr std::uint32_t kDriveNotExaminable = 0x100;

// What the bounded existence test of a network name learnt.
enum class NetworkFileAnswer {
  kAbsent,    // the search answered and found no file (or the name cannot be searched)
  kPresent,   // the search found an entry that is not a folder
  kNoAnswer,  // no answer within the time allowed: whether the file exists cannot be told
};

struct FindEntry {
  std::string name;
  std::string alternateName;  // the 8.3 name (cAlternateFileName); empty when the name is one already
  std::uint32_t attributes = 0;
  std::uint64_t lastWriteTime = 0;  // FILETIME as one number
};

// No file system holds a name with a component longer than 255 UTF-16 units, nor a path longer than
// 32 767; in the seam's encodings a unit takes at most three bytes. True when `name`, read as a path or as
// a search pattern, can match nothing on any volume: a component (its trailing blanks and dots dropped,
// as the system drops them) holds more than 765 bytes other than wildcards, which must each be matched one
// to one, or the whole name is longer than 98 301 bytes. Longer names are only ever longer still. A
// component of dots only (".." and the like) may take the one before it away again: in a name that holds
// one, only the whole length counts.
inline bool NamesNothingAnywhere(const std::string& name) {
  constexpr std::size_t kComponentBytes = 255 * 3;
  constexpr std::size_t kPathBytes = 32767 * 3;
  if (name.size() > kPathBytes) return true;
  if (name.size() <= kComponentBytes) return false;  // no component can be too long
  for (std::size_t start = 0; start <= name.size();) {
    std::size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    std::size_t last = end;
    while (last > start && name[last - 1] == ' ') --last;
    if (last - start >= 2 && name.find_first_not_of('.', start) >= last) return false;
    start = end + 1;
  }
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    std::size_t last = end;
    while (last > start && (name[last - 1] == ' ' || name[last - 1] == '.')) --last;
    std::size_t literal = 0;
    for (std::size_t i = start; i < last; ++i) {
      const char c = name[i];
      if (c != '*' && c != '?' && c != '<' && c != '>' && c != '"') ++literal;
    }
    if (literal > kComponentBytes) return true;
    start = end + 1;
  }
  return false;
}

class FileSystemApi {
 public:
  virtual ~FileSystemApi() = default;

  // FindFirstFileW: kNoFind when nothing matches (or the pattern is invalid).
  virtual FindHandle FindFirst(const std::string& pattern, FindEntry* entry) = 0;
  // FindNextFileW.
  virtual bool FindNext(FindHandle find, FindEntry* entry) = 0;
  // Asked right after FindNext returned false for `find`, on the same thread: true when that was because
  // no entries were left (ERROR_NO_MORE_FILES), false when the search failed before its end.
  virtual bool FindExhausted(FindHandle find) = 0;
  // FindClose.
  virtual void FindClose(FindHandle find) = 0;
  // GetFileAttributesW: kInvalidFileAttributes when the path cannot be queried.
  virtual std::uint32_t GetAttributes(const std::string& path) = 0;
  // GetFullPathNameW: bytes copied (without the NUL), or the buffer size needed (with the NUL) when
  // `length` is too small, or 0 on failure.
  virtual std::uint32_t FullPathName(const std::string& path, std::uint32_t length, char* buffer) = 0;
  // GetShortPathNameW: the same return rules; fails (0) when the path does not exist.
  virtual std::uint32_t ShortPathName(const std::string& path, std::uint32_t length, char* buffer) = 0;
  // SetErrorMode: returns the previous mode.
  virtual std::uint32_t SetErrorMode(std::uint32_t mode) = 0;
  // GetDriveTypeW of a drive's root ("C:\\"): kDriveRemote for a drive mapped to a share. Asks the system's
  // table of drives; it does not go out on the network. A platform that knows of a drive it cannot look
  // into answers kDriveNotExaminable.
  virtual std::uint32_t DriveType(const std::string& root) = 0;
  // The existence test for a name that lies on the network: whether a directory search for `name` finds
  // an entry that is not a folder. Waits at most `waitMs` milliseconds for the network; kNoAnswer when it
  // did not answer in time, and at once while an earlier test that was given up still waits on it (so a
  // stale share costs one wait per probe, not one per name).
  virtual NetworkFileAnswer FindNetworkFile(const std::string& name, std::uint32_t waitMs) = 0;
};

}  // namespace kv
