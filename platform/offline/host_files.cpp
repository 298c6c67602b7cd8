#include "platform/offline/host_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <utility>

#include "platform/memory/file_paths.h"
#include "support/text.h"

namespace kv::offline {
namespace {

using memfs::NormalPath;

constexpr FindHandle kFirstFind = 0x100;
constexpr std::uint32_t kAttrReparsePoint = 0x400;
// The attributes ntfs-3g keeps for a file, and the ones a search reports.
constexpr std::uint32_t kReportedAttributes = 0x7FFF;

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

// Opens `relative` (names separated by '/', empty for the root itself; real folders only: links are
// followed by name above, never by the kernel) below the folder `root`, without following any link and
// without leaving the folder. Where the kernel lacks openat2, one name at a time with O_NOFOLLOW, which
// refuses a link at every step.
UniqueFd OpenBeneath(int root, const std::string& relative, int flags) {
  const std::string path = relative.empty() ? "." : relative;
  open_how how{};
  how.flags = static_cast<std::uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  const long fd = ::syscall(SYS_openat2, root, path.c_str(), &how, sizeof how);
  if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return UniqueFd(static_cast<int>(fd));
  UniqueFd current(::fcntl(root, F_DUPFD_CLOEXEC, 0));
  std::size_t start = 0;
  while (current.get() >= 0 && start < relative.size()) {
    std::size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    const std::string name = relative.substr(start, end - start);
    const bool last = end == relative.size();
    if (name.empty() || name == "." || name == "..") return UniqueFd();
    current = UniqueFd(
        ::openat(current.get(), name.c_str(), (last ? flags : O_RDONLY | O_DIRECTORY) | O_NOFOLLOW | O_CLOEXEC));
    start = end + 1;
  }
  return current;
}

std::uint64_t FileTime(const struct timespec& t) {
  const std::int64_t seconds = static_cast<std::int64_t>(t.tv_sec) + 11644473600LL;
  if (seconds < 0) return 0;
  return static_cast<std::uint64_t>(seconds) * 10000000ull + static_cast<std::uint64_t>(t.tv_nsec) / 100;
}

// How far the target of a link was resolved.
enum class LinkState { kUnresolved, kResolving, kResolved };

// The most links one name goes through (the kernel's own limit), beyond which it leads nowhere.
constexpr int kMostLinks = 40;

struct HostNode {
  std::string name;   // as the volume holds it
  std::string alias;  // the 8.3 name; empty when the name is one already
  std::string host;   // the path below the drive's folder, '/'-separated, through real folders only; empty
                      // for the root
  bool directory = false;
  bool link = false;
  std::string linkText;  // a link's target as the volume holds it
  LinkState linkState = LinkState::kUnresolved;
  HostNode* target = nullptr;     // what the link leads to in the tree (never a link); null: nowhere
  bool volumeAttributes = false;  // the attributes are the volume's own (ntfs-3g)
  std::uint32_t attributes = 0;
  std::uint64_t lastWriteTime = 0;
  HostNode* parent = nullptr;
  bool listed = false;
  std::map<std::string, std::unique_ptr<HostNode>, NoCaseLess> children;
  std::map<std::string, HostNode*, NoCaseLess> aliases;

  HostNode* Child(const std::string& childName) const {
    auto it = children.find(childName);
    if (it != children.end()) return it->second.get();
    auto alias = aliases.find(childName);
    return alias == aliases.end() ? nullptr : alias->second;
  }
};

struct Drive {
  UniqueFd root;
  std::string folder;
  std::string realFolder;  // the folder without links on its way: where the mount's absolute links start
  std::unique_ptr<HostNode> top;
  bool xattrs = true;  // the volume may keep short names and attributes (cleared on the first "not supported")
};

std::uint32_t DeliverPath(const std::string& text, std::uint32_t length, char* buffer) {
  const auto size = static_cast<std::uint32_t>(text.size());
  if (size == 0) return 0;
  if (length <= size || buffer == nullptr) return size + 1;
  text.copy(buffer, text.size());
  buffer[size] = '\0';
  return size;
}

}  // namespace

struct HostFileSystem::Impl {
  mutable std::mutex mutex;
  std::map<char, Drive> drives;
  NormalPath current = memfs::DriveRoot('C');
  std::uint32_t errorMode = 0;
  std::map<FindHandle, std::deque<FindEntry>> finds;
  FindHandle nextFind = kFirstFind;
  std::vector<std::string> unchecked;
  std::string uncheckable;  // drive letters

  void NoteUnchecked(const std::string& what) {
    if (std::find(unchecked.begin(), unchecked.end(), what) == unchecked.end()) unchecked.push_back(what);
  }

  NormalPath Normalize(const std::string& path, bool mapDevices = true) const {
    return memfs::Normalize(path, current, mapDevices);
  }

  // An extended attribute of an entry of an open folder, read without following a link.
  static bool ReadXattr(int folder, const std::string& name, const char* attribute, std::string* value,
                        bool* supported) {
    const std::string path = "/proc/self/fd/" + std::to_string(folder) + "/" + name;
    char buffer[256];
    const ssize_t n = ::lgetxattr(path.c_str(), attribute, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == ENOTSUP) *supported = false;
      return false;
    }
    value->assign(buffer, static_cast<std::size_t>(n));
    return true;
  }

  void List(Drive& drive, HostNode& folder) {
    if (folder.listed) return;
    folder.listed = true;
    UniqueFd fd = OpenBeneath(drive.root.get(), folder.host, O_RDONLY | O_DIRECTORY);
    if (fd.get() < 0) return;
    const int folderFd = fd.get();
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd.release()));
    if (!dir) return;
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (name == "." || name == ".." || name.find('\\') != std::string::npos) continue;
      names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<HostNode*> needAlias;
    for (const std::string& name : names) {
      struct stat st {};
      if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      if (folder.children.count(name) != 0) continue;  // names that differ only in case: the first is seen
      auto node = std::make_unique<HostNode>();
      node->name = name;
      node->host = folder.host.empty() ? name : folder.host + "/" + name;
      node->parent = &folder;
      node->link = S_ISLNK(st.st_mode);
      node->directory = S_ISDIR(st.st_mode);
      node->lastWriteTime = FileTime(st.st_mtim);
      node->attributes = node->directory ? kAttrDirectory : kAttrArchive;
      if (node->link) {
        node->attributes |= kAttrReparsePoint;
        char text[PATH_MAX];
        const ssize_t n = ::readlinkat(folderFd, name.c_str(), text, sizeof text);
        if (n > 0 && static_cast<std::size_t>(n) < sizeof text)
          node->linkText.assign(text, static_cast<std::size_t>(n));
      }
      if (!node->directory && !node->link && (st.st_mode & 0222) == 0) node->attributes |= kAttrReadOnly;
      if (drive.xattrs) {
        std::string value;
        if (ReadXattr(folderFd, name, "system.ntfs_attrib", &value, &drive.xattrs) && value.size() == 4) {
          std::uint32_t attributes = 0;
          std::memcpy(&attributes, value.data(), 4);
          attributes &= kReportedAttributes;
          // A link's attributes are the volume's own (a junction: a folder and a reparse point); any
          // other entry is a folder exactly when the host says so.
          if (!node->link) attributes = (attributes & ~kAttrDirectory) | (node->directory ? kAttrDirectory : 0);
          node->attributes = attributes == 0 ? kAttrNormal : attributes;
          node->volumeAttributes = true;
        }
        if (drive.xattrs && !memfs::IsValidShortName(name) &&
            ReadXattr(folderFd, name, "system.ntfs_dos_name", &value, &drive.xattrs) &&
            memfs::IsValidShortName(value) && folder.Child(value) == nullptr)
          node->alias = value;
      }
      HostNode* added = node.get();
      if (!added->alias.empty())
        folder.aliases[added->alias] = added;
      else if (!memfs::IsValidShortName(name))
        needAlias.push_back(added);
      folder.children[name] = std::move(node);
    }
    for (HostNode* node : needAlias) {
      for (int n = 1; n < 1000000; ++n) {
        std::string candidate = memfs::ShortNameCandidate(node->name, n);
        if (folder.Child(candidate) == nullptr) {
          node->alias = candidate;
          folder.aliases[candidate] = node;
          break;
        }
      }
    }
  }

  Drive* DriveOf(const NormalPath& path) {
    if (path.kind != NormalPath::kDrive) return nullptr;
    auto drive = drives.find(path.drive);
    if (drive == drives.end()) {
      if (uncheckable.find(path.drive) != std::string::npos) NoteUnchecked(std::string(1, path.drive) + ":");
      return nullptr;
    }
    return &drive->second;
  }

  // What `node` leads to: itself, or for a link the entry its target names in the tree (null when the
  // target is outside the tree, missing, or a loop). Links are followed here, by name, one entry at a
  // time; the kernel never follows one.
  HostNode* Follow(Drive& drive, HostNode* node, int depth = 0) {
    if (node == nullptr || !node->link) return node;
    switch (node->linkState) {
      case LinkState::kResolved: return node->target;
      case LinkState::kResolving:  // the link leads back to itself
        return nullptr;
      case LinkState::kUnresolved: break;
    }
    if (depth >= kMostLinks) return nullptr;
    node->linkState = LinkState::kResolving;
    HostNode* target = nullptr;
    std::vector<std::string> names;
    if (TargetNames(drive, *node, &names)) {
      target = drive.top.get();
      for (const std::string& name : names) {
        HostNode* folder = Follow(drive, target, depth + 1);
        if (folder == nullptr || !folder->directory) {
          target = nullptr;
          break;
        }
        List(drive, *folder);
        target = folder->Child(name);
        if (target == nullptr) break;
      }
      target = Follow(drive, target, depth + 1);
    }
    node->target = target;
    node->linkState = LinkState::kResolved;
    if (!node->volumeAttributes && target != nullptr && target->directory)
      node->attributes = kAttrDirectory | kAttrReparsePoint;
    return target;
  }

  // The names, from the drive's root, a link's target leads through. A relative target starts from the
  // link's folder, and its ".." never climbs above the root. An absolute one must lie in the drive's own
  // folder (ntfs-3g writes a junction "\??\C:\Users" as the mount point followed by "/Users"); any other
  // (the host's own folders, ntfs-3g's "/.NTFS-3G/D:/..." for another volume) is refused.
  bool TargetNames(const Drive& drive, const HostNode& link, std::vector<std::string>* names) const {
    std::string text = link.linkText;
    if (text.empty()) return false;
    if (text[0] == '/') {
      bool inside = false;
      for (const std::string* folder : {&drive.folder, &drive.realFolder}) {
        std::string prefix = *folder;
        while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
        if (prefix.empty()) continue;
        if (prefix == "/") {  // a drive that is the whole host (Wine's Z:): every absolute target is on it
          inside = true;
          break;
        }
        if (text == prefix || text.compare(0, prefix.size() + 1, prefix + "/") == 0) {
          text.erase(0, prefix.size());
          inside = true;
          break;
        }
      }
      if (!inside) return false;
    } else if (link.parent != nullptr && !link.parent->host.empty()) {
      for (std::size_t start = 0; start <= link.parent->host.size();) {
        std::size_t end = link.parent->host.find('/', start);
        if (end == std::string::npos) end = link.parent->host.size();
        names->push_back(link.parent->host.substr(start, end - start));
        start = end + 1;
      }
    }
    for (std::size_t start = 0; start <= text.size();) {
      std::size_t end = text.find('/', start);
      if (end == std::string::npos) end = text.size();
      const std::string name = text.substr(start, end - start);
      start = end + 1;
      if (name.empty() || name == ".") continue;
      if (name == "..") {
        if (names->empty()) return false;  // out of the tree
        names->pop_back();
        continue;
      }
      names->push_back(name);
    }
    return true;
  }

  // The folder `node` is or leads to; null when it is no folder.
  HostNode* AsFolder(Drive& drive, HostNode* node) {
    node = Follow(drive, node);
    return node != nullptr && node->directory ? node : nullptr;
  }

  FindEntry EntryFor(Drive& drive, const std::string& name, HostNode& node) {
    Follow(drive, &node);  // a link to a folder is listed as one
    return FindEntry{name, name == node.name ? node.alias : std::string(), node.attributes, node.lastWriteTime};
  }

  // The entry a path names (a link itself, not what it leads to), through the links on its way.
  HostNode* Locate(const NormalPath& path, std::size_t segmentCount, Drive** on = nullptr) {
    Drive* drive = DriveOf(path);
    if (!drive) return nullptr;
    if (on) *on = drive;
    HostNode* node = drive->top.get();
    for (std::size_t i = 0; i < segmentCount; ++i) {
      node = AsFolder(*drive, node);
      if (!node) return nullptr;
      List(*drive, *node);
      node = node->Child(path.segments[i]);
      if (!node) return nullptr;
    }
    return node;
  }

  HostNode* Locate(const NormalPath& path, Drive** on = nullptr) {
    Drive* drive = nullptr;
    HostNode* node = Locate(path, path.segments.size(), &drive);
    if (on) *on = drive;
    if (node && path.trailingSeparator && !AsFolder(*drive, node)) return nullptr;
    if (node) Follow(*drive, node);  // a link's attributes say what it leads to
    return node;
  }

  bool DeviceReachable(const std::string& path) {
    NormalPath plain = Normalize(path, false);
    if (plain.kind != NormalPath::kDrive || plain.segments.empty()) return false;
    Drive* drive = nullptr;
    HostNode* folder = Locate(plain, plain.segments.size() - 1, &drive);
    return folder && AsFolder(*drive, folder);
  }

  bool Exists(const std::string& path) {
    if (path.empty() || memfs::HasWildcards(path)) return false;
    const NormalPath full = Normalize(path);
    if (full.kind == NormalPath::kDevice) return DeviceReachable(path);
    return Locate(full) != nullptr;
  }

  std::deque<FindEntry> Search(const std::string& pattern) {
    std::deque<FindEntry> entries;
    const NormalPath full = Normalize(pattern);
    if (full.kind == NormalPath::kDevice) {
      if (!memfs::HasWildcards(pattern) && DeviceReachable(pattern))
        entries.push_back(FindEntry{full.device, std::string(), kAttrArchive, 0});
      return entries;
    }
    if (full.kind != NormalPath::kDrive || full.trailingSeparator || full.segments.empty()) return entries;
    for (std::size_t i = 0; i + 1 < full.segments.size(); ++i)
      if (memfs::HasWildcards(full.segments[i])) return entries;
    Drive* drive = nullptr;
    HostNode* folder = Locate(full, full.segments.size() - 1, &drive);
    if (folder) folder = AsFolder(*drive, folder);
    if (!folder) return entries;
    List(*drive, *folder);
    const std::string& last = full.segments.back();
    if (!memfs::HasWildcards(last)) {
      if (HostNode* node = folder->Child(last)) entries.push_back(EntryFor(*drive, node->name, *node));
      return entries;
    }
    if (folder->parent) {
      if (memfs::MatchesPattern(last, ".")) entries.push_back(EntryFor(*drive, ".", *folder));
      if (memfs::MatchesPattern(last, "..")) entries.push_back(EntryFor(*drive, "..", *folder->parent));
    }
    for (const auto& child : folder->children) {
      HostNode& node = *child.second;
      if (memfs::MatchesPattern(last, node.name) || (!node.alias.empty() && memfs::MatchesPattern(last, node.alias)))
        entries.push_back(EntryFor(*drive, node.name, node));
    }
    return entries;
  }

  std::string ShortForm(const std::string& path) {
    return memfs::ShortForm(path, current, [this](const NormalPath& prefix) -> const std::string* {
      const HostNode* node = Locate(prefix);
      if (node == nullptr) return nullptr;
      return node->alias.empty() ? &node->name : &node->alias;
    });
  }
};

HostFileSystem::HostFileSystem() : impl_(std::make_unique<Impl>()) {}
HostFileSystem::~HostFileSystem() = default;

bool HostFileSystem::MapDrive(char letter, const std::string& hostFolder, std::string* error) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (letter < 'A' || letter > 'Z') {
    *error = std::string("not a drive letter: ") + letter;
    return false;
  }
  UniqueFd root(::open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (root.get() < 0) {
    *error = hostFolder + ": " + std::strerror(errno);
    return false;
  }
  Drive drive;
  drive.root = std::move(root);
  drive.folder = hostFolder;
  if (char* real = ::realpath(hostFolder.c_str(), nullptr)) {
    drive.realFolder = real;
    std::free(real);
  }
  drive.top = std::make_unique<HostNode>();
  drive.top->name = std::string(1, letter) + ":";
  drive.top->directory = true;
  drive.top->attributes = kAttrDirectory;
  impl_->drives[letter] = std::move(drive);
  return true;
}

bool HostFileSystem::IsMapped(char letter) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->drives.count(static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))) != 0;
}

void HostFileSystem::UnmapDrive(char letter) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->drives.erase(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
}

void HostFileSystem::SetCurrentDirectory(const std::string& path) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  NormalPath full = impl_->Normalize(path, false);
  full.trailingSeparator = false;
  impl_->current = full;
}

void HostFileSystem::Refresh() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  for (auto& [letter, drive] : impl_->drives) {
    auto top = std::make_unique<HostNode>();
    top->name = drive.top->name;
    top->directory = true;
    top->attributes = kAttrDirectory;
    drive.top = std::move(top);
  }
}

void HostFileSystem::MarkUncheckable(char letter) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (letter >= 'A' && letter <= 'Z' && impl_->uncheckable.find(letter) == std::string::npos)
    impl_->uncheckable += letter;
}

bool HostFileSystem::WithFile(const std::string& path, const std::function<bool(int fd)>& use) {
  UniqueFd fd;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (path.empty() || memfs::HasWildcards(path)) return false;
    Drive* drive = nullptr;
    HostNode* node = impl_->Locate(impl_->Normalize(path, false), &drive);
    if (node) node = impl_->Follow(*drive, node);
    if (!node || node->directory || !drive) return false;
    // Not blocking: a pipe or a device in the tree is refused below, never waited on.
    fd = OpenBeneath(drive->root.get(), node->host, O_RDONLY | O_NONBLOCK);
  }
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return use(fd.get());
}

bool HostFileSystem::ReadFile(const std::string& path, std::size_t limit, std::string* bytes) {
  return WithFile(path, [&](int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || static_cast<std::uint64_t>(st.st_size) > limit) return false;
    bytes->clear();
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (n == 0) break;
      if (bytes->size() + static_cast<std::size_t>(n) > limit) return false;
      bytes->append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  });
}

std::string HostFileSystem::HostPath(const std::string& path) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  Drive* drive = nullptr;
  HostNode* node = impl_->Locate(impl_->Normalize(path, false), &drive);
  if (node) node = impl_->Follow(*drive, node);
  if (!node || !drive) return std::string();
  return node->host.empty() ? drive->folder : drive->folder + "/" + node->host;
}

std::vector<std::string> HostFileSystem::Unchecked() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->unchecked;
}

FindHandle HostFileSystem::FindFirst(const std::string& pattern, FindEntry* entry) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::deque<FindEntry> entries = impl_->Search(pattern);
  if (entries.empty()) return kNoFind;
  if (entry) *entry = entries.front();
  entries.pop_front();
  const FindHandle handle = impl_->nextFind++;
  impl_->finds[handle] = std::move(entries);
  return handle;
}

// A listing here ends only when its entries are used up.
bool HostFileSystem::FindExhausted(FindHandle) { return true; }

bool HostFileSystem::FindNext(FindHandle find, FindEntry* entry) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  auto it = impl_->finds.find(find);
  if (it == impl_->finds.end() || it->second.empty()) return false;
  if (entry) *entry = it->second.front();
  it->second.pop_front();
  return true;
}

void HostFileSystem::FindClose(FindHandle find) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->finds.erase(find);
}

std::uint32_t HostFileSystem::GetAttributes(const std::string& path) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (path.empty() || memfs::HasWildcards(path)) return kInvalidFileAttributes;
  const NormalPath full = impl_->Normalize(path);
  if (full.kind == NormalPath::kDevice) return impl_->DeviceReachable(path) ? kAttrArchive : kInvalidFileAttributes;
  const HostNode* node = impl_->Locate(full);
  return node ? node->attributes : kInvalidFileAttributes;
}

std::uint32_t HostFileSystem::FullPathName(const std::string& path, std::uint32_t length, char* buffer) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return DeliverPath(impl_->Normalize(path).Text(), length, buffer);
}

std::uint32_t HostFileSystem::ShortPathName(const std::string& path, std::uint32_t length, char* buffer) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (!impl_->Exists(path)) return 0;
  return DeliverPath(impl_->ShortForm(path), length, buffer);
}

std::uint32_t HostFileSystem::SetErrorMode(std::uint32_t mode) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return std::exchange(impl_->errorMode, mode);
}

std::uint32_t HostFileSystem::DriveType(const std::string& root) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (root.size() < 2 || root[1] != ':' || !std::isalpha(static_cast<unsigned char>(root[0]))) return kDriveNoRootDir;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
  if (impl_->drives.count(letter) != 0) return kDriveFixed;
  if (impl_->uncheckable.find(letter) == std::string::npos) return kDriveNoRootDir;
  // The installation's, but not here: whatever lies there cannot be looked at, and is not held against an
  // entry.
  impl_->NoteUnchecked(std::string(1, letter) + ":");
  return kDriveNotExaminable;
}

NetworkFileAnswer HostFileSystem::FindNetworkFile(const std::string& name, std::uint32_t) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->NoteUnchecked(name);
  return NetworkFileAnswer::kNoAnswer;
}

}  // namespace kv::offline
