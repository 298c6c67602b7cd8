#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/utf.h"
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

// The longest name the registry holds (value names; key names are shorter), and its closing NUL.
constexpr DWORD kLongestName = 16384;

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A name enumerated by index through `enumerate` (RegEnumKeyExW or RegEnumValueW), handed out by the
// buffer rules of the seam: `*length` bytes of room with the NUL. A name of more UTF-16 units than that
// cannot fit in any case, so the system is asked with no more room than the caller has.
template <typename Enumerate>
long DeliverName(Enumerate enumerate, char* name, std::uint32_t* length) {
  if (name == nullptr || length == nullptr) return ERROR_INVALID_PARAMETER;
  const DWORD room = *length < kLongestName ? *length : kLongestName;
  wchar_t small[MAX_PATH];
  std::vector<wchar_t> large;
  wchar_t* buffer = small;
  if (room > MAX_PATH) {
    large.resize(room);
    buffer = large.data();
  }
  DWORD units = room;
  const LONG status = enumerate(buffer, &units);
  if (status != ERROR_SUCCESS) return status;
  const std::string text = Narrow(buffer, units);
  if (text.size() >= *length) return ERROR_MORE_DATA;
  std::memcpy(name, text.data(), text.size());
  name[text.size()] = '\0';
  *length = static_cast<std::uint32_t>(text.size());
  return ERROR_SUCCESS;
}

// The stored data of a value, read whole: into a small buffer first, then one sized by the answer (again
// when the value grew meanwhile). Sets `type` and `bytes`.
LONG ReadStored(HKEY key, const std::wstring& name, DWORD* type, std::vector<BYTE>* bytes) {
  DWORD size = 512;
  for (int attempt = 0; attempt < 8; ++attempt) {
    bytes->resize(size);
    DWORD got = size;
    const LONG status = RegQueryValueExW(key, name.c_str(), nullptr, type, bytes->data(), &got);
    if (status == ERROR_MORE_DATA) {
      size = got > size ? got : size * 2;
      continue;
    }
    bytes->resize(status == ERROR_SUCCESS && got <= size ? got : 0);
    return status;
  }
  return ERROR_MORE_DATA;
}

}  // namespace

long Win32Registry::OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(ToHkey(parent), Widen(path).c_str(), 0, access, &key);
  *result = status == ERROR_SUCCESS ? FromHkey(key) : kNoKey;
  return status;
}

long Win32Registry::CloseKey(RegKey key) { return RegCloseKey(ToHkey(key)); }

long Win32Registry::FlushKey(RegKey key) { return RegFlushKey(ToHkey(key)); }

long Win32Registry::QueryInfoKey(RegKey key, RegKeyCounts* counts) {
  DWORD subKeys = 0, maxSubKeyLen = 0, values = 0, maxValueNameLen = 0, maxValueLen = 0;
  FILETIME lastWrite{};
  LONG status = RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLen, nullptr, &values,
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
  return DeliverName(
      [&](wchar_t* buffer, DWORD* units) {
        return RegEnumKeyExW(ToHkey(key), index, buffer, units, nullptr, nullptr, nullptr, nullptr);
      },
      name, length);
}

long Win32Registry::EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) {
  return DeliverName(
      [&](wchar_t* buffer, DWORD* units) {
        return RegEnumValueW(ToHkey(key), index, buffer, units, nullptr, nullptr, nullptr, nullptr);
      },
      name, length);
}

// Read whole through the UTF-16 call, the string types turned into UTF-8, then handed out by the rules of
// RegQueryValueEx: a size query when `data` is null; too small a buffer gives ERROR_MORE_DATA with the
// size needed; string data without a closing NUL gets one when the buffer has room beyond it.
long Win32Registry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* size) {
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  DWORD storedType = REG_NONE;
  std::vector<BYTE> stored;
  const LONG status = ReadStored(ToHkey(key), Widen(name), &storedType, &stored);
  if (status != ERROR_SUCCESS) {
    if (size != nullptr && data == nullptr) *size = 0;
    return status;
  }
  if (type != nullptr) *type = storedType;
  std::string text;
  const BYTE* bytes = stored.data();
  std::size_t count = stored.size();
  if (IsStringType(storedType)) {
    text = Narrow(reinterpret_cast<const wchar_t*>(stored.data()), stored.size() / sizeof(wchar_t));
    bytes = reinterpret_cast<const BYTE*>(text.data());
    count = text.size();
  }
  const auto needed = static_cast<std::uint32_t>(count);
  if (data != nullptr) {
    if (*size < needed) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    if (count > 0) std::memcpy(data, bytes, count);
    if (IsStringType(storedType) && *size > needed && (count == 0 || bytes[count - 1] != 0)) data[count] = 0;
  }
  if (size != nullptr) *size = needed;
  return ERROR_SUCCESS;
}

long Win32Registry::QueryValueW(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                                std::uint32_t* size) {
  return RegQueryValueExW(ToHkey(key), Widen(name).c_str(), nullptr, AsDword(type), data, AsDword(size));
}

}  // namespace kv
