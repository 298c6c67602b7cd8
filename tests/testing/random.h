// The seeded random choices of the randomised differential tests: the same seed, the same machine.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace kv::testing {

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(engine_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(engine_) < p; }
  const std::string& Pick(const std::vector<std::string>& from) { return from[Below(from.size())]; }

 private:
  std::mt19937 engine_;
};

}  // namespace kv::testing
