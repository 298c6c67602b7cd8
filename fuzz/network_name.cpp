// IsNetworkName and NameDriveLetter over any text: what must hold whatever the bytes are.
#include <string>

#include "fuzz/fuzz_targets.h"
#include "support/network_name.h"

namespace kv::fuzz {
namespace {

std::string Mapped(std::string text, char (*map)(char)) {
  for (char& c : text) c = map(c);
  return text;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Backslash(char c) { return c == '/' ? '\\' : c; }

}  // namespace

int FuzzNetworkName(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const bool network = IsNetworkName(text);
  const char drive = NameDriveLetter(text);

  // Case and the kind of slash never change the answer.
  Require(IsNetworkName(Mapped(text, Upper)) == network, "the answer ignores case (upper)");
  Require(IsNetworkName(Mapped(text, Lower)) == network, "the answer ignores case (lower)");
  Require(IsNetworkName(Mapped(text, Backslash)) == network, "a forward slash counts as a backslash");
  Require(NameDriveLetter(Mapped(text, Lower)) == drive, "the drive ignores case");

  // A drive letter is one, upper case, and a name on it is not a network name by its text.
  Require(drive == 0 || (drive >= 'A' && drive <= 'Z'), "a drive letter is A to Z");
  Require(drive == 0 || !network, "a name on a drive is not a network name by its text");

  // Only the text before the first NUL counts, as the system reads it.
  const std::string read = text.c_str();
  Require(IsNetworkName(read) == network, "only the text before a NUL counts");

  // Every spelling of the redirector, followed by anything, is on the network.
  for (const char* prefix :
       {"\\\\", "//", "\\\\?\\UNC\\", "\\??\\UNC\\", "\\\\.\\UNC\\", "\\??\\GLOBALROOT\\Device\\Mup\\",
        "\\Device\\Mup\\", "\\??\\GLOBALROOT\\??\\UNC\\", "file://server/"}) {
    Require(IsNetworkName(prefix + read), std::string("a name after ") + prefix + " is on the network");
  }
  // GLOBALROOT leads back to the top: what follows it decides.
  if (!read.empty() && (read[0] == '\\' || read[0] == '/') && (read.size() < 2 || (read[1] != '\\' && read[1] != '/')))
    Require(IsNetworkName("\\??\\GLOBALROOT" + read) == network, "GLOBALROOT followed by a name is that name");
  return 0;
}

}  // namespace kv::fuzz
