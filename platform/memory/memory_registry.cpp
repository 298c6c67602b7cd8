// MemoryRegistry: the seam's registry calls answered from an in-memory tree, the way advapi32 answers
// them (error codes, buffer rules), with the seam's UTF-8 text, and the fixture calls that fill the tree.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "platform/memory/code_page.h"
#include "platform/memory/memory_platform.h"
#include "platform/memory/registry_tree.h"

namespace kv {
namespace {

using memreg::KeyPath;
using memreg::RegNode;
using memreg::RegValue;

// A key path that starts with a backslash.
constexpr long kErrorBadPathname = 161;

constexpr RegKey kFirstHandle = 0x100;
constexpr RegKey kHandleStep = 4;

bool IsStringType(std::uint32_t type) {
  return type == REG_SZ_TYPE || type == REG_EXPAND_SZ_TYPE || type == REG_MULTI_SZ_TYPE;
}

// String data as the seam hands it out: the UTF-16LE units as UTF-8; an odd last byte is dropped.
std::vector<std::uint8_t> StringDataToUtf8(const std::vector<std::uint8_t>& data) {
  const std::string utf8 = Utf16LeToUtf8(data);
  return std::vector<std::uint8_t>(utf8.begin(), utf8.end());
}

// Hands value data to the caller by the rules of RegQueryValueEx: a size query when `data` is null;
// a buffer too small gives kErrorMoreData with the size needed and leaves the buffer alone; string data
// that does not end with a NUL gets one (of `nulSize` bytes) when the buffer has room for it beyond the
// data, without counting it.
long Deliver(std::uint32_t valueType, const std::vector<std::uint8_t>& bytes, std::size_t nulSize, std::uint32_t* type,
             std::uint8_t* data, std::uint32_t* size) {
  if (type) *type = valueType;
  const auto needed = static_cast<std::uint32_t>(bytes.size());
  if (data) {
    if (*size < needed) {
      *size = needed;
      return kErrorMoreData;
    }
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    const bool endsWithNul = needed >= nulSize && std::all_of(bytes.end() - static_cast<std::ptrdiff_t>(nulSize),
                                                              bytes.end(), [](std::uint8_t b) { return b == 0; });
    if (IsStringType(valueType) && needed >= nulSize && !endsWithNul && *size - needed >= nulSize)
      std::memset(data + needed, 0, nulSize);
  }
  if (size) *size = needed;
  return kErrorSuccess;
}

// A name copied out by the rules of RegEnumKeyEx: `*length` holds the buffer size in characters with
// the NUL; on success it becomes the name's length.
long DeliverName(const std::string& name, char* buffer, std::uint32_t* length) {
  if (*length <= name.size()) return kErrorMoreData;
  std::memcpy(buffer, name.data(), name.size());
  buffer[name.size()] = '\0';
  *length = static_cast<std::uint32_t>(name.size());
  return kErrorSuccess;
}

}  // namespace

struct MemoryRegistry::Impl {
  struct OpenedKey {
    std::shared_ptr<RegNode> node;
    std::uint32_t granted = 0;
  };

  std::mutex mutex;
  memreg::RegistryTree tree;
  std::map<RegKey, OpenedKey> handles;
  RegKey nextHandle = kFirstHandle;

  // The key behind a handle: a predefined root (all rights) or an opened key.
  long Lookup(RegKey key, OpenedKey* opened) const {
    if (IsPredefinedKey(key)) {
      if (key == HKEY_PERFORMANCE_DATA_CODE) return kErrorInvalidHandle;
      opened->node = tree.Root(static_cast<std::uint32_t>(key));
      opened->granted = 0xFFFFFFFFu;
      return opened->node ? kErrorSuccess : kErrorFileNotFound;
    }
    auto it = handles.find(key);
    if (it == handles.end()) return kErrorInvalidHandle;
    *opened = it->second;
    return kErrorSuccess;
  }

  // The key behind a handle that was granted `needed` and is not deleted.
  long Use(RegKey key, std::uint32_t needed, std::shared_ptr<RegNode>* node) const {
    OpenedKey opened;
    long status = Lookup(key, &opened);
    if (status != kErrorSuccess) return status;
    if ((opened.granted & needed) != needed) return kErrorAccessDenied;
    if (opened.node->deleted()) return kErrorKeyDeleted;
    *node = opened.node;
    return kErrorSuccess;
  }

  RegKey NewHandle(std::shared_ptr<RegNode> node, std::uint32_t granted) {
    const RegKey key = nextHandle;
    nextHandle += kHandleStep;
    handles[key] = OpenedKey{std::move(node), granted};
    return key;
  }

  // `converted`: the string types as UTF-8 (QueryValue); otherwise as stored (QueryValueW).
  long QueryValue(RegKey key, const std::u16string& name, bool converted, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) {
    if (data && !size) return kErrorInvalidParameter;
    if (!data && size) *size = 0;
    std::shared_ptr<RegNode> node;
    long status = Use(key, kKeyQueryValue, &node);
    if (status != kErrorSuccess) return status;
    const RegValue* value = node->FindValue(name);
    if (!value) {
      if (converted && type) *type = REG_NONE_TYPE;
      return kErrorFileNotFound;
    }
    if (converted && IsStringType(value->type))
      return Deliver(value->type, StringDataToUtf8(value->data), 1, type, data, size);
    return Deliver(value->type, value->data, converted ? 1 : 2, type, data, size);
  }
};

namespace {

KeyPath FixturePath(const std::string& utf8) {
  KeyPath path;
  if (!memreg::ParseKeyPath(Utf8ToUtf16(utf8), &path))
    throw std::invalid_argument("registry fixture path with an unknown root: " + utf8);
  return path;
}

}  // namespace

MemoryRegistry::MemoryRegistry() : impl_(std::make_unique<Impl>()) {}

MemoryRegistry::~MemoryRegistry() = default;

// ---------------------------------------------------------------------------------------------------
// Fixture building.

void MemoryRegistry::CreateKey(const std::string& path) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->tree.Create(FixturePath(path));
}

void MemoryRegistry::DeleteKey(const std::string& path) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->tree.Delete(FixturePath(path));
}

void MemoryRegistry::SetValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                              std::vector<std::uint8_t> data) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (auto node = impl_->tree.Create(FixturePath(keyPath))) node->SetValue(Utf8ToUtf16(name), type, std::move(data));
}

void MemoryRegistry::SetString(const std::string& keyPath, const std::string& name, const std::string& text,
                               std::uint32_t type) {
  SetValue(keyPath, name, type, Utf16LeBytes(Utf8ToUtf16(text) + u'\0'));
}

void MemoryRegistry::SetDword(const std::string& keyPath, const std::string& name, std::uint32_t value) {
  SetValue(keyPath, name, REG_DWORD_TYPE,
           {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

void MemoryRegistry::SetMultiString(const std::string& keyPath, const std::string& name,
                                    const std::vector<std::string>& strings) {
  std::u16string joined;
  for (const std::string& s : strings) joined += Utf8ToUtf16(s) + u'\0';
  joined += u'\0';
  SetValue(keyPath, name, REG_MULTI_SZ_TYPE, Utf16LeBytes(joined));
}

void MemoryRegistry::DeleteValue(const std::string& keyPath, const std::string& name) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (auto node = impl_->tree.Find(FixturePath(keyPath))) node->DeleteValue(Utf8ToUtf16(name));
}

void MemoryRegistry::SetKeyAccess(const std::string& keyPath, std::uint32_t allowed) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (auto node = impl_->tree.Create(FixturePath(keyPath))) node->setAllowedAccess(allowed);
}

bool MemoryRegistry::KeyExists(const std::string& path) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->tree.Find(FixturePath(path)) != nullptr;
}

void MemoryRegistry::EditTree(const std::function<void(memreg::RegistryTree&)>& edit) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  edit(impl_->tree);
}

// ---------------------------------------------------------------------------------------------------
// The seam.

long MemoryRegistry::OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) {
  if (!result) return kErrorInvalidParameter;
  *result = kNoKey;
  std::u16string wide = Utf8ToUtf16(path);
  // One leading backslash is tolerated below HKEY_CLASSES_ROOT only.
  if (parent == HKEY_CLASSES_ROOT_CODE && !wide.empty() && wide.front() == u'\\') wide.erase(0, 1);
  if (!wide.empty() && wide.front() == u'\\') return kErrorBadPathname;

  std::lock_guard<std::mutex> lock(impl_->mutex);
  Impl::OpenedKey base;
  long status = impl_->Lookup(parent, &base);
  if (status != kErrorSuccess) return status;
  if (base.node->deleted()) return kErrorKeyDeleted;
  const std::vector<std::u16string> names = memreg::SplitKeyNames(wide);
  if (names.empty() && IsPredefinedKey(parent)) {
    *result = parent;
    return kErrorSuccess;
  }
  std::shared_ptr<RegNode> node = base.node;
  for (const std::u16string& name : names) {
    node = node->FindSubkey(name);
    if (!node) return kErrorFileNotFound;
  }
  if ((access & ~node->allowedAccess()) != 0) return kErrorAccessDenied;
  *result = impl_->NewHandle(std::move(node), access);
  return kErrorSuccess;
}

long MemoryRegistry::CloseKey(RegKey key) {
  if (IsPredefinedKey(key)) return kErrorSuccess;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->handles.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

long MemoryRegistry::FlushKey(RegKey key) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::shared_ptr<RegNode> node;
  return impl_->Use(key, 0, &node);
}

// Needs no particular right on the handle, as on Wine.
long MemoryRegistry::QueryInfoKey(RegKey key, RegKeyCounts* counts) {
  if (!counts) return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::shared_ptr<RegNode> node;
  long status = impl_->Use(key, 0, &node);
  if (status != kErrorSuccess) return status;
  RegKeyCounts result;
  result.subKeys = static_cast<std::uint32_t>(node->subkeys().size());
  for (const auto& subkey : node->subkeys())
    result.maxSubKeyLen = std::max(result.maxSubKeyLen, static_cast<std::uint32_t>(subkey->name().size()));
  result.values = static_cast<std::uint32_t>(node->values().size());
  for (const RegValue& value : node->values()) {
    result.maxValueNameLen = std::max(result.maxValueNameLen, static_cast<std::uint32_t>(value.name.size()));
    result.maxValueLen = std::max(result.maxValueLen, static_cast<std::uint32_t>(value.data.size()));
  }
  result.lastWriteTime = node->lastWriteTime();
  *counts = result;
  return kErrorSuccess;
}

long MemoryRegistry::EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) {
  if (!name || !length) return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::shared_ptr<RegNode> node;
  long status = impl_->Use(key, kKeyEnumerateSubKeys, &node);
  if (status != kErrorSuccess) return status;
  if (index >= node->subkeys().size()) return kErrorNoMoreItems;
  return DeliverName(Utf16ToUtf8(node->subkeys()[index]->name()), name, length);
}

// As on Wine, a buffer too small for the name still receives as much of it as fits, with a NUL.
long MemoryRegistry::EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) {
  if (!name || !length) return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::shared_ptr<RegNode> node;
  long status = impl_->Use(key, kKeyQueryValue, &node);
  if (status != kErrorSuccess) return status;
  if (index >= node->values().size()) return kErrorNoMoreItems;
  const std::string utf8 = Utf16ToUtf8(node->values()[index].name);
  status = DeliverName(utf8, name, length);
  if (status == kErrorMoreData && *length > 0) {
    std::memcpy(name, utf8.data(), *length - 1);
    name[*length - 1] = '\0';
  }
  return status;
}

long MemoryRegistry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                                std::uint32_t* size) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->QueryValue(key, Utf8ToUtf16(name), true, type, data, size);
}

long MemoryRegistry::QueryValueW(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                                 std::uint32_t* size) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->QueryValue(key, Utf8ToUtf16(name), false, type, data, size);
}

}  // namespace kv
