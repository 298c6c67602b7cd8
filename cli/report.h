// The two ways kvscan tells what a probe found: text for a person, one JSON object for a program.
#pragma once

#include <functional>
#include <string>

#include "cli/probe.h"

namespace kv::cli {

// The text report: the verdict, the section that reported first and what it holds, then one line per
// scanned section. A section is named by its class and, beside it, by what it checks in plain words. Control characters
// in registry text are shown as escapes, never sent to the terminal.
std::string FormatText(const ProbeReport& report);

// Turns registry text into UTF-8. The engine's text is UTF-8 already, so kvscan passes it on as it is
// (`KeepUtf8`); a caller holding text in another encoding converts it here.
using ToUtf8 = std::function<std::string(const std::string&)>;
inline std::string KeepUtf8(const std::string& text) { return text; }

// One JSON object, always UTF-8: result, mask, clean, cancelled, section, group, list, explanation,
// sections (each: name, label, group, count, items, ms), ms. Registry text goes through `toUtf8`; whatever bytes come
// out, the JSON is valid (bytes that are still not UTF-8 become U+FFFD).
std::string FormatJson(const ProbeReport& report, const ToUtf8& toUtf8);

// The printable form of one registry string: control characters as \xNN (a backslash stays as it is).
std::string Printable(const std::string& text);

}  // namespace kv::cli
