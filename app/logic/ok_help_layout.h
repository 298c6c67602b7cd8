// The layout of the message dialog with a help link: the message label grows with its text, and the link,
// the bevel, the OK button and the form's bottom edge follow it, so that the gap between message and link
// stays fixed.
#pragma once

namespace kv {

struct OkHelpGeometry {
  int messageTop;
  int linkTop;
  int bevelTop;
  int buttonTop;
  int clientHeight;
  int gap;  // between the message's bottom edge and the link
};

// As designed, in pixels at 96 dots per inch.
constexpr OkHelpGeometry kOkHelpDesign{12, 76, 95, 107, 138, 12};

// `designed` rearranged for a message `messageHeight` pixels tall.
OkHelpGeometry ArrangeOkHelp(const OkHelpGeometry& designed, int messageHeight);

// The stock icon a message-box icon type asks for.
enum class OkHelpIcon { kApplication, kHand, kQuestion, kExclamation, kAsterisk };
OkHelpIcon OkHelpIconFor(int iconType);

}  // namespace kv
