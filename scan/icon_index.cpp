#include "scan/icon_index.h"

namespace kv {

// The file part of an icon location: the text cut at each comma and joined again, all but the last piece
// (the icon index). Pieces are joined with the commas between them, so a file path that holds commas of
// its own keeps them; only while the joined text is still empty is a piece taken alone, which drops commas
// that lead the text. That is the text before its last comma, less its leading commas: found in one pass,
// so that a value of a million commas costs no more than its length.
std::string RemoveIconIndex(std::string iconLocation) {
  const std::size_t last = iconLocation.rfind(',');
  if (last == std::string::npos) return iconLocation;
  iconLocation.erase(last);
  iconLocation.erase(0, iconLocation.find_first_not_of(','));
  return iconLocation;
}

std::string IconFile(const std::string& iconValue) {
  if (iconValue.compare(0, 2, "@{") == 0) return std::string();
  if (!iconValue.empty() && iconValue[0] == '@') return RemoveIconIndex(iconValue.substr(1));
  return RemoveIconIndex(iconValue);
}

}  // namespace kv
