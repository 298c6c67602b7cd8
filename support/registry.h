// TRegistry: the one registry accessor every reader goes through. Plain logic over the seam's registry:
// it opens (never creates), enumerates and reads; nothing here writes to the registry.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

namespace kv {

enum TRegDataType {
  rdUnknown,                   // REG_NONE
  rdString,                    // REG_SZ
  rdExpandString,              // REG_EXPAND_SZ
  rdInteger,                   // REG_DWORD
  rdBinary,                    // REG_BINARY
  rdMultiString,               // REG_MULTI_SZ
  rdIntegerBigEndian,          // REG_DWORD_BIG_ENDIAN
  rdLink,                      // REG_LINK
  rdResourceList,              // REG_RESOURCE_LIST
  rdFullResourceDescriptor,    // REG_FULL_RESOURCE_DESCRIPTOR
  rdResourceRequirementsList,  // REG_RESOURCE_REQUIREMENTS_LIST
  rdOther                      // any other type; also the answer for a missing value
};

TRegDataType DataTypeFromNative(std::uint32_t nativeType);

struct TRegKeyInfo {
  std::uint32_t NumSubKeys = 0;
  std::uint32_t MaxSubKeyLen = 0;
  std::uint32_t NumValues = 0;
  std::uint32_t MaxValueLen = 0;
  std::uint32_t MaxDataLen = 0;
  std::uint64_t FileTime = 0;
};

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  std::int32_t DataSize = 0;
};

class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TRegistry {
 public:
  explicit TRegistry(Platform& platform);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  RegKey CurrentKey() const { return currentKey_; }
  const std::string& CurrentPath() const { return currentPath_; }
  std::uint32_t RootKey() const { return rootKey_; }
  void SetRootKey(std::uint32_t rootKey);
  // False: CloseKey flushes the key before it closes it (RegFlushKey), as a reader that asks for it expects.
  bool LazyWrite = true;
  // The rights OpenKey asks for. All access by default: OpenKey then fails on a key the user may only
  // read. OpenKeyReadOnly stores here the rights that succeeded.
  std::uint32_t Access = kKeyAllAccess;

  void CloseKey();
  // Opens with the rights in Access. `canCreate` is accepted for the familiar signature; this accessor
  // never creates a key.
  bool OpenKey(const std::string& path, bool canCreate);
  bool OpenKeyReadOnly(const std::string& path);
  bool KeyExists(const std::string& path);

  bool GetKeyInfo(TRegKeyInfo& info);
  void GetKeyNames(std::vector<std::string>& list);
  // GetKeyNames that tells whether the list is whole: false when the key's information or one of its
  // subkeys' names could not be read (the list then holds the names read before).
  bool ReadKeyNames(std::vector<std::string>& list);
  void GetValueNames(std::vector<std::string>& list);
  bool ValueExists(const std::string& name);
  bool GetDataInfo(const std::string& name, TRegDataInfo& info);
  TRegDataType GetDataType(const std::string& name);
  std::int32_t GetDataSize(const std::string& name);

  std::string ReadString(const std::string& name);
  std::u16string ReadWideString(const std::string& name);
  // A value's text as UTF-8 whatever its type, less its last character: for a multi-string, its strings
  // with the NUL after each (the closing NUL dropped). Missing value: empty.
  std::string ReadMultiString(const std::string& name);
  std::int32_t ReadInteger(const std::string& name);
  bool ReadBool(const std::string& name);
  std::int32_t ReadBinaryData(const std::string& name, void* buffer, std::int32_t bufferSize);

 private:
  bool IsRelative(const std::string& path) const;
  RegKey BaseKey(bool relative) const;
  // Opens `path` by the path rules with `access`; kNoKey on failure, with the reason in `status`.
  RegKey OpenByRules(const std::string& path, std::uint32_t access, bool* relative, std::string* subPath,
                     long* status = nullptr);
  void ChangeKey(RegKey key, const std::string& path);
  bool TryOpen(const std::string& path, std::uint32_t access, long* status = nullptr);
  // Reads a value's type and bytes in one call when they fit the first buffer, growing it (to the size
  // the system reports) when they do not or when the data grew meanwhile; gives up after a few tries.
  // `reported` gets the last size the system reported.
  long ReadValueBytes(const std::string& name, std::uint32_t* type, std::vector<std::uint8_t>* data,
                      std::uint32_t* reported = nullptr);

  // What one read of a value of the open key gave. Whether the value exists, its type, its size and its
  // text are then answered from it until the key is closed, so that the usual sequence of questions
  // about one value costs a single registry call.
  struct ValueRead {
    long status = kErrorFileNotFound;  // of the value's query: success when the value exists
    std::uint32_t type = REG_NONE_TYPE;
    std::uint32_t size = 0;
    long dataStatus = kErrorFileNotFound;  // success when `data` holds the value's bytes
    std::vector<std::uint8_t> data;
  };
  const ValueRead& ReadValue(const std::string& name);
  // True when every name the key reported was read.
  bool EnumerateNames(bool values, std::vector<std::string>& list);

  Platform& platform_;
  RegKey currentKey_ = kNoKey;
  std::uint32_t rootKey_ = HKEY_CURRENT_USER_CODE;
  std::string currentPath_;
  std::unordered_map<std::string, ValueRead> values_;  // the open key's values read so far, by name as asked
};

}  // namespace kv
