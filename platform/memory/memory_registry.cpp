// MemoryRegistry: the seam's registry calls answered from an in-memory tree, the way advapi32 answers
// them (error codes, buffer rules), with the seam's UTF-8 text, and the fixture calls that fill the tree.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string_view>

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

// Scratch room for the text of one call (the calls hold the registry's lock while they use it): grown to
// the longest name or datum once, then reused, so that a call allocates nothing.
struct Scratch {
  std::u16string units;
  std::u16string name;
  std::string utf8;
};
Scratch& ThreadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

// String data as the seam hands it out: the UTF-16LE units as UTF-8; an odd last byte is dropped.
const std::string& StringDataToUtf8(const std::vector<std::uint8_t>& data) {
  Scratch& scratch = ThreadScratch();
  Utf16LeToUtf8(data, &scratch.units, &scratch.utf8);
  return scratch.utf8;
}

// A name as the seam hands it out.
const std::string& NameToUtf8(const std::u16string& name) {
  Scratch& scratch = ThreadScratch();
  scratch.utf8.clear();
  AppendUtf16AsUtf8(name.data(), name.size(), &scratch.utf8);
  return scratch.utf8;
}

// A name or path from the seam, upper-cased for looking up.
const std::u16string& UpcasedName(const std::string& utf8) {
  Scratch& scratch = ThreadScratch();
  Utf8ToUpcasedUtf16(utf8, &scratch.units);
  return scratch.units;
}

// Hands value data to the caller by the rules of RegQueryValueEx: a size query when `data` is null;
// a buffer too small gives kErrorMoreData with the size needed and leaves the buffer alone; string data
// that does not end with a NUL gets one (of `nulSize` bytes) when the buffer has room for it beyond the
// data, without counting it.
long Deliver(std::uint32_t valueType, const std::uint8_t* bytes, std::size_t count, std::size_t nulSize,
             std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
  if (type) *type = valueType;
  const auto needed = static_cast<std::uint32_t>(count);
  if (data) {
    if (*size < needed) {
      *size = needed;
      return kErrorMoreData;
    }
    if (count > 0) std::memcpy(data, bytes, count);
    const bool endsWithNul =
        needed >= nulSize && std::all_of(bytes + count - nulSize, bytes + count, [](std::uint8_t b) { return b == 0; });
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

  // The key behind a handle: a predefined root (all rights) or an opened key. `node` points at the
  // tree's or the handle's own pointer, valid while the lock is held.
  long Lookup(RegKey key, const std::shared_ptr<RegNode>** node, std::uint32_t* granted) const {
    if (IsPredefinedKey(key)) {
      if (key == HKEY_PERFORMANCE_DATA_CODE) return kErrorInvalidHandle;
      *node = tree.RootPointer(static_cast<std::uint32_t>(key));
      *granted = 0xFFFFFFFFu;
      return *node ? kErrorSuccess : kErrorFileNotFound;
    }
    auto it = handles.find(key);
    if (it == handles.end()) return kErrorInvalidHandle;
    *node = &it->second.node;
    *granted = it->second.granted;
    return kErrorSuccess;
  }

  // The key behind a handle that was granted `needed` and is not deleted.
  long Use(RegKey key, std::uint32_t needed, const RegNode** node) const {
    const std::shared_ptr<RegNode>* opened = nullptr;
    std::uint32_t granted = 0;
    long status = Lookup(key, &opened, &granted);
    if (status != kErrorSuccess) return status;
    if ((granted & needed) != needed) return kErrorAccessDenied;
    if ((*opened)->deleted()) return kErrorKeyDeleted;
    *node = opened->get();
    return kErrorSuccess;
  }

  RegKey NewHandle(std::shared_ptr<RegNode> node, std::uint32_t granted) {
    const RegKey key = nextHandle;
    nextHandle += kHandleStep;
    handles[key] = OpenedKey{std::move(node), granted};
    return key;
  }

  // `converted`: the string types as UTF-8 (QueryValue); otherwise as stored (QueryValueW).
  long QueryValue(RegKey key, const std::string& name, bool converted, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) {
    if (data && !size) return kErrorInvalidParameter;
    if (!data && size) *size = 0;
    const RegNode* node = nullptr;
    long status = Use(key, kKeyQueryValue, &node);
    if (status != kErrorSuccess) return status;
    const RegValue* value = node->FindUpcasedValue(UpcasedName(name));
    if (!value) {
      if (converted && type) *type = REG_NONE_TYPE;
      return kErrorFileNotFound;
    }
    if (converted && IsStringType(value->type)) {
      const std::string& utf8 = StringDataToUtf8(value->data);
      return Deliver(value->type, reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size(), 1, type, data, size);
    }
    return Deliver(value->type, value->data.data(), value->data.size(), converted ? 1 : 2, type, data, size);
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
  SetValue(keyPath, name, type, StringBytes(text));
}

void MemoryRegistry::SetDword(const std::string& keyPath, const std::string& name, std::uint32_t value) {
  SetValue(keyPath, name, REG_DWORD_TYPE, DwordBytes(value));
}

void MemoryRegistry::SetMultiString(const std::string& keyPath, const std::string& name,
                                    const std::vector<std::string>& strings) {
  SetValue(keyPath, name, REG_MULTI_SZ_TYPE, MultiStringBytes(strings));
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
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::u16string_view names = UpcasedName(path);
  // One leading backslash is tolerated below HKEY_CLASSES_ROOT only.
  if (parent == HKEY_CLASSES_ROOT_CODE && !names.empty() && names.front() == u'\\') names.remove_prefix(1);
  if (!names.empty() && names.front() == u'\\') return kErrorBadPathname;

  const std::shared_ptr<RegNode>* node = nullptr;
  std::uint32_t granted = 0;
  long status = impl_->Lookup(parent, &node, &granted);
  if (status != kErrorSuccess) return status;
  if ((*node)->deleted()) return kErrorKeyDeleted;
  // The names between backslashes; empty ones (a doubled or a closing backslash) add nothing.
  bool descended = false;
  std::u16string& name = ThreadScratch().name;
  while (!names.empty()) {
    const std::size_t end = std::min(names.find(u'\\'), names.size());
    if (end > 0) {
      name.assign(names.data(), end);
      node = (*node)->FindUpcasedSubkey(name);
      if (!node) return kErrorFileNotFound;
      descended = true;
    }
    names.remove_prefix(std::min(end + 1, names.size()));
  }
  if (!descended && IsPredefinedKey(parent)) {
    *result = parent;
    return kErrorSuccess;
  }
  if ((access & ~(*node)->allowedAccess()) != 0) return kErrorAccessDenied;
  *result = impl_->NewHandle(*node, access);
  return kErrorSuccess;
}

long MemoryRegistry::CloseKey(RegKey key) {
  if (IsPredefinedKey(key)) return kErrorSuccess;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->handles.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

long MemoryRegistry::FlushKey(RegKey key) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  const RegNode* node = nullptr;
  return impl_->Use(key, 0, &node);
}

// Needs no particular right on the handle, as on Wine.
long MemoryRegistry::QueryInfoKey(RegKey key, RegKeyCounts* counts) {
  if (!counts) return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  const RegNode* node = nullptr;
  long status = impl_->Use(key, 0, &node);
  if (status != kErrorSuccess) return status;
  const RegNode::Info& info = node->info();
  RegKeyCounts result;
  result.subKeys = info.subkeys;
  result.maxSubKeyLen = info.longestSubkeyName;
  result.values = info.values;
  result.maxValueNameLen = info.longestValueName;
  result.maxValueLen = info.longestValueData;
  result.lastWriteTime = node->lastWriteTime();
  *counts = result;
  return kErrorSuccess;
}

long MemoryRegistry::EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) {
  if (!name || !length) return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  const RegNode* node = nullptr;
  long status = impl_->Use(key, kKeyEnumerateSubKeys, &node);
  if (status != kErrorSuccess) return status;
  if (index >= node->subkeys().size()) return kErrorNoMoreItems;
  return DeliverName(NameToUtf8(node->subkeys()[index]->name()), name, length);
}

// As on Wine, a buffer too small for the name still receives as much of it as fits, with a NUL.
long MemoryRegistry::EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) {
  if (!name || !length) return kErrorInvalidParameter;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  const RegNode* node = nullptr;
  long status = impl_->Use(key, kKeyQueryValue, &node);
  if (status != kErrorSuccess) return status;
  if (index >= node->values().size()) return kErrorNoMoreItems;
  const std::string& utf8 = NameToUtf8(node->values()[index].name);
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
  return impl_->QueryValue(key, name, true, type, data, size);
}

long MemoryRegistry::QueryValueW(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                                 std::uint32_t* size) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->QueryValue(key, name, false, type, data, size);
}

}  // namespace kv
