#include "platform/memory/memory_platform.h"
#include "support/reg_utils.h"
#include "tests/testing/world.h"
#include "writer/memory_writer.h"

namespace kv::testing {
namespace {

class MemoryWorld : public World {
 public:
  MemoryWorld() { memory_.files.AddDirectory("C:\\kvtest"); }
  Platform& platform() override { return memory_.platform(); }
  MachineWriter& writer() override { return writer_; }
  void SetValueW(std::uint32_t root, const std::string& path, const std::u16string& name, std::uint32_t type,
                 const std::vector<std::uint8_t>& data) override {
    writer_.SetValue(root, path, Utf16ToUtf8(name), type, data);
  }
  void RestrictToQueryValue(std::uint32_t root, const std::string& path) override {
    memory_.registry.SetKeyAccess(RootKeyPath(root, path), kKeyQueryValue);
  }
  std::string Folder() override { return "C:\\kvtest\\"; }
  void AddShortcut(const std::string& link, const std::string& target) override {
    memory_.files.AddFile(link);
    memory_.system.SetShortcut(link, target);
  }
  void AddShortcutToShellItem(const std::string& link) override { AddShortcut(link, ""); }
  void SetFileTime(const std::string& path, std::uint64_t fileTime) override {
    // Re-adding keeps the attributes the file had.
    std::uint32_t attributes = memory_.files.GetAttributes(path);
    memory_.files.AddFile(path, attributes, fileTime);
  }
  void SetCurrentDirectory(const std::string& path) override { memory_.files.SetCurrentDirectory(path); }
  void SetEnvironment(const std::string& name, const std::string& value) override {
    if (value.empty()) {
      memory_.system.UnsetEnvironment(name);
    } else {
      memory_.system.SetEnvironment(name, value);
    }
  }
  bool SystemExpand(const std::string&, std::string*) override { return false; }

 private:
  MemoryPlatform memory_;
  MemoryWriter writer_{memory_};
};

}  // namespace

std::unique_ptr<World> MakeMemoryWorld() { return std::make_unique<MemoryWorld>(); }

std::vector<std::uint8_t> Utf16Bytes(const std::string& ascii, bool closingNul) {
  std::vector<std::uint8_t> bytes;
  for (char c : ascii) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(0);
  }
  if (closingNul) {
    bytes.push_back(0);
    bytes.push_back(0);
  }
  return bytes;
}

}  // namespace kv::testing
