// The user's sort order on the memory machine: the word sort of an English user, as CompareStringW with
// NORM_IGNORECASE answers it for the characters of Windows-1252; any other character sorts after the
// Latin letters, by its upper case.
//
// Each text is weighed on three levels, compared one after the other:
//   1. the characters that count, without regard to case: symbols (in the system's symbol order), then
//      digits, then letters; an accented letter weighs as its base letter;
//   2. the accents, in the order of the letters;
//   3. the characters the word sort passes over (hyphen, apostrophe, soft hyphen, control characters),
//      by position: a text holding one more of them sorts after the text without it.
#include <algorithm>
#include <string>

#include "platform/memory/code_page.h"
#include "platform/memory/collation.h"
#include "platform/memory/memory_platform.h"
#include "support/text.h"

namespace kv {
namespace {

// The symbols in the order the word sort gives them.
constexpr char kSymbolOrder[] = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";
constexpr int kSymbolBase = 1;
constexpr int kOtherSymbolBase = 100;  // symbols outside ASCII: after the ASCII ones, by code
constexpr int kDigitBase = 500;
constexpr int kLetterBase = 600;
constexpr int kBeyondCodePageBase = kLetterBase + 26;

// One character of a UTF-8 text: its Windows-1252 byte when the code page has it (`inCodePage`), else its
// code point.
struct Character {
  bool inCodePage;
  char32_t code;
};

Character CharacterAt(const std::string& text, std::size_t* at) {
  const auto lead = static_cast<unsigned char>(text[*at]);
  if (lead < 0x80) {  // ASCII is its own code page byte
    ++*at;
    return {true, lead};
  }
  const char32_t code = NextCodePoint(text, at);
  unsigned char byte = 0;
  if (code < 0x10000 && text::UnitToAnsi(static_cast<char16_t>(code), &byte)) return {true, byte};
  return {false, code};
}

// The base letter (upper case) of a Windows-1252 letter, or 0 for a byte that is no letter.
char BaseLetter(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c);
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  switch (c) {
    case 0x83: return 'F';  // f with hook
    case 0x8A:
    case 0x9A: return 'S';  // S with caron
    case 0x8C:
    case 0x9C: return 'O';  // ligature OE
    case 0x8E:
    case 0x9E: return 'Z';  // Z with caron
    case 0x9F:
    case 0xDD:
    case 0xFD:
    case 0xFF: return 'Y';
    case 0xC7:
    case 0xE7: return 'C';
    case 0xD0:
    case 0xF0: return 'D';
    case 0xD1:
    case 0xF1: return 'N';
    case 0xD8:
    case 0xF8: return 'O';
    case 0xDE:
    case 0xFE: return 'T';
    case 0xDF: return 'S';
    default: break;
  }
  const unsigned char folded = (c >= 0xE0 && c != 0xF7) ? static_cast<unsigned char>(c - 0x20) : c;
  if (folded >= 0xC0 && folded <= 0xC6) return 'A';
  if (folded >= 0xC8 && folded <= 0xCB) return 'E';
  if (folded >= 0xCC && folded <= 0xCF) return 'I';
  if (folded >= 0xD2 && folded <= 0xD6) return 'O';
  if (folded >= 0xD9 && folded <= 0xDC) return 'U';
  return 0;
}

bool PassedOver(unsigned char c) { return c == '-' || c == '\'' || c == 0xAD || c < 0x20 || c == 0x7F; }
bool PassedOver(Character c) { return c.inCodePage && PassedOver(static_cast<unsigned char>(c.code)); }

// The primary and accent weights of a character that counts.
struct Weight {
  int primary;
  int accent;
};

Weight ComputeWeightOf(unsigned char c) {
  if (const char letter = BaseLetter(c)) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    // Upper and lower case of one accented letter carry the same accent.
    const int accent = plain ? 0 : (c >= 0xE0 && c != 0xF7 && c != 0xFF ? c - 0x20 : c);
    return {kLetterBase + (letter - 'A'), accent};
  }
  if (c >= '0' && c <= '9') return {kDigitBase + (c - '0'), 0};
  if (c < 0x80) {
    for (int i = 0; kSymbolOrder[i] != '\0'; ++i) {
      if (static_cast<unsigned char>(kSymbolOrder[i]) == c) return {kSymbolBase + i, 0};
    }
  }
  return {kOtherSymbolBase + c, 0};
}

// The weights of the code page's 256 characters, worked out once.
Weight WeightOf(unsigned char c) {
  static const struct Table {
    Weight weights[256];
    Table() {
      for (int i = 0; i < 256; ++i) weights[i] = ComputeWeightOf(static_cast<unsigned char>(i));
    }
  } table;
  return table.weights[c];
}

Weight WeightOf(Character c) {
  if (c.inCodePage) return WeightOf(static_cast<unsigned char>(c.code));
  return {kBeyondCodePageBase + static_cast<int>(UpcaseCodePoint(c.code)), 0};
}

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

// The characters of a text one after the other, with their positions (in characters).
class Characters {
 public:
  explicit Characters(const std::string& text) : text_(text) {}
  bool AtEnd() const { return at_ >= text_.size(); }
  // The next character, and its position.
  Character Next(std::size_t* position) {
    *position = count_++;
    return CharacterAt(text_, &at_);
  }

 private:
  const std::string& text_;
  std::size_t at_ = 0;
  std::size_t count_ = 0;
};

// The next character (and its position) that is, or is not, passed over; false at the end.
bool NextOfKind(Characters& text, bool passedOver, Character* c, std::size_t* position) {
  while (!text.AtEnd()) {
    *c = text.Next(position);
    if (PassedOver(*c) == passedOver) return true;
  }
  return false;
}

// Compares the characters that count, on the primary or the accent level, without allocating.
int CompareLevel(const std::string& a, const std::string& b, bool accents) {
  Characters ta(a);
  Characters tb(b);
  for (;;) {
    Character ca{}, cb{};
    std::size_t pa = 0, pb = 0;
    const bool moreA = NextOfKind(ta, false, &ca, &pa);
    const bool moreB = NextOfKind(tb, false, &cb, &pb);
    if (!moreA || !moreB) return (moreA ? 1 : 0) - (moreB ? 1 : 0);
    const Weight wa = WeightOf(ca);
    const Weight wb = WeightOf(cb);
    if (int order = accents ? wa.accent - wb.accent : wa.primary - wb.primary) return Sign(order);
  }
}

// Compares the characters passed over, as (position, character) pairs in text order.
int ComparePassedOver(const std::string& a, const std::string& b) {
  Characters ta(a);
  Characters tb(b);
  for (;;) {
    Character ca{}, cb{};
    std::size_t pa = 0, pb = 0;
    const bool moreA = NextOfKind(ta, true, &ca, &pa);
    const bool moreB = NextOfKind(tb, true, &cb, &pb);
    if (!moreA || !moreB) return (moreA ? 1 : 0) - (moreB ? 1 : 0);
    if (pa != pb) return pa < pb ? -1 : 1;
    if (ca.code != cb.code) return ca.code < cb.code ? -1 : 1;
  }
}

// ASCII without a character the comparison passes over: every such character has an accent weight of
// zero, so only the primary weights can tell two of these texts apart.
bool PlainAscii(const std::string& text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || PassedOver(byte)) return false;
  }
  return true;
}

int ComparePrimaryAscii(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int order =
        WeightOf(static_cast<unsigned char>(a[i])).primary - WeightOf(static_cast<unsigned char>(b[i])).primary;
    if (order) return Sign(order);
  }
  return Sign(static_cast<int>(a.size() > n) - static_cast<int>(b.size() > n));
}

}  // namespace

int CompareByCharacters(const std::string& a, const std::string& b) {
  if (int order = CompareLevel(a, b, false)) return order;
  if (int order = CompareLevel(a, b, true)) return order;
  return ComparePassedOver(a, b);
}

int MemorySystem::CompareUserLocale(const std::string& a, const std::string& b) {
  if (PlainAscii(a) && PlainAscii(b)) return ComparePrimaryAscii(a, b);
  return CompareByCharacters(a, b);
}

}  // namespace kv
