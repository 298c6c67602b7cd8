// Every seed of fuzz/corpus/<target>/ and every kept finding of fuzz/regressions/<target>/ through its
// target, in the ordinary builds: a finding once fixed stays fixed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace kv::fuzz {
namespace {

std::vector<std::filesystem::path> Inputs(const std::string& target) {
  std::vector<std::filesystem::path> inputs;
  for (const char* kind : {"corpus", "regressions"}) {
    const std::filesystem::path folder = std::filesystem::path(KV_FUZZ_DIR) / kind / target;
    if (!std::filesystem::is_directory(folder)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') inputs.push_back(entry.path());
  }
  return inputs;
}

std::string Contents(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class FuzzReplay : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzReplay, EveryKeptInputPasses) {
  const FuzzTarget target = GetParam();
  const std::vector<std::filesystem::path> inputs = Inputs(target.name);
  EXPECT_FALSE(inputs.empty()) << "no seed corpus for " << target.name;
  for (const auto& path : inputs) {
    const std::string bytes = Contents(path);
    try {
      target.run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const std::exception& e) {
      ADD_FAILURE() << path.string() << ": " << e.what();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(AllTargets()),
                         [](const ::testing::TestParamInfo<FuzzTarget>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv::fuzz
