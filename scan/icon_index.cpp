#include "scan/icon_index.h"

#include "scan/search_lists.h"

namespace kv {

// Cuts the text at each comma and joins the pieces again, all but the last (the icon index). Pieces are
// joined with the commas between them, so a file path that holds commas of its own keeps them; only while
// the joined text is still empty is a piece taken alone, which drops commas that lead the text.
std::string RemoveIconIndex(std::string iconLocation) {
  if (iconLocation.find(',') == std::string::npos) return iconLocation;
  std::string file;
  std::string piece;
  while (iconLocation.find(',') != std::string::npos) {
    CutToken(iconLocation, ',', piece);
    if (file.empty()) {
      file = piece;
    } else {
      file += ',';
      file += piece;
    }
  }
  return file;
}

}  // namespace kv
