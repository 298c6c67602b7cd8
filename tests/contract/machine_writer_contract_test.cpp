// What the writers under every world promise, whichever platform they write into: a file's folders are
// made with it and a file that is there already is left alone. And the real registry's writer, which keeps
// the key it last wrote to open, makes that key again when it was deleted behind its back.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/handles.h"
#include "tests/testing/world.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/utf.h"
#include "platform/win32/win32_platform.h"
#include "support/registry.h"
#include "writer/win32/win32_writer.h"
#endif

namespace kv::testing {
namespace {

class MachineWriterContract : public ::testing::TestWithParam<WorldKind> {};

TEST_P(MachineWriterContract, AFileComesWithItsFoldersAndOneThereAlreadyIsLeftAlone) {
  std::unique_ptr<World> world = GetParam().make();
  const std::string folder = world->Folder() + "new\\deeper";
  const std::string file = folder + "\\dated.txt";
  world->AddFile(file);
  FileSystemApi& files = world->platform().files;
  const std::uint32_t attributes = files.GetAttributes(folder);
  EXPECT_TRUE(attributes != kInvalidFileAttributes && (attributes & kAttrDirectory) != 0)
      << folder << " " << attributes;

  const std::uint64_t time = 119599200000000000ull;  // 1979
  world->SetFileTime(file, time);
  world->AddFile(file);
  FindEntry entry;
  UniqueFind find(files, files.FindFirst(file, &entry));
  ASSERT_TRUE(find) << file;
  EXPECT_EQ(entry.lastWriteTime, time) << "the file was written again";
}

INSTANTIATE_TEST_SUITE_P(Worlds, MachineWriterContract, ::testing::ValuesIn(ContractWorlds()),
                         [](const ::testing::TestParamInfo<WorldKind>& info) { return info.param.name; });

#ifdef _WIN32
TEST(Win32Writer, AKeyDeletedWhileKeptOpenIsMadeAgainByTheNextValue) {
  const std::string base = "Software\\KeyvaneTests\\writer-" + std::to_string(GetCurrentProcessId());
  {
    ScratchRoots roots(base);
    Win32Writer writer;
    writer.SetValue(HKEY_LOCAL_MACHINE_CODE, "Kv\\Kept", "a", REG_SZ_TYPE, StringBytes("one"));
    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Kv"), ERROR_SUCCESS);
    writer.SetValue(HKEY_LOCAL_MACHINE_CODE, "Kv\\Kept", "b", REG_SZ_TYPE, StringBytes("two"));
    TRegistry registry(Win32Platform());
    registry.SetRootKey(HKEY_LOCAL_MACHINE_CODE);
    ASSERT_TRUE(registry.OpenKeyReadOnly("Kv\\Kept"));
    EXPECT_EQ(registry.ReadString("b"), "two");
    EXPECT_FALSE(registry.ValueExists("a"));
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, Widen(base).c_str());
}
#endif

}  // namespace
}  // namespace kv::testing
