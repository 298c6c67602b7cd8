// The tree behind MemoryRegistry: keys with sorted subkeys and values in creation order, the root keys,
// and key paths. Names are UTF-16 and compare without regard to case.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kv {
namespace memreg {

constexpr std::uint64_t kDefaultKeyTime = 0x01D0000000000000ull;
// The limits NT puts on names and nesting.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr std::size_t kMaxKeyDepth = 512;

struct RegValue {
  std::u16string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

class RegNode {
 public:
  explicit RegNode(std::u16string name) : name_(std::move(name)) {}
  RegNode(const RegNode&) = delete;
  RegNode& operator=(const RegNode&) = delete;

  const std::u16string& name() const { return name_; }

  // Subkeys, sorted by their upper-cased names.
  const std::vector<const RegNode*>& subkeys() const;
  std::shared_ptr<RegNode> FindSubkey(const std::u16string& name) const;
  // The same for a name already upper-cased (text::Upcase): the stored pointer, or null when there is no
  // such subkey.
  const std::shared_ptr<RegNode>* FindUpcasedSubkey(const std::u16string& upper) const;
  // The subkey of that name, created when missing (new subkeys keep the spelling given here).
  std::shared_ptr<RegNode> AddSubkey(const std::u16string& name);
  // Removes the subkey and marks it and everything below it deleted; false when there is none.
  bool RemoveSubkey(const std::u16string& name);
  // Removes every subkey and value, marking the subkeys deleted.
  void Clear();

  // Values, in the order they were first set.
  const std::vector<RegValue>& values() const;
  // The value of that name, already upper-cased (text::Upcase); null when there is none.
  const RegValue* FindUpcasedValue(const std::u16string& upper) const;
  // Replaces the data of an existing value in place (its spelling stays) or appends a new one.
  void SetValue(const std::u16string& name, std::uint32_t type, std::vector<std::uint8_t> data);
  bool DeleteValue(const std::u16string& name);

  // What RegQueryInfoKey reports, kept until the key next changes (a root of tens of thousands of
  // subkeys is asked often).
  struct Info {
    std::uint32_t subkeys = 0;
    std::uint32_t longestSubkeyName = 0;  // UTF-16 units
    std::uint32_t values = 0;
    std::uint32_t longestValueName = 0;  // UTF-16 units
    std::uint32_t longestValueData = 0;  // bytes
  };
  const Info& info() const;

  bool deleted() const { return deleted_; }
  std::uint32_t allowedAccess() const { return allowedAccess_; }
  void setAllowedAccess(std::uint32_t mask) { allowedAccess_ = mask; }
  std::uint64_t lastWriteTime() const { return lastWriteTime_; }

 private:
  static void MarkDeleted(const std::shared_ptr<RegNode>& top);

  // A key is filled one name at a time (a .reg file may list tens of thousands of subkeys in any order,
  // and delete as many values), and read by position only once it is filled. So the names are kept in
  // indexes that take each change in logarithmic or constant time, and the lists read by position are
  // brought up to date when they are next read.
  std::u16string name_;
  std::unordered_map<std::u16string, std::shared_ptr<RegNode>> subkeyIndex_;  // upper-cased name -> subkey
  mutable std::vector<const RegNode*> subkeys_;  // subkeyIndex_ by upper-cased name, when current
  mutable bool subkeysCurrent_ = true;
  mutable std::vector<RegValue> values_;    // in order, with the deleted ones still in place ...
  mutable std::vector<bool> valueDeleted_;  // ... marked here until values() next compacts them
  mutable std::size_t deletedValues_ = 0;
  mutable std::unordered_map<std::u16string, std::size_t> valueIndex_;  // upper-cased name -> position
  mutable Info info_;
  mutable bool infoCurrent_ = false;
  std::uint32_t allowedAccess_ = 0xFFFFFFFFu;
  std::uint64_t lastWriteTime_ = kDefaultKeyTime;
  bool deleted_ = false;
};

// A key named by its predefined root and the names below it (no empty names).
struct KeyPath {
  std::uint32_t root = 0;
  std::vector<std::u16string> parts;
};

// HKEY_LOCAL_MACHINE, HKLM, HKEY_CURRENT_USER, HKCU, HKEY_CLASSES_ROOT, HKCR, HKEY_USERS, HKU,
// HKEY_CURRENT_CONFIG, HKCC, HKEY_DYN_DATA, in any case.
bool ParseRootName(const std::u16string& name, std::uint32_t* root);
// Splits at backslashes, dropping empty names (a doubled or a trailing backslash adds nothing).
std::vector<std::u16string> SplitKeyNames(const std::u16string& path);
// "ROOT\sub\key"; false when the root is not known.
bool ParseKeyPath(const std::u16string& path, KeyPath* result);

class RegistryTree {
 public:
  RegistryTree();

  // The node behind a predefined root; HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes (null
  // when that key has been deleted). Null for a root that holds no tree.
  std::shared_ptr<RegNode> Root(std::uint32_t root) const;
  // The same without copying the pointer: the one the tree holds, or null.
  const std::shared_ptr<RegNode>* RootPointer(std::uint32_t root) const;
  std::shared_ptr<RegNode> Find(const KeyPath& path) const;
  std::shared_ptr<RegNode> Create(const KeyPath& path);
  // Deletes the key with its subkeys; a root key is emptied instead. False when it does not exist.
  bool Delete(const KeyPath& path);

 private:
  // HKEY_CLASSES_ROOT paths rewritten below HKEY_LOCAL_MACHINE.
  static KeyPath Canonical(const KeyPath& path);

  std::map<std::uint32_t, std::shared_ptr<RegNode>> roots_;
  // HKEY_CLASSES_ROOT as last found; a key that is not marked deleted is still at its place in the tree.
  mutable std::shared_ptr<RegNode> classes_;
};

}  // namespace memreg
}  // namespace kv
