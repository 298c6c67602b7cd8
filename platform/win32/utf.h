// The one place where the engine's UTF-8 text meets the system's UTF-16. Malformed UTF-8 and unpaired
// surrogates become U+FFFD, one for each unit that cannot be read.
#pragma once

#include <cstddef>
#include <string>

namespace kv {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const wchar_t* utf16, std::size_t length);
inline std::string Narrow(const std::wstring& utf16) { return Narrow(utf16.data(), utf16.size()); }
// Text up to its first NUL (all of it when there is none within `capacity` units).
std::string NarrowTerminated(const wchar_t* utf16, std::size_t capacity);

}  // namespace kv
