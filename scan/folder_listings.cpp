#include "scan/folder_listings.h"

#include <cctype>
#include <cstring>

#include "platform/handles.h"
#include "support/text.h"

namespace kv {
namespace {

constexpr std::size_t kLongestPlainPath = 259;  // MAX_PATH less its NUL
constexpr std::size_t kLongestComponent = 255;
constexpr std::size_t kCostPerName = 64;  // the node, its hash and the string's own bookkeeping

bool IsPrintableAscii(char c) { return c >= 0x20 && c <= 0x7E; }

bool IsPlainNameChar(char c) { return IsPrintableAscii(c) && std::strchr("*?<>\"|:/", c) == nullptr; }

// A device the system reaches by this name in any folder: CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$,
// CONOUT$, CLOCK$, with any extension and blanks before it.
bool IsDeviceComponent(const std::string& path, std::size_t start, std::size_t end) {
  std::size_t baseEnd = start;
  while (baseEnd < end && path[baseEnd] != '.') ++baseEnd;
  while (baseEnd > start && path[baseEnd - 1] == ' ') --baseEnd;
  const std::size_t length = baseEnd - start;
  if (length < 3 || length > 7) return false;  // no allocation for the names that are not devices
  char base[8] = {};
  for (std::size_t i = 0; i < length; ++i)
    base[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(path[start + i])));
  for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"})
    if (std::strcmp(base, device) == 0) return true;
  return length == 4 && (std::strncmp(base, "com", 3) == 0 || std::strncmp(base, "lpt", 3) == 0) && base[3] >= '0' &&
         base[3] <= '9';
}

bool IsPlainAsciiName(const std::string& name) {
  for (char c : name)
    if (!IsPrintableAscii(c)) return false;
  return true;
}

}  // namespace

bool IsPlainLocalName(const std::string& path) {
  if (path.size() < 4 || path.size() > kLongestPlainPath) return false;
  const char drive = static_cast<char>(path[0] | 0x20);
  if (drive < 'a' || drive > 'z' || path[1] != ':' || path[2] != '\\') return false;
  std::size_t start = 3;
  for (;;) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end == start || end - start > kLongestComponent) return false;  // empty, or longer than any name
    for (std::size_t i = start; i < end; ++i)
      if (!IsPlainNameChar(path[i])) return false;
    const char last = path[end - 1];
    if (last == '.' || last == ' ') return false;  // also "." and ".."
    if (IsDeviceComponent(path, start, end)) return false;
    if (end == path.size()) return true;
    start = end + 1;
  }
}

std::optional<std::uint32_t> FolderListings::Attributes(FileSystemApi& files, const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  const Folder& folder = FolderAt(files, slash == 2 ? path.substr(0, 3) : path.substr(0, slash));
  switch (folder.state) {
    case Folder::State::kMissing: return kInvalidFileAttributes;
    case Folder::State::kUnanswered: return std::nullopt;
    case Folder::State::kListed: break;
  }
  auto found = folder.names.find(LowerAscii(path.substr(slash + 1)));
  if (found == folder.names.end()) {
    if (folder.complete) return kInvalidFileAttributes;
    return std::nullopt;
  }
  if (found->second.ambiguous) return std::nullopt;
  return found->second.attributes;
}

const FolderListings::Folder& FolderListings::FolderAt(FileSystemApi& files, const std::string& folder) {
  auto known = folders_.find(folder);
  if (known != folders_.end()) return known->second;
  Folder listing;
  // A folder its parent's listing does not hold as a folder is not there: nothing in it exists, and its
  // listing is not tried.
  std::optional<std::uint32_t> itself;
  if (folder.size() > 3) itself = Attributes(files, folder);
  if (itself && (*itself == kInvalidFileAttributes || (*itself & kAttrDirectory) == 0)) {
    listing.state = Folder::State::kMissing;
  } else {
    List(files, folder, listing);
  }
  bytes_ += folder.size() + kCostPerName;
  return folders_.emplace(folder, std::move(listing)).first->second;
}

void FolderListings::List(FileSystemApi& files, const std::string& folder, Folder& listing) {
  ++listed_;
  listing.state = Folder::State::kUnanswered;
  const std::string pattern = folder.back() == '\\' ? folder + "*" : folder + "\\*";
  QuietErrorMode quiet(files);
  FindEntry entry;
  UniqueFind find(files, files.FindFirst(pattern, &entry));
  if (!find) return;
  std::size_t bytes = 0;
  std::size_t entries = 0;
  auto keep = [&](const std::string& name, std::uint32_t attributes) {
    auto added = listing.names.try_emplace(LowerAscii(name));
    if (!added.second) {
      added.first->second.ambiguous = true;
      return;
    }
    added.first->second.attributes = attributes;
    bytes += name.size() + kCostPerName;
  };
  do {
    if (entry.name == "." || entry.name == "..") continue;
    if (++entries > kMostEntriesKept || bytes_ + bytes > kBudgetBytes) {
      listing.names.clear();
      return;
    }
    if (!IsPlainAsciiName(entry.name) || !IsPlainAsciiName(entry.alternateName)) {
      // The system's case folding might match a name beyond ASCII to an ASCII one: a name not found here
      // is asked directly.
      listing.complete = false;
      continue;
    }
    keep(entry.name, entry.attributes);
    if (!entry.alternateName.empty() && !SameText(entry.alternateName, entry.name))
      keep(entry.alternateName, entry.attributes);
  } while (files.FindNext(find.get(), &entry));
  if (!files.FindExhausted(find.get())) {
    listing.names.clear();
    return;
  }
  listing.state = Folder::State::kListed;
  bytes_ += bytes;
}

void FolderListings::Clear() {
  folders_.clear();
  bytes_ = 0;
  listed_ = 0;
}

}  // namespace kv
