// Text as the engine holds it: UTF-8 in std::string, and the string helpers every part uses. Names compare without
// regard to case the way Windows compares registry and file names: each UTF-16 unit of the Basic Multilingual Plane is
// folded to its upper case by one fixed table (the same on every system and in every locale), characters outside that
// plane are compared as they are, and the order is that of the folded UTF-16 units.
#pragma once

#include <cstddef>
#include <string>

namespace kv {

// The upper case of a code point for name comparison (itself outside the plane, or when it has none).
char32_t UpcaseCodePoint(char32_t c);

// The code point at `text[*at]`, advancing `*at` past it. A byte that does not start a well-formed UTF-8
// sequence (stray continuation byte, overlong form, encoded surrogate, beyond U+10FFFF, cut short) is
// U+FFFD, and only that byte is taken.
char32_t NextCodePoint(const std::string& text, std::size_t* at);

// Appends the UTF-8 form of a code point (U+FFFD for a surrogate or anything beyond U+10FFFF).
void AppendUtf8(char32_t c, std::string* text);

// -1, 0 or 1 as `a` sorts before, with or after `b` without regard to case, in the order of the folded
// UTF-16 units.
int CompareNoCase(const std::string& a, const std::string& b);
// Whether two names are the same without regard to case.
bool SameText(const std::string& a, const std::string& b);
struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return CompareNoCase(a, b) < 0; }
};
// The text with every character folded to its upper case (a key under which names that are the same
// without regard to case meet). Malformed bytes become U+FFFD.
std::string UpperText(const std::string& text);
// The position of the first occurrence of `what` in `text` at or after `from`, without regard to case
// (a byte offset at a character boundary), or npos. `length` gets the bytes the occurrence takes in `text`
// (a character and its upper case may differ in length).
std::size_t FindNoCase(const std::string& text, const std::string& what, std::size_t from = 0,
                       std::size_t* length = nullptr);

// ASCII lower case.
std::string LowerAscii(std::string text);
// Text with blanks and control characters removed from both ends.
std::string Trim(const std::string& text);
// Whether `text` begins with `prefix`.
bool StartsWith(const std::string& text, const std::string& prefix);
// Token := the text of S before the first Delim; S := the text after it. Without Delim, Token is empty and
// S is unchanged.
void CutToken(std::string& s, char delim, std::string& token);
// Whether `what` stands in `text` at `at`, comparing without regard to ASCII case.
bool MatchesAtIgnoreCase(const std::string& text, std::size_t at, const std::string& what);
// Where `what` next stands in `text` at or after `from`, comparing without regard to ASCII case; npos
// when nowhere.
std::size_t FindIgnoreCase(const std::string& text, const std::string& what, std::size_t from = 0);
// Whether `text` is `what`, without regard to ASCII case (other bytes as they are).
bool SameAsciiText(const std::string& text, const char* what);
// Replaces every occurrence of `from` in `text` by `to`, comparing without regard to ASCII case. The
// result is cut after `limit` characters.
std::string ReplaceAllIgnoreCase(const std::string& text, const std::string& from, const std::string& to,
                                 std::size_t limit = std::string::npos);

}  // namespace kv
