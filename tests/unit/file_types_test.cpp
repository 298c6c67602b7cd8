// The file extensions under HKEY_CLASSES_ROOT, the file types they name with their commands and icons,
// and the current user's choices of program per extension.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "scan/sections/file_types.h"
#include "tests/testing/section_test.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kClasses = "HKEY_CLASSES_ROOT\\";
const std::string kFileExts = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
// What a fault reads when the section's accessor has no key open.
const std::string kRootFault = "HKEY_CLASSES_ROOT\\";

class FileTypes : public SectionTest {
 protected:
  void SetUp() override {
    for (const char* file : {"C:\\Apps\\viewer.exe", "C:\\WINDOWS\\notepad.exe", "C:\\WINDOWS\\system32\\shell32.dll",
                             "C:\\Odd,Folder\\icons.dll"})
      memory_.files.AddFile(file);
  }

  void Extension(const std::string& extension, const std::string& type) {
    registry().SetString(kClasses + extension, "", type);
  }
  void Command(const std::string& type, const std::string& verb, const std::string& command) {
    registry().SetString(kClasses + type + "\\shell\\" + verb + "\\command", "", command);
  }
  void Icon(const std::string& type, const std::string& icon) {
    registry().SetString(kClasses + type + "\\DefaultIcon", "", icon);
  }
  void UserChoice(const std::string& extension, const std::string& program) {
    registry().SetString(kFileExts + extension, "Application", program);
  }

  Strings Scan() {
    section_.reset();
    section_ = std::make_unique<TFileExtCommands>(Load());
    return SectionTest::Scan(*section_).list;
  }

  std::unique_ptr<TFileExtCommands> section_;
};

TEST_F(FileTypes, JudgesTheCommandOfAVerb) {
  struct Case {
    std::string what;
    std::optional<std::string> defaultValue;  // of shell\open\command; nullopt: no such value
    std::optional<std::string> commandValue;  // the value named "command"
    bool faulty;
    std::optional<std::string> delegateExecute = std::nullopt;  // the value named "DelegateExecute"
  };
  const std::string registered = "{11dbb47c-a525-400b-9e80-a54615a090c0}";
  const std::string unregistered = "{00000000-1111-2222-3333-444444444444}";
  const std::vector<Case> cases = {
      {"an existing program", "\"C:\\Apps\\viewer.exe\" \"%1\"", std::nullopt, false},
      {"a program found on the search path", "notepad %1", std::nullopt, false},
      {"a missing program", "C:\\Apps\\gone.exe \"%1\"", std::nullopt, true},
      {"an unfilled template", "%1", std::nullopt, false},
      {"an unfilled template with arguments", "%1 %*", std::nullopt, false},
      {"explorer", "explorer", std::nullopt, false},
      {"Explorer", "Explorer", std::nullopt, false},
      {"EXPLORER", "EXPLORER", std::nullopt, false},
      {"rundll32", "rundll32", std::nullopt, false},
      {"RUNDLL32", "RUNDLL32", std::nullopt, false},
      {"RunDll32", "RunDll32", std::nullopt, false},
      {"a marked command", "G@6!!C:\\Apps\\gone.exe", std::nullopt, false},
      {"an empty command", "", std::nullopt, false},
      {"no value at all", std::nullopt, std::nullopt, true},
      {"only a \"command\" value that can be run", std::nullopt, "%1", false},
      {"only a \"command\" value naming a missing program", std::nullopt, "C:\\Apps\\gone.exe", true},
      {"a missing program and a \"command\" value that can be run", "C:\\Apps\\gone.exe", "%1", false},
      // No command, the verb handed to a class: sound when the class is registered.
      {"DelegateExecute naming a registered class", std::nullopt, std::nullopt, false, registered},
      {"DelegateExecute naming an unregistered class", std::nullopt, std::nullopt, true, unregistered},
      {"DelegateExecute that is no class identifier", std::nullopt, std::nullopt, true, "C:\\Apps\\viewer.exe"},
      {"an empty DelegateExecute", std::nullopt, std::nullopt, true, ""},
      {"a missing program beside DelegateExecute", "C:\\Apps\\gone.exe", std::nullopt, true, registered},
  };
  registry().CreateKey(kClasses + "CLSID\\" + registered);
  const std::string commandKey = kClasses + "txtfile\\shell\\open\\command";
  for (const Case& c : cases) {
    registry().DeleteKey(kClasses + "txtfile");
    Extension(".txt", "txtfile");
    registry().CreateKey(commandKey);
    if (c.defaultValue) registry().SetString(commandKey, "", *c.defaultValue);
    if (c.commandValue) registry().SetString(commandKey, "command", *c.commandValue);
    if (c.delegateExecute) registry().SetString(commandKey, "DelegateExecute", *c.delegateExecute);
    const Strings expected = c.faulty ? Strings{commandKey} : Strings{};
    EXPECT_EQ(Scan(), expected) << c.what;
  }
}

TEST_F(FileTypes, AVerbWithoutCommandKeyIsPassedOver) {
  Extension(".txt", "txtfile");
  registry().CreateKey(kClasses + "txtfile\\shell\\open");
  registry().SetDword(kClasses + "txtfile\\shell\\print\\command", "", 5);  // reads as empty text
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 1);
}

TEST_F(FileTypes, ExtensionNamingAMissingType) {
  Extension(".abc", "abcfile");
  Extension(".abd", "abdfile");
  EXPECT_EQ(Scan(), Strings{kRootFault}) << "the fault is listed with no key open; the scan ends";
  EXPECT_EQ(events_, 0);

  registry().CreateKey(kClasses + ".abc\\ShellEx\\{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}");
  registry().CreateKey(kClasses + ".abd\\shellex");
  EXPECT_EQ(Scan(), Strings{}) << "an extension with a handler of its own needs no type";
  EXPECT_EQ(events_, 2);
}

TEST_F(FileTypes, ExtensionWithoutATypeName) {
  registry().CreateKey(kClasses + ".abc");
  Extension(".abd", "");
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 2);
}

TEST_F(FileTypes, TwoFaultyVerbsLeaveTwoStrings) {
  Extension(".two", "twofile");
  Command("twofile", "edit", "C:\\Apps\\gone-editor.exe %1");
  Command("twofile", "open", "C:\\Apps\\gone-viewer.exe %1");
  Command("twofile", "print", "C:\\Apps\\viewer.exe /p %1");
  Extension(".zzz", "zzzfile");  // a missing type: never reached
  EXPECT_EQ(Scan(), (Strings{kClasses + "twofile\\shell\\edit\\command", kClasses + "twofile\\shell\\open\\command"}));
  EXPECT_EQ(events_, 0);
}

TEST_F(FileTypes, IconOfAType) {
  struct Case {
    std::string what;
    std::string icon;
    bool faulty;
  };
  const std::vector<Case> cases = {
      {"%SystemRoot% and a negative index", "%SystemRoot%\\system32\\shell32.dll,-3", false},
      {"commas inside the path", "C:\\Odd,Folder\\icons.dll,1", false},
      {"only commas and an index", ",,0", false},
      {"empty", "", false},
      {"a missing file", "C:\\Icons\\gone.ico,0", true},
      {"a class identifier", "{00021401-0000-0000-C000-000000000046}", true},
      // Indirect strings: a packaged application's resource is no file; "@file,-id" is the file.
      {"a packaged application's resource",
       "@{Microsoft.Photos_2024.1_x64__8wekyb3d8bbwe?ms-resource://Photos/Files/Logo.png}", false},
      {"a resource in an existing file", "@%SystemRoot%\\system32\\shell32.dll,-123", false},
      {"a resource in a missing file", "@C:\\Icons\\gone.dll,-123", true},
  };
  for (const Case& c : cases) {
    registry().DeleteKey(kClasses + "txtfile");
    Extension(".txt", "txtfile");
    Command("txtfile", "open", "%1");
    Icon("txtfile", c.icon);
    const Strings expected = c.faulty ? Strings{kClasses + "txtfile\\DefaultIcon"} : Strings{};
    EXPECT_EQ(Scan(), expected) << c.what << ": " << c.icon;
  }
}

TEST_F(FileTypes, IconFaultOfATypeWithoutVerbsDoesNotEndTheScan) {
  Extension(".aaa", "noverbs");
  registry().CreateKey(kClasses + "noverbs\\shell");
  Icon("noverbs", "C:\\Icons\\gone.ico,0");
  Extension(".bbb", "txtfile");
  Command("txtfile", "open", "%1");
  EXPECT_EQ(Scan(), Strings{kClasses + "noverbs\\DefaultIcon"});
  EXPECT_EQ(events_, 2) << "both extensions were examined";

  Extension(".ccc", "missingfile");
  EXPECT_EQ(Scan(), (Strings{kClasses + "noverbs\\DefaultIcon", kRootFault}));
}

TEST_F(FileTypes, ATypeWithoutShellKeyIsNotExamined) {
  Extension(".txt", "txtfile");
  Icon("txtfile", "C:\\Icons\\gone.ico,0");
  trace_.Clear();
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_FALSE(FileSystemAsked("gone.ico")) << "its icon included";
}

TEST_F(FileTypes, VisitsOnlyTheRunOfExtensionNames) {
  // Keys that are no extensions would be faults if they were examined as extensions.
  for (const char* name : {"*", "Applications", "CLSID", "!odd", "zzzfile"})
    registry().SetString(kClasses + name, "", "nosuchtype");
  Extension(".abc", "txtfile");
  Extension(".xyz", "txtfile");
  Command("txtfile", "open", "%1");
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 2);
}

TEST_F(FileTypes, TheRunEndsAtTheFirstNameWithoutADot) {
  // The user's word sort passes over hyphens, so "-.mid" sorts among the extensions (as ".mid") and ends
  // the run: ".zip", after it, is not visited.
  Extension(".abc", "txtfile");
  Command("txtfile", "open", "%1");
  registry().CreateKey(kClasses + "-.mid");
  Extension(".zip", "missingfile");
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 1);
}

TEST_F(FileTypes, ExtensionsAreVisitedInTheUsersOrder) {
  // The registry enumerates "._b" after ".ab" (its own order puts "_" after the letters); the user's word
  // sort puts symbols first, so "._b" is examined first. Case plays no part: ".a" comes before ".B".
  Extension(".ab", "abfile");
  Command("abfile", "open", "C:\\Apps\\gone.exe");
  Extension("._b", "underfile");
  Command("underfile", "open", "C:\\Apps\\gone.exe");
  EXPECT_EQ(Scan(), Strings{kClasses + "underfile\\shell\\open\\command"});

  registry().DeleteKey(kClasses + ".ab");
  registry().DeleteKey(kClasses + "._b");
  Extension(".B", "bfile");
  Command("bfile", "open", "C:\\Apps\\gone.exe");
  Extension(".a", "afile");
  Command("afile", "open", "C:\\Apps\\gone.exe");
  EXPECT_EQ(Scan(), Strings{kClasses + "afile\\shell\\open\\command"});
}

TEST_F(FileTypes, PerUserChoiceOfProgram) {
  struct Case {
    std::string what;
    std::optional<std::string> application;  // nullopt: no "Application" value
    std::function<void()> programs;
    Strings expected;
  };
  auto viewer = [this](const std::string& command) {
    return [this, command] { Command("Applications\\viewer.exe", "open", command); };
  };
  auto none = [] {};
  const std::vector<Case> cases = {
      {"a registered program that can be run", "viewer.exe", viewer("\"C:\\Apps\\viewer.exe\" \"%1\""), {}},
      {"a registered program named in another case", "VIEWER.EXE", viewer("C:\\Apps\\viewer.exe %1"), {}},
      {"a registered program that is missing",
       "viewer.exe",
       viewer("C:\\Apps\\gone.exe %1"),
       {kClasses + "Applications\\viewer.exe\\shell\\open\\command"}},
      {"the type key is the name as the user's choice spells it",
       "Viewer.Exe",
       viewer("C:\\Apps\\gone.exe %1"),
       {kClasses + "Applications\\Viewer.Exe\\shell\\open\\command"}},
      {"a registered program without commands",
       "viewer.exe",
       [this] { registry().CreateKey(kClasses + "Applications\\viewer.exe"); },
       {}},
      {"a program that is not registered", "ghost.exe", viewer("%1"), {kRootFault}},
      {"no registered programs at all", "viewer.exe", none, {kRootFault}},
      {"an empty choice", "", none, {}},
      {"no choice", std::nullopt, none, {}},
  };
  for (const Case& c : cases) {
    registry().DeleteKey(kClasses + "Applications");
    registry().DeleteKey(kFileExts + ".txt");
    registry().CreateKey(kFileExts + ".txt\\OpenWithList");
    if (c.application) UserChoice(".txt", *c.application);
    c.programs();
    EXPECT_EQ(Scan(), c.expected) << c.what;
  }
}

TEST_F(FileTypes, UnregisteredChoiceAfterAnIconNamesTheIconKey) {
  // The accessor still holds the icon key that the earlier program's examination opened.
  Command("Applications\\viewer.exe", "open", "%1");
  Icon("Applications\\viewer.exe", "C:\\Apps\\viewer.exe,0");
  UserChoice(".aaa", "viewer.exe");
  UserChoice(".bbb", "ghost.exe");
  EXPECT_EQ(Scan(), Strings{kClasses + "Applications\\viewer.exe\\DefaultIcon"});
  EXPECT_EQ(events_, 1);
}

TEST_F(FileTypes, NoExtensionsAtAll) {
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 0);
}

TEST_F(FileTypes, StopsBeforeEachExtension) {
  Extension(".aaa", "txtfile");
  Command("txtfile", "open", "%1");
  Extension(".bbb", "missingfile");
  onEvent_ = [this] { section_->Cancelled = true; };
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 1);
  events_ = 0;
  onEvent_ = [this] { engine_->ShuttingDown = true; };
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 1);
}

TEST_F(FileTypes, StopsAfterEachUserChoice) {
  Command("Applications\\viewer.exe", "open", "%1");
  UserChoice(".aaa", "viewer.exe");
  UserChoice(".bbb", "ghost.exe");
  onEvent_ = [this] { section_->Cancelled = true; };
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 1);
}

TEST_F(FileTypes, StopsBeforeEachVerb) {
  Extension(".two", "twofile");
  Command("twofile", "edit", "C:\\Apps\\gone-editor.exe");
  Command("twofile", "open", "C:\\Apps\\gone-viewer.exe");
  Icon("twofile", "C:\\Icons\\gone.ico");
  Extension(".zzz", "missingfile");
  audit_.SetAfterOpen([this](RegKey, const std::string& path) {
    if (path.find("\\edit\\command") != std::string::npos) section_->Cancelled = true;
  });
  trace_.Clear();
  EXPECT_EQ(Scan(), Strings{kClasses + "twofile\\shell\\edit\\command"})
      << "the verb under way is judged; the next verb, the icon and the next extension are not";
  EXPECT_FALSE(FileSystemAsked("gone-viewer"));
  EXPECT_FALSE(FileSystemAsked("gone.ico"));
  EXPECT_EQ(events_, 1);
}

TEST_F(FileTypes, ReleasesEveryKeyOnEveryWayOut) {
  Extension(".txt", "txtfile");
  Command("txtfile", "open", "%1");
  Icon("txtfile", "C:\\Apps\\viewer.exe,0");
  Command("Applications\\viewer.exe", "open", "%1");
  Icon("Applications\\viewer.exe", "C:\\Apps\\viewer.exe,0");
  UserChoice(".txt", "viewer.exe");
  UserChoice(".log", "viewer.exe");
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 3);
  EXPECT_EQ(audit_.OpenKeys(), 0u) << "a clean scan";

  UserChoice(".log", "ghost.exe");
  EXPECT_EQ(Scan(), Strings{kRootFault});
  EXPECT_EQ(audit_.OpenKeys(), 0u) << "a scan ended by a fault";

  UserChoice(".log", "viewer.exe");
  for (int raiseAt : {1, 2}) {
    events_ = 0;
    onEvent_ = [this, raiseAt] {
      if (events_ == raiseAt) throw std::runtime_error("progress handler failed");
    };
    EXPECT_THROW(Scan(), std::runtime_error);
    EXPECT_EQ(audit_.OpenKeys(), 0u) << "a scan left by an exception in phase " << raiseAt;
  }
}

TEST_F(FileTypes, KeysAreOpenedWithTheAccessorsCurrentRights) {
  // The section's accessor starts with full access and keeps it until a read-only open (an icon key)
  // lowers it to KEY_READ. An extension key that grants only KEY_READ is unreadable before that and
  // readable after it.
  Extension(".bbb", "missingfile");
  registry().SetKeyAccess(kClasses + ".bbb", kKeyRead);
  EXPECT_EQ(Scan(), Strings{}) << "the extension key refuses full access: its type is not read";

  Extension(".aaa", "txtfile");
  Command("txtfile", "open", "%1");
  Icon("txtfile", "C:\\Apps\\viewer.exe,0");
  EXPECT_EQ(Scan(), Strings{kRootFault}) << "after the icon key's read-only open the type is read";
}

TEST_F(FileTypes, ARootThatRefusesFullAccessYieldsNoExtensions) {
  Extension(".abc", "missingfile");
  UserChoice(".txt", "ghost.exe");
  registry().SetKeyAccess("HKEY_CLASSES_ROOT", kKeyRead);
  EXPECT_EQ(Scan(), Strings{kRootFault}) << "phase 1 examines nothing; the user's choices are still examined";
  EXPECT_EQ(events_, 0);
}

}  // namespace
}  // namespace kv::testing
