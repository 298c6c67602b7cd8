#include "app/logic/html_help.h"

#include "support/registry.h"

namespace kv {

std::string HtmlHelpEnginePath(Platform& platform) {
  std::string path;
  TRegistry registry(platform);
  registry.SetRootKey(HKEY_CLASSES_ROOT_CODE);
  if (registry.OpenKeyReadOnly(kHtmlHelpServerKey)) {
    // A default value of another type than a string raises ERegistryException: no engine then.
    try {
      path = registry.ReadString("");
    } catch (const ERegistryException&) {
      path.clear();
    }
    registry.CloseKey();
  }
  if (!path.empty()) {
    const std::uint32_t attributes = platform.files.GetAttributes(path);
    if (attributes == kInvalidFileAttributes || (attributes & kAttrDirectory) != 0) path.clear();
  }
  return path;
}

std::string HelpTopicPath(const std::string& programFolder, const std::string& topic) {
  return programFolder + "Help.chm::/Contents/" + topic;
}

}  // namespace kv
