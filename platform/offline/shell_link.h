// A reader of shortcut (.lnk) files, for a machine where no shell can load them: the path a link
// points to, as the shell link object's GetPath gives it with the network form first. The file is
// untrusted bytes; every offset and length in it is checked before it is used.
#pragma once

#include <string>

namespace kv::offline {

enum class LinkParse {
  kPath,     // a target path was found (in `target`)
  kNoPath,   // a well-formed link to something without a file-system path (`target` empty)
  kInvalid,  // not a shortcut file
};

// The target, from the link's location information (its UNC form before its local one) or, lacking
// that, from its item list (a drive and the folders and file below it). Text is UTF-8; the 8-bit
// strings of a link are read in Windows-1252.
LinkParse ReadShellLink(const std::string& bytes, std::string* target);

}  // namespace kv::offline
