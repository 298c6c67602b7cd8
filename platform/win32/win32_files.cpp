#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace kv {
namespace {

void Fill(const WIN32_FIND_DATAA& data, FindEntry* entry) {
  entry->name = data.cFileName;
  entry->attributes = data.dwFileAttributes;
  entry->lastWriteTime = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

}  // namespace

FindHandle Win32FileSystem::FindFirst(const std::string& pattern, FindEntry* entry) {
  WIN32_FIND_DATAA data{};
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return kNoFind;
  Fill(data, entry);
  return reinterpret_cast<FindHandle>(find);
}

bool Win32FileSystem::FindNext(FindHandle find, FindEntry* entry) {
  WIN32_FIND_DATAA data{};
  if (!FindNextFileA(reinterpret_cast<HANDLE>(find), &data)) return false;
  Fill(data, entry);
  return true;
}

void Win32FileSystem::FindClose(FindHandle find) { ::FindClose(reinterpret_cast<HANDLE>(find)); }

std::uint32_t Win32FileSystem::GetAttributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

std::uint32_t Win32FileSystem::FullPathName(const std::string& path, std::uint32_t length, char* buffer) {
  return GetFullPathNameA(path.c_str(), length, buffer, nullptr);
}

std::uint32_t Win32FileSystem::ShortPathName(const std::string& path, std::uint32_t length, char* buffer) {
  return GetShortPathNameA(path.c_str(), buffer, length);
}

std::uint32_t Win32FileSystem::SetErrorMode(std::uint32_t mode) { return ::SetErrorMode(mode); }

}  // namespace kv
