#include "support/registry.h"

#include <algorithm>
#include <cstring>

namespace kv {
namespace {

constexpr std::uint32_t kReadAttempts[] = {kKeyRead, kReadControl | kKeyQueryValue | kKeyEnumerateSubKeys,
                                           kKeyQueryValue};
constexpr std::uint32_t kKeyExistsAccess = kReadControl | kKeyQueryValue | kKeyEnumerateSubKeys;
// A value that keeps growing between the size query and the read is given up after this many tries.
constexpr int kReadRetries = 8;
// Most values (paths, commands, numbers) fit this; longer ones take a second call, sized by the first.
constexpr std::uint32_t kFirstReadSize = 512;
// Enumeration buffers never grow beyond the longest name the registry allows (16 383 UTF-16 units, each at
// most three UTF-8 bytes) and its NUL.
constexpr std::uint32_t kLongestName = 16383 * 3 + 1;
// The key reports its longest name in UTF-16 units; names come in UTF-8, up to three bytes to a unit.
constexpr std::uint32_t kBytesPerUnit = 3;

[[noreturn]] void RaiseInvalidType(const std::string& name) {
  throw ERegistryException("Invalid data type for '" + name + "'");
}

[[noreturn]] void RaiseGetDataFailed(const std::string& name) {
  throw ERegistryException("Failed to get data for '" + name + "'");
}

}  // namespace

TRegDataType DataTypeFromNative(std::uint32_t nativeType) {
  switch (nativeType) {
    case REG_NONE_TYPE: return rdUnknown;
    case REG_SZ_TYPE: return rdString;
    case REG_EXPAND_SZ_TYPE: return rdExpandString;
    case REG_DWORD_TYPE: return rdInteger;
    case REG_BINARY_TYPE: return rdBinary;
    case REG_MULTI_SZ_TYPE: return rdMultiString;
    case REG_DWORD_BIG_ENDIAN_TYPE: return rdIntegerBigEndian;
    case REG_LINK_TYPE: return rdLink;
    case REG_RESOURCE_LIST_TYPE: return rdResourceList;
    case REG_FULL_RESOURCE_DESCRIPTOR_TYPE: return rdFullResourceDescriptor;
    case REG_RESOURCE_REQUIREMENTS_LIST_TYPE: return rdResourceRequirementsList;
    default: return rdOther;
  }
}

TRegistry::TRegistry(Platform& platform) : platform_(platform) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(std::uint32_t rootKey) {
  if (rootKey == rootKey_) return;
  CloseKey();
  rootKey_ = rootKey;
}

void TRegistry::CloseKey() {
  if (currentKey_ == kNoKey) return;
  if (!LazyWrite) platform_.registry.FlushKey(currentKey_);
  platform_.registry.CloseKey(currentKey_);
  currentKey_ = kNoKey;
  currentPath_.clear();
  values_.clear();
}

bool TRegistry::IsRelative(const std::string& path) const { return path.empty() || path[0] != '\\'; }

RegKey TRegistry::BaseKey(bool relative) const {
  return (currentKey_ == kNoKey || !relative) ? RegKey{rootKey_} : currentKey_;
}

RegKey TRegistry::OpenByRules(const std::string& path, std::uint32_t access, bool* relative, std::string* subPath,
                              long* status) {
  *relative = IsRelative(path);
  *subPath = *relative ? path : path.substr(1);
  RegKey key = kNoKey;
  const long opened = platform_.registry.OpenKey(BaseKey(*relative), *subPath, access, &key);
  if (status != nullptr) *status = opened;
  return opened == kErrorSuccess ? key : kNoKey;
}

void TRegistry::ChangeKey(RegKey key, const std::string& path) {
  CloseKey();
  currentKey_ = key;
  currentPath_ = path;
}

bool TRegistry::TryOpen(const std::string& path, std::uint32_t access, long* status) {
  bool relative = false;
  std::string subPath;
  RegKey key = OpenByRules(path, access, &relative, &subPath, status);
  if (key == kNoKey) return false;
  std::string newPath = (relative && currentKey_ != kNoKey) ? currentPath_ + "\\" + subPath : subPath;
  ChangeKey(key, newPath);
  return true;
}

bool TRegistry::OpenKey(const std::string& path, bool /*canCreate*/) { return TryOpen(path, Access); }

// The lesser rights are tried only when the greater ones were refused: a key that does not exist opens
// with none of them.
bool TRegistry::OpenKeyReadOnly(const std::string& path) {
  for (std::uint32_t access : kReadAttempts) {
    long status = kErrorSuccess;
    if (TryOpen(path, access, &status)) {
      Access = access;
      return true;
    }
    if (status == kErrorFileNotFound) return false;
  }
  return false;
}

bool TRegistry::KeyExists(const std::string& path) {
  bool relative = false;
  std::string subPath;
  RegKey key = OpenByRules(path, kKeyExistsAccess, &relative, &subPath);
  if (key == kNoKey) return false;
  platform_.registry.CloseKey(key);
  return true;
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& info) {
  info = TRegKeyInfo{};
  if (currentKey_ == kNoKey) return false;
  RegKeyCounts counts;
  if (platform_.registry.QueryInfoKey(currentKey_, &counts) != kErrorSuccess) return false;
  info.NumSubKeys = counts.subKeys;
  info.MaxSubKeyLen = counts.maxSubKeyLen;
  info.NumValues = counts.values;
  info.MaxValueLen = counts.maxValueNameLen;
  info.MaxDataLen = counts.maxValueLen;
  info.FileTime = counts.lastWriteTime;
  OsVersion version;
  if (platform_.system.IsMultiByteCodePage() && platform_.system.Version(&version) &&
      version.platformId == kPlatformWin32NT) {
    info.MaxSubKeyLen *= 2;
    info.MaxValueLen *= 2;
  }
  return true;
}

// Names by index from 0 to the count the key reported. A name longer than the reported maximum (the key
// changed meanwhile) gets a larger buffer; the end of the items, a deleted key or any other failure ends
// the enumeration with the names read so far.
bool TRegistry::EnumerateNames(bool values, std::vector<std::string>& list) {
  TRegKeyInfo info;
  if (!GetKeyInfo(info)) return false;
  const std::uint32_t count = values ? info.NumValues : info.NumSubKeys;
  const std::uint64_t longest = values ? info.MaxValueLen : info.MaxSubKeyLen;
  std::uint32_t capacity =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(longest * kBytesPerUnit + 1, kLongestName));
  std::vector<char> buffer(capacity + 1);
  for (std::uint32_t index = 0; index < count; ++index) {
    long status;
    std::uint32_t length;
    for (;;) {
      length = capacity;
      status = values ? platform_.registry.EnumValue(currentKey_, index, buffer.data(), &length)
                      : platform_.registry.EnumKey(currentKey_, index, buffer.data(), &length);
      if (status != kErrorMoreData || capacity >= kLongestName) break;
      capacity = capacity * 2 > kLongestName ? kLongestName : capacity * 2;
      buffer.assign(capacity + 1, '\0');
    }
    if (status != kErrorSuccess) return false;
    if (length > capacity) length = capacity;
    list.emplace_back(buffer.data(), strnlen(buffer.data(), length));
  }
  return true;
}

void TRegistry::GetKeyNames(std::vector<std::string>& list) {
  list.clear();
  EnumerateNames(false, list);
}

bool TRegistry::ReadKeyNames(std::vector<std::string>& list) {
  list.clear();
  return EnumerateNames(false, list);
}

void TRegistry::GetValueNames(std::vector<std::string>& list) {
  list.clear();
  std::vector<std::string> names;
  EnumerateNames(true, names);
  for (std::string& name : names) {
    if (ValueExists(name)) list.push_back(std::move(name));
  }
}

const TRegistry::ValueRead& TRegistry::ReadValue(const std::string& name) {
  auto known = values_.find(name);
  if (known != values_.end()) return known->second;
  ValueRead read;
  read.dataStatus = ReadValueBytes(name, &read.type, &read.data, &read.size);
  // A value that kept growing exists (its type and a size are known) though its bytes could not be had.
  read.status = read.dataStatus == kErrorMoreData ? kErrorSuccess : read.dataStatus;
  return values_.emplace(name, std::move(read)).first->second;
}

bool TRegistry::GetDataInfo(const std::string& name, TRegDataInfo& info) {
  info = TRegDataInfo{};
  if (currentKey_ == kNoKey) return false;
  const ValueRead& read = ReadValue(name);
  if (read.status != kErrorSuccess) return false;
  info.RegData = DataTypeFromNative(read.type);
  info.DataSize = static_cast<std::int32_t>(read.size);
  return true;
}

bool TRegistry::ValueExists(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info);
}

TRegDataType TRegistry::GetDataType(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.RegData : rdOther;
}

std::int32_t TRegistry::GetDataSize(const std::string& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.DataSize : -1;
}

long TRegistry::ReadValueBytes(const std::string& name, std::uint32_t* type, std::vector<std::uint8_t>* data,
                               std::uint32_t* reported) {
  std::uint32_t size = kFirstReadSize;
  for (int attempt = 0; attempt < kReadRetries; ++attempt) {
    data->resize(size);
    std::uint32_t got = size;
    const long status = platform_.registry.QueryValue(currentKey_, name, type, data->data(), &got);
    if (reported != nullptr && (status == kErrorSuccess || status == kErrorMoreData)) *reported = got;
    if (status == kErrorMoreData) {
      size = got > size ? got : size * 2 + 16;  // too small, or the data grew since it was sized: again
      continue;
    }
    data->resize(status == kErrorSuccess ? std::min(got, size) : 0);
    return status;
  }
  data->clear();
  return kErrorMoreData;
}

std::string TRegistry::ReadString(const std::string& name) {
  if (GetDataSize(name) <= 0) return std::string();
  const ValueRead& read = ReadValue(name);
  if (read.dataStatus != kErrorSuccess) RaiseGetDataFailed(name);
  TRegDataType kind = DataTypeFromNative(read.type);
  if (kind != rdString && kind != rdExpandString) RaiseInvalidType(name);
  const char* text = reinterpret_cast<const char*>(read.data.data());
  return std::string(text, strnlen(text, read.data.size()));
}

std::u16string TRegistry::ReadWideString(const std::string& name) {
  if (currentKey_ == kNoKey) return std::u16string();
  const std::string& wideName = name;
  std::uint32_t type = REG_NONE_TYPE;
  std::uint32_t size = 0;
  long status = platform_.registry.QueryValueW(currentKey_, wideName, &type, nullptr, &size);
  if (status != kErrorSuccess) return std::u16string();
  std::vector<std::uint8_t> data;
  for (int attempt = 0;; ++attempt) {
    data.assign(size, 0);
    std::uint32_t got = size;
    status = platform_.registry.QueryValueW(currentKey_, wideName, &type, data.empty() ? nullptr : data.data(), &got);
    if (status == kErrorMoreData && attempt + 1 < kReadRetries) {
      size = got > size ? got : size * 2 + 16;
      continue;
    }
    if (status != kErrorSuccess) RaiseGetDataFailed(name);
    if (got < size) data.resize(got);
    break;
  }
  // The stored bytes less the final two (the closing wide NUL); inner NULs stay.
  if (data.size() < 2) return std::u16string();
  std::u16string result((data.size() - 2) / 2, u'\0');
  std::memcpy(&result[0], data.data(), result.size() * 2);
  return result;
}

std::string TRegistry::ReadMultiString(const std::string& name) {
  if (currentKey_ == kNoKey) return std::string();
  const ValueRead& read = ReadValue(name);
  if (read.status != kErrorSuccess) return std::string();
  if (read.dataStatus != kErrorSuccess) RaiseGetDataFailed(name);
  // Less the last character (the closing NUL of a well-formed value); a UTF-8 character is one lead byte
  // and its continuation bytes.
  std::size_t end = read.data.size();
  while (end > 0 && (read.data[end - 1] & 0xC0) == 0x80) --end;
  if (end > 0) --end;
  return std::string(reinterpret_cast<const char*>(read.data.data()), end);
}

std::int32_t TRegistry::ReadInteger(const std::string& name) {
  std::uint8_t bytes[4] = {0, 0, 0, 0};
  std::uint32_t type = REG_NONE_TYPE;
  std::uint32_t size = sizeof bytes;
  if (currentKey_ == kNoKey || platform_.registry.QueryValue(currentKey_, name, &type, bytes, &size) != kErrorSuccess)
    RaiseGetDataFailed(name);
  if (DataTypeFromNative(type) != rdInteger) RaiseInvalidType(name);
  return static_cast<std::int32_t>(std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                   std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24);
}

bool TRegistry::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

std::int32_t TRegistry::ReadBinaryData(const std::string& name, void* buffer, std::int32_t bufferSize) {
  TRegDataInfo info;
  if (!GetDataInfo(name, info)) return 0;
  if (bufferSize < 0 || info.DataSize > bufferSize) RaiseInvalidType(name);
  // Read into a buffer of our own so that a value that grew meanwhile never spills past the caller's.
  std::uint32_t type = REG_NONE_TYPE;
  std::vector<std::uint8_t> data;
  long status = ReadValueBytes(name, &type, &data);
  if (status == kErrorFileNotFound) return 0;
  if (status != kErrorSuccess) RaiseGetDataFailed(name);
  if (data.size() > static_cast<std::size_t>(bufferSize)) RaiseInvalidType(name);
  if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
  return static_cast<std::int32_t>(data.size());
}

}  // namespace kv
