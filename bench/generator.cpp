#include "bench/generator.h"

#include <algorithm>
#include <cstdio>

#include "platform/registry_api.h"

namespace kv::bench {
namespace {

constexpr std::uint32_t HKLM = HKEY_LOCAL_MACHINE_CODE;
constexpr std::uint32_t HKCU = HKEY_CURRENT_USER_CODE;
constexpr std::uint32_t HKCR = HKEY_CLASSES_ROOT_CODE;

const std::string kProgramFiles = "C:\\Program Files";
const std::string kSystem32 = "C:\\windows\\system32";
const std::string kFontsFolder = "C:\\windows\\Fonts";
const std::string kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// A class identifier made from a category and a number, the same on every run.
std::string Guid(std::uint64_t category, std::uint64_t n) {
  const std::uint64_t a = Mix(category << 40 ^ n);
  const std::uint64_t b = Mix(a);
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%012llX}", static_cast<unsigned>(a >> 32),
                static_cast<unsigned>(a >> 16 & 0xFFFF), static_cast<unsigned>(a & 0xFFFF),
                static_cast<unsigned>(b >> 48), static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
  return text;
}

std::string Number(int n, int width) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*d", width, n);
  return text;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// One installed program: its folder and the files in it.
struct Program {
  std::string folder, exe, uninstaller, exeName;
  std::string dlls[3];
};

Program ProgramAt(int i) {
  Program p;
  p.folder = kProgramFiles + "\\Kvb Vendor " + Number(i / 10, 3) + "\\Product " + Number(i, 5);
  p.exeName = "prod" + Number(i, 5) + ".exe";
  p.exe = p.folder + "\\" + p.exeName;
  p.uninstaller = p.folder + "\\uninst.exe";
  p.dlls[0] = p.folder + "\\prod" + Number(i, 5) + "core.dll";
  p.dlls[1] = p.folder + "\\prod" + Number(i, 5) + "ui.dll";
  p.dlls[2] = p.folder + "\\Shell Extensions\\prod" + Number(i, 5) + "ext.dll";
  return p;
}

// Writes the machine through a MachineWriter and counts what it wrote.
class Writer {
 public:
  Writer(MachineWriter& writer, MachineSummary& summary) : writer_(writer), summary_(summary) {}

  void Key(std::uint32_t root, const std::string& path) {
    writer_.CreateKey(root, path);
    ++summary_.keys;
  }
  void String(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text,
              bool expandable = false) {
    Value(root, path, name, expandable ? REG_EXPAND_SZ_TYPE : REG_SZ_TYPE, StringBytes(text));
  }
  void Dword(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t value) {
    Value(root, path, name, REG_DWORD_TYPE, DwordBytes(value));
  }
  void Multi(std::uint32_t root, const std::string& path, const std::string& name, const std::vector<std::string>& s) {
    Value(root, path, name, REG_MULTI_SZ_TYPE, MultiStringBytes(s));
  }
  // A file that exists and that an entry names.
  void File(const std::string& path) {
    if (summary_.referencedFiles.insert(path).second) {
      writer_.AddFile(path);
      ++summary_.files;
    }
  }
  void Folder(const std::string& path) {
    if (summary_.referencedFiles.insert(path).second) {
      writer_.AddDirectory(path);
      ++summary_.files;
    }
  }

 private:
  void Value(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
             const std::vector<std::uint8_t>& data) {
    writer_.SetValue(root, path, name, type, data);
    ++summary_.values;
  }

  MachineWriter& writer_;
  MachineSummary& summary_;
};

void InstallPrograms(Writer& w, int programs) {
  for (const std::string& dll : SystemDlls()) w.File(kSystem32 + "\\" + dll);
  for (const char* tool : {"msiexec.exe", "rundll32.exe", "notepad.exe", "cmd.exe"}) w.File(kSystem32 + "\\" + tool);
  for (int i = 0; i < programs; ++i) {
    const Program p = ProgramAt(i);
    w.File(p.exe);
    w.File(p.uninstaller);
    for (const std::string& dll : p.dlls) w.File(dll);
  }
}

void ClassIds(Writer& w, int count, int programs) {
  const std::vector<std::string>& system = SystemDlls();
  for (int j = 0; j < count; ++j) {
    const std::string id = Guid(1, static_cast<std::uint64_t>(j));
    const std::string key = "CLSID\\" + id;
    const Program p = ProgramAt((j * 7) % programs);
    w.Key(HKCR, key);
    w.String(HKCR, key, "", "Kvb Class " + std::to_string(j));
    const int r = j % 20;
    const std::string server = key + "\\InprocServer32";
    w.Key(HKCR, server);
    if (r < 10) {
      // Half of all classes live in a handful of system DLLs, named in the three usual ways.
      const std::string& dll = system[static_cast<std::size_t>(j) % system.size()];
      if (j % 3 == 0) w.String(HKCR, server, "", kSystem32 + "\\" + dll);
      if (j % 3 == 1) w.String(HKCR, server, "", "%SystemRoot%\\system32\\" + dll, true);
      if (j % 3 == 2) w.String(HKCR, server, "", dll);
    } else if (r < 19) {
      const std::string& dll = p.dlls[j % 3];
      w.String(HKCR, server, "", j % 4 == 0 ? Quoted(dll) : dll);
    } else {
      w.String(HKCR, server, "", Guid(2, static_cast<std::uint64_t>(j)));
    }
    w.String(HKCR, server, "ThreadingModel", j % 2 ? "Apartment" : "Both");
    if (j % 10 < 3) {
      const std::string icon = key + "\\DefaultIcon";
      w.Key(HKCR, icon);
      if (j % 2)
        w.String(HKCR, icon, "", p.exe + "," + std::to_string(j % 5));
      else
        w.String(HKCR, icon, "", "%SystemRoot%\\system32\\shell32.dll,-" + std::to_string(j % 300), true);
    }
    if (j % 10 == 5) {
      const std::string local = key + "\\LocalServer32";
      w.Key(HKCR, local);
      w.String(HKCR, local, "", Quoted(p.exe) + " /automation");
    }
    if (j % 20 == 7) {
      w.Key(HKCR, key + "\\InprocHandler32");
      w.String(HKCR, key + "\\InprocHandler32", "", "ole32.dll");
    }
    if (j % 50 == 1) {
      w.Key(HKCR, key + "\\PersistentHandler");
      w.String(HKCR, key + "\\PersistentHandler", "", Guid(3, static_cast<std::uint64_t>(j)));
    }
  }
}

void Verbs(Writer& w, const std::string& typeKey, const Program& p, int verbs, bool icon, int iconIndex) {
  const std::string shell = typeKey + "\\shell";
  w.Key(HKCR, shell);
  const struct {
    const char* verb;
    std::string command;
  } all[] = {
      {"open", Quoted(p.exe) + " \"%1\""}, {"edit", Quoted(p.exe) + " /edit \"%1\""}, {"print", p.exe + " -p %1"}};
  for (int v = 0; v < verbs; ++v) {
    const std::string command = shell + "\\" + all[v].verb + "\\command";
    w.Key(HKCR, shell + "\\" + all[v].verb);
    w.Key(HKCR, command);
    w.String(HKCR, command, "", all[v].command);
  }
  if (icon) {
    w.Key(HKCR, typeKey + "\\DefaultIcon");
    w.String(HKCR, typeKey + "\\DefaultIcon", "", p.exe + "," + std::to_string(iconIndex));
  }
}

void FileTypes(Writer& w, int extensions, int types, int programs, int applications) {
  for (int t = 0; t < types; ++t) {
    const std::string type = "Kvb.Type" + Number(t, 6);
    w.Key(HKCR, type);
    w.String(HKCR, type, "", "Kvb document " + std::to_string(t));
    Verbs(w, type, ProgramAt(t % programs), 1 + t % 3, t % 2 == 0, t % 4);
  }
  for (int k = 0; k < extensions; ++k) {
    const std::string extension = ".k" + Number(k, 6);
    w.Key(HKCR, extension);
    w.String(HKCR, extension, "", "Kvb.Type" + Number(k % types, 6));
    if (k % 5 == 0) w.String(HKCR, extension, "Content Type", "application/x-kvb-" + std::to_string(k));
  }
  // Programs registered for "Open with", and the user's choices of them.
  for (int a = 0; a < applications; ++a) {
    const Program p = ProgramAt(a % programs);
    const std::string key = "Applications\\" + p.exeName;
    w.Key(HKCR, key);
    Verbs(w, key, p, 1, false, 0);
    const std::string choice = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.k" + Number(a, 6);
    w.Key(HKCU, choice);
    w.String(HKCU, choice, "Application", p.exeName);
  }
}

void Uninstall(Writer& w, int count) {
  const std::string root = kCurrentVersion + "\\Uninstall";
  for (int i = 0; i < count; ++i) {
    const Program p = ProgramAt(i);
    const int kind = i % 10;
    const std::string name =
        kind >= 6 && kind <= 8 ? Guid(4, static_cast<std::uint64_t>(i)) : "Kvb Product " + Number(i, 5);
    const std::string key = root + "\\" + name;
    w.Key(HKLM, key);
    w.String(HKLM, key, "DisplayName", "Kvb Product " + std::to_string(i));
    w.String(HKLM, key, "DisplayVersion", std::to_string(1 + i % 9) + ".0");
    w.String(HKLM, key, "Publisher", "Kvb Vendor " + Number(i / 10, 3));
    if (kind < 6)
      w.String(HKLM, key, "UninstallString", Quoted(p.uninstaller));
    else if (kind <= 8)
      w.String(HKLM, key, "UninstallString", "MsiExec.exe /X" + name);
    else
      w.String(HKLM, key, "UninstallString", "rundll32.exe " + Quoted(p.dlls[0]) + ",Uninstall");
    if (i % 20 == 3) w.Dword(HKLM, key, "SystemComponent", 1);
  }
}

void SharedDlls(Writer& w, int count, int programs) {
  const std::string key = kCurrentVersion + "\\SharedDLLs";
  w.Key(HKLM, key);
  for (int n = 0; n < count; ++n) w.Dword(HKLM, key, ProgramAt(n % programs).dlls[(n / programs) % 3], 1 + n % 4);
}

void Fonts(Writer& w, int count) {
  const std::string key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
  w.Key(HKLM, key);
  for (int f = 0; f < count; ++f) {
    const std::string file = "kvbfont" + Number(f, 5) + ".ttf";
    const std::string name = "Kvb Font " + Number(f, 5) + " (TrueType)";
    if (f % 2 == 0) {
      w.File(kFontsFolder + "\\" + file);
      w.String(HKLM, key, name, file);
    } else {
      const std::string path = kProgramFiles + "\\Kvb Fonts\\" + file;
      w.File(path);
      w.String(HKLM, key, name, path);
    }
  }
}

void AppPaths(Writer& w, int count, int programs) {
  for (int i = 0; i < count; ++i) {
    const Program p = ProgramAt(i % programs);
    const std::string key = kCurrentVersion + "\\App Paths\\" + p.exeName;
    w.Key(HKLM, key);
    if (i % 3 == 0) w.String(HKLM, key, "", p.exe);
    if (i % 3 == 1) w.String(HKLM, key, "", Quoted(p.exe));
    if (i % 3 == 2) w.String(HKLM, key, "", "%ProgramFiles%" + p.exe.substr(kProgramFiles.size()), true);
    w.String(HKLM, key, "Path", p.folder);
  }
}

void RunEntries(Writer& w, int count, int programs) {
  for (int r = 0; r < count; ++r) {
    const Program p = ProgramAt(r % programs);
    const bool machine = r % 5 != 4;
    const std::uint32_t root = machine ? HKLM : HKCU;
    const std::string key =
        (machine ? kCurrentVersion : std::string("Software\\Microsoft\\Windows\\CurrentVersion")) + "\\Run";
    w.Key(root, key);
    const std::string name = "Kvb Agent " + Number(r, 4);
    if (r % 3 == 0) w.String(root, key, name, Quoted(p.exe) + " /startup");
    if (r % 3 == 1) w.String(root, key, name, p.exe + " -tray");
    if (r % 3 == 2) w.String(root, key, name, "rundll32.exe " + Quoted(p.dlls[1]) + ",Start");
  }
}

void HelpFiles(Writer& w, int count) {
  for (int h = 0; h < count; ++h) {
    const Program p = ProgramAt(h);
    const bool html = h % 3 == 2;
    const std::string key = html ? "SOFTWARE\\Microsoft\\Windows\\HTML Help" : "SOFTWARE\\Microsoft\\Windows\\Help";
    const std::string file = "prod" + Number(h, 5) + (html ? ".chm" : ".hlp");
    w.Key(HKLM, key);
    w.File(p.folder + "\\" + file);
    w.String(HKLM, key, file, h % 2 ? p.folder + "\\" : p.folder);
  }
}

void RunMru(Writer& w, int count, int programs) {
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
  w.Key(HKCU, key);
  std::string order;
  for (int m = 0; m < count; ++m) {
    const Program p = ProgramAt(m % programs);
    std::string name(1, static_cast<char>('a' + m % 26));
    if (m >= 26) name += std::to_string(m / 26);
    if (m < 26) order += name;
    if (m % 4 == 0) w.String(HKCU, key, name, "notepad\\1");
    if (m % 4 == 1) w.String(HKCU, key, name, p.exe + "\\1");
    if (m % 4 == 2) w.String(HKCU, key, name, p.folder + "\\1");
    if (m % 4 == 3) w.String(HKCU, key, name, Quoted(p.exe) + " /safe\\1");
  }
  w.String(HKCU, key, "MRUList", order);
}

void Shares(Writer& w, int count) {
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\Shares";
  w.Key(HKLM, key);
  for (int s = 0; s < count; ++s) {
    const std::string folder = "C:\\Kvb Shares\\Share " + Number(s, 3);
    w.Folder(folder);
    w.Multi(HKLM, key, "Share" + Number(s, 3),
            {"CSCFlags=0", "MaxUses=4294967295", "Path=" + folder, "Permissions=0", "Remark=", "Type=0"});
  }
}

}  // namespace

const std::vector<std::string>& SystemDlls() {
  static const std::vector<std::string> dlls = {"ole32.dll",  "oleaut32.dll", "shell32.dll",  "mshtml.dll",
                                                "urlmon.dll", "shdocvw.dll",  "comctl32.dll", "msxml3.dll"};
  return dlls;
}

MachineShape MachineShape::Size(int factor) {
  MachineShape shape;
  for (int* count :
       {&shape.classIds, &shape.extensions, &shape.fileTypes, &shape.programs, &shape.sharedDlls, &shape.fonts,
        &shape.appPaths, &shape.runEntries, &shape.helpFiles, &shape.mruEntries, &shape.shares, &shape.applications})
    *count *= factor;
  return shape;
}

MachineShape MachineShape::Tiny() {
  MachineShape shape;
  shape.classIds = 200;
  shape.extensions = 50;
  shape.fileTypes = 30;
  shape.programs = 15;
  shape.sharedDlls = 10;
  shape.fonts = 8;
  shape.appPaths = 3;
  shape.runEntries = 5;
  shape.helpFiles = 3;
  shape.mruEntries = 4;
  shape.shares = 2;
  shape.applications = 2;
  return shape;
}

MachineSummary GenerateMachine(const MachineShape& shape, MachineWriter& writer) {
  MachineSummary summary;
  summary.shape = shape;
  Writer w(writer, summary);
  const int programs = std::max(1, shape.programs);

  w.Key(HKLM, kCurrentVersion);
  w.String(HKLM, kCurrentVersion, "ProgramFilesDir", kProgramFiles);
  w.String(HKLM, kCurrentVersion, "CommonFilesDir", kProgramFiles + "\\Common Files");

  InstallPrograms(w, programs);
  ClassIds(w, shape.classIds, programs);
  FileTypes(w, shape.extensions, std::max(1, shape.fileTypes), programs, shape.applications);
  Uninstall(w, shape.programs);
  SharedDlls(w, shape.sharedDlls, programs);
  Fonts(w, shape.fonts);
  AppPaths(w, shape.appPaths, programs);
  RunEntries(w, shape.runEntries, programs);
  HelpFiles(w, shape.helpFiles);
  RunMru(w, shape.mruEntries, programs);
  Shares(w, shape.shares);
  return summary;
}

MachineSummary GenerateMachine(int size, MachineWriter& writer) {
  MachineSummary summary = GenerateMachine(MachineShape::Size(size), writer);
  summary.size = size;
  return summary;
}

}  // namespace kv::bench
