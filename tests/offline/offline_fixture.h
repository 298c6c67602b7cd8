// Scratch installations for the offline platform's tests: a folder tree in a temporary folder, and hives
// written into it from memory registries.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/memory/memory_platform.h"
#include "platform/offline/hive_writer.h"

namespace kv::offline::test {

inline std::string SourceDir() { return KV_SOURCE_DIR; }
inline std::string EmptyHive() { return SourceDir() + "/tests/offline/hives/minimal.hive"; }

// A real hive of the fixtures, decompressed.
inline std::string RealHive(const std::string& name) {
  const std::string command = "xz -dc '" + SourceDir() + "/tests/offline/hives/" + name + ".xz'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::string bytes;
  if (!pipe) return bytes;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) bytes.append(buffer, n);
  return bytes;
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// A temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    char name[] = "/tmp/kv-offline-test.XXXXXX";
    path_ = ::mkdtemp(name);
  }
  ~ScratchFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }
  // Makes the folders of a relative '/'-separated path (and the file, when `file`).
  std::string Add(const std::string& relative, bool file = false) const {
    std::string sofar = path_;
    std::size_t start = 0;
    while (start < relative.size()) {
      std::size_t end = relative.find('/', start);
      if (end == std::string::npos) end = relative.size();
      sofar += "/" + relative.substr(start, end - start);
      if (end == relative.size() && file) {
        WriteAll(sofar, "");
      } else {
        ::mkdir(sofar.c_str(), 0755);
      }
      start = end + 1;
    }
    return sofar;
  }

 private:
  std::string path_;
};

// Writes the key `path` below `root` of `registry` as the hive file `out`.
inline void WriteHive(MemoryRegistry& registry, std::uint32_t root, const std::string& path, const std::string& out) {
  std::string error;
  ASSERT_TRUE(WriteHiveFile(registry, {HivePart{root, path, "", nullptr}}, EmptyHive(), out, nullptr, &error)) << error;
}

}  // namespace kv::offline::test
