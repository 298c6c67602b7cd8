#include "platform/offline/hive_loader.h"

#include <hivex.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <vector>

namespace kv::offline {
namespace {

// NT refuses keys nested deeper than this; a hive that claims more is not walked further.
constexpr std::size_t kMaxDepth = 512;
constexpr std::size_t kHeaderSize = 4096;
static_assert(sizeof(hive_type) == sizeof(std::uint32_t), "the hive library's value type is a 32-bit number");

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Malloced = std::unique_ptr<T, FreeDeleter>;

struct HiveCloser {
  void operator()(hive_h* h) const { hivex_close(h); }
};
using UniqueHive = std::unique_ptr<hive_h, HiveCloser>;

class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::uint32_t LittleEndian32(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

std::string Errno(int error) { return error == 0 ? "unknown error" : std::strerror(error); }

class Walker {
 public:
  Walker(hive_h* hive, MemoryRegistry& registry, HiveInfo& info) : hive_(hive), registry_(registry), info_(info) {}

  bool Copy(hive_node_h node, const std::string& path, std::size_t depth, std::string* error) {
    if (!visited_.insert(node).second) return true;  // a cell reached twice: walked once
    if (depth > kMaxDepth) {
      *error = "keys nested deeper than " + std::to_string(kMaxDepth) + " at " + path;
      return false;
    }
    registry_.CreateKey(path);
    ++info_.keys;
    errno = 0;
    Malloced<hive_value_h> values(hivex_node_values(hive_, node));
    if (!values) {
      *error = "the values of " + path + " cannot be read (" + Errno(errno) + ")";
      return false;
    }
    for (const hive_value_h* v = values.get(); *v != 0; ++v) {
      errno = 0;
      Malloced<char> name(hivex_value_key(hive_, *v));
      if (!name) {
        *error = "a value name of " + path + " cannot be read (" + Errno(errno) + ")";
        return false;
      }
      // A value's type is any 32-bit number the file holds, not only the library's named ones: it is kept
      // in a plain number, which the library fills through its enum's pointer (the same size).
      std::uint32_t type = 0;
      std::size_t length = 0;
      errno = 0;
      Malloced<char> data(hivex_value_value(hive_, *v, reinterpret_cast<hive_type*>(&type), &length));
      if (!data) {
        *error = "the value \"" + std::string(name.get()) + "\" of " + path + " cannot be read (" + Errno(errno) + ")";
        return false;
      }
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.get());
      registry_.SetValue(path, name.get(), type,
                         std::vector<std::uint8_t>(bytes, bytes + length));
      ++info_.values;
    }
    errno = 0;
    Malloced<hive_node_h> children(hivex_node_children(hive_, node));
    if (!children) {
      *error = "the subkeys of " + path + " cannot be read (" + Errno(errno) + ")";
      return false;
    }
    for (const hive_node_h* child = children.get(); *child != 0; ++child) {
      errno = 0;
      Malloced<char> name(hivex_node_name(hive_, *child));
      if (!name) {
        *error = "a subkey name of " + path + " cannot be read (" + Errno(errno) + ")";
        return false;
      }
      const std::string text = name.get();
      if (text.empty() || text.find('\\') != std::string::npos) {
        ++info_.skippedKeys;
        continue;
      }
      if (!Copy(*child, path + "\\" + text, depth + 1, error)) return false;
    }
    return true;
  }

 private:
  hive_h* hive_;
  MemoryRegistry& registry_;
  HiveInfo& info_;
  std::unordered_set<hive_node_h> visited_;
};

}  // namespace

bool ReadHiveHeader(const std::string& bytes, HiveInfo* info, std::string* error) {
  if (bytes.size() < kHeaderSize || bytes.compare(0, 4, "regf") != 0) {
    *error = "not a registry hive (no \"regf\" header)";
    return false;
  }
  info->sequence1 = LittleEndian32(bytes, 4);
  info->sequence2 = LittleEndian32(bytes, 8);
  return true;
}

bool LoadHive(const std::string& bytes, const std::string& subkey, MemoryRegistry& registry,
              const std::string& target, HiveInfo* info, std::string* error) {
  *info = HiveInfo{};
  if (!ReadHiveHeader(bytes, info, error)) return false;

  // The library opens files only: it gets an anonymous one holding our copy, which nobody else can change.
  UniqueFd memory(memfd_create("hive", MFD_CLOEXEC));
  if (memory.get() < 0) {
    *error = "no memory file for the hive (" + Errno(errno) + ")";
    return false;
  }
  for (std::size_t written = 0; written < bytes.size();) {
    const ssize_t n = ::write(memory.get(), bytes.data() + written, bytes.size() - written);
    if (n <= 0) {
      *error = "the hive cannot be copied (" + Errno(errno) + ")";
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  const std::string name = "/proc/self/fd/" + std::to_string(memory.get());
  errno = 0;
  UniqueHive hive(hivex_open(name.c_str(), 0));
  if (!hive) {
    *error = errno == ENOMEM ? "the hive is too large to be read here" : "the hive is damaged or not a registry hive";
    return false;
  }
  hive_node_h node = hivex_root(hive.get());
  if (node == 0) {
    *error = "the hive has no root key";
    return false;
  }
  std::size_t start = 0;
  while (start < subkey.size()) {
    std::size_t end = subkey.find('\\', start);
    if (end == std::string::npos) end = subkey.size();
    const std::string part = subkey.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    errno = 0;
    node = hivex_node_get_child(hive.get(), node, part.c_str());
    if (node == 0) {
      *error = errno == 0 ? "the hive has no key " + subkey : "the hive's key " + subkey + " cannot be read (" + Errno(errno) + ")";
      return false;
    }
  }
  Walker walker(hive.get(), registry, *info);
  return walker.Copy(node, target, 0, error);
}

}  // namespace kv::offline
