// MemoryFileSystem: drives of folders and files with attributes, times and 8.3 aliases, searched and
// named the way kernel32 does it; every seam call is written to a log.
#include <cctype>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "platform/memory/code_page.h"
#include "platform/memory/file_paths.h"
#include "platform/memory/memory_platform.h"
#include "support/text.h"

namespace kv {
namespace {

using memfs::NormalPath;

constexpr std::uint64_t kDefaultTime = 0x01D0000000000000ull;
constexpr FindHandle kFirstFind = 0x100;
// What a device answers for attributes; a search for it reports no time.
constexpr std::uint32_t kDeviceAttributes = kAttrArchive;

struct FsNode {
  std::string name;   // as stored
  std::string alias;  // the 8.3 alias; empty when the name is itself a valid 8.3 name
  bool directory = false;
  std::uint32_t attributes = 0;
  std::uint64_t lastWriteTime = kDefaultTime;
  FsNode* parent = nullptr;
  std::map<std::string, std::unique_ptr<FsNode>, NoCaseLess> children;
  std::map<std::string, FsNode*, NoCaseLess> aliases;
  // For each run of aliases (named by its first, "~1"), the lowest number that may still be free: every
  // lower one is taken. A folder of thousands of long names with one beginning thus numbers them in
  // linear time. Forgotten whenever a name goes, since that may free a lower number.
  mutable std::map<std::string, int, NoCaseLess> nextAlias;

  std::uint32_t ReportedAttributes() const { return directory ? (attributes | kAttrDirectory) : attributes; }

  // A child by its long name or its alias.
  FsNode* Find(const std::string& childName) const {
    auto it = children.find(childName);
    if (it != children.end()) return it->second.get();
    auto alias = aliases.find(childName);
    return alias == aliases.end() ? nullptr : alias->second;
  }

  std::string UniqueAlias(const std::string& longName) const {
    if (memfs::IsValidShortName(longName)) return std::string();
    int& next = nextAlias.try_emplace(memfs::ShortNameCandidate(longName, 1), 1).first->second;
    for (int n = next;; ++n) {
      std::string candidate = memfs::ShortNameCandidate(longName, n);
      if (!Find(candidate)) {
        next = n + 1;
        return candidate;
      }
    }
  }

  FsNode* Add(const std::string& childName, bool isDirectory) {
    auto node = std::make_unique<FsNode>();
    node->name = childName;
    node->alias = UniqueAlias(childName);
    node->directory = isDirectory;
    node->attributes = isDirectory ? kAttrDirectory : kAttrArchive;
    node->parent = this;
    FsNode* added = node.get();
    if (!added->alias.empty()) aliases[added->alias] = added;
    children[childName] = std::move(node);
    return added;
  }

  void Remove(FsNode* child) {
    nextAlias.clear();
    if (!child->alias.empty()) aliases.erase(child->alias);
    children.erase(child->name);
  }
};

FindEntry EntryFor(const std::string& name, const FsNode& node) {
  return FindEntry{name, name == node.name ? node.alias : std::string(), node.ReportedAttributes(), node.lastWriteTime};
}

// Copies `text` out by the rules of GetFullPathNameW, counted in UTF-8 bytes: the length without the NUL,
// or the size needed with the NUL when the buffer is too small (nothing written then).
std::uint32_t DeliverPath(const std::string& text, std::uint32_t length, char* buffer) {
  const auto size = static_cast<std::uint32_t>(text.size());
  if (size == 0) return 0;
  if (length <= size || buffer == nullptr) return size + 1;
  text.copy(buffer, text.size());
  buffer[size] = '\0';
  return size;
}

}  // namespace

struct MemoryFileSystem::Impl {
  std::mutex mutex;
  std::map<char, std::unique_ptr<FsNode>> drives;
  NormalPath current = memfs::DriveRoot('C');
  std::uint32_t errorMode = 0;
  std::map<FindHandle, std::deque<FindEntry>> finds;
  FindHandle nextFind = kFirstFind;
  std::map<char, std::uint32_t> driveTypes;
  std::vector<std::string> networkFiles;
  std::vector<std::string> unreachable;

  Impl() { AddDrive('C'); }

  FsNode* AddDrive(char letter) {
    auto& drive = drives[letter];
    if (!drive) {
      drive = std::make_unique<FsNode>();
      drive->name = std::string(1, letter) + ":";
      drive->directory = true;
      drive->attributes = kAttrDirectory;
    }
    return drive.get();
  }

  NormalPath Normalize(const std::string& path, bool mapDevices = true) const {
    return memfs::Normalize(path, current, mapDevices);
  }

  // The folder or file a kDrive path names; null when there is none (or a trailing separator follows a
  // file).
  FsNode* Locate(const NormalPath& path, std::size_t segmentCount) const {
    if (path.kind != NormalPath::kDrive) return nullptr;
    auto drive = drives.find(path.drive);
    if (drive == drives.end()) return nullptr;
    FsNode* node = drive->second.get();
    for (std::size_t i = 0; i < segmentCount; ++i) {
      node = node->directory ? node->Find(path.segments[i]) : nullptr;
      if (!node) return nullptr;
    }
    return node;
  }

  FsNode* Locate(const NormalPath& path) const {
    FsNode* node = Locate(path, path.segments.size());
    if (node && path.trailingSeparator && !node->directory) return nullptr;
    return node;
  }

  // A device answers in any existing folder: "C:\dir\nul" when C:\dir exists.
  bool DeviceReachable(const std::string& path) const {
    NormalPath plain = Normalize(path, false);
    if (plain.kind != NormalPath::kDrive || plain.segments.empty()) return false;
    FsNode* folder = Locate(plain, plain.segments.size() - 1);
    return folder && folder->directory;
  }

  bool Exists(const std::string& path) const {
    if (path.empty() || memfs::HasWildcards(path)) return false;
    const NormalPath full = Normalize(path);
    if (full.kind == NormalPath::kDevice) return DeviceReachable(path);
    return Locate(full) != nullptr;
  }

  std::deque<FindEntry> Search(const std::string& pattern) const {
    std::deque<FindEntry> entries;
    const NormalPath full = Normalize(pattern);
    if (full.kind == NormalPath::kDevice) {
      if (!memfs::HasWildcards(pattern) && DeviceReachable(pattern))
        entries.push_back(FindEntry{full.device, std::string(), kDeviceAttributes, 0});
      return entries;
    }
    if (full.kind != NormalPath::kDrive || full.trailingSeparator || full.segments.empty()) return entries;
    for (std::size_t i = 0; i + 1 < full.segments.size(); ++i) {
      if (memfs::HasWildcards(full.segments[i])) return entries;
    }
    FsNode* folder = Locate(full, full.segments.size() - 1);
    if (!folder || !folder->directory) return entries;
    const std::string& last = full.segments.back();
    if (!memfs::HasWildcards(last)) {
      if (FsNode* node = folder->Find(last)) entries.push_back(EntryFor(node->name, *node));
      return entries;
    }
    if (folder->parent) {
      if (memfs::MatchesPattern(last, ".")) entries.push_back(EntryFor(".", *folder));
      if (memfs::MatchesPattern(last, "..")) entries.push_back(EntryFor("..", *folder->parent));
    }
    for (const auto& child : folder->children) {
      const FsNode& node = *child.second;
      if (memfs::MatchesPattern(last, node.name) || (!node.alias.empty() && memfs::MatchesPattern(last, node.alias)))
        entries.push_back(EntryFor(node.name, node));
    }
    return entries;
  }

  // Each name of `path` as written replaced by the stored name or its alias; separators, the drive and
  // "." and ".." stay as written. Empty when some part does not exist.
  std::string ShortForm(const std::string& path) const {
    return memfs::ShortForm(path, current, [this](const NormalPath& prefix) -> const std::string* {
      const FsNode* node = Locate(prefix);
      if (node == nullptr) return nullptr;
      return node->alias.empty() ? &node->name : &node->alias;
    });
  }

  // Fixture paths: a kDrive path with its folders created as needed.
  FsNode* MakeFolders(const std::string& path, NormalPath* full) {
    *full = Normalize(path, false);
    if (full->kind != NormalPath::kDrive)
      throw std::invalid_argument("file system fixture path not on a drive: " + path);
    if (NamesNothingAnywhere(path))
      throw std::invalid_argument("file system fixture path longer than any volume holds: " + path.substr(0, 80) +
                                  "...");
    FsNode* node = AddDrive(full->drive);
    for (std::size_t i = 0; i + 1 < full->segments.size(); ++i) {
      FsNode* next = node->Find(full->segments[i]);
      if (!next) next = node->Add(full->segments[i], true);
      if (!next->directory) throw std::invalid_argument("file system fixture path through a file: " + path);
      node = next;
    }
    return node;
  }

  FsNode* LocateFixture(const std::string& path) const {
    FsNode* node = Locate(Normalize(path, false));
    if (!node) throw std::invalid_argument("file system fixture path does not exist: " + path);
    return node;
  }
};

MemoryFileSystem::MemoryFileSystem() : impl_(std::make_unique<Impl>()) {}

MemoryFileSystem::~MemoryFileSystem() = default;

// ---------------------------------------------------------------------------------------------------
// Fixture building.

void MemoryFileSystem::AddFile(const std::string& path, std::uint32_t attributes, std::uint64_t lastWriteTime) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  NormalPath full;
  FsNode* folder = impl_->MakeFolders(path, &full);
  if (full.segments.empty()) throw std::invalid_argument("file system fixture file without a name: " + path);
  FsNode* file = folder->Find(full.segments.back());
  if (file && file->directory) throw std::invalid_argument("file system fixture file is a folder: " + path);
  if (!file) file = folder->Add(full.segments.back(), false);
  file->attributes = attributes & ~kAttrDirectory;
  file->lastWriteTime = lastWriteTime;
}

void MemoryFileSystem::AddDirectory(const std::string& path) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  NormalPath full;
  FsNode* folder = impl_->MakeFolders(path, &full);
  if (full.segments.empty()) return;  // a drive root
  FsNode* node = folder->Find(full.segments.back());
  if (node && !node->directory) throw std::invalid_argument("file system fixture folder is a file: " + path);
  if (!node) folder->Add(full.segments.back(), true);
}

void MemoryFileSystem::Remove(const std::string& path) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  const NormalPath full = impl_->Normalize(path, false);
  FsNode* node = impl_->Locate(full);
  if (!node) return;
  if (node->parent) {
    node->parent->Remove(node);
  } else {
    impl_->drives.erase(full.drive);
  }
}

void MemoryFileSystem::SetAttributes(const std::string& path, std::uint32_t attributes) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->LocateFixture(path)->attributes = attributes;
}

void MemoryFileSystem::SetCurrentDirectory(const std::string& path) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  NormalPath full = impl_->Normalize(path, false);
  if (full.kind != NormalPath::kDrive && full.kind != NormalPath::kUnc)
    throw std::invalid_argument("current directory neither on a drive nor on a share: " + path);
  full.trailingSeparator = false;
  impl_->current = full;
}

bool MemoryFileSystem::Exists(const std::string& path) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->Exists(path);
}

std::uint32_t MemoryFileSystem::ErrorMode() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->errorMode;
}

void MemoryFileSystem::SetDriveType(char letter, std::uint32_t type) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->driveTypes[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = type;
}

void MemoryFileSystem::AddNetworkFile(const std::string& name) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->networkFiles.push_back(name);
}

void MemoryFileSystem::SetNetworkUnreachable(const std::string& prefix) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->unreachable.push_back(prefix);
}

// ---------------------------------------------------------------------------------------------------
// The seam.

FindHandle MemoryFileSystem::FindFirst(const std::string& pattern, FindEntry* entry) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::deque<FindEntry> entries = impl_->Search(pattern);
  if (entries.empty()) return kNoFind;
  if (entry) *entry = entries.front();
  entries.pop_front();
  const FindHandle handle = impl_->nextFind++;
  impl_->finds[handle] = std::move(entries);
  return handle;
}

bool MemoryFileSystem::FindNext(FindHandle find, FindEntry* entry) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  auto it = impl_->finds.find(find);
  if (it == impl_->finds.end() || it->second.empty()) return false;
  if (entry) *entry = it->second.front();
  it->second.pop_front();
  return true;
}

// A listing here ends only when its entries are used up.
bool MemoryFileSystem::FindExhausted(FindHandle) { return true; }

void MemoryFileSystem::FindClose(FindHandle find) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->finds.erase(find);
}

std::uint32_t MemoryFileSystem::GetAttributes(const std::string& path) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (path.empty() || memfs::HasWildcards(path)) return kInvalidFileAttributes;
  const NormalPath full = impl_->Normalize(path);
  if (full.kind == NormalPath::kDevice)
    return impl_->DeviceReachable(path) ? kDeviceAttributes : kInvalidFileAttributes;
  const FsNode* node = impl_->Locate(full);
  return node ? node->ReportedAttributes() : kInvalidFileAttributes;
}

std::uint32_t MemoryFileSystem::FullPathName(const std::string& path, std::uint32_t length, char* buffer) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return DeliverPath(impl_->Normalize(path).Text(), length, buffer);
}

std::uint32_t MemoryFileSystem::ShortPathName(const std::string& path, std::uint32_t length, char* buffer) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (!impl_->Exists(path)) return 0;
  return DeliverPath(impl_->ShortForm(path), length, buffer);
}

std::uint32_t MemoryFileSystem::SetErrorMode(std::uint32_t mode) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  const std::uint32_t previous = impl_->errorMode;
  impl_->errorMode = mode;
  return previous;
}

std::uint32_t MemoryFileSystem::DriveType(const std::string& root) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (root.size() < 2 || root[1] != ':' || !std::isalpha(static_cast<unsigned char>(root[0]))) return kDriveNoRootDir;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
  auto set = impl_->driveTypes.find(letter);
  if (set != impl_->driveTypes.end()) return set->second;
  return impl_->drives.count(letter) != 0 ? kDriveFixed : kDriveNoRootDir;
}

NetworkFileAnswer MemoryFileSystem::FindNetworkFile(const std::string& name, std::uint32_t /*waitMs*/) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  auto sameText = [](const std::string& a, const std::string& b, std::size_t length) {
    if (a.size() < length || b.size() < length) return false;
    for (std::size_t i = 0; i < length; ++i)
      if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
        return false;
    return true;
  };
  for (const std::string& prefix : impl_->unreachable)
    if (sameText(name, prefix, prefix.size())) return NetworkFileAnswer::kNoAnswer;
  for (const std::string& file : impl_->networkFiles)
    if (file.size() == name.size() && sameText(name, file, file.size())) return NetworkFileAnswer::kPresent;
  return NetworkFileAnswer::kAbsent;
}

}  // namespace kv
