// The shortcut reader: the target of each kind of link, and any cut of a link read safely.
#include "platform/offline/shell_link.h"

#include <gtest/gtest.h>

#include "tests/offline/offline_fixture.h"

namespace kv::offline {
namespace {

struct LinkCase {
  const char* file;
  LinkParse parse;
  const char* target;
};

// The links of the fuzz seeds, one of each kind.
const LinkCase kLinks[] = {
    {"local_ansi.lnk", LinkParse::kPath, "C:\\Program Files\\Lumen Notes\\lumen.exe"},
    {"local_suffix.lnk", LinkParse::kPath, "C:\\Program Files\\Quillpad\\quill.exe"},
    // The UTF-16 form of the path wins over the 8-bit one.
    {"local_unicode.lnk", LinkParse::kPath,
     "C:\\Programme\\\xC3\x9C"
     "ber\\x.exe"},
    // The network form wins over the local one, as GetPath's UNC priority asks.
    {"network.lnk", LinkParse::kPath, "\\\\server\\share\\tools\\run.exe"},
    // No location information: the drive and the long names of the item list.
    {"idlist.lnk", LinkParse::kPath, "C:\\Program Files\\tessel viewer.exe"},
    // A link to a shell item (My Computer) has no path.
    {"shell_item.lnk", LinkParse::kNoPath, ""},
};

TEST(ShellLink, TargetOfEachKindOfLink) {
  for (const LinkCase& c : kLinks) {
    const std::string bytes = test::ReadAll(test::SourceDir() + "/fuzz/corpus/shell_link/" + c.file);
    ASSERT_FALSE(bytes.empty()) << c.file;
    std::string target = "unset";
    EXPECT_EQ(ReadShellLink(bytes, &target), c.parse) << c.file;
    EXPECT_EQ(target, c.target) << c.file;
  }
}

TEST(ShellLink, EveryCutOfALinkIsReadSafely) {
  for (const LinkCase& c : kLinks) {
    const std::string bytes = test::ReadAll(test::SourceDir() + "/fuzz/corpus/shell_link/" + c.file);
    for (std::size_t size = 0; size < bytes.size(); ++size) {
      std::string target = "unset";
      const LinkParse parse = ReadShellLink(bytes.substr(0, size), &target);
      if (size < 0x4C) {
        EXPECT_EQ(parse, LinkParse::kInvalid) << c.file << " cut to " << size;
      }
      if (parse == LinkParse::kInvalid) {
        EXPECT_EQ(target, "unset") << c.file << " cut to " << size;
      } else if (parse == LinkParse::kPath) {
        EXPECT_FALSE(target.empty()) << c.file << " cut to " << size;
      }
    }
  }
}

TEST(ShellLink, NotALink) {
  const std::string cases[] = {"", "L", std::string(0x4C, '\0'), std::string("\x4C\0\0\0", 4) + std::string(0x48, 'x'),
                               "[InternetShortcut]\r\nURL=http://example.com/\r\n"};
  for (const std::string& bytes : cases) {
    std::string target = "unset";
    EXPECT_EQ(ReadShellLink(bytes, &target), LinkParse::kInvalid) << bytes.size() << " bytes";
    EXPECT_EQ(target, "unset");
  }
}

}  // namespace
}  // namespace kv::offline
