#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace kv {
namespace {

// The predefined roots travel through the seam as their 32-bit codes; Windows wants them sign-extended.
HKEY ToHkey(RegKey key) {
  if (IsPredefinedKey(key)) return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(key)));
  return reinterpret_cast<HKEY>(key);
}

RegKey FromHkey(HKEY key) {
  const auto raw = reinterpret_cast<ULONG_PTR>(key);
  const auto code = static_cast<std::uint32_t>(raw);
  if (raw == static_cast<ULONG_PTR>(static_cast<LONG>(code)) && IsPredefinedKey(code)) return code;
  return static_cast<RegKey>(raw);
}

DWORD* AsDword(std::uint32_t* p) { return reinterpret_cast<DWORD*>(p); }

}  // namespace

long Win32Registry::OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(ToHkey(parent), path.c_str(), 0, access, &key);
  *result = status == ERROR_SUCCESS ? FromHkey(key) : kNoKey;
  return status;
}

long Win32Registry::CloseKey(RegKey key) { return RegCloseKey(ToHkey(key)); }

long Win32Registry::FlushKey(RegKey key) { return RegFlushKey(ToHkey(key)); }

long Win32Registry::QueryInfoKey(RegKey key, RegKeyCounts* counts) {
  DWORD subKeys = 0, maxSubKeyLen = 0, values = 0, maxValueNameLen = 0, maxValueLen = 0;
  FILETIME lastWrite{};
  LONG status = RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLen, nullptr, &values,
                                 &maxValueNameLen, &maxValueLen, nullptr, &lastWrite);
  if (status == ERROR_SUCCESS) {
    counts->subKeys = subKeys;
    counts->maxSubKeyLen = maxSubKeyLen;
    counts->values = values;
    counts->maxValueNameLen = maxValueNameLen;
    counts->maxValueLen = maxValueLen;
    counts->lastWriteTime = (std::uint64_t{lastWrite.dwHighDateTime} << 32) | lastWrite.dwLowDateTime;
  }
  return status;
}

long Win32Registry::EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) {
  return RegEnumKeyExA(ToHkey(key), index, name, AsDword(length), nullptr, nullptr, nullptr, nullptr);
}

long Win32Registry::EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) {
  return RegEnumValueA(ToHkey(key), index, name, AsDword(length), nullptr, nullptr, nullptr, nullptr);
}

long Win32Registry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* size) {
  return RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, AsDword(type), data, AsDword(size));
}

long Win32Registry::QueryValueW(RegKey key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data,
                                std::uint32_t* size) {
  return RegQueryValueExW(ToHkey(key), reinterpret_cast<const wchar_t*>(name.c_str()), nullptr, AsDword(type), data,
                          AsDword(size));
}

}  // namespace kv
