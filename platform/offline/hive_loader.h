// Registry hive files read into a memory registry. A hive is copied into memory before the hive library
// opens it (read-only, from that copy), so a file that changes or shrinks under us cannot hurt the reader,
// and the library validates the file's structure before any key is read. Every key is visited once (a hive
// whose cells point back at their own ancestors cannot loop us), no deeper than NT nests keys.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/memory/memory_platform.h"

namespace kv::offline {

struct HiveInfo {
  std::uint32_t sequence1 = 0;  // the header's two sequence numbers: they differ when a write to the hive
  std::uint32_t sequence2 = 0;  // was not completed (the changes may wait in its transaction logs)
  bool dirty() const { return sequence1 != sequence2; }
  std::size_t keys = 0;
  std::size_t values = 0;
  std::size_t skippedKeys = 0;  // keys whose names no registry path can hold (empty, or with a backslash)
};

// Reads the header: false (with `error`) when the bytes are not a registry hive.
bool ReadHiveHeader(const std::string& bytes, HiveInfo* info, std::string* error);

// One hive, copied into memory and opened read-only from that copy, from which keys are copied into
// memory registries (a hive may give several parts of the registry: SYSTEM gives itself and its current
// control set).
class HiveFile {
 public:
  HiveFile();
  ~HiveFile();
  HiveFile(const HiveFile&) = delete;
  HiveFile& operator=(const HiveFile&) = delete;

  // From bytes, or from an open file read to its end (at most `limit` bytes). False with a message when
  // it is not a readable hive.
  bool OpenBytes(const std::string& bytes, std::string* error);
  bool OpenFile(int fd, std::size_t limit, std::string* error);
  // The header's sequence numbers, and the keys and values copied so far.
  const HiveInfo& info() const { return info_; }
  // Copies the key `subkey` (see LoadHive) to `target`.
  bool Copy(const std::string& subkey, MemoryRegistry& registry, const std::string& target, std::string* error);

 private:
  bool OpenCopy(std::string* error);

  struct Handles;
  std::unique_ptr<Handles> handles_;
  HiveInfo info_;
};

// Copies the key `subkey` of the hive (a backslash path below its root; empty: the whole hive) with its
// subkeys and values to `target` ("HKLM\SOFTWARE", ...) in `registry`. Keys and values already there stay
// unless the hive has the same names (its values then win). False, with a message saying what is wrong,
// when the bytes are not a readable hive or `subkey` is missing; `registry` may then hold part of it.
bool LoadHive(const std::string& bytes, const std::string& subkey, MemoryRegistry& registry, const std::string& target,
              HiveInfo* info, std::string* error);

}  // namespace kv::offline
