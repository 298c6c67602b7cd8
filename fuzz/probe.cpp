// A full probe (all seven groups, mask 127) of a small machine built from the input. The input is read as
// a list of steps: set a value of any type and bytes below one of the keys the sections read (or a subkey
// of it), add a key, a file, a folder or a shortcut, set a path variable, choose the Windows family. The
// probe must give a verdict (0 or a positive count), give the same verdict twice, raise nothing, and
// leave no key or directory search open and no handle used after it was closed; and the plain probe (no
// memo, no listings of folders, every section asking the old way) must give the same verdict and lists.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_targets.h"
#include "platform/memory/memory_platform.h"
#include "scan/cleaner.h"
#include "scan/engine.h"
#include "tests/testing/handle_audit.h"

namespace kv::fuzz {
namespace {

// The keys the sections read, and a few neighbours.
const char* const kKeys[] = {
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
    "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe",
    "HKLM\\SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\Shares",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan\\SHARE",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\Help",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\HTML Help",
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU",
    "HKCR\\CLSID",
    "HKCR\\CLSID\\{00000000-0000-0000-0000-000000000001}",
    "HKCR\\CLSID\\{00000000-0000-0000-0000-000000000001}\\InProcServer32",
    "HKCR\\CLSID\\{00000000-0000-0000-0000-000000000001}\\LocalServer32",
    "HKCR\\CLSID\\{00000000-0000-0000-0000-000000000001}\\DefaultIcon",
    "HKCR",
    "HKCR\\.txt",
    "HKCR\\.txt\\ShellEx",
    "HKCR\\txtfile",
    "HKCR\\txtfile\\shell\\open\\command",
    "HKCR\\txtfile\\DefaultIcon",
    "HKCR\\Applications\\app.exe\\shell\\open\\command",
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.txt",
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.txt\\OpenWithList",
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
};

const char* const kFolders[] = {"C:\\WINDOWS\\",
                                "C:\\WINDOWS\\system32\\",
                                "C:\\Program Files\\App\\",
                                "C:\\Documents and Settings\\kv\\Start Menu\\Programs\\Startup\\",
                                "C:\\",
                                "D:\\"};

const char* const kVariables[] = {"Path", "PathExt", "USERPROFILE"};

// An 8-bit name as the memory registry's fixtures take it (UTF-8).
std::string Name(FuzzInput& input, std::size_t longest) { return AnsiToUtf8(input.Text(longest)); }

std::string Key(FuzzInput& input) {
  std::string key = kKeys[input.Pick(std::size(kKeys))];
  if (input.Byte() & 1) {
    std::string sub = Name(input, 24);
    for (char& c : sub)
      if (c == '\\') c = '_';
    key += "\\" + sub;
  }
  return key;
}

// A file name: no wildcards, quotes or NULs (backslashes make folders on the way).
std::string FilePath(FuzzInput& input) {
  std::string name;
  for (char c : input.Text(40))
    if (c != '\0' && c != '*' && c != '?' && c != '"' && c != '<' && c != '>' && c != '|' && c != ':' && c != '/')
      name += c;
  return std::string(kFolders[input.Pick(std::size(kFolders))]) + (name.empty() ? "x" : name);
}

// One step of the machine's building.
void Step(FuzzInput& input, MemoryPlatform& machine) {
  switch (input.Pick(9)) {
    case 0: {
      const std::string key = Key(input);
      const std::string name = Name(input, 48);
      machine.registry.SetString(key, name, Name(input, 80), (input.Byte() & 1) ? REG_EXPAND_SZ_TYPE : REG_SZ_TYPE);
      break;
    }
    case 1: {
      const std::string key = Key(input);
      const std::string name = Name(input, 48);
      const std::uint32_t type = input.Byte() % 12;
      machine.registry.SetValue(key, name, type, input.Bytes(96));
      break;
    }
    case 2: {
      const std::string key = Key(input);
      const std::string name = Name(input, 48);
      std::vector<std::string> strings;
      for (std::size_t n = input.Pick(4); n > 0; --n) strings.push_back(Name(input, 40));
      machine.registry.SetMultiString(key, name, strings);
      break;
    }
    case 3: {
      const std::string key = Key(input);
      const std::string name = Name(input, 48);
      machine.registry.SetDword(key, name, input.Number());
      break;
    }
    case 4: machine.registry.CreateKey(Key(input)); break;
    case 5: machine.files.AddFile(FilePath(input)); break;
    case 6: machine.files.AddDirectory(FilePath(input)); break;
    case 7: {
      const std::string link = FilePath(input);
      machine.files.AddFile(link);
      machine.system.SetShortcut(link, FilePath(input));
      break;
    }
    case 8: {
      const char* variable = kVariables[input.Pick(std::size(kVariables))];
      machine.system.SetEnvironment(variable, input.Text(60));
      break;
    }
  }
}

void Build(FuzzInput& input, MemoryPlatform& machine) {
  machine.system.SetEnvironment("Path", "C:\\WINDOWS\\system32;C:\\WINDOWS");
  machine.system.SetSpecialFolder(7, "C:\\Documents and Settings\\kv\\Start Menu\\Programs\\Startup");
  machine.system.SetSpecialFolder(20, "C:\\WINDOWS\\Fonts");
  machine.files.AddDirectory("C:\\Documents and Settings\\kv\\Start Menu\\Programs\\Startup");
  machine.files.AddFile("C:\\WINDOWS\\system32\\rundll32.exe");
  if (input.Byte() & 1) machine.system.SetVersion(OsVersion{kPlatformWin32Windows, 4, 10, 2222});
  for (int step = 0; step < 64 && !input.AtEnd(); ++step) {
    // The memory platform refuses a fixture it cannot build (a file where a folder is, a path through a
    // file): that step is left out and the machine is built from the rest.
    try {
      Step(input, machine);
    } catch (const std::invalid_argument&) {
    }
  }
}

}  // namespace

int FuzzProbe(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  MemoryPlatform machine;
  Build(input, machine);
  testing::HandleAudit audit(machine.platform());
  {
    Engine engine(audit.platform());
    TRegistryCleaner cleaner(engine);
    cleaner.Mask = 127;
    const std::int32_t verdict = cleaner.ScanSections();
    Require(verdict >= 0, "a probe that was not cancelled gives 0 or a count");
    std::vector<std::vector<std::string>> lists;
    for (const auto& slot : cleaner.Sections()) lists.push_back(slot.section->Strings());
    Require(cleaner.ScanSections() == verdict, "the same machine gets the same verdict");

    engine.Memo.SetEnabled(false);
    engine.Plain = true;
    Require(cleaner.ScanSections() == verdict, "the plain probe gets the same verdict");
    for (std::size_t i = 0; i < lists.size(); ++i)
      Require(cleaner.Sections()[i].section->Strings() == lists[i],
              std::string("the plain probe gets the same list in ") + cleaner.Sections()[i].section->ClassName());
  }
  Require(audit.OpenKeys() == 0, "every key opened is closed");
  Require(audit.OpenFinds() == 0, "every directory search is closed");
  Require(audit.Misuses().empty(), "no handle is used after it is closed");
  return 0;
}

}  // namespace kv::fuzz
