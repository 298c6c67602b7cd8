// The offline world (native builds): the offline platform's parts over fixtures written as an installation
// offline would hold them. Registry fixtures go into hive files (hivex's write calls) and are read back
// through the offline hive reader before the next key is opened; files are real files of a scratch folder
// mapped as drive C:, found by the offline file system; shortcuts are real .lnk files read by our own
// reader. The contract tests that pass here prove the offline platform answers as Windows does.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "platform/offline/hive_loader.h"
#include "platform/offline/hive_writer.h"
#include "platform/offline/offline_platform.h"
#include "support/reg_utils.h"
#include "tests/testing/world.h"

namespace kv::testing {
namespace {

void Put16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A shortcut as the shell writes one to a local file: its location information, the path in UTF-16 (and
// in 8 bits, '?' for what they cannot hold). An empty target: a link to My Computer, which has no path.
std::string ShellLinkBytes(const std::string& target) {
  std::string out;
  Put32(out, 0x4C);
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  out.append(reinterpret_cast<const char*>(clsid), 16);
  Put32(out, target.empty() ? 0x1 : 0x2);  // HasLinkTargetIDList, or HasLinkInfo
  Put32(out, 0x20);
  out.append(24, '\0');  // times
  Put32(out, 0);         // size
  Put32(out, 0);         // icon index
  Put32(out, 1);         // show command
  out.append(12, '\0');  // hot key, reserved
  if (target.empty()) {
    std::string item;
    item += '\x1F';
    item += '\x50';
    const unsigned char computer[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                        0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
    item.append(reinterpret_cast<const char*>(computer), 16);
    std::string list;
    Put16(list, static_cast<std::uint16_t>(item.size() + 2));
    list += item;
    Put16(list, 0);
    Put16(out, static_cast<std::uint16_t>(list.size()));
    return out + list;
  }
  std::string ansi;
  for (unsigned char c : target) ansi += c < 0x80 ? static_cast<char>(c) : '?';
  const std::u16string wide = Utf8ToUtf16(target);
  const std::uint32_t header = 0x24;
  const std::uint32_t volume = header;
  const std::string volumeId = std::string("\x11\0\0\0\x03\0\0\0\x78\x56\x34\x12\x10\0\0\0", 16) + std::string(1, '\0');
  const std::uint32_t local = volume + static_cast<std::uint32_t>(volumeId.size());
  const std::uint32_t suffix = local + static_cast<std::uint32_t>(ansi.size() + 1);
  const std::uint32_t localWide = suffix + 1;
  const std::uint32_t suffixWide = localWide + static_cast<std::uint32_t>(wide.size() * 2 + 2);
  const std::uint32_t size = suffixWide + 2;
  std::string info;
  Put32(info, size);
  Put32(info, header);
  Put32(info, 1);  // VolumeIDAndLocalBasePath
  Put32(info, volume);
  Put32(info, local);
  Put32(info, 0);
  Put32(info, suffix);
  Put32(info, localWide);
  Put32(info, suffixWide);
  info += volumeId;
  info += ansi;
  info += '\0';
  info += '\0';
  for (char16_t unit : wide) Put16(info, static_cast<std::uint16_t>(unit));
  Put16(info, 0);
  Put16(info, 0);
  return out + info;
}

// The registry as the hives hold it: every fixture change is made in memory at once and written to hive
// files; before the next key is opened with no key open, the registry is read back from those files.
class HiveBackedRegistry : public RegistryApi {
 public:
  explicit HiveBackedRegistry(std::string folder)
      : folder_(std::move(folder)), live_(std::make_unique<MemoryRegistry>()) {}

  MemoryRegistry& fixtures() { return fixtures_; }
  MemoryRegistry& live() { return *live_; }
  void Changed() { stale_ = true; }
  void Restrict(const std::string& keyPath) {
    restricted_.push_back(keyPath);
    live_->SetKeyAccess(keyPath, kKeyQueryValue);
  }

  long OpenKey(RegKey parent, const std::string& path, std::uint32_t access, RegKey* result) override {
    if (stale_ && openKeys_ == 0) Reload();
    const long status = live_->OpenKey(parent, path, access, result);
    if (status == kErrorSuccess && !IsPredefinedKey(*result)) ++openKeys_;
    return status;
  }
  long CloseKey(RegKey key) override {
    const long status = live_->CloseKey(key);
    if (status == kErrorSuccess && !IsPredefinedKey(key)) --openKeys_;
    return status;
  }
  long FlushKey(RegKey key) override { return live_->FlushKey(key); }
  long QueryInfoKey(RegKey key, RegKeyCounts* counts) override { return live_->QueryInfoKey(key, counts); }
  long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
    return live_->EnumKey(key, index, name, length);
  }
  long EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* length) override {
    return live_->EnumValue(key, index, name, length);
  }
  long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override {
    return live_->QueryValue(key, name, type, data, size);
  }
  long QueryValueW(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                   std::uint32_t* size) override {
    return live_->QueryValueW(key, name, type, data, size);
  }

 private:
  void Reload() {
    stale_ = false;
    auto fresh = std::make_unique<MemoryRegistry>();
    const std::string emptyHive = std::string(KV_SOURCE_DIR) + "/tests/offline/hives/minimal.hive";
    for (const auto& [root, name] : {std::pair<std::uint32_t, const char*>{HKEY_LOCAL_MACHINE_CODE, "HKLM"},
                                     {HKEY_CURRENT_USER_CODE, "HKCU"},
                                     {HKEY_USERS_CODE, "HKU"}}) {
      const std::string file = folder_ + "/" + name + ".hive";
      std::string error;
      if (!offline::WriteHiveFile(fixtures_, {offline::HivePart{root, "", "", nullptr}}, emptyHive, file, nullptr,
                                  &error))
        throw std::runtime_error("hive not written: " + error);
      std::ifstream in(file, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      offline::HiveInfo info;
      if (!offline::LoadHive(bytes, "", *fresh, name, &info, &error))
        throw std::runtime_error("hive not read: " + error);
    }
    for (const std::string& keyPath : restricted_) fresh->SetKeyAccess(keyPath, kKeyQueryValue);
    live_ = std::move(fresh);
  }

  std::string folder_;
  MemoryRegistry fixtures_;
  std::unique_ptr<MemoryRegistry> live_;
  std::vector<std::string> restricted_;
  bool stale_ = false;
  std::atomic<std::size_t> openKeys_{0};  // handles the live registry has handed out and not taken back
};

// The world is its own writer: registry fixtures go into the hives' tree and the live registry at once,
// files and folders into the scratch folder.
class OfflineWorld : public World, private MachineWriter {
 public:
  OfflineWorld() {
    char name[] = "/tmp/kv-offline-world.XXXXXX";
    if (::mkdtemp(name) == nullptr) throw std::runtime_error("no scratch folder");
    folder_ = name;
    ::mkdir((folder_ + "/C").c_str(), 0755);
    ::mkdir((folder_ + "/hives").c_str(), 0755);
    registry_ = std::make_unique<HiveBackedRegistry>(folder_ + "/hives");
    std::string error;
    if (!files_.MapDrive('C', folder_ + "/C", &error)) throw std::runtime_error(error);
    system_ = std::make_unique<offline::OfflineSystem>(files_);
    platform_ = std::make_unique<Platform>(Platform{*registry_, files_, *system_});
    AddDirectory("C:\\kvtest");
  }
  ~OfflineWorld() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

  Platform& platform() override { return *platform_; }
  MachineWriter& writer() override { return *this; }
  void SetValueW(std::uint32_t root, const std::string& path, const std::u16string& name, std::uint32_t type,
                 const std::vector<std::uint8_t>& data) override {
    SetValue(root, path, Utf16ToUtf8(name), type, data);
  }
  void RestrictToQueryValue(std::uint32_t root, const std::string& path) override {
    registry_->Restrict(RootKeyPath(root, path));
  }
  std::string Folder() override { return "C:\\kvtest\\"; }
  void AddShortcut(const std::string& link, const std::string& target) override {
    Make(link, true, ShellLinkBytes(target));
  }
  void AddShortcutToShellItem(const std::string& link) override { Make(link, true, ShellLinkBytes("")); }
  void SetFileTime(const std::string& path, std::uint64_t fileTime) override {
    const std::int64_t seconds = static_cast<std::int64_t>(fileTime / 10000000ull) - 11644473600LL;
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = times[1].tv_nsec = static_cast<long>((fileTime % 10000000ull) * 100);
    ::utimensat(AT_FDCWD, Host(path).c_str(), times, AT_SYMLINK_NOFOLLOW);
    files_.Refresh();
  }
  void SetCurrentDirectory(const std::string& path) override { files_.SetCurrentDirectory(path); }
  void SetEnvironment(const std::string& name, const std::string& value) override {
    if (value.empty()) {
      system_->UnsetEnvironment(name);
    } else {
      system_->SetEnvironment(name, value);
    }
  }
  bool SystemExpand(const std::string&, std::string*) override { return false; }

 private:
  void CreateKey(std::uint32_t root, const std::string& path) override {
    registry_->fixtures().CreateKey(RootKeyPath(root, path));
    registry_->live().CreateKey(RootKeyPath(root, path));
    registry_->Changed();
  }
  void SetValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override {
    registry_->fixtures().SetValue(RootKeyPath(root, path), name, type, data);
    registry_->live().SetValue(RootKeyPath(root, path), name, type, data);
    registry_->Changed();
  }
  void AddFile(const std::string& path) override {
    if (::access(Host(path).c_str(), F_OK) != 0) Make(path, true, std::string());
  }
  void AddDirectory(const std::string& path) override { Make(path, false, std::string()); }

  // The host path of a fixture path on drive C: (as written: fixtures name the case they create).
  std::string Host(const std::string& path) const {
    if (path.size() < 3 || (path[0] != 'C' && path[0] != 'c') || path[1] != ':' || path[2] != '\\')
      throw std::invalid_argument("offline world fixture not on drive C: " + path);
    std::string host = folder_ + "/C";
    for (std::size_t i = 2; i < path.size(); ++i) host += path[i] == '\\' ? '/' : path[i];
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    return host;
  }

  void Make(const std::string& path, bool file, const std::string& bytes) {
    const std::string host = Host(path);
    for (std::size_t at = folder_.size() + 3; at < host.size(); ++at)
      if (host[at] == '/') ::mkdir(host.substr(0, at).c_str(), 0755);
    if (file) {
      std::ofstream out(host, std::ios::binary | std::ios::trunc);
      out << bytes;
    } else {
      ::mkdir(host.c_str(), 0755);
    }
    files_.Refresh();
  }

  std::string folder_;
  std::unique_ptr<HiveBackedRegistry> registry_;
  offline::HostFileSystem files_;
  std::unique_ptr<offline::OfflineSystem> system_;
  std::unique_ptr<Platform> platform_;
};

}  // namespace

std::unique_ptr<World> MakeOfflineWorld() { return std::make_unique<OfflineWorld>(); }

}  // namespace kv::testing

#endif  // _WIN32
