// The user's sort order on the memory machine: the word sort of an English user, as CompareStringA with
// NORM_IGNORECASE answers it for Windows-1252 text.
//
// Each text is weighed on three levels, compared one after the other:
//   1. the characters that count, without regard to case: symbols (in the system's symbol order), then
//      digits, then letters; an accented letter weighs as its base letter;
//   2. the accents, in the order of the letters;
//   3. the characters the word sort passes over (hyphen, apostrophe, soft hyphen, control characters),
//      by position: a text holding one more of them sorts after the text without it.
#include <string>

#include "platform/memory/memory_platform.h"

namespace kv {
namespace {

// The symbols in the order the word sort gives them.
constexpr char kSymbolOrder[] = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";
constexpr int kSymbolBase = 1;
constexpr int kOtherSymbolBase = 100;  // symbols outside ASCII: after the ASCII ones, by code
constexpr int kDigitBase = 500;
constexpr int kLetterBase = 600;

// The base letter (upper case) of a Windows-1252 letter, or 0 for a byte that is no letter.
char BaseLetter(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c);
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  switch (c) {
    case 0x83: return 'F';                          // f with hook
    case 0x8A: case 0x9A: return 'S';               // S with caron
    case 0x8C: case 0x9C: return 'O';               // ligature OE
    case 0x8E: case 0x9E: return 'Z';               // Z with caron
    case 0x9F: case 0xDD: case 0xFD: case 0xFF: return 'Y';
    case 0xC7: case 0xE7: return 'C';
    case 0xD0: case 0xF0: return 'D';
    case 0xD1: case 0xF1: return 'N';
    case 0xD8: case 0xF8: return 'O';
    case 0xDE: case 0xFE: return 'T';
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

// The primary and accent weights of a character that counts.
struct Weight {
  int primary;
  int accent;
};

Weight WeightOf(unsigned char c) {
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

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

// Compares the characters that count, on the primary or the accent level, without allocating.
int CompareLevel(const std::string& a, const std::string& b, bool accents) {
  std::size_t i = 0;
  std::size_t j = 0;
  for (;;) {
    while (i < a.size() && PassedOver(static_cast<unsigned char>(a[i]))) ++i;
    while (j < b.size() && PassedOver(static_cast<unsigned char>(b[j]))) ++j;
    if (i == a.size() || j == b.size()) return (i == a.size() ? 0 : 1) - (j == b.size() ? 0 : 1);
    const Weight wa = WeightOf(static_cast<unsigned char>(a[i++]));
    const Weight wb = WeightOf(static_cast<unsigned char>(b[j++]));
    if (int order = accents ? wa.accent - wb.accent : wa.primary - wb.primary) return Sign(order);
  }
}

// Compares the characters passed over, as (position, character) pairs in text order.
int ComparePassedOver(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  for (;;) {
    while (i < a.size() && !PassedOver(static_cast<unsigned char>(a[i]))) ++i;
    while (j < b.size() && !PassedOver(static_cast<unsigned char>(b[j]))) ++j;
    if (i == a.size() || j == b.size()) return (i == a.size() ? 0 : 1) - (j == b.size() ? 0 : 1);
    if (i != j) return i < j ? -1 : 1;
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
    ++i;
    ++j;
  }
}

}  // namespace

int MemorySystem::CompareUserLocale(const std::string& a, const std::string& b) {
  if (int order = CompareLevel(a, b, false)) return order;
  if (int order = CompareLevel(a, b, true)) return order;
  return ComparePassedOver(a, b);
}

}  // namespace kv
