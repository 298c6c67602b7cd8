#include "app/logic/ok_help_layout.h"

namespace kv {

OkHelpGeometry ArrangeOkHelp(const OkHelpGeometry& designed, int messageHeight) {
  OkHelpGeometry result = designed;
  result.linkTop = designed.messageTop + messageHeight + designed.gap;
  const int shift = result.linkTop - designed.linkTop;
  result.bevelTop += shift;
  result.buttonTop += shift;
  result.clientHeight += shift;
  return result;
}

// 16, 32, 48 and 64 are the message-box icon constants (hand, question, exclamation, asterisk); anything
// else shows the application's own icon.
OkHelpIcon OkHelpIconFor(int iconType) {
  switch (iconType) {
    case 16: return OkHelpIcon::kHand;
    case 32: return OkHelpIcon::kQuestion;
    case 48: return OkHelpIcon::kExclamation;
    case 64: return OkHelpIcon::kAsterisk;
    default: return OkHelpIcon::kApplication;
  }
}

}  // namespace kv
