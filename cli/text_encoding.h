// Text from the 8-bit code page, the way the registry hands it to the engine, as UTF-8.
#pragma once

#include <string>

#include "platform/system_api.h"

namespace kv::cli {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// The 8-bit code page's text to UTF-8, through the system's own conversion to UTF-16.
std::string AnsiToUtf8(SystemApi& system, const std::string& text);

}  // namespace kv::cli
