// The file system of an installation offline: names found without regard to case on a case-sensitive
// folder tree, short names, searches, links never followed, and drives that are not mapped.
#include "platform/offline/host_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/handles.h"
#include "tests/offline/offline_fixture.h"

namespace kv::offline {
namespace {

class HostFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file :
         {"Windows/System32/cmd.exe", "Program Files/Lumen Notes/lumen.exe",
          "Program Files/Lumen Notes/Read Me First.txt", "Program Files/Lumen Notes/Read Me Later.txt",
          "Program Files (x86)/old.exe", "MixedCase/UPPER.TXT", "MixedCase/upper.txt"})
      root_.Add(file, true);
    root_.Add("Windows/Fonts");
    outside_.Add("secret/passwd", true);
    data_.Add("Data/report.doc", true);
    // Links: one out of the tree, one to a folder inside it, one to a file inside it.
    ::symlink((outside_.path() + "/secret").c_str(), (root_.path() + "/escape").c_str());
    ::symlink("Windows", (root_.path() + "/inner").c_str());
    ::symlink("../Windows/System32/cmd.exe", (root_.path() + "/MixedCase/cmd.lnk.exe").c_str());
    std::string error;
    ASSERT_TRUE(files_.MapDrive('C', root_.path(), &error)) << error;
  }

  test::ScratchFolder root_, outside_, data_;
  HostFileSystem files_;
};

TEST_F(HostFilesTest, AttributesOfNamesInAnyCase) {
  struct Case {
    const char* path;
    std::uint32_t attributes;
  };
  const Case cases[] = {
      {"C:\\Windows\\System32\\cmd.exe", kAttrArchive},
      {"c:\\WINDOWS\\system32\\CMD.EXE", kAttrArchive},
      {"C:/windows/system32/cmd.exe", kAttrArchive},
      {"C:\\Windows\\System32\\..\\System32\\.\\cmd.exe", kAttrArchive},
      {"C:\\Windows\\System32\\cmd.exe.", kAttrArchive},  // trailing dots go, as Windows drops them
      {"C:\\Windows\\Fonts", kAttrDirectory},
      {"C:\\Windows\\Fonts\\", kAttrDirectory},
      {"C:\\", kAttrDirectory},
      {"C:\\Windows\\System32\\cmd.exe\\", kInvalidFileAttributes},
      {"C:\\Windows\\System32\\notepad.exe", kInvalidFileAttributes},
      {"C:\\Windows\\System32\\cmd.exe\\more", kInvalidFileAttributes},
      {"C:\\Windows\\System3?\\cmd.exe", kInvalidFileAttributes},
      {"", kInvalidFileAttributes},
      // Short names, as generated for names that need one.
      {"C:\\PROGRA~1\\LUMENN~1\\lumen.exe", kAttrArchive},
      {"C:\\progra~2\\old.exe", kAttrArchive},
      {"C:\\Program Files\\Lumen Notes\\README~1.TXT", kAttrArchive},
      {"C:\\Program Files\\Lumen Notes\\README~2.TXT", kAttrArchive},
      {"C:\\Program Files\\Lumen Notes\\README~3.TXT", kInvalidFileAttributes},
      // Two names that differ only in case: one of them is seen.
      {"C:\\MixedCase\\upper.txt", kAttrArchive},
      // A link out of the tree leads nowhere; links inside it are followed (see LinksInTheTree).
      {"C:\\escape", kAttrArchive | 0x400},
      {"C:\\escape\\passwd", kInvalidFileAttributes},
      {"C:\\inner\\System32\\cmd.exe", kAttrArchive},
      {"C:\\MixedCase\\cmd.lnk.exe", kAttrArchive | 0x400},
      // A drive that is not mapped holds nothing that can be looked at.
      {"D:\\Data\\report.doc", kInvalidFileAttributes},
  };
  for (const Case& c : cases) EXPECT_EQ(files_.GetAttributes(c.path), c.attributes) << c.path;
}

TEST_F(HostFilesTest, SearchesAndShortPaths) {
  auto search = [&](const std::string& pattern) {
    std::string names;
    FindEntry entry;
    UniqueFind find(files_, files_.FindFirst(pattern, &entry));
    if (!find) return std::string("(none)");
    do names += entry.name + ";";
    while (files_.FindNext(find.get(), &entry));
    return names;
  };
  struct Case {
    const char* pattern;
    const char* names;
  };
  const Case cases[] = {
      {"C:\\program files\\lumen notes\\*.exe", "lumen.exe;"},
      // In the order NTFS keeps names: upper-cased.
      {"C:\\Program Files\\Lumen Notes\\*", ".;..;lumen.exe;Read Me First.txt;Read Me Later.txt;"},
      {"C:\\Program Files\\Lumen Notes\\READ*~2.*", "Read Me Later.txt;"},
      {"C:\\WINDOWS\\SYSTEM32\\CMD.EXE", "cmd.exe;"},
      {"C:\\Windows\\*\\cmd.exe", "(none)"},
      {"C:\\escape\\*", "(none)"},
      {"C:\\nowhere\\*", "(none)"},
  };
  for (const Case& c : cases) EXPECT_EQ(search(c.pattern), c.names) << c.pattern;

  struct PathCase {
    const char* path;
    const char* shortPath;
  };
  const PathCase paths[] = {
      {"C:\\Program Files\\Lumen Notes\\lumen.exe", "C:\\PROGRA~1\\LUMENN~1\\lumen.exe"},
      {"c:\\program files (x86)\\old.exe", "c:\\PROGRA~2\\old.exe"},
      {"C:\\Windows\\System32", "C:\\Windows\\System32"},
      {"C:\\Windows\\missing.exe", ""},
  };
  for (const PathCase& c : paths) {
    char buffer[260] = {};
    const std::uint32_t n = files_.ShortPathName(c.path, sizeof buffer, buffer);
    EXPECT_EQ(std::string(buffer, n), c.shortPath) << c.path;
  }
}

TEST_F(HostFilesTest, OnlyTheTreeIsRead) {
  std::string bytes;
  test::WriteAll(root_.path() + "/Windows/System32/cmd.exe", "MZ");
  EXPECT_TRUE(files_.ReadFile("c:\\windows\\system32\\CMD.exe", 1024, &bytes));
  EXPECT_EQ(bytes, "MZ");
  EXPECT_FALSE(files_.ReadFile("C:\\Windows\\System32\\cmd.exe", 1, &bytes)) << "larger than asked";
  EXPECT_FALSE(files_.ReadFile("C:\\escape\\passwd", 1024, &bytes));
  EXPECT_TRUE(files_.ReadFile("C:\\MixedCase\\cmd.lnk.exe", 1024, &bytes)) << "a link to a file of the tree";
  EXPECT_EQ(bytes, "MZ");
  EXPECT_FALSE(files_.ReadFile("C:\\Windows", 1024, &bytes));
  ASSERT_EQ(::mkfifo((root_.path() + "/Windows/pipe.dat").c_str(), 0644), 0);
  files_.Refresh();
  EXPECT_FALSE(files_.ReadFile("C:\\Windows\\pipe.dat", 1024, &bytes)) << "a pipe is not waited on";
  EXPECT_EQ(files_.HostPath("C:\\WINDOWS\\system32\\cmd.exe"), root_.path() + "/Windows/System32/cmd.exe");
  EXPECT_EQ(files_.HostPath("C:\\escape\\passwd"), "");
}

// Links as ntfs-3g shows junctions and symbolic links: followed by name while they stay in the tree
// (relative, or absolute below the drive's own folder), never out of it, never round a loop.
TEST_F(HostFilesTest, LinksInTheTree) {
  root_.Add("Users/Public/desk.ini", true);
  root_.Add("ProgramData/App/cfg.txt", true);
  test::WriteAll(root_.path() + "/Windows/System32/cmd.exe", "MZ");
  const std::string outsideName = outside_.path().substr(outside_.path().rfind('/') + 1);
  const std::pair<const char*, std::string> links[] = {
      {"Documents and Settings", root_.path() + "/Users"},  // a junction as ntfs-3g writes it
      {"Users/All Users", "../ProgramData"},
      {"Users/Public/cmd.exe", "../../Windows/System32/cmd.exe"},
      {"chain", "Documents and Settings"},      // a link to a link
      {"up", "../" + outsideName + "/secret"},  // ".." out of the tree
      {"Users/deep", "../../../" + outsideName + "/secret"},
      {"hostabs", outside_.path() + "/secret"},       // the host's own folders
      {"rootabs", "/Windows"},                        // absolute, not below the drive's folder
      {"other", root_.path() + "/.NTFS-3G/D:/Data"},  // ntfs-3g: a junction to another volume
      {"loop1", "loop2"},
      {"loop2", "loop1"},
      {"self", "./self"},
      {"dangling", "Windows/missing"},
  };
  for (const auto& [link, target] : links)
    ASSERT_EQ(::symlink(target.c_str(), (root_.path() + "/" + link).c_str()), 0) << link;
  files_.Refresh();

  struct Case {
    const char* path;
    std::uint32_t attributes;
  };
  const std::uint32_t kLinkToFolder = kAttrDirectory | 0x400, kLink = kAttrArchive | 0x400;
  const Case cases[] = {
      {"C:\\Documents and Settings", kLinkToFolder},
      {"C:\\documents and settings\\", kLinkToFolder},
      {"C:\\Documents and Settings\\Public\\desk.ini", kAttrArchive},
      {"C:\\DOCUME~1\\PUBLIC\\DESK.INI", kAttrArchive},
      {"C:\\Users\\All Users", kLinkToFolder},
      {"C:\\Users\\All Users\\app\\CFG.TXT", kAttrArchive},
      {"C:\\Users\\Public\\cmd.exe", kLink},  // a link to a file
      {"C:\\Users\\Public\\cmd.exe\\", kInvalidFileAttributes},
      {"C:\\Users\\Public\\cmd.exe\\more", kInvalidFileAttributes},
      {"C:\\chain", kLinkToFolder},
      {"C:\\chain\\All Users\\App\\cfg.txt", kAttrArchive},
      {"C:\\up", kLink},
      {"C:\\up\\passwd", kInvalidFileAttributes},
      {"C:\\Users\\deep\\passwd", kInvalidFileAttributes},
      {"C:\\hostabs\\passwd", kInvalidFileAttributes},
      {"C:\\rootabs\\System32\\cmd.exe", kInvalidFileAttributes},
      {"C:\\other\\report.doc", kInvalidFileAttributes},
      {"C:\\loop1", kLink},
      {"C:\\loop1\\x", kInvalidFileAttributes},
      {"C:\\self\\x", kInvalidFileAttributes},
      {"C:\\dangling", kLink},
      {"C:\\dangling\\x", kInvalidFileAttributes},
  };
  for (const Case& c : cases) EXPECT_EQ(files_.GetAttributes(c.path), c.attributes) << c.path;

  struct ReadCase {
    const char* path;
    bool read;
  };
  const ReadCase reads[] = {
      {"C:\\Users\\Public\\cmd.exe", true},
      {"C:\\chain\\Public\\cmd.exe", true},
      {"C:\\up\\passwd", false},
      {"C:\\hostabs\\passwd", false},
      {"C:\\Documents and Settings", false},
      {"C:\\loop1", false},
      {"C:\\dangling", false},
  };
  for (const ReadCase& c : reads) {
    std::string bytes;
    EXPECT_EQ(files_.ReadFile(c.path, 1024, &bytes), c.read) << c.path;
    if (c.read) {
      EXPECT_EQ(bytes, "MZ") << c.path;
    }
  }
  EXPECT_EQ(files_.HostPath("C:\\Documents and Settings\\Public\\desk.ini"), root_.path() + "/Users/Public/desk.ini");
  // A drive that is the whole host (as Wine's Z: is) holds every absolute target.
  std::string error;
  ASSERT_TRUE(files_.MapDrive('R', "/", &error)) << error;
  std::string onR = "R:" + root_.path() + "/Documents and Settings/Public/desk.ini";
  for (char& c : onR)
    if (c == '/') c = '\\';
  EXPECT_EQ(files_.GetAttributes(onR), kAttrArchive) << onR;

  // A listing shows each link as Windows lists a reparse point, and a folder through a link as itself.
  auto list = [&](const std::string& pattern) {
    std::string names;
    FindEntry entry;
    UniqueFind find(files_, files_.FindFirst(pattern, &entry));
    if (!find) return std::string("(none)");
    do names += entry.name + "=" + std::to_string(entry.attributes) + ";";
    while (files_.FindNext(find.get(), &entry));
    return names;
  };
  EXPECT_EQ(list("C:\\Users\\*"), ".=16;..=16;All Users=1040;deep=1056;Public=16;");
  EXPECT_EQ(list("C:\\Documents and Settings\\Public\\*"), ".=16;..=16;cmd.exe=1056;desk.ini=32;");
  EXPECT_EQ(list("C:\\loop*"), "loop1=1056;loop2=1056;");
}

TEST_F(HostFilesTest, DrivesThatAreNotMapped) {
  files_.MarkUncheckable('d');  // the installation has a drive D:, not here
  EXPECT_EQ(files_.DriveType("C:\\"), kDriveFixed);
  EXPECT_EQ(files_.DriveType("E:\\"), kDriveNoRootDir);  // a drive it does not have
  EXPECT_EQ(files_.GetAttributes("E:\\x.exe"), kInvalidFileAttributes);
  // Known but not here: not on the network, and nothing there is looked at.
  EXPECT_EQ(files_.DriveType("D:\\"), kDriveNotExaminable);
  EXPECT_EQ(files_.GetAttributes("D:\\Data\\report.doc"), kInvalidFileAttributes);
  EXPECT_EQ(files_.FindNetworkFile("\\\\server\\share\\x.exe", 3000), NetworkFileAnswer::kNoAnswer);
  EXPECT_EQ(files_.Unchecked(), (std::vector<std::string>{"D:", "\\\\server\\share\\x.exe"}));

  std::string error;
  ASSERT_TRUE(files_.MapDrive('d', data_.path(), &error)) << error;
  EXPECT_EQ(files_.DriveType("D:\\"), kDriveFixed);
  EXPECT_EQ(files_.GetAttributes("d:\\DATA\\Report.doc"), kAttrArchive);
  EXPECT_FALSE(files_.MapDrive('E', root_.path() + "/nowhere", &error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

}  // namespace
}  // namespace kv::offline
