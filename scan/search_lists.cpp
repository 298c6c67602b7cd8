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
