// MemorySystem: environment, folders, version, shell folders and shortcuts held in maps.
#include "platform/memory/memory_platform.h"
#include "support/text.h"

namespace kv {
namespace {

// Environment names and shortcut paths compare without regard to case.
std::string UpperKey(const std::string& text) { return UpperText(text); }

}  // namespace

MemorySystem::MemorySystem() = default;

void MemorySystem::SetEnvironment(const std::string& name, const std::string& value) {
  environment_[UpperKey(name)] = value;
}

void MemorySystem::UnsetEnvironment(const std::string& name) { environment_.erase(UpperKey(name)); }

void MemorySystem::SetSystemDirectory(const std::string& path) { systemDirectory_ = path; }

void MemorySystem::SetWindowsDirectory(const std::string& path) { windowsDirectory_ = path; }

void MemorySystem::SetVersion(const OsVersion& version, bool available) {
  version_ = version;
  versionAvailable_ = available;
}

void MemorySystem::SetSpecialFolder(int csidl, const std::string& path) {
  if (path.empty()) {
    specialFolders_.erase(csidl);
  } else {
    specialFolders_[csidl] = path;
  }
}

void MemorySystem::SetShortcut(const std::string& linkFile, const std::string& target) {
  shortcuts_[UpperKey(linkFile)] = target;
  unreadable_.erase(UpperKey(linkFile));
}

void MemorySystem::SetUnreadableShortcut(const std::string& linkFile) { unreadable_[UpperKey(linkFile)] = true; }

void MemorySystem::SetShellLinkAvailable(bool available) { shellLinkAvailable_ = available; }

void MemorySystem::SetMultiByteCodePage(bool multiByte) { multiByte_ = multiByte; }

bool MemorySystem::GetEnvironment(const std::string& name, std::string* value) {
  auto it = environment_.find(UpperKey(name));
  if (it == environment_.end()) return false;
  if (value) *value = it->second;
  return true;
}

std::string MemorySystem::SystemDirectory() { return systemDirectory_; }

std::string MemorySystem::WindowsDirectory() { return windowsDirectory_; }

bool MemorySystem::Version(OsVersion* version) {
  if (!versionAvailable_) return false;
  if (version) *version = version_;
  return true;
}

bool MemorySystem::GetSpecialFolder(int csidl, std::string* path) {
  auto it = specialFolders_.find(csidl);
  if (it == specialFolders_.end()) return false;
  if (path) *path = it->second;
  return true;
}

ShortcutRead MemorySystem::GetShortcutTarget(const std::string& linkFile, std::string* target) {
  if (!shellLinkAvailable_) return ShortcutRead::kNoShellLink;
  const std::string key = UpperKey(linkFile);
  auto it = shortcuts_.find(key);
  if (it == shortcuts_.end() || unreadable_.count(key) != 0) return ShortcutRead::kNotLoaded;
  if (target) *target = it->second;
  return ShortcutRead::kRead;
}

bool MemorySystem::IsMultiByteCodePage() { return multiByte_; }

}  // namespace kv
