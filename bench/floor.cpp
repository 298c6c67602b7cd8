#include "bench/floor.h"

#include <set>
#include <string>
#include <vector>

#include "platform/handles.h"

namespace kv::bench {
namespace {

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
// The subkeys of a class identifier that name files.
const std::set<std::string> kClassFileKeys = {"defaulticon",  "inprochandler32", "inprochandler", "inprocserver32",
                                              "inprocserver", "localserver32",   "localserver",   "persistenthandler"};

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

class Walker {
 public:
  Walker(Platform& platform, FloorCounts& counts) : registry_(platform.registry), counts_(counts) {}

  UniqueRegKey Open(RegKey parent, const std::string& path) {
    RegKey key = kNoKey;
    if (registry_.OpenKey(parent, path, kKeyRead, &key) != kErrorSuccess) return UniqueRegKey();
    ++counts_.keys;
    return UniqueRegKey(registry_, key);
  }

  std::vector<std::string> Subkeys(const UniqueRegKey& key) { return Names(key, false); }
  std::vector<std::string> ValueNames(const UniqueRegKey& key) { return Names(key, true); }

  // One read of a value, into a buffer that fits every value of a generated machine.
  std::string Read(const UniqueRegKey& key, const std::string& name) {
    std::uint32_t type = 0;
    std::uint32_t size = sizeof buffer_;
    if (registry_.QueryValue(key.get(), name, &type, buffer_, &size) != kErrorSuccess) return std::string();
    ++counts_.values;
    return std::string(reinterpret_cast<const char*>(buffer_), size > 0 ? size - 1 : 0);
  }

  // A key whose values are all examined.
  void ValueKey(std::uint32_t root, const std::string& path, bool readData = true) {
    UniqueRegKey key = Open(root, path);
    if (!key) return;
    for (const std::string& name : ValueNames(key))
      if (readData) Read(key, name);
  }

  // A file type or registered program: its verbs' commands and its icon.
  void Type(const UniqueRegKey& classes, const std::string& type) {
    UniqueRegKey shell = Open(classes.get(), type + "\\shell");
    if (!shell) return;
    for (const std::string& verb : Subkeys(shell)) {
      UniqueRegKey command = Open(shell.get(), verb + "\\command");
      if (command) Read(command, "");
    }
    UniqueRegKey icon = Open(classes.get(), type + "\\DefaultIcon");
    if (icon) Read(icon, "");
  }

 private:
  std::vector<std::string> Names(const UniqueRegKey& key, bool values) {
    std::vector<std::string> names;
    char name[1024];
    for (std::uint32_t index = 0;; ++index) {
      std::uint32_t length = sizeof name;
      const long status = values ? registry_.EnumValue(key.get(), index, name, &length)
                                 : registry_.EnumKey(key.get(), index, name, &length);
      if (status != kErrorSuccess) break;
      names.emplace_back(name, length);
    }
    return names;
  }

  RegistryApi& registry_;
  FloorCounts& counts_;
  std::uint8_t buffer_[8192];
};

}  // namespace

FloorCounts RunFloor(Platform& platform, const MachineSummary& machine) {
  FloorCounts counts;
  Walker walk(platform, counts);
  const std::string cv = kCurrentVersion;

  walk.ValueKey(HKEY_LOCAL_MACHINE_CODE, cv + "\\Run");
  walk.ValueKey(HKEY_CURRENT_USER_CODE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  walk.ValueKey(HKEY_LOCAL_MACHINE_CODE, cv + "\\SharedDLLs", /*readData=*/false);
  walk.ValueKey(HKEY_LOCAL_MACHINE_CODE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
  walk.ValueKey(HKEY_LOCAL_MACHINE_CODE, "SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\Shares");
  walk.ValueKey(HKEY_LOCAL_MACHINE_CODE, "SOFTWARE\\Microsoft\\Windows\\Help");
  walk.ValueKey(HKEY_LOCAL_MACHINE_CODE, "SOFTWARE\\Microsoft\\Windows\\HTML Help");
  walk.ValueKey(HKEY_CURRENT_USER_CODE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU");

  if (UniqueRegKey uninstall = walk.Open(HKEY_LOCAL_MACHINE_CODE, cv + "\\Uninstall")) {
    for (const std::string& name : walk.Subkeys(uninstall)) {
      UniqueRegKey entry = walk.Open(uninstall.get(), name);
      if (!entry) continue;
      for (const char* value : {"DisplayName", "SystemComponent", "UninstallString"}) walk.Read(entry, value);
    }
  }
  if (UniqueRegKey appPaths = walk.Open(HKEY_LOCAL_MACHINE_CODE, cv + "\\App Paths")) {
    for (const std::string& name : walk.Subkeys(appPaths)) {
      UniqueRegKey entry = walk.Open(appPaths.get(), name);
      if (entry) walk.Read(entry, "");
    }
  }

  if (UniqueRegKey clsid = walk.Open(HKEY_CLASSES_ROOT_CODE, "CLSID")) {
    for (const std::string& id : walk.Subkeys(clsid)) {
      UniqueRegKey entry = walk.Open(clsid.get(), id);
      if (!entry) continue;
      for (const std::string& sub : walk.Subkeys(entry)) {
        if (kClassFileKeys.count(Lower(sub)) == 0) continue;
        UniqueRegKey file = walk.Open(entry.get(), sub);
        if (file) walk.Read(file, "");
      }
    }
  }

  if (UniqueRegKey classes = walk.Open(HKEY_CLASSES_ROOT_CODE, "")) {
    std::set<std::string> types;
    for (const std::string& name : walk.Subkeys(classes)) {
      if (name.empty() || name[0] != '.') continue;
      UniqueRegKey extension = walk.Open(classes.get(), name);
      if (!extension) continue;
      const std::string type = walk.Read(extension, "");
      if (!type.empty()) types.insert(Lower(type));
    }
    for (const std::string& type : types) walk.Type(classes, type);

    std::set<std::string> chosen;
    if (UniqueRegKey fileExts =
            walk.Open(HKEY_CURRENT_USER_CODE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts")) {
      for (const std::string& name : walk.Subkeys(fileExts)) {
        UniqueRegKey choice = walk.Open(fileExts.get(), name);
        if (!choice) continue;
        const std::string application = walk.Read(choice, "Application");
        if (!application.empty()) chosen.insert(Lower(application));
      }
    }
    if (UniqueRegKey applications = walk.Open(classes.get(), "Applications")) {
      walk.Subkeys(applications);
      for (const std::string& application : chosen) walk.Type(classes, "Applications\\" + application);
    }
  }

  for (const std::string& file : machine.referencedFiles) {
    ++counts.files;
    if (platform.files.GetAttributes(file) == kInvalidFileAttributes) ++counts.missing;
  }
  return counts;
}

}  // namespace kv::bench
