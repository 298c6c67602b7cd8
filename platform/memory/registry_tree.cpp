#include "platform/memory/registry_tree.h"

#include <algorithm>

#include "platform/memory/code_page.h"
#include "platform/registry_api.h"

namespace kv {
namespace memreg {

std::vector<std::shared_ptr<RegNode>>::const_iterator RegNode::LowerBound(const std::u16string& name) const {
  return std::lower_bound(subkeys_.begin(), subkeys_.end(), name,
                          [](const std::shared_ptr<RegNode>& node, const std::u16string& key) {
                            return text::CompareNoCase(node->name(), key) < 0;
                          });
}

std::shared_ptr<RegNode> RegNode::FindSubkey(const std::u16string& name) const {
  auto it = LowerBound(name);
  if (it != subkeys_.end() && text::EqualNoCase((*it)->name(), name)) return *it;
  return nullptr;
}

std::shared_ptr<RegNode> RegNode::AddSubkey(const std::u16string& name) {
  auto it = LowerBound(name);
  if (it != subkeys_.end() && text::EqualNoCase((*it)->name(), name)) return *it;
  auto node = std::make_shared<RegNode>(name);
  subkeys_.insert(it, node);
  return node;
}

// Iterative, so that a deep tree cannot exhaust the stack.
void RegNode::MarkDeleted(const std::shared_ptr<RegNode>& top) {
  std::vector<RegNode*> pending{top.get()};
  while (!pending.empty()) {
    RegNode* node = pending.back();
    pending.pop_back();
    node->deleted_ = true;
    for (const auto& child : node->subkeys_) pending.push_back(child.get());
  }
}

bool RegNode::RemoveSubkey(const std::u16string& name) {
  auto it = LowerBound(name);
  if (it == subkeys_.end() || !text::EqualNoCase((*it)->name(), name)) return false;
  MarkDeleted(*it);
  subkeys_.erase(it);
  return true;
}

void RegNode::Clear() {
  for (const auto& child : subkeys_) MarkDeleted(child);
  subkeys_.clear();
  values_.clear();
  valueIndex_.clear();
}

const RegValue* RegNode::FindValue(const std::u16string& name) const {
  auto it = valueIndex_.find(text::Upcase(name));
  return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void RegNode::SetValue(const std::u16string& name, std::uint32_t type, std::vector<std::uint8_t> data) {
  const std::u16string key = text::Upcase(name);
  auto it = valueIndex_.find(key);
  if (it != valueIndex_.end()) {
    values_[it->second].type = type;
    values_[it->second].data = std::move(data);
    return;
  }
  valueIndex_.emplace(key, values_.size());
  values_.push_back(RegValue{name, type, std::move(data)});
}

bool RegNode::DeleteValue(const std::u16string& name) {
  auto it = valueIndex_.find(text::Upcase(name));
  if (it == valueIndex_.end()) return false;
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(it->second));
  RebuildValueIndex();
  return true;
}

void RegNode::RebuildValueIndex() {
  valueIndex_.clear();
  for (std::size_t i = 0; i < values_.size(); ++i) valueIndex_.emplace(text::Upcase(values_[i].name), i);
}

bool ParseRootName(const std::u16string& name, std::uint32_t* root) {
  static const struct {
    const char16_t* name;
    std::uint32_t code;
  } kRoots[] = {
      {u"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE_CODE}, {u"HKLM", HKEY_LOCAL_MACHINE_CODE},
      {u"HKEY_CURRENT_USER", HKEY_CURRENT_USER_CODE},   {u"HKCU", HKEY_CURRENT_USER_CODE},
      {u"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT_CODE},   {u"HKCR", HKEY_CLASSES_ROOT_CODE},
      {u"HKEY_USERS", HKEY_USERS_CODE},                 {u"HKU", HKEY_USERS_CODE},
      {u"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG_CODE}, {u"HKCC", HKEY_CURRENT_CONFIG_CODE},
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
  for (std::uint32_t code : {HKEY_CURRENT_USER_CODE, HKEY_LOCAL_MACHINE_CODE, HKEY_USERS_CODE,
                             HKEY_CURRENT_CONFIG_CODE, HKEY_DYN_DATA_CODE}) {
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
  if (root == HKEY_CLASSES_ROOT_CODE) return Find(KeyPath{root, {}});
  auto it = roots_.find(root);
  return it == roots_.end() ? nullptr : it->second;
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
