// Network names in every spelling, by their text alone, and the drive a name lies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/network_name.h"

namespace kv {
namespace {

using namespace std::string_literals;

struct Case {
  std::string name;
  bool network;
  char drive;  // 0: none
};

TEST(NetworkName, EverySpelling) {
  const std::vector<Case> cases = {
      // Two separators first: a share, or a device, as the rules have always taken them.
      {"\\\\server\\share\\x.exe", true, 0},
      {"\\\\server", true, 0},
      {"\\\\", true, 0},
      {"//server/share/x.exe", true, 0},
      {"\\/server\\share", true, 0},
      {"\\\\?\\UNC\\host\\share\\x.exe", true, 0},
      {"\\\\?\\unc\\host\\share\\x.exe", true, 0},
      {"\\\\.\\UNC\\host\\share\\x.exe", true, 0},
      {"\\\\?\\C:\\WINDOWS\\notepad.exe", true, 0},
      {"\\\\.\\NUL", true, 0},
      {"\\\\?\\GLOBALROOT\\Device\\Mup\\host\\share", true, 0},
      // The object manager's names, which the file calls pass on as they stand.
      {"\\??\\UNC\\host\\share\\x.exe", true, 0},
      {"\\??\\unc\\host\\share\\x.exe", true, 0},
      {"/?"
       "?/UNC/host/share/x.exe",
       true, 0},
      {"\\??\\UNC", true, 0},
      {"\\DosDevices\\UNC\\host\\share", true, 0},
      {"\\GLOBAL??\\UNC\\host\\share", true, 0},
      {"\\??\\GLOBALROOT\\Device\\Mup\\host\\share\\x.exe", true, 0},
      {"\\??\\globalroot\\device\\mup\\host\\share\\x.exe", true, 0},
      {"\\??\\GLOBALROOT\\??\\UNC\\host\\share", true, 0},
      {"\\??\\GLOBALROOT\\GLOBAL??\\GLOBALROOT\\??\\UNC\\h\\s", true, 0},
      {"\\Device\\Mup\\host\\share\\x.exe", true, 0},
      {"\\Device\\Mup", true, 0},
      {"\\Device\\LanmanRedirector\\;Z:0000\\host\\share", true, 0},
      {"\\Device\\WebDavRedirector\\host\\share", true, 0},
      {"\\??\\UNC\0\\local"s, true, 0},
      // file: URLs with a host, or with a share for a path.
      {"file://host/share/x.exe", true, 0},
      {"FILE://HOST/share/x.exe", true, 0},
      {"file:\\\\host\\share\\x.exe", true, 0},
      {"file:////host/share/x.exe", true, 0},
      {"file://localhost//host/share/x.exe", true, 0},
      // Local names.
      {"C:\\Program Files\\App\\app.exe", false, 'C'},
      {"c:app.exe", false, 'C'},
      {"z:\\tools\\x.exe", false, 'Z'},
      {"\\??\\C:\\WINDOWS\\notepad.exe", false, 'C'},
      {"\\GLOBAL??\\z:\\x.exe", false, 'Z'},
      {"\\??\\GLOBALROOT\\??\\D:\\x.exe", false, 'D'},
      {"\\??\\GLOBALROOT\\Device\\HarddiskVolume1\\x.exe", false, 0},
      {"\\Device\\HarddiskVolume1\\x.exe", false, 0},
      {"\\??\\UNCLE\\x.exe", false, 0},
      {"\\??\\", false, 0},
      {"\\??", false, 0},
      {"\\Device\\Mupx\\host", false, 0},
      {"\\x.exe", false, 0},
      {"\\", false, 0},
      {"notepad.exe", false, 0},
      {"UNC\\host\\share", false, 0},
      {"%1", false, 0},
      {"", false, 0},
      {"\0\\\\host\\share"s, false, 0},
      {"file:///C:/WINDOWS/notepad.exe", false, 0},
      {"file://localhost/C:/x.exe", false, 0},
      {"file://C:/x.exe", false, 0},
      {"file://c|/x.exe", false, 0},
      {"file:/host/share", false, 0},
      {"file:x.exe", false, 0},
      {"file://", false, 0},
      {"files://host/share", false, 0},
      {"C:\\??\\UNC\\host", false, 'C'},
  };
  for (const Case& c : cases) {
    const std::string shown = std::string(c.name.c_str()) + (c.name.find('\0') != std::string::npos ? "<NUL>..." : "");
    EXPECT_EQ(IsNetworkName(c.name), c.network) << shown;
    EXPECT_EQ(NameDriveLetter(c.name), c.drive) << shown;
  }
}

}  // namespace
}  // namespace kv
