#include "scan/section.h"

namespace kv {

TNamedRegStringList::TNamedRegStringList(Engine& engine) : Registry(engine.platform), engine_(engine) {
  Registry.SetRootKey(HKEY_CURRENT_USER_CODE);
  Registry.Access = kKeyAllAccess;
}

TNamedRegStringList::~TNamedRegStringList() { OnItemChecked = nullptr; }

RegPlace Wow32Place(std::uint32_t root, const std::string& keyPath) {
  if (root == HKEY_CLASSES_ROOT_CODE) return {root, "Wow6432Node\\" + keyPath, true};
  return {root, keyPath.substr(0, 9) + "Wow6432Node\\" + keyPath.substr(9), true};
}

void TNamedRegStringList::ScanPlaces(const std::vector<RegPlace>& places, const std::function<void()>& scanOne) {
  // The view goes back to the 64-bit one however the scan leaves.
  struct ViewReset {
    TWinInfo& info;
    ~ViewReset() { info.Wow32 = false; }
  } reset{engine_.WinInfo};
  for (const RegPlace& place : places) {
    // A further place that the machine does not have (a 32-bit machine has no 32-bit view) is not read,
    // so the key of the place before it stays as that place's scan left it.
    if (&place != &places.front()) {
      TRegistry probe(engine_.platform);
      probe.SetRootKey(place.root);
      if (!probe.KeyExists(place.keyPath)) continue;
    }
    Registry.CloseKey();
    Registry.SetRootKey(place.root);
    KeyPath = place.keyPath;
    engine_.WinInfo.Wow32 = place.wow32;
    scanOne();
    if (Count() > 0 || StopRequested()) return;
  }
  if (!places.empty()) {
    Registry.SetRootKey(places.front().root);
    KeyPath = places.front().keyPath;
  }
}

bool TNamedRegStringList::ListNames(bool values) {
  Clear();
  Registry.CloseKey();
  if (!Registry.OpenKeyReadOnly(KeyPath)) return false;
  if (values)
    Registry.GetValueNames(List());
  else
    Registry.GetKeyNames(List());
  return true;
}

void TNamedRegStringList::Delete(int index) {
  if (index != 0 || !walking_) {
    strings_.erase(strings_.begin() + static_cast<std::ptrdiff_t>(head_) + index);
    return;
  }
  std::string().swap(strings_[head_]);
  if (++head_ == strings_.size()) Clear();
}

void TNamedRegStringList::Compact() const {
  if (head_ == 0) return;
  strings_.erase(strings_.begin(), strings_.begin() + static_cast<std::ptrdiff_t>(head_));
  head_ = 0;
}

bool TNamedRegStringList::WalkNames(const std::function<bool(const std::string& name)>& isSound, KeyAfterWalk after) {
  struct WalkScope {
    TNamedRegStringList& list;
    explicit WalkScope(TNamedRegStringList& l) : list(l) { list.walking_ = true; }
    ~WalkScope() {
      list.walking_ = false;
      list.Compact();
    }
  } walk(*this);
  while (Count() > 0) {
    if (StopRequested()) {
      Registry.CloseKey();
      return false;
    }
    // A copy: the judge may read the list, and the marker may move it.
    const std::string name = (*this)[0];
    if (!isSound(name)) {
      Add("");
      return false;
    }
    Delete(0);
    ItemChecked();
  }
  if (after == KeyAfterWalk::kClosed) Registry.CloseKey();
  return true;
}

}  // namespace kv
