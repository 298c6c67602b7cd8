#include "platform/offline/shell_link.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "platform/memory/memory_platform.h"

namespace kv::offline {
namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t kHasIdList = 0x1;
constexpr std::uint32_t kHasLinkInfo = 0x2;
constexpr std::uint32_t kForceNoLinkInfo = 0x100;
constexpr std::uint32_t kVolumeAndLocalPath = 0x1;
constexpr std::uint32_t kNetworkAndSuffix = 0x2;

// A window on the file's bytes that answers nothing outside itself.
class Bytes {
 public:
  Bytes(const std::string& data, std::size_t start, std::size_t size) : data_(&data), start_(start), size_(size) {}
  std::size_t size() const { return size_; }
  bool Has(std::size_t at, std::size_t count) const { return at <= size_ && count <= size_ - at; }
  std::optional<std::uint16_t> U16(std::size_t at) const {
    if (!Has(at, 2)) return std::nullopt;
    return static_cast<std::uint16_t>(Byte(at) | Byte(at + 1) << 8);
  }
  std::optional<std::uint32_t> U32(std::size_t at) const {
    if (!Has(at, 4)) return std::nullopt;
    return static_cast<std::uint32_t>(Byte(at)) | static_cast<std::uint32_t>(Byte(at + 1)) << 8 |
           static_cast<std::uint32_t>(Byte(at + 2)) << 16 | static_cast<std::uint32_t>(Byte(at + 3)) << 24;
  }
  std::uint8_t Byte(std::size_t at) const { return static_cast<std::uint8_t>((*data_)[start_ + at]); }
  Bytes Sub(std::size_t at, std::size_t count) const { return Bytes(*data_, start_ + at, count); }
  // An 8-bit string ending at a NUL (or at the end of the window), as UTF-8.
  std::optional<std::string> Ansi(std::size_t at) const {
    if (at >= size_) return std::nullopt;
    std::string text;
    for (std::size_t i = at; i < size_ && Byte(i) != 0; ++i) text += static_cast<char>(Byte(i));
    return AnsiToUtf8(text);
  }
  // A UTF-16LE string ending at a NUL unit (or at the end of the window), as UTF-8.
  std::optional<std::string> Wide(std::size_t at) const {
    if (at >= size_) return std::nullopt;
    std::u16string text;
    for (std::size_t i = at; i + 1 < size_; i += 2) {
      const char16_t unit = static_cast<char16_t>(Byte(i) | Byte(i + 1) << 8);
      if (unit == 0) break;
      text += unit;
    }
    return Utf16ToUtf8(text);
  }

 private:
  const std::string* data_;
  std::size_t start_;
  std::size_t size_;
};

std::string JoinPath(std::string base, const std::string& suffix) {
  if (suffix.empty()) return base;
  if (!base.empty() && base.back() != '\\') base += '\\';
  return base + suffix;
}

// The location information: the UNC form (share and the rest), or else the local base path and the rest.
std::optional<std::string> FromLinkInfo(const Bytes& info) {
  const auto headerSize = info.U32(4);
  const auto flags = info.U32(8);
  const auto localOffset = info.U32(16);
  const auto networkOffset = info.U32(20);
  const auto suffixOffset = info.U32(24);
  if (!headerSize || !flags || !localOffset || !networkOffset || !suffixOffset) return std::nullopt;
  const bool wide = *headerSize >= 0x24;
  std::optional<std::string> suffix;
  if (wide) {
    if (auto at = info.U32(32)) suffix = info.Wide(*at);
  }
  if (!suffix) suffix = info.Ansi(*suffixOffset);
  if (!suffix) suffix = std::string();

  if ((*flags & kNetworkAndSuffix) != 0) {
    const auto size = info.U32(*networkOffset);
    if (size && *size >= 0x14 && info.Has(*networkOffset, *size)) {
      const Bytes network = info.Sub(*networkOffset, *size);
      std::optional<std::string> name;
      const auto nameOffset = network.U32(8);
      if (nameOffset && *nameOffset > 0x14) {
        if (auto at = network.U32(0x14)) name = network.Wide(*at);
      }
      if (!name && nameOffset) name = network.Ansi(*nameOffset);
      if (name && !name->empty()) return JoinPath(*name, *suffix);
    }
  }
  if ((*flags & kVolumeAndLocalPath) != 0) {
    std::optional<std::string> base;
    if (wide) {
      if (auto at = info.U32(28)) base = info.Wide(*at);
    }
    if (!base) base = info.Ansi(*localOffset);
    if (base && !base->empty()) return *base + *suffix;
  }
  return std::nullopt;
}

// The long name of a file-system item from its extension block (0xBEEF0004), if it has one.
std::optional<std::string> LongName(const Bytes& item, std::size_t from) {
  for (std::size_t at = from; at + 8 <= item.size(); ++at) {
    const auto signature = item.U32(at + 4);
    const auto size = item.U16(at);
    const auto version = item.U16(at + 2);
    if (!signature || *signature != 0xBEEF0004u || !size || !version || *size < 0x14 || !item.Has(at, *size)) continue;
    const Bytes block = item.Sub(at, *size);
    // The fields before the name grew with the versions (XP 3, Vista 7, Windows 7 8, Windows 8 and later 9).
    const std::size_t nameAt = *version >= 9 ? 0x2E : *version == 8 ? 0x2A : *version == 7 ? 0x26 : 0x12;
    if (!block.Has(nameAt, 2)) return std::nullopt;
    return block.Wide(nameAt);
  }
  return std::nullopt;
}

// The item list: a drive item, then file-system items for each folder and the file.
std::optional<std::string> FromIdList(const Bytes& list) {
  std::string path;
  bool onDrive = false;
  std::size_t at = 0;
  while (true) {
    const auto size = list.U16(at);
    if (!size || *size == 0) break;
    if (*size < 3 || !list.Has(at, *size)) return std::nullopt;
    const Bytes item = list.Sub(at, *size);
    const std::uint8_t type = item.Byte(2);
    if ((type & 0x70) == 0x20 && item.size() >= 6) {
      // A drive: "C:\" as 8-bit text.
      auto name = item.Ansi(3);
      if (!name || name->size() < 2 || (*name)[1] != ':') return std::nullopt;
      path = name->substr(0, 2) + "\\";
      onDrive = true;
    } else if ((type & 0x70) == 0x30 && onDrive) {
      // A file or folder: its 8.3 name at 14, its long name in the extension block after it.
      auto shortName = item.Ansi(14);
      if (!shortName) return std::nullopt;
      std::size_t after = 14 + shortName->size() + 1;
      if (after % 2 != 0) ++after;
      auto longName = LongName(item, after);
      const std::string& name = longName && !longName->empty() ? *longName : *shortName;
      if (name.empty()) return std::nullopt;
      if (path.back() != '\\') path += '\\';
      path += name;
    } else if (onDrive) {
      return std::nullopt;  // an item the file system does not know: no path
    }
    at += *size;
  }
  if (!onDrive) return std::nullopt;
  return path;
}

}  // namespace

LinkParse ReadShellLink(const std::string& bytes, std::string* target) {
  const Bytes file(bytes, 0, bytes.size());
  const auto headerSize = file.U32(0);
  if (!headerSize || *headerSize != kHeaderSize || !file.Has(0, kHeaderSize) ||
      std::memcmp(bytes.data() + 4, kLinkClsid, sizeof kLinkClsid) != 0)
    return LinkParse::kInvalid;
  const std::uint32_t flags = *file.U32(0x14);
  std::size_t at = kHeaderSize;
  std::optional<Bytes> idList;
  if ((flags & kHasIdList) != 0) {
    const auto size = file.U16(at);
    if (!size || !file.Has(at + 2, *size)) return LinkParse::kInvalid;
    idList = file.Sub(at + 2, *size);
    at += 2 + *size;
  }
  std::optional<std::string> path;
  if ((flags & kHasLinkInfo) != 0 && (flags & kForceNoLinkInfo) == 0) {
    const auto size = file.U32(at);
    if (!size || *size < 0x1C || !file.Has(at, *size)) return LinkParse::kInvalid;
    path = FromLinkInfo(file.Sub(at, *size));
  }
  if (!path && idList) path = FromIdList(*idList);
  target->clear();
  if (!path) return LinkParse::kNoPath;
  *target = *path;
  return LinkParse::kPath;
}

}  // namespace kv::offline
