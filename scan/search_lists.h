// The search folders and executable extensions, taken once from "Path" and "PathExt" when the engine
// loads, and the string splitter they are cut with.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/text_case.h"

namespace kv {

// Token := the text of S before the first Delim; S := the text after it. Without Delim, Token is empty and
// S is unchanged.
void CutToken(std::string& s, char delim, std::string& token);

// Folders of "Path", lower case with a closing backslash (an empty piece gives "\"), then the system and
// Windows folders unless already present.
std::vector<std::string> BuildSearchDirs(Platform& platform);

// Extensions of "PathExt", lower case, then ".dll", ".exe" and ".com" unless already present.
std::vector<std::string> BuildExeExtensions(Platform& platform);

// ASCII lower case.
std::string LowerAscii(std::string text);
// Text with blanks and control characters removed from both ends.
std::string Trim(const std::string& text);
// Whether `text` begins with `prefix`.
bool StartsWith(const std::string& text, const std::string& prefix);
// SameText (support/text_case.h): whether two names are equal without regard to case.

}  // namespace kv
