// Where the HTML Help engine lives and how a page of the product's help file is addressed.
#pragma once

#include <string>

#include "platform/platform.h"

namespace kv {

constexpr const char kHtmlHelpServerKey[] = "CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32";

// The engine library registered for the HTML Help control class, or "" when none is registered or the
// registered path names no existing file.
std::string HtmlHelpEnginePath(Platform& platform);

// The help file beside the program, at one of its pages: "<folder>Help.chm::/Contents/<topic>".
std::string HelpTopicPath(const std::string& programFolder, const std::string& topic);

}  // namespace kv
