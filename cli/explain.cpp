#include "cli/explain.h"

#include <map>

#include "scan/search_lists.h"
#include "scan/shell.h"
#include "support/reg_utils.h"
#include "support/registry.h"
#include "support/text.h"

namespace kv::cli {
namespace {

// How a section's list names its faulty entry.
enum class Naming {
  kValueName,    // a value of the section's key
  kSubkeyName,   // a subkey of the section's key; one value in it is examined
  kKeyPath,      // a full key path ("HKEY_CLASSES_ROOT\..."); its default value is examined
  kShortcutFile  // a shortcut file in a startup folder
};

struct SectionKind {
  Naming naming;
  const char* valueName;  // kSubkeyName: the value examined in the subkey
  const char* rule;
};

const std::map<std::string, SectionKind>& Kinds() {
  static const std::map<std::string, SectionKind> kinds = {
      {"TStartUpSectionHKLM",
       {Naming::kValueName, "", "a start-up command whose program cannot be found, or a number instead of a command"}},
      {"TStartUpSectionHKCU",
       {Naming::kValueName, "", "a start-up command whose program cannot be found, or a number instead of a command"}},
      {"TStartUpSectionSL", {Naming::kShortcutFile, "", "a startup-folder shortcut whose target file does not exist"}},
      {"TSharedDLL", {Naming::kValueName, "", "a shared file (the value's name) that does not exist"}},
      {"TRegFonts",
       {Naming::kValueName, "", "a font file found neither as written nor in the fonts folder, or a number"}},
      {"TUninstallInfo",
       {Naming::kSubkeyName, "UninstallString",
        "an uninstall command whose program (or rundll32 DLL) cannot be found, or an Installer command that "
        "names another product code"}},
      {"TAppPath",
       {Naming::kSubkeyName, "",
        "an application path that is neither a file that can be found nor a folder, or a number"}},
      {"TSharedFolders", {Naming::kValueName, "", "a shared folder that does not exist or is a network path"}},
      {"TWinHelp", {Naming::kValueName, "", "a help file not found in the folder registered for it"}},
      {"THTMLHelp", {Naming::kValueName, "", "a help file not found in the folder registered for it"}},
      {"TMRUList",
       {Naming::kValueName, "",
        "a recently run command whose program cannot be found and that is no folder, too short, or a number"}},
      {"TClsIdTYPES", {Naming::kKeyPath, "", "a class registration naming a file that cannot be found"}},
      {"TFileExtCommands",
       {Naming::kKeyPath, "",
        "a file type's command or icon naming a program that cannot be found, an extension naming a file "
        "type that does not exist, or a per-user choice of an unregistered program"}},
  };
  return kinds;
}

std::string RootName(std::uint32_t root) {
  std::string name;
  RootKeyToString(root, name);
  return name;
}

// "HKEY_CLASSES_ROOT\CLSID\..." -> the root's code and the path below it.
bool SplitKeyPath(const std::string& full, std::uint32_t* root, std::string* path) {
  for (std::uint32_t code = HKEY_CLASSES_ROOT_CODE; code <= HKEY_DYN_DATA_CODE; ++code) {
    const std::string name = RootName(code);
    if (name.empty()) continue;
    if (full == name || StartsWith(full, name + "\\")) {
      *root = code;
      *path = full.size() > name.size() ? full.substr(name.size() + 1) : std::string();
      return true;
    }
  }
  return false;
}

const char* TypeName(TRegDataType type) {
  switch (type) {
    case rdUnknown: return "REG_NONE";
    case rdString: return "REG_SZ";
    case rdExpandString: return "REG_EXPAND_SZ";
    case rdInteger: return "REG_DWORD";
    case rdBinary: return "REG_BINARY";
    case rdMultiString: return "REG_MULTI_SZ";
    case rdIntegerBigEndian: return "REG_DWORD_BIG_ENDIAN";
    case rdLink: return "REG_LINK";
    case rdResourceList: return "REG_RESOURCE_LIST";
    case rdFullResourceDescriptor: return "REG_FULL_RESOURCE_DESCRIPTOR";
    case rdResourceRequirementsList: return "REG_RESOURCE_REQUIREMENTS_LIST";
    case rdOther: return "other";
  }
  return "other";
}

// Fills `value`, `type` and `data` from the value `name` of the key `path` below `root`.
void ReadValue(Engine& engine, std::uint32_t root, const std::string& path, const std::string& name,
               Explanation& explanation) {
  explanation.value = name.empty() ? "(default)" : name;
  TRegistry registry(engine.platform);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(path) || !registry.ValueExists(name)) return;
  const TRegDataType type = registry.GetDataType(name);
  explanation.type = TypeName(type);
  if (type != rdInteger && type != rdIntegerBigEndian) {
    explanation.data = engine.WinInfo.ReadExpandedValue(name, registry);
    return;
  }
  // The sections read a number as empty text; the explanation shows the number.
  std::uint8_t bytes[4] = {0, 0, 0, 0};
  try {
    if (registry.ReadBinaryData(name, bytes, sizeof bytes) != 4) return;
  } catch (const ERegistryException&) {
    return;  // a value of another size than a number's: no data shown
  }
  const std::uint32_t number = type == rdInteger ? std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                                       std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24
                                                 : std::uint32_t{bytes[3]} | std::uint32_t{bytes[2]} << 8 |
                                                       std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[0]} << 24;
  explanation.data = std::to_string(number);
}

}  // namespace

std::string SectionRule(const std::string& sectionClass) {
  auto kind = Kinds().find(sectionClass);
  return kind == Kinds().end() ? std::string() : kind->second.rule;
}

std::string SectionLabel(const std::string& sectionClass) {
  static const std::map<std::string, std::string> labels = {
      {"TStartUpSectionHKLM", "Run keys of the machine"},
      {"TStartUpSectionHKCU", "Run keys of the user"},
      {"TStartUpSectionSL", "Shortcuts in the startup folders"},
      {"TSharedDLL", "Shared DLLs and their use counts"},
      {"TRegFonts", "Installed fonts"},
      {"TUninstallInfo", "Uninstall entries of installed programs"},
      {"TAppPath", "Application paths"},
      {"TSharedFolders", "Shared folders"},
      {"TWinHelp", "Help files"},
      {"THTMLHelp", "HTML help files"},
      {"TMRUList", "History of the Run box"},
      {"TClsIdTYPES", "COM class registrations"},
      {"TFileExtCommands", "File types and their commands"},
  };
  auto label = labels.find(sectionClass);
  return label == labels.end() ? std::string() : label->second;
}

Explanation Explain(Engine& engine, const TNamedRegStringList& section) {
  Explanation explanation;
  if (section.Count() == 0) return explanation;
  const std::string& first = section[0];
  auto kind = Kinds().find(section.ClassName());
  Naming naming = kind == Kinds().end() ? Naming::kValueName : kind->second.naming;
  std::string subkeyValue = kind == Kinds().end() ? "" : kind->second.valueName;
  if (kind != Kinds().end()) explanation.rule = kind->second.rule;
  // The shares of the Windows 9x family are subkeys with a "Path" value, those of NT values of one key.
  if (std::string(section.ClassName()) == "TSharedFolders" &&
      LowerAscii(section.KeyPath).find("lanmanserver") == std::string::npos) {
    naming = Naming::kSubkeyName;
    subkeyValue = "Path";
  }
  if (StartsWith(first, "HKEY_")) naming = Naming::kKeyPath;

  const std::uint32_t root = section.Registry.RootKey();
  const std::string sectionKey = RootKeyPath(root, section.KeyPath);
  switch (naming) {
    case Naming::kValueName:
      explanation.where = sectionKey;
      ReadValue(engine, root, section.KeyPath, first, explanation);
      break;
    case Naming::kSubkeyName: {
      const std::string path = section.KeyPath.empty() ? first : section.KeyPath + "\\" + first;
      explanation.where = sectionKey + "\\" + first;
      ReadValue(engine, root, path, subkeyValue, explanation);
      break;
    }
    case Naming::kKeyPath: {
      explanation.where = first;
      std::uint32_t keyRoot = 0;
      std::string path;
      if (SplitKeyPath(first, &keyRoot, &path) && !path.empty()) ReadValue(engine, keyRoot, path, "", explanation);
      break;
    }
    case Naming::kShortcutFile: {
      explanation.where = first;
      explanation.value = "target";
      // Reading the shortcut needs the shell link object; without it the target stays unknown.
      try {
        GetShortcutTarget(engine.platform, first, explanation.data);
      } catch (const ShellLinkError&) {
      }
      break;
    }
  }
  return explanation;
}

}  // namespace kv::cli
