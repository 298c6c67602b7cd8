// UTF-16 text (as the system keeps it) as UTF-8, the engine's and kvscan's encoding.
#pragma once

#include <string>

namespace kv::cli {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace kv::cli
