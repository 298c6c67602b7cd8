// The icon index of a "DefaultIcon" value ("file,index"), and how it is taken off.
#pragma once

#include <string>

namespace kv {

// The file part of an icon location: without a comma the text as it is; otherwise the text before its
// last comma, where leading empty pieces are dropped (",,x.dll,1" gives "x.dll", ",,3" gives "").
std::string RemoveIconIndex(std::string iconLocation);

// The file an icon value refers to. An indirect string names a resource: "@{...}" one of a packaged
// application, which is not a file at all (empty); "@file,-id" one in a file, which is the file. Any other
// value is an icon location.
std::string IconFile(const std::string& iconValue);

}  // namespace kv
