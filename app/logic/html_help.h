// Where the HTML Help engine lives and how a page of the product's help file is addressed.
#pragma once

#include <string>

#include "platform/platform.h"

namespace kv {

// The engine's file name in the system folder.
constexpr const char kHtmlHelpEngineFile[] = "hhctrl.ocx";

// The HTML Help engine the program loads: the system's own, "hhctrl.ocx" in the system folder, by its full
// path, when that file is there; "" otherwise (help then goes through the help viewer program). Nothing
// else decides it: the engine's class registration under HKEY_CLASSES_ROOT, which any user can override
// with classes of their own (and point at a library anywhere, even on a network share), is neither read
// nor followed, and no other file is ever looked at.
std::string HtmlHelpEnginePath(Platform& platform);

// The help file beside the program, at one of its pages: "<folder>Help.chm::/Contents/<topic>".
std::string HelpTopicPath(const std::string& programFolder, const std::string& topic);

}  // namespace kv
