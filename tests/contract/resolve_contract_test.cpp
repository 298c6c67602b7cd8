// File reference resolution over every world: the same commands against the memory file system and (in
// the Windows build) against real files in a scratch folder, with real directory searches, full and short
// path names and shortcut files written by the shell. The engine's search folders and extensions are set
// to folders of the scratch folder, so nothing depends on the machine.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scan/resolve.h"
#include "scan/search_lists.h"
#include "scan/sections/startup_folders.h"
#include "scan/sections/startup_run.h"
#include "support/text.h"
#include "tests/testing/world.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;
using namespace std::string_literals;

std::string Printable(const std::string& text) {
  std::string shown;
  for (char c : text.substr(0, 100)) shown += c == '\0' ? "\\0"s : std::string(1, c);
  if (text.size() > 100) shown += "...(" + std::to_string(text.size()) + " characters)";
  return shown;
}

class ResolveContract : public ::testing::TestWithParam<WorldKind> {
 protected:
  void SetUp() override {
    world_ = GetParam().make();
    root_ = world_->Folder();
    for (const char* folder : {"path1", "path2", "path3", "Apps\\My", "Mixed\\a-folder", "path3\\Folder.exe"})
      world_->AddDirectory(root_ + folder);
    for (const char* file : {"path2\\calc.exe", "path3\\tool.com", "Program Files\\App\\app.exe", "Apps\\My Tool.exe",
                             "Data\\report.txt", "Mixed\\b-file.txt", "Work\\local.exe"})
      world_->AddFile(root_ + file);
    world_->SetCurrentDirectory(root_ + "Work");
    engine_ = std::make_unique<Engine>(world_->platform());
    engine_->SearchDirs = {LowerAscii(root_ + "path1\\"), LowerAscii(root_ + "path2\\"), LowerAscii(root_ + "path3\\")};
    engine_->ExeExtensions = {".com", ".exe", ".bat", ".dll"};
  }

  // "{R}" stands for the scratch folder (with its closing backslash).
  std::string At(const std::string& text) const {
    std::string result = text;
    for (std::size_t at = result.find("{R}"); at != std::string::npos; at = result.find("{R}", at))
      result.replace(at, 3, root_);
    return result;
  }

  // A name as the file system knows it: its short form when it exists (each world makes its own short
  // names), without regard to case.
  std::string Canonical(const std::string& name) {
    char buffer[1024] = {};
    FileSystemApi& files = world_->platform().files;
    std::uint32_t length = files.ShortPathName(name, sizeof buffer, buffer);
    return LowerAscii(length > 0 && length < sizeof buffer ? std::string(buffer, length) : name);
  }

  std::uint32_t ErrorMode() {
    FileSystemApi& files = world_->platform().files;
    const std::uint32_t mode = files.SetErrorMode(0);
    files.SetErrorMode(mode);
    return mode;
  }

  std::unique_ptr<World> world_;
  std::string root_;
  std::unique_ptr<Engine> engine_;
};

TEST_P(ResolveContract, Commands) {
  struct Case {
    std::string command;
    bool resolvable;
    std::string fileName;
  };
  const std::vector<Case> cases = {
      {"<{R}Data\\report.txt", false, "<{R}Data\\report.txt"},
      {"", true, ""},
      {"G@6!!{R}gone.exe", true, ""},
      {"\\\\server\\share\\app.exe", true, "\\\\server\\share\\app.exe"},
      {"\"\\\\server\\share\\app.exe\" -x", true, "\"\\\\server\\share\\app.exe\" -x"},
      {"%1", true, "%1"},
      {"{R}Data\\report.txt", true, "{R}Data\\report.txt"},
      {"\"{R}Program Files\\App\\app.exe\" -min", true, "{R}Program Files\\App\\app.exe"},
      {"{R}Program Files\\App\\app.exe /s /x:1", true, "{R}Program Files\\App\\app.exe"},
      {"{R}Program Files\\App\\gone.exe /s", false, "{R}Program Files\\App\\gone.exe"},
      {"\"{R}Program Files\\App\\app.exe\" " + std::string(300, 'x'), true, "{R}Program Files\\App\\app.exe"},
      {"local.exe", true, "local.exe"},
      {"calc", true, "{R}path2\\calc.exe"},
      {"tool", true, "{R}path3\\tool.com"},
      {"tool.com -x", true, "{R}path3\\tool.com"},
      {"calc.bat", false, "{R}path3\\calc.bat"},
      {"missing", false, "{R}path3\\missing"},
      {"rundll32 gone.dll,Entry", true, "{R}path1\\rundll32 gone.dll,Entry"},
      {"explorer /e,{R}gone", true, "{R}path1\\explorer"},
      {"regsvr32 /s gone.dll", true, "{R}path1\\regsvr32"},
      {"\"rundll32\" gone.dll,Entry", true, "{R}path1\\rundll32 gone.dll,Entry"},
      {"explorerhelper.exe --start", false, "{R}path3\\explorerhelper.exe --start"},
      // Inside quotes "/" separates folders; outside them it begins a switch.
      {"\"{R}Program Files/App/app.exe\" --minimized", true, "{R}Program Files\\App\\app.exe"},
      {"\"{R}Program Files/App/gone.exe\" --minimized", false, "{R}Program Files\\App\\gone.exe --minimized"},
      {"\"{R}Program Files\\App\\app.exe\"/s", true, "{R}Program Files\\App\\app.exe"},
      {"{R}Apps\\My Tool.exe -x", true, "{R}Apps\\My Tool.exe"},
      {"{R}path3\\Folder.exe", false, "{R}path3\\Folder.exe"},
      {"Folder", false, "{R}path3\\Folder"},
      {"{R}Data\\*.txt", true, "{R}Data\\*.txt"},
      {"{R}Data\\rep?rt.*", true, "{R}Data\\rep?rt.*"},
      {"{R}Data\\*.doc", false, "{R}Data\\*.doc"},
      {"{R}Mixed\\*", true, "{R}Mixed\\*"},
      {"{R}Mixed\\a*", false, "{R}Mixed\\a*"},
      {"{R}Data\\*.txt -x", false, "{R}Data\\*.txt -x"},
  };
  for (const Case& c : cases) {
    const std::string command = At(c.command);
    std::string fileName = "(unchanged)";
    EXPECT_EQ(ExtractFileFromCommand(*engine_, command, fileName), c.resolvable) << Printable(command);
    EXPECT_EQ(Canonical(fileName), Canonical(At(c.fileName))) << Printable(command);
  }
}

// Whatever the text: a verdict, no crash, the error mode left failing critical errors.
TEST_P(ResolveContract, BadInput) {
  struct Case {
    std::string command;
    bool resolvable;
  };
  std::string words;
  while (words.size() < 40000) words += std::string(999, 'w') + ' ';
  const std::vector<Case> cases = {
      {std::string(40000, 'a'), false},
      {At("{R}") + std::string(40000, 'a'), false},
      {"\"" + std::string(40000, 'q') + "\"", false},
      {words, false},
      {At("\"{R}Program Files\\App\\app.exe\" ") + words, true},
      {"\"", false},
      {"\"\"\"\"", false},
      {" ", false},
      {std::string(300, ' '), false},
      {"\t", false},
      {At("{R}Data\\report.txt\0junk"s), true},
      {At("\0{R}Data\\report.txt"s), false},
      {"\0\0\0"s, false},
      {"calc\0.bat"s, true},
      {At("{R}Data\\report.txt:stream"), false},
      {At("{R}Data\\report.txt::$DATA"), false},
      {At("{R}a|b<c>d"), false},
      {"::::", false},
      {At("{R}..\\..\\..\\..\\..\\..\\..\\..\\gone.exe"), false},
      {"\xff\xfe\x80 \x81", false},
  };
  for (const Case& c : cases) {
    world_->platform().files.SetErrorMode(0);
    std::string fileName;
    EXPECT_EQ(ExtractFileFromCommand(*engine_, c.command, fileName), c.resolvable) << Printable(c.command);
    EXPECT_EQ(ErrorMode(), kSemFailCriticalErrors) << Printable(c.command);
  }
  // Device names: a verdict, whatever the platform makes of them (Wine reports them as present files).
  for (const std::string& device : {"CON"s, "NUL"s, "nul.txt"s, At("{R}Data\\CON"), "COM1 /x"s, "LPT1:"s}) {
    std::string fileName;
    ExtractFileFromCommand(*engine_, device, fileName);
  }
}

TEST_P(ResolveContract, SafeFileExists) {
  const std::string old = root_ + "Old\\";
  const std::vector<std::pair<std::string, std::uint64_t>> dated = {
      {old + "1970.exe", 116444736000000000ull},  // before the DOS dates
      {old + "1979.exe", 119599200000000000ull},
      {old + "2110.exe", 160624512000000000ull}};  // after them
  for (const auto& [file, time] : dated) {
    world_->AddFile(file);
    world_->SetFileTime(file, time);
  }
  const std::vector<std::pair<std::string, bool>> cases = {
      {root_ + "Data\\report.txt", true},
      {LowerAscii(root_) + "DATA\\REPORT.TXT", true},
      {root_ + "Data", false},
      {root_ + "Data\\gone.txt", false},
      {"local.exe", true},
      {"", false},
      {old + "1970.exe", true},
      {old + "1979.exe", true},
      {old + "2110.exe", true},
      {root_ + "Mixed\\*", true},
      {root_ + "Mixed\\a*", false},
      {root_ + "Data\\report.txt\0x"s, true},
  };
  world_->platform().files.SetErrorMode(0);
  for (const auto& [name, present] : cases) EXPECT_EQ(SafeFileExists(*engine_, name), present) << Printable(name);
  EXPECT_EQ(ErrorMode(), 0u) << "the error mode found is put back";
}

TEST_P(ResolveContract, DirectoryExists) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {root_ + "Data", true},
      {root_ + "Data\\", true},
      {root_ + "Data\\report.txt", false},
      {root_ + "Gone", false},
      {"", false},
  };
  for (const auto& [path, exists] : cases) EXPECT_EQ(DirectoryExists(*engine_, path), exists) << path;
}

TEST_P(ResolveContract, StartupFolderShortcuts) {
  struct Case {
    const char* what;
    std::string link;    // in a folder of its own, after a good shortcut
    std::string target;  // empty: the link file is not a shortcut at all
    bool faulty;
  };
  const std::vector<Case> cases = {
      {"a shortcut to a program that exists", "x.lnk", "{R}Program Files\\App\\app.exe", false},
      {"a shortcut to a deleted program", "x.lnk", "{R}Program Files\\App\\gone.exe", true},
      {"an upper-case extension", "X.LNK", "{R}gone.exe", true},
      {"a shortcut to a folder", "x.lnk", "{R}Data", true},
      {"a file that is no shortcut", "x.lnk", "", true},
      // A shell item that has no file-system path (a packaged application, say) names no file to miss.
      {"a shortcut to a shell item without a path", "x.lnk", "*shell item*", false},
      {"another extension", "x.lnk.txt", "", false},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string folder = root_ + "Startup" + std::to_string(++n);
    world_->AddShortcut(folder + "\\good.lnk", At("{R}Program Files\\App\\app.exe"));
    if (c.target.empty()) {
      world_->AddFile(folder + "\\" + c.link);
    } else if (c.target == "*shell item*") {
      world_->AddShortcutToShellItem(folder + "\\" + c.link);
    } else {
      world_->AddShortcut(folder + "\\" + c.link, At(c.target));
    }
    engine_->StartupFolders = {folder};
    TStartUpSectionSL section(*engine_);
    section.Scan();
    EXPECT_EQ(section.Strings(), c.faulty ? Strings{folder + "\\" + c.link} : Strings{}) << c.what;
  }
}

TEST_P(ResolveContract, RunKeyEntries) {
  const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  world_->SetValue(HKEY_CURRENT_USER_CODE, run, "a", REG_SZ_TYPE,
                   Utf16Bytes(At("\"{R}Program Files\\App\\app.exe\" -x")));
  world_->SetValue(HKEY_CURRENT_USER_CODE, run, "b", REG_SZ_TYPE, Utf16Bytes(At("{R}Program Files\\App\\gone.exe")));
  world_->SetValue(HKEY_CURRENT_USER_CODE, run, "c", REG_SZ_TYPE, Utf16Bytes("calc"));
  world_->SetValue(HKEY_LOCAL_MACHINE_CODE, run, "n", REG_DWORD_TYPE, DwordBytes(7));
  world_->SetValue(HKEY_LOCAL_MACHINE_CODE, run, "r", REG_SZ_TYPE, Utf16Bytes("rundll32 gone.dll,Entry"));

  TStartUpSectionHKCU user(*engine_);
  int events = 0;
  user.OnItemChecked = [&](EngineObject&) { ++events; };
  user.Scan();
  EXPECT_EQ(user.Strings(), (Strings{"b", "c", ""}));
  EXPECT_EQ(events, 1);

  TStartUpSectionHKLM machine(*engine_);
  machine.Scan();
  EXPECT_EQ(machine.Strings(), (Strings{"n", "r", ""}));
}

INSTANTIATE_TEST_SUITE_P(Worlds, ResolveContract, ::testing::ValuesIn(ContractWorlds()),
                         [](const ::testing::TestParamInfo<WorldKind>& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
