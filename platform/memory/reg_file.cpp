// The grammar, line by line:
//   header       "REGEDIT4" or "Windows Registry Editor Version 5.00" on the first line
//   blank lines and lines starting with ';' are skipped; leading blanks of a line are ignored
//   [ROOT\key]   opens (creates) a key;  [-ROOT\key] deletes it with its subkeys
//   "name"=...   or @=... (the default value), where ... is
//                "text"        REG_SZ (\" and \\ are the escapes)
//                dword:1f      REG_DWORD from up to eight hex digits
//                hex:01,02     REG_BINARY;  hex(N):01,02  type N (hex, up to ffffffff)
//                -             deletes the value
//   A value line ending in a backslash goes on on the next line, whose leading blanks are ignored.
// In a REGEDIT4 file the hex bytes of the string types (1, 2, 7) are 8-bit text; they are stored as
// UTF-16LE, as regedit stores them.
#include "platform/memory/reg_file.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "platform/memory/code_page.h"
#include "platform/memory/registry_tree.h"
#include "platform/registry_api.h"

namespace kv {
namespace memreg {
namespace {

struct RegFileChange {
  enum Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue };
  Kind kind = kCreateKey;
  KeyPath key;
  std::u16string valueName;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

constexpr char16_t kRegedit4Header[] = u"REGEDIT4";
constexpr char16_t kVersion5Header[] = u"Windows Registry Editor Version 5.00";
// Longest piece of the file quoted back in an error message.
constexpr std::size_t kQuoteLimit = 40;

struct Fault {
  int line;
  std::string message;
};

[[noreturn]] void Fail(int line, std::string message) { throw Fault{line, std::move(message)}; }

std::string Quote(const std::u16string& text) {
  std::u16string shown = text.size() > kQuoteLimit ? text.substr(0, kQuoteLimit) + u"..." : text;
  return "'" + Utf16ToUtf8(shown) + "'";
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::u16string TrimRight(std::u16string text) {
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  return text;
}

std::u16string DecodeFile(const std::string& bytes) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
      text.push_back(static_cast<char16_t>(byte(i) | (byte(i + 1) << 8)));
    return text;
  }
  if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) return Utf8ToUtf16(bytes.substr(3));
  return AnsiToUtf16(bytes);
}

struct Line {
  std::u16string text;
  int number;
};

// Lines end with LF or CR LF.
std::vector<Line> SplitLines(const std::u16string& text) {
  std::vector<Line> lines;
  std::size_t start = 0;
  int number = 1;
  while (start <= text.size()) {
    std::size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    lines.push_back(Line{std::move(line), number++});
    start = end + 1;
  }
  return lines;
}

// A value line with its continuations joined, remembering which file line each part came from.
class LogicalLine {
 public:
  void Append(const std::u16string& piece, int line) {
    starts_.emplace_back(text_.size(), line);
    text_ += piece;
  }
  void DropLast() { text_.pop_back(); }
  const std::u16string& text() const { return text_; }
  int LineAt(std::size_t offset) const {
    int line = starts_.front().second;
    for (const auto& start : starts_) {
      if (start.first > offset) break;
      line = start.second;
    }
    return line;
  }

 private:
  std::u16string text_;
  std::vector<std::pair<std::size_t, int>> starts_;
};

// Follows the quotes of a value line as its parts arrive, so that a backslash ending a part can be told
// apart from one inside a string.
class QuoteTracker {
 public:
  void Feed(const std::u16string& text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (!inside_) {
        if (c == u'"') inside_ = true;
      } else if (c == u'\\' && i + 1 < text.size() && (text[i + 1] == u'"' || text[i + 1] == u'\\')) {
        ++i;
      } else if (c == u'"') {
        inside_ = false;
      }
    }
  }
  bool inside() const { return inside_; }

 private:
  bool inside_ = false;
};

class Parser {
 public:
  explicit Parser(std::vector<Line> lines) : lines_(std::move(lines)) {}

  std::vector<RegFileChange> Run() {
    ParseHeader();
    std::size_t index = 1;
    while (index < lines_.size()) {
      const Line& line = lines_[index];
      std::size_t first = 0;
      while (first < line.text.size() && IsBlank(line.text[first])) ++first;
      if (first == line.text.size() || line.text[first] == u';') {
        ++index;
      } else if (line.text[first] == u'[') {
        ParseKeyLine(TrimRight(line.text.substr(first)), line.number);
        ++index;
      } else if (line.text[first] == u'"' || line.text[first] == u'@') {
        LogicalLine value;
        index = GatherValueLine(index, first, &value);
        ParseValueLine(value);
      } else {
        Fail(line.number, "unrecognised line " + Quote(line.text.substr(first)));
      }
    }
    return std::move(changes_);
  }

 private:
  void ParseHeader() {
    const std::u16string header = TrimRight(lines_.front().text);
    if (header == kRegedit4Header) {
      regedit4_ = true;
    } else if (header != kVersion5Header) {
      Fail(1, "not a registry file: the first line must be REGEDIT4 or Windows Registry Editor Version 5.00");
    }
  }

  void ParseKeyLine(const std::u16string& text, int line) {
    if (text.back() != u']') Fail(line, "missing ']' at the end of the key name");
    std::u16string name = text.substr(1, text.size() - 2);
    const bool remove = !name.empty() && name.front() == u'-';
    if (remove) name.erase(0, 1);
    const std::vector<std::u16string> names = SplitKeyNames(name);
    KeyPath key;
    if (names.empty() || !ParseRootName(names.front(), &key.root))
      Fail(line, "unknown root key " + Quote(names.empty() ? name : names.front()));
    key.parts.assign(names.begin() + 1, names.end());
    if (key.parts.size() > kMaxKeyDepth) Fail(line, "key path deeper than 512 levels");
    for (const std::u16string& part : key.parts) {
      if (part.size() > kMaxKeyNameLength) Fail(line, "key name longer than 255 characters");
    }
    if (remove && key.parts.empty()) Fail(line, "a root key cannot be deleted");
    RegFileChange change;
    change.kind = remove ? RegFileChange::kDeleteKey : RegFileChange::kCreateKey;
    change.key = key;
    changes_.push_back(std::move(change));
    haveKey_ = !remove;
    currentKey_ = std::move(key);
  }

  // Joins a value line with the lines it continues on; returns the index of the line after them.
  std::size_t GatherValueLine(std::size_t index, std::size_t first, LogicalLine* value) {
    QuoteTracker quotes;
    std::u16string piece = lines_[index].text.substr(first);
    for (;;) {
      const std::size_t from = value->text().size();
      value->Append(TrimRight(piece), lines_[index].number);
      quotes.Feed(value->text(), from);
      if (quotes.inside()) Fail(lines_[index].number, "unterminated string");
      ++index;
      if (value->text().empty() || value->text().back() != u'\\') return index;
      value->DropLast();
      if (index == lines_.size()) return index;
      const std::u16string& next = lines_[index].text;
      std::size_t skip = 0;
      while (skip < next.size() && IsBlank(next[skip])) ++skip;
      piece = next.substr(skip);
    }
  }

  void ParseValueLine(const LogicalLine& value) {
    const std::u16string& text = value.text();
    if (!haveKey_) Fail(value.LineAt(0), "value outside a key section");
    std::u16string name;
    std::size_t pos = 1;
    if (text[0] == u'"') pos = ReadQuoted(value, 0, &name);
    if (name.size() > kMaxValueNameLength) Fail(value.LineAt(0), "value name longer than 16383 characters");
    pos = SkipBlanks(text, pos);
    if (pos == text.size() || text[pos] != u'=') Fail(value.LineAt(pos), "expected '=' after the value name");
    pos = SkipBlanks(text, pos + 1);

    RegFileChange change;
    change.key = currentKey_;
    change.valueName = name;
    change.kind = RegFileChange::kSetValue;
    if (pos < text.size() && text[pos] == u'-' && SkipBlanks(text, pos + 1) == text.size()) {
      change.kind = RegFileChange::kDeleteValue;
    } else if (pos < text.size() && text[pos] == u'"') {
      std::u16string data;
      pos = ReadQuoted(value, pos, &data);
      ExpectEnd(value, pos);
      change.type = REG_SZ_TYPE;
      change.data = Utf16LeBytes(data + u'\0');
    } else if (HasPrefix(text, pos, u"dword:")) {
      change.type = REG_DWORD_TYPE;
      change.data = ReadDword(value, pos + 6);
    } else if (HasPrefix(text, pos, u"hex")) {
      pos = ReadHexType(value, pos + 3, &change.type);
      change.data = ReadHexBytes(value, pos);
      if (regedit4_ && IsStringType(change.type)) change.data = AnsiBytesToUtf16(change.data);
    } else {
      Fail(value.LineAt(pos), "unrecognised value data " + Quote(text.substr(pos)));
    }
    changes_.push_back(std::move(change));
  }

  static std::size_t SkipBlanks(const std::u16string& text, std::size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    return pos;
  }

  static bool HasPrefix(const std::u16string& text, std::size_t pos, const std::u16string& prefix) {
    return pos <= text.size() && text.size() - pos >= prefix.size() &&
           text::EqualNoCase(text.substr(pos, prefix.size()), prefix);
  }

  static bool IsStringType(std::uint32_t type) {
    return type == REG_SZ_TYPE || type == REG_EXPAND_SZ_TYPE || type == REG_MULTI_SZ_TYPE;
  }

  static void ExpectEnd(const LogicalLine& value, std::size_t pos) {
    pos = SkipBlanks(value.text(), pos);
    if (pos != value.text().size())
      Fail(value.LineAt(pos), "unexpected text after the value " + Quote(value.text().substr(pos)));
  }

  // A string in double quotes starting at `pos`; returns the position after its closing quote.
  static std::size_t ReadQuoted(const LogicalLine& value, std::size_t pos, std::u16string* result) {
    const std::u16string& text = value.text();
    for (std::size_t i = pos + 1; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (c == u'\\' && i + 1 < text.size() && (text[i + 1] == u'"' || text[i + 1] == u'\\')) {
        result->push_back(text[++i]);
      } else if (c == u'"') {
        return i + 1;
      } else {
        result->push_back(c);
      }
    }
    Fail(value.LineAt(pos), "unterminated string");
  }

  static std::vector<std::uint8_t> ReadDword(const LogicalLine& value, std::size_t pos) {
    const std::u16string& text = value.text();
    std::size_t end = pos;
    std::uint32_t number = 0;
    while (end < text.size() && HexDigit(text[end]) >= 0 && end - pos < 9) {
      number = (number << 4) | static_cast<std::uint32_t>(HexDigit(text[end]));
      ++end;
    }
    if (end == pos || end - pos > 8 || SkipBlanks(text, end) != text.size())
      Fail(value.LineAt(pos), "bad dword " + Quote(text.substr(pos)));
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
  }

  // After "hex": either ":" (REG_BINARY) or "(N):"; returns the position after the colon.
  static std::size_t ReadHexType(const LogicalLine& value, std::size_t pos, std::uint32_t* type) {
    const std::u16string& text = value.text();
    if (pos < text.size() && text[pos] == u':') {
      *type = REG_BINARY_TYPE;
      return pos + 1;
    }
    std::size_t end = pos + 1;
    std::uint32_t number = 0;
    const bool open = pos < text.size() && text[pos] == u'(';
    while (open && end < text.size() && HexDigit(text[end]) >= 0 && end - pos <= 8) {
      number = (number << 4) | static_cast<std::uint32_t>(HexDigit(text[end]));
      ++end;
    }
    // `end` lies past the text when the line stops right after "hex".
    const bool closed = end + 2 <= text.size() && text[end] == u')' && text[end + 1] == u':';
    if (!open || end == pos + 1 || !closed) {
      const std::size_t colon = text.find(u':', pos);
      const std::size_t length = colon == std::u16string::npos ? colon : colon - pos;
      Fail(value.LineAt(pos), "bad value type " + Quote(u"hex" + text.substr(pos, length)));
    }
    *type = number;
    return end + 2;
  }

  // Bytes of one or two hex digits separated by commas, with blanks allowed around them and one trailing
  // comma allowed.
  static std::vector<std::uint8_t> ReadHexBytes(const LogicalLine& value, std::size_t pos) {
    const std::u16string& text = value.text();
    std::vector<std::uint8_t> bytes;
    pos = SkipBlanks(text, pos);
    while (pos < text.size()) {
      std::size_t end = pos;
      while (end < text.size() && HexDigit(text[end]) >= 0) ++end;
      const std::size_t after = SkipBlanks(text, end);
      if (end == pos || end - pos > 2 || (after < text.size() && text[after] != u',')) {
        const std::size_t comma = text.find(u',', pos);
        const std::size_t length = comma == std::u16string::npos ? comma : comma - pos;
        Fail(value.LineAt(pos), "bad hex byte " + Quote(TrimRight(text.substr(pos, length))));
      }
      std::uint32_t byte = 0;
      for (std::size_t i = pos; i < end; ++i) byte = (byte << 4) | static_cast<std::uint32_t>(HexDigit(text[i]));
      bytes.push_back(static_cast<std::uint8_t>(byte));
      pos = after < text.size() ? SkipBlanks(text, after + 1) : after;
    }
    return bytes;
  }

  static std::vector<std::uint8_t> AnsiBytesToUtf16(const std::vector<std::uint8_t>& bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (std::uint8_t b : bytes) text.push_back(text::AnsiToUnit(b));
    return Utf16LeBytes(text);
  }

  std::vector<Line> lines_;
  std::vector<RegFileChange> changes_;
  bool regedit4_ = false;
  bool haveKey_ = false;
  KeyPath currentKey_;
};

// Parses a file. On a fault returns false with "line N: what is wrong" in `error`.
bool ParseRegFile(const std::string& bytes, std::vector<RegFileChange>* changes, std::string* error) {
  try {
    *changes = Parser(SplitLines(DecodeFile(bytes))).Run();
    return true;
  } catch (const Fault& fault) {
    if (error) *error = "line " + std::to_string(fault.line) + ": " + fault.message;
    return false;
  }
}

// Applies parsed changes in order.
void ApplyRegFileChanges(const std::vector<RegFileChange>& changes, RegistryTree* tree) {
  for (const RegFileChange& change : changes) {
    switch (change.kind) {
      case RegFileChange::kCreateKey: tree->Create(change.key); break;
      case RegFileChange::kDeleteKey: tree->Delete(change.key); break;
      case RegFileChange::kSetValue:
        if (auto node = tree->Create(change.key)) node->SetValue(change.valueName, change.type, change.data);
        break;
      case RegFileChange::kDeleteValue:
        if (auto node = tree->Find(change.key)) node->DeleteValue(change.valueName);
        break;
    }
  }
}

}  // namespace
}  // namespace memreg

bool LoadRegFile(MemoryRegistry& registry, const std::string& fileBytes, std::string* error) {
  std::vector<memreg::RegFileChange> changes;
  if (!memreg::ParseRegFile(fileBytes, &changes, error)) return false;
  registry.EditTree([&changes](memreg::RegistryTree& tree) { memreg::ApplyRegFileChanges(changes, &tree); });
  return true;
}

bool LoadRegFileFromPath(MemoryRegistry& registry, const std::string& path, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error) *error = "cannot open " + path;
    return false;
  }
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  return LoadRegFile(registry, bytes, error);
}

}  // namespace kv
