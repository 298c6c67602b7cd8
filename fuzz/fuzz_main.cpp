// libFuzzer's entry for one target, chosen by name when the executable is built (KV_FUZZ_TARGET).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_targets.h"

namespace {

kv::fuzz::FuzzFunction Target() {
  for (const auto& target : kv::fuzz::AllTargets())
    if (std::strcmp(target.name, KV_FUZZ_TARGET) == 0) return target.run;
  std::fprintf(stderr, "no fuzz target named %s\n", KV_FUZZ_TARGET);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const kv::fuzz::FuzzFunction run = Target();
  return run(data, size);
}
