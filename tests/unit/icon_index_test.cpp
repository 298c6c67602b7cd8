// Taking the icon index off a "DefaultIcon" value.
#include <gtest/gtest.h>

#include "scan/icon_index.h"

namespace kv::testing {
namespace {

TEST(RemoveIconIndex, KeepsTheFileBeforeTheLastComma) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\WINDOWS\\system32\\shell32.dll,-154", "C:\\WINDOWS\\system32\\shell32.dll"},
      {"C:\\WINDOWS\\notepad.exe,0", "C:\\WINDOWS\\notepad.exe"},
      {"C:\\WINDOWS\\notepad.exe", "C:\\WINDOWS\\notepad.exe"},  // no index: as it is
      {"\"C:\\Program Files\\App\\app.exe\",1", "\"C:\\Program Files\\App\\app.exe\""},
      {"C:\\a,b\\icons,old.dll,3", "C:\\a,b\\icons,old.dll"},  // commas of the path stay
      {"C:\\a,,b.dll,3", "C:\\a,,b.dll"},                      // empty pieces inside stay
      {",C:\\x.dll,1", "C:\\x.dll"},                           // a leading comma goes
      {",,,C:\\x.dll,1", "C:\\x.dll"},
      {",5", ""},  // only commas and an index
      {",,,-3", ""},
      {",", ""},
      {"C:\\x.dll,", "C:\\x.dll"},  // an empty index
      {"x.dll,1,2", "x.dll,1"},
      {"{00021401-0000-0000-C000-000000000046}", "{00021401-0000-0000-C000-000000000046}"},
      {"", ""},
  };
  for (const auto& [text, file] : cases) EXPECT_EQ(RemoveIconIndex(text), file) << "icon location: " << text;
}

}  // namespace
}  // namespace kv::testing
