#include "app/logic/tray_tip.h"

namespace kv {

std::string TrayTip(const std::string& hint, bool showHint) {
  if (!showHint) return std::string();
  return hint.substr(0, kTrayTipLength);
}

}  // namespace kv
