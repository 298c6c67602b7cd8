#include "scan/section.h"

namespace kv {

TNamedRegStringList::TNamedRegStringList(Engine& engine) : Registry(engine.platform), engine_(engine) {
  Registry.SetRootKey(HKEY_CURRENT_USER_CODE);
  Registry.Access = kKeyAllAccess;
}

TNamedRegStringList::~TNamedRegStringList() { OnItemChecked = nullptr; }

}  // namespace kv
