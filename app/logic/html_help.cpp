#include "app/logic/html_help.h"

namespace kv {

std::string HtmlHelpEnginePath(Platform& platform) {
  std::string folder = platform.system.SystemDirectory();
  // Only a full path on a drive: the search of a bare or relative name could find another file.
  const bool onADrive = folder.size() >= 3 && folder[1] == ':' && folder[2] == '\\' &&
                        ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z'));
  if (!onADrive) return "";
  if (folder.back() != '\\') folder += '\\';
  const std::string path = folder + kHtmlHelpEngineFile;
  const std::uint32_t attributes = platform.files.GetAttributes(path);
  if (attributes == kInvalidFileAttributes || (attributes & kAttrDirectory) != 0) return "";
  return path;
}

std::string HelpTopicPath(const std::string& programFolder, const std::string& topic) {
  return programFolder + "Help.chm::/Contents/" + topic;
}

}  // namespace kv
