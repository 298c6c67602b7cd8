// The tool-tip the tray icon hands to the shell.
#pragma once

#include <cstddef>
#include <string>

namespace kv {

// The shell's record holds 64 characters: at most 63 and the closing NUL.
constexpr std::size_t kTrayTipLength = 63;

// `hint` cut to what the shell takes, or "" when the hint is not to be shown.
std::string TrayTip(const std::string& hint, bool showHint);

}  // namespace kv
