#include "platform/offline/hive_loader.h"

#include <hivex.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <utility>
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
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
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
      registry_.SetValue(path, name.get(), type, std::vector<std::uint8_t>(bytes, bytes + length));
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

struct HiveFile::Handles {
  UniqueFd memory{-1};
  UniqueHive hive;
};

HiveFile::HiveFile() : handles_(std::make_unique<Handles>()) {}
HiveFile::~HiveFile() = default;

bool HiveFile::OpenBytes(const std::string& bytes, std::string* error) {
  info_ = HiveInfo{};
  if (!ReadHiveHeader(bytes, &info_, error)) return false;
  // The library opens files only: it gets an anonymous one holding our copy, which nobody else can change.
  handles_->memory = UniqueFd(memfd_create("hive", MFD_CLOEXEC));
  if (handles_->memory.get() < 0) {
    *error = "no memory file for the hive (" + Errno(errno) + ")";
    return false;
  }
  for (std::size_t written = 0; written < bytes.size();) {
    const ssize_t n = ::write(handles_->memory.get(), bytes.data() + written, bytes.size() - written);
    if (n <= 0) {
      *error = "the hive cannot be copied (" + Errno(errno) + ")";
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return OpenCopy(error);
}

bool HiveFile::OpenFile(int fd, std::size_t limit, std::string* error) {
  info_ = HiveInfo{};
  std::string header(kHeaderSize, '\0');
  const ssize_t got = ::pread(fd, &header[0], header.size(), 0);
  header.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  if (!ReadHiveHeader(header, &info_, error)) return false;
  handles_->memory = UniqueFd(memfd_create("hive", MFD_CLOEXEC));
  if (handles_->memory.get() < 0) {
    *error = "no memory file for the hive (" + Errno(errno) + ")";
    return false;
  }
  // The whole file, copied once (the library then maps the copy): never read twice, never changed under us.
  std::vector<char> buffer(std::size_t{1} << 20);
  std::size_t total = 0;
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), at);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = "the hive cannot be read (" + Errno(errno) + ")";
      return false;
    }
    if (n == 0) break;
    total += static_cast<std::size_t>(n);
    if (total > limit) {
      *error = "the hive is larger than " + std::to_string(limit >> 20) + " MB";
      return false;
    }
    for (ssize_t written = 0; written < n;) {
      const ssize_t w = ::write(handles_->memory.get(), buffer.data() + written, static_cast<std::size_t>(n - written));
      if (w <= 0) {
        *error = "the hive cannot be copied (" + Errno(errno) + ")";
        return false;
      }
      written += w;
    }
    at += n;
  }
  return OpenCopy(error);
}

bool HiveFile::OpenCopy(std::string* error) {
  const std::string name = "/proc/self/fd/" + std::to_string(handles_->memory.get());
  errno = 0;
  handles_->hive.reset(hivex_open(name.c_str(), 0));
  if (!handles_->hive) {
    *error = errno == ENOMEM ? "the hive is too large to be read here" : "the hive is damaged or not a registry hive";
    return false;
  }
  return true;
}

bool HiveFile::Copy(const std::string& subkey, MemoryRegistry& registry, const std::string& target,
                    std::string* error) {
  hive_h* hive = handles_->hive.get();
  if (!hive) {
    *error = "the hive is not open";
    return false;
  }
  hive_node_h node = hivex_root(hive);
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
    node = hivex_node_get_child(hive, node, part.c_str());
    if (node == 0) {
      *error = errno == 0 ? "the hive has no key " + subkey
                          : "the hive's key " + subkey + " cannot be read (" + Errno(errno) + ")";
      return false;
    }
  }
  Walker walker(hive, registry, info_);
  return walker.Copy(node, target, 0, error);
}

bool LoadHive(const std::string& bytes, const std::string& subkey, MemoryRegistry& registry, const std::string& target,
              HiveInfo* info, std::string* error) {
  HiveFile hive;
  const bool loaded = hive.OpenBytes(bytes, error) && hive.Copy(subkey, registry, target, error);
  *info = hive.info();
  return loaded;
}

}  // namespace kv::offline
