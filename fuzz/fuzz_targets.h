// The fuzz targets: each takes one input of arbitrary bytes, feeds it to one piece of the engine and
// checks what must hold whatever the bytes are. A broken rule, a crash, a sanitizer report or an
// exception that escapes is a finding. The same functions run under libFuzzer (the fuzz build) and over
// the seed corpora and kept findings in the ordinary test builds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kv::fuzz {

using FuzzFunction = int (*)(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
  const char* name;  // also the folder name under fuzz/corpus and fuzz/regressions
  FuzzFunction run;
};

const std::vector<FuzzTarget>& AllTargets();

// A rule that the input broke. Escapes the target, so that libFuzzer reports it with the input.
class BrokenRule : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

inline void Require(bool holds, const std::string& rule) {
  if (!holds) throw BrokenRule(rule);
}

int FuzzRegLoader(const std::uint8_t* data, std::size_t size);
int FuzzExtractFile(const std::uint8_t* data, std::size_t size);
int FuzzReadExpanded(const std::uint8_t* data, std::size_t size);
int FuzzNtShare(const std::uint8_t* data, std::size_t size);
int FuzzIconIndex(const std::uint8_t* data, std::size_t size);
int FuzzGuid(const std::uint8_t* data, std::size_t size);
int FuzzProbe(const std::uint8_t* data, std::size_t size);
int FuzzFileList(const std::uint8_t* data, std::size_t size);
int FuzzNetworkName(const std::uint8_t* data, std::size_t size);
// The offline platform's readers (native builds only).
int FuzzHive(const std::uint8_t* data, std::size_t size);
int FuzzShellLink(const std::uint8_t* data, std::size_t size);

}  // namespace kv::fuzz
