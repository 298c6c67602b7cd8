// The registry as the engine sees it: the eight advapi32 calls it makes, shaped like the native ones.
// Handles are opaque numbers; the predefined roots keep their 32-bit codes (0x80000000 ...).
// Every call returns a Win32 error code (0 on success) and fills its outputs the way the native call does.
// Text crosses the seam as UTF-8: key paths, names, and the data of the string types (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ), which the registry keeps as UTF-16; buffer lengths of names and data count
// UTF-8 bytes. Names compare without regard to case the way the system compares them.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

using RegKey = std::uintptr_t;

constexpr RegKey kNoKey = 0;
constexpr std::uint32_t HKEY_CLASSES_ROOT_CODE = 0x80000000u;
constexpr std::uint32_t HKEY_CURRENT_USER_CODE = 0x80000001u;
constexpr std::uint32_t HKEY_LOCAL_MACHINE_CODE = 0x80000002u;
constexpr std::uint32_t HKEY_USERS_CODE = 0x80000003u;
constexpr std::uint32_t HKEY_PERFORMANCE_DATA_CODE = 0x80000004u;
constexpr std::uint32_t HKEY_CURRENT_CONFIG_CODE = 0x80000005u;
constexpr std::uint32_t HKEY_DYN_DATA_CODE = 0x80000006u;

inline bool IsPredefinedKey(RegKey key) { return key >= 0x80000000u && key <= 0x80000006u; }

// Access rights the engine asks for.
constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kKeyNotify = 0x0010;
constexpr std::uint32_t kReadControl = 0x00020000;
constexpr std::uint32_t kKeyRead = 0x00020019;
constexpr std::uint32_t kKeyAllAccess = 0x000F003F;

// Value types.
constexpr std::uint32_t REG_NONE_TYPE = 0;
constexpr std::uint32_t REG_SZ_TYPE = 1;
constexpr std::uint32_t REG_EXPAND_SZ_TYPE = 2;
constexpr std::uint32_t REG_BINARY_TYPE = 3;
constexpr std::uint32_t REG_DWORD_TYPE = 4;
constexpr std::uint32_t REG_DWORD_BIG_ENDIAN_TYPE = 5;
constexpr std::uint32_t REG_LINK_TYPE = 6;
constexpr std::uint32_t REG_MULTI_SZ_TYPE = 7;
constexpr std::uint32_t REG_RESOURCE_LIST_TYPE = 8;
constexpr std::uint32_t REG_FULL_RESOURCE_DESCRIPTOR_TYPE = 9;
constexpr std::uint32_t REG_RESOURCE_REQUIREMENTS_LIST_TYPE = 10;
constexpr std::uint32_t REG_QWORD_TYPE = 11;

// Win32 error codes the calls return.
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorPathNotFound = 3;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorNotEnoughMemory = 8;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;
constexpr long kErrorKeyDeleted = 1018;

struct RegKeyCounts {
  std::uint32_t subKeys = 0;
  std::uint32_t maxSubKeyLen = 0;  // UTF-16 units, without the closing NUL (a unit is 1 to 3 UTF-8 bytes)
  std::uint32_t values = 0;
  std::uint32_t maxValueNameLen = 0;  // UTF-16 units, without the closing NUL
  std::uint32_t maxValueLen = 0;      // bytes
  std::uint64_t lastWriteTime = 0;    // FILETIME as one number
};

class RegistryApi {
 public:
  virtual ~RegistryApi() = default;

  // RegOpenKeyExW. `path` may be empty (a new handle to `parent` itself).
  virtual long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) = 0;
  // RegCloseKey.
  virtual long CloseKey(RegKey key) = 0;
  // RegFlushKey.
  virtual long FlushKey(RegKey key) = 0;
  // RegQueryInfoKeyW.
  virtual long QueryInfoKey(RegKey key, RegKeyCounts* counts) = 0;
  // RegEnumKeyExW: `*length` is the buffer size in UTF-8 bytes on entry (closing NUL included) and the
  // name's length in bytes on success; too small a buffer gives kErrorMoreData.
  virtual long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) = 0;
  // RegEnumValueW, names only, with the same buffer rules as EnumKey.
  virtual long EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) = 0;
  // RegQueryValueExW. `data` may be null (size query). The string types come back as UTF-8 (an odd last
  // byte of the stored UTF-16 is dropped), with their size in UTF-8 bytes; other types as stored.
  virtual long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                          std::uint32_t* size) = 0;
  // RegQueryValueExW with the data as stored (UTF-16LE for the string types).
  virtual long QueryValueW(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                           std::uint32_t* size) = 0;
};

}  // namespace kv
