#include "support/text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace kv {
namespace {

struct UpcaseRun {
  std::uint16_t first;
  std::uint16_t last;
  std::int32_t delta;
  std::uint16_t step;
};

constexpr UpcaseRun kUpcaseRuns[] = {
#include "support/upcase_table.inc"
};

constexpr char32_t kReplacement = 0xFFFD;

// Folded code points in the order of their UTF-16 units: the plane below the surrogates, then everything
// beyond the plane (written as surrogate pairs), then the rest of the plane.
std::uint32_t UnitOrder(char32_t c) {
  if (c < 0xD800) return c;
  if (c >= 0x10000) return 0xD800 + (c - 0x10000);
  return c + 0x110000;
}

}  // namespace

char32_t UpcaseCodePoint(char32_t c) {
  if (c < 0x80) return (c >= U'a' && c <= U'z') ? c - 32 : c;
  if (c > 0xFFFF) return c;
  const auto* end = std::end(kUpcaseRuns);
  const auto* run = std::upper_bound(std::begin(kUpcaseRuns), end, c,
                                     [](char32_t value, const UpcaseRun& r) { return value < r.first; });
  if (run == std::begin(kUpcaseRuns)) return c;
  --run;
  if (c > run->last || (c - run->first) % run->step != 0) return c;
  return static_cast<char32_t>(static_cast<std::int32_t>(c) + run->delta);
}

char32_t NextCodePoint(const std::string& text, std::size_t* at) {
  const std::size_t i = *at;
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) {
    *at = i + 1;
    return lead;
  }
  std::size_t length = 0;
  char32_t code = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  }
  bool valid = length != 0 && i + length <= text.size();
  for (std::size_t k = 1; valid && k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) valid = false;
    code = (code << 6) | (next & 0x3F);
  }
  if (valid && (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) valid = false;
  *at = i + (valid ? length : 1);
  return valid ? code : kReplacement;
}

void AppendUtf8(char32_t c, std::string* text) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacement;
  if (c < 0x80) {
    text->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    text->push_back(static_cast<char>(0xC0 | (c >> 6)));
    text->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    text->push_back(static_cast<char>(0xE0 | (c >> 12)));
    text->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    text->push_back(static_cast<char>(0xF0 | (c >> 18)));
    text->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    text->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

int CompareNoCase(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[j]);
    if (x < 0x80 && y < 0x80) {  // the common case, without decoding
      const char32_t ux = UpcaseCodePoint(x);
      const char32_t uy = UpcaseCodePoint(y);
      if (ux != uy) return ux < uy ? -1 : 1;
      ++i, ++j;
      continue;
    }
    const std::uint32_t ux = UnitOrder(UpcaseCodePoint(NextCodePoint(a, &i)));
    const std::uint32_t uy = UnitOrder(UpcaseCodePoint(NextCodePoint(b, &j)));
    if (ux != uy) return ux < uy ? -1 : 1;
  }
  if (i == a.size() && j == b.size()) return 0;
  return i == a.size() ? -1 : 1;
}

bool SameText(const std::string& a, const std::string& b) { return CompareNoCase(a, b) == 0; }

std::string UpperText(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) AppendUtf8(UpcaseCodePoint(NextCodePoint(text, &i)), &result);
  return result;
}

std::size_t FindNoCase(const std::string& text, const std::string& what, std::size_t from, std::size_t* length) {
  auto matchesAt = [&](std::size_t i) {
    const std::size_t begin = i;
    for (std::size_t j = 0; j < what.size();) {
      if (i >= text.size() || UpcaseCodePoint(NextCodePoint(text, &i)) != UpcaseCodePoint(NextCodePoint(what, &j)))
        return false;
    }
    if (length != nullptr) *length = i - begin;
    return true;
  };
  for (std::size_t start = from; start <= text.size();) {
    if (matchesAt(start)) return start;
    if (start == text.size()) break;
    NextCodePoint(text, &start);
  }
  return std::string::npos;
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Trim(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

void CutToken(std::string& s, char delim, std::string& token) {
  std::size_t p = s.find(delim);
  if (p == std::string::npos) {
    token.clear();
    return;
  }
  token = s.substr(0, p);
  s.erase(0, p + 1);
}

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::size_t FindIgnoreCase(const std::string& text, const std::string& what, std::size_t from) {
  if (what.empty()) return from <= text.size() ? from : std::string::npos;
  const char first = AsciiUpper(what[0]);
  const bool letter = first >= 'A' && first <= 'Z';
  for (std::size_t at = from; at < text.size() && what.size() <= text.size() - at; ++at) {
    if (!letter) {  // one byte to look for: the library's search finds it fastest
      at = text.find(first, at);
      if (at == std::string::npos || what.size() > text.size() - at) break;
    } else if (AsciiUpper(text[at]) != first) {
      continue;
    }
    if (MatchesAtIgnoreCase(text, at, what)) return at;
  }
  return std::string::npos;
}

bool SameAsciiText(const std::string& text, const char* what) {
  std::size_t i = 0;
  for (; what[i] != '\0'; ++i) {
    if (i == text.size() || AsciiUpper(text[i]) != AsciiUpper(what[i])) return false;
  }
  return i == text.size();
}

bool MatchesAtIgnoreCase(const std::string& text, std::size_t at, const std::string& what) {
  if (at > text.size() || what.size() > text.size() - at) return false;
  for (std::size_t i = 0; i < what.size(); ++i) {
    if (AsciiUpper(text[at + i]) != AsciiUpper(what[i])) return false;
  }
  return true;
}

std::string ReplaceAllIgnoreCase(const std::string& text, const std::string& from, const std::string& to,
                                 std::size_t limit) {
  if (from.empty()) return text.substr(0, limit);
  std::string result;
  std::size_t i = 0;
  while (i < text.size() && result.size() < limit) {
    const std::size_t match = FindIgnoreCase(text, from, i);
    const std::size_t end = match == std::string::npos ? text.size() : match;
    result.append(text, i, std::min(end - i, limit - result.size()));
    i = end;
    if (match != std::string::npos && result.size() < limit) {
      result.append(to, 0, limit - result.size());
      i += from.size();
    }
  }
  return result;
}

}  // namespace kv
