#include "scan/search_lists.h"

#include <algorithm>

namespace kv {
namespace {

// Appends the ";"-separated pieces of `rest`. Folders: every piece counts, the empty one after a closing
// ";" too (it becomes "\\"); extensions: the text after the last ";" only when there is some.
void AppendPieces(std::string rest, std::vector<std::string>& list, bool asFolder) {
  auto add = [&](std::string piece) {
    if (asFolder && (piece.empty() || piece.back() != '\\')) piece += '\\';
    list.push_back(LowerAscii(std::move(piece)));
  };
  const bool closingDelimiter = !rest.empty() && rest.back() == ';';
  std::string piece;
  while (rest.find(';') != std::string::npos) {
    CutToken(rest, ';', piece);
    add(piece);
  }
  if (!rest.empty() || (asFolder && closingDelimiter)) add(rest);
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::any_of(list.begin(), list.end(), [&](const std::string& s) { return SameText(s, item); });
}

}  // namespace

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

std::vector<std::string> BuildSearchDirs(Platform& platform) {
  std::vector<std::string> dirs;
  std::string systemDir = platform.system.SystemDirectory();
  std::string windowsDir = platform.system.WindowsDirectory();
  std::string path;
  if (!platform.system.GetEnvironment("Path", &path)) path.clear();
  AppendPieces(path, dirs, true);
  for (std::string folder : {systemDir, windowsDir}) {
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    folder = LowerAscii(folder);
    if (!Contains(dirs, folder)) dirs.push_back(folder);
  }
  return dirs;
}

std::vector<std::string> BuildExeExtensions(Platform& platform) {
  std::vector<std::string> extensions;
  std::string pathExt;
  if (!platform.system.GetEnvironment("PathExt", &pathExt)) pathExt.clear();
  AppendPieces(Trim(pathExt), extensions, false);
  for (const char* ext : {".dll", ".exe", ".com"}) {
    if (!Contains(extensions, ext)) extensions.push_back(ext);
  }
  return extensions;
}

}  // namespace kv
