#include "platform/memory/registry_tree.h"

#include <algorithm>

#include "platform/memory/code_page.h"
#include "platform/registry_api.h"

namespace kv {
namespace memreg {

const std::vector<const RegNode*>& RegNode::subkeys() const {
  if (!subkeysCurrent_) {
    std::vector<const std::pair<const std::u16string, std::shared_ptr<RegNode>>*> entries;
    entries.reserve(subkeyIndex_.size());
    for (const auto& entry : subkeyIndex_) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
    subkeys_.clear();
    subkeys_.reserve(entries.size());
    for (const auto* entry : entries) subkeys_.push_back(entry->second.get());
    subkeysCurrent_ = true;
  }
  return subkeys_;
}

std::shared_ptr<RegNode> RegNode::FindSubkey(const std::u16string& name) const {
  const std::shared_ptr<RegNode>* found = FindUpcasedSubkey(text::Upcase(name));
  return found ? *found : nullptr;
}

const std::shared_ptr<RegNode>* RegNode::FindUpcasedSubkey(const std::u16string& upper) const {
  auto it = subkeyIndex_.find(upper);
  return it == subkeyIndex_.end() ? nullptr : &it->second;
}

std::shared_ptr<RegNode> RegNode::AddSubkey(const std::u16string& name) {
  auto [it, added] = subkeyIndex_.try_emplace(text::Upcase(name));
  if (added) {
    it->second = std::make_shared<RegNode>(name);
    subkeysCurrent_ = false;
    infoCurrent_ = false;
  }
  return it->second;
}

// Iterative, so that a deep tree cannot exhaust the stack.
void RegNode::MarkDeleted(const std::shared_ptr<RegNode>& top) {
  std::vector<RegNode*> pending{top.get()};
  while (!pending.empty()) {
    RegNode* node = pending.back();
    pending.pop_back();
    node->deleted_ = true;
    for (const auto& child : node->subkeyIndex_) pending.push_back(child.second.get());
  }
}

bool RegNode::RemoveSubkey(const std::u16string& name) {
  auto it = subkeyIndex_.find(text::Upcase(name));
  if (it == subkeyIndex_.end()) return false;
  MarkDeleted(it->second);
  subkeyIndex_.erase(it);
  subkeysCurrent_ = false;
  infoCurrent_ = false;
  return true;
}

void RegNode::Clear() {
  for (const auto& child : subkeyIndex_) MarkDeleted(child.second);
  subkeyIndex_.clear();
  subkeys_.clear();
  subkeysCurrent_ = true;
  values_.clear();
  valueDeleted_.clear();
  deletedValues_ = 0;
  valueIndex_.clear();
  infoCurrent_ = false;
}

const std::vector<RegValue>& RegNode::values() const {
  if (deletedValues_ > 0) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < values_.size(); ++i) {
      if (valueDeleted_[i]) continue;
      if (kept != i) values_[kept] = std::move(values_[i]);
      valueIndex_[text::Upcase(values_[kept].name)] = kept;
      ++kept;
    }
    values_.resize(kept);
    valueDeleted_.assign(kept, false);
    deletedValues_ = 0;
  }
  return values_;
}

const RegValue* RegNode::FindUpcasedValue(const std::u16string& upper) const {
  auto it = valueIndex_.find(upper);
  return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

const RegNode::Info& RegNode::info() const {
  if (!infoCurrent_) {
    Info info;
    // The counts need no order: the index is read as it stands, without sorting the list by position.
    info.subkeys = static_cast<std::uint32_t>(subkeyIndex_.size());
    for (const auto& entry : subkeyIndex_)
      info.longestSubkeyName =
          std::max(info.longestSubkeyName, static_cast<std::uint32_t>(entry.second->name().size()));
    info.values = static_cast<std::uint32_t>(values().size());
    for (const RegValue& value : values()) {
      info.longestValueName = std::max(info.longestValueName, static_cast<std::uint32_t>(value.name.size()));
      info.longestValueData = std::max(info.longestValueData, static_cast<std::uint32_t>(value.data.size()));
    }
    info_ = info;
    infoCurrent_ = true;
  }
  return info_;
}

void RegNode::SetValue(const std::u16string& name, std::uint32_t type, std::vector<std::uint8_t> data) {
  infoCurrent_ = false;
  const std::u16string key = text::Upcase(name);
  auto it = valueIndex_.find(key);
  if (it != valueIndex_.end()) {
    values_[it->second].type = type;
    values_[it->second].data = std::move(data);
    return;
  }
  valueIndex_.emplace(key, values_.size());
  values_.push_back(RegValue{name, type, std::move(data)});
  valueDeleted_.push_back(false);
}

bool RegNode::DeleteValue(const std::u16string& name) {
  auto it = valueIndex_.find(text::Upcase(name));
  if (it == valueIndex_.end()) return false;
  infoCurrent_ = false;
  valueDeleted_[it->second] = true;
  values_[it->second].data.clear();
  values_[it->second].data.shrink_to_fit();
  ++deletedValues_;
  valueIndex_.erase(it);
  return true;
}

bool ParseRootName(const std::u16string& name, std::uint32_t* root) {
  static const struct {
    const char16_t* name;
    std::uint32_t code;
  } kRoots[] = {
      {u"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE_CODE},
      {u"HKLM", HKEY_LOCAL_MACHINE_CODE},
      {u"HKEY_CURRENT_USER", HKEY_CURRENT_USER_CODE},
      {u"HKCU", HKEY_CURRENT_USER_CODE},
      {u"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT_CODE},
      {u"HKCR", HKEY_CLASSES_ROOT_CODE},
      {u"HKEY_USERS", HKEY_USERS_CODE},
      {u"HKU", HKEY_USERS_CODE},
      {u"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG_CODE},
      {u"HKCC", HKEY_CURRENT_CONFIG_CODE},
      {u"HKEY_DYN_DATA", HKEY_DYN_DATA_CODE},
  };
  for (const auto& entry : kRoots) {
    if (text::EqualNoCase(name, entry.name)) {
      *root = entry.code;
      return true;
    }
  }
  return false;
}

std::vector<std::u16string> SplitKeyNames(const std::u16string& path) {
  std::vector<std::u16string> names;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    if (end > start) names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

bool ParseKeyPath(const std::u16string& path, KeyPath* result) {
  std::vector<std::u16string> names = SplitKeyNames(path);
  if (names.empty() || !ParseRootName(names.front(), &result->root)) return false;
  result->parts.assign(names.begin() + 1, names.end());
  return true;
}

RegistryTree::RegistryTree() {
  for (std::uint32_t code : {HKEY_CURRENT_USER_CODE, HKEY_LOCAL_MACHINE_CODE, HKEY_USERS_CODE, HKEY_CURRENT_CONFIG_CODE,
                             HKEY_DYN_DATA_CODE}) {
    roots_[code] = std::make_shared<RegNode>(std::u16string());
  }
  roots_[HKEY_LOCAL_MACHINE_CODE]->AddSubkey(u"SOFTWARE")->AddSubkey(u"Classes");
}

KeyPath RegistryTree::Canonical(const KeyPath& path) {
  if (path.root != HKEY_CLASSES_ROOT_CODE) return path;
  KeyPath result;
  result.root = HKEY_LOCAL_MACHINE_CODE;
  result.parts = {u"SOFTWARE", u"Classes"};
  result.parts.insert(result.parts.end(), path.parts.begin(), path.parts.end());
  return result;
}

std::shared_ptr<RegNode> RegistryTree::Root(std::uint32_t root) const {
  const std::shared_ptr<RegNode>* found = RootPointer(root);
  return found ? *found : nullptr;
}

const std::shared_ptr<RegNode>* RegistryTree::RootPointer(std::uint32_t root) const {
  if (root != HKEY_CLASSES_ROOT_CODE) {
    auto it = roots_.find(root);
    return it == roots_.end() ? nullptr : &it->second;
  }
  if (classes_ && !classes_->deleted()) return &classes_;
  static const std::u16string kSoftware = u"SOFTWARE";
  static const std::u16string kClasses = u"CLASSES";
  const std::shared_ptr<RegNode>* software = roots_.at(HKEY_LOCAL_MACHINE_CODE)->FindUpcasedSubkey(kSoftware);
  const std::shared_ptr<RegNode>* found = software ? (*software)->FindUpcasedSubkey(kClasses) : nullptr;
  classes_ = found ? *found : nullptr;
  return found;
}

std::shared_ptr<RegNode> RegistryTree::Find(const KeyPath& path) const {
  const KeyPath canonical = Canonical(path);
  auto it = roots_.find(canonical.root);
  if (it == roots_.end()) return nullptr;
  std::shared_ptr<RegNode> node = it->second;
  for (const std::u16string& name : canonical.parts) {
    node = node->FindSubkey(name);
    if (!node) return nullptr;
  }
  return node;
}

std::shared_ptr<RegNode> RegistryTree::Create(const KeyPath& path) {
  const KeyPath canonical = Canonical(path);
  auto it = roots_.find(canonical.root);
  if (it == roots_.end()) return nullptr;
  std::shared_ptr<RegNode> node = it->second;
  for (const std::u16string& name : canonical.parts) node = node->AddSubkey(name);
  return node;
}

bool RegistryTree::Delete(const KeyPath& path) {
  const KeyPath canonical = Canonical(path);
  if (canonical.parts.empty()) {
    std::shared_ptr<RegNode> root = Root(canonical.root);
    if (!root) return false;
    root->Clear();
    return true;
  }
  KeyPath parentPath = canonical;
  parentPath.parts.pop_back();
  std::shared_ptr<RegNode> parent = Find(parentPath);
  return parent && parent->RemoveSubkey(canonical.parts.back());
}

}  // namespace memreg
}  // namespace kv
