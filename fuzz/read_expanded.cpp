// ReadExpandedValue, and the accessor's reads beneath it, over a value of any type holding any bytes. The
// input's first byte picks the native type (one of the eleven, REG_QWORD or an unknown code), the second
// a few settings, the rest is the value's data.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_targets.h"
#include "platform/memory/memory_platform.h"
#include "support/registry.h"
#include "support/win_info.h"
#include "tests/testing/handle_audit.h"

namespace kv::fuzz {
namespace {

std::uint32_t NativeType(std::uint8_t pick) {
  const std::uint32_t code = pick % 14;
  return code == 13 ? 0x7FFF0001u : code;  // 0..11 as they are, REG_QWORD-like 12, an unknown code
}

// The accessor's own reads: each answers or raises ERegistryException, nothing else.
void ReadEveryWay(TRegistry& registry, const std::string& name) {
  try {
    registry.ReadString(name);
  } catch (const ERegistryException&) {
  }
  registry.ReadWideString(name);  // raises only when the data cannot be read at all
  try {
    registry.ReadInteger(name);
  } catch (const ERegistryException&) {
  }
  std::uint8_t small[4];
  try {
    const std::int32_t got = registry.ReadBinaryData(name, small, sizeof small);
    Require(got >= 0 && got <= 4, "ReadBinaryData stays inside the buffer it is given");
  } catch (const ERegistryException&) {
  }
}

}  // namespace

int FuzzReadExpanded(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::uint32_t type = NativeType(input.Byte());
  const std::uint8_t settings = input.Byte();
  const std::string rest = input.Rest();
  const std::vector<std::uint8_t> bytes(rest.begin(), rest.end());
  const std::string name = (settings & 1) ? "" : "Value";

  MemoryPlatform machine;
  if (settings & 2) machine.system.SetEnvironment("USERPROFILE", "C:\\Documents and Settings\\kv");
  machine.registry.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                             (settings & 4) ? "%SystemDrive%\\Program Files" : "%ProgramFiles%");
  machine.registry.SetValue("HKLM\\Fuzz", name, type, bytes);
  testing::HandleAudit audit(machine.platform());
  TWinInfo info(audit.platform());

  std::string text;
  {
    TRegistry registry(audit.platform());
    registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
    Require(registry.OpenKeyReadOnly("Fuzz"), "the value's key opens");
    Require(registry.ValueExists(name), "the value exists");
    const bool text8 = type == REG_SZ_TYPE || type == REG_EXPAND_SZ_TYPE || type == REG_MULTI_SZ_TYPE;
    if (!text8)
      Require(registry.GetDataSize(name) == static_cast<std::int32_t>(bytes.size()), "the size is the data's");
    text = info.ReadExpandedValue(name, registry);
    ReadEveryWay(registry, name);
    const TRegDataType kind = registry.GetDataType(name);
    if (kind == rdInteger || kind == rdIntegerBigEndian) Require(text.empty(), "an integer value reads as no text");
    if (kind == rdString || kind == rdExpandString)
      Require(text.find('\0') == std::string::npos, "a string value reads up to its first NUL");
  }
  Require(audit.OpenKeys() == 0, "every key opened is closed again");
  return 0;
}

}  // namespace kv::fuzz
