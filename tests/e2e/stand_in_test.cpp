// The stand-in full cleaner itself: what the other tests rely on it to do, and its refusals.
#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

namespace kv::e2e {
namespace {

DWORD ReadSetting(const char* name) {
  DWORD value = 0xFFFFFFFF, size = sizeof value, type = 0;
  UniqueRegKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tamberlyn\\Keyvane", 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return value;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return 0xFFFFFFFF;
  return value;
}

TEST(StandIn, WritesTheSettingsAndRecordsItsCommandLine) {
  ScopedSettings settings;
  ScratchFolder scratch;
  const std::string log = scratch.path() + "stand-in.log";
  ASSERT_EQ(RunStandIn("--set-monitoring 0 --set-mask 42 Monitoring", log), 0);
  EXPECT_EQ(ReadSetting("Monitoring"), 0u);
  EXPECT_EQ(ReadSetting("Items For Monitoring"), 42u);
  const std::vector<StandInStart> starts = StandInStarts(log);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(ArgumentsOf(starts[0].commandLine), "--set-monitoring 0 --set-mask 42 Monitoring");
}

struct Refusal {
  const char* arguments;
  int exitCode;
};

class StandInRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(StandInRefuses, WithItsExitCode) {
  ScopedSettings settings;
  ScratchFolder scratch;
  EXPECT_EQ(RunStandIn(GetParam().arguments, scratch.path() + "stand-in.log"), GetParam().exitCode)
      << GetParam().arguments;
}

// 2: a malformed option; 3: an option that could not be carried out (no monitor runs to post to).
INSTANTIATE_TEST_SUITE_P(StandIn, StandInRefuses,
                         ::testing::Values(Refusal{"--set-mask", 2}, Refusal{"--set-mask many", 2},
                                           Refusal{"--hold-mutex -", 2}, Refusal{"--post KVSomethingElse", 2},
                                           Refusal{"--post KVMustDie", 3}));

}  // namespace
}  // namespace kv::e2e
