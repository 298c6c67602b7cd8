#include "scan/probe_memo.h"

namespace kv {

std::optional<bool> ProbeMemo::Present(const std::string& name) const {
  if (!Active()) return std::nullopt;
  auto found = present_.find(name);
  if (found == present_.end()) return std::nullopt;
  return found->second;
}

bool ProbeMemo::Admit(const std::string& name, std::size_t extra) {
  constexpr std::size_t kPerEntry = 64;  // the node, its hash and the strings' own bookkeeping
  if (name.size() > kLongestKeptName || extra > kLongestKeptName) return false;
  const std::size_t cost = name.size() + extra + kPerEntry;
  if (bytes_ + cost > kBudgetBytes) return false;
  bytes_ += cost;
  return true;
}

void ProbeMemo::RememberPresent(const std::string& name, bool present) {
  if (Active() && Admit(name)) present_.emplace(name, present);
}

std::optional<std::uint32_t> ProbeMemo::Attributes(const std::string& name) const {
  if (!Active()) return std::nullopt;
  auto found = attributes_.find(name);
  if (found == attributes_.end()) return std::nullopt;
  return found->second;
}

void ProbeMemo::RememberAttributes(const std::string& name, std::uint32_t attributes) {
  if (Active() && Admit(name)) attributes_.emplace(name, attributes);
}

std::optional<std::string> ProbeMemo::SearchPath(const std::string& placed) const {
  if (!Active()) return std::nullopt;
  auto found = searchPaths_.find(placed);
  if (found == searchPaths_.end()) return std::nullopt;
  return found->second;
}

void ProbeMemo::RememberSearchPath(const std::string& placed, const std::string& path) {
  if (Active() && Admit(placed, path.size())) searchPaths_.emplace(placed, path);
}

std::optional<std::uint32_t> ProbeMemo::DriveType(char letter) const {
  if (!Active()) return std::nullopt;
  auto found = driveTypes_.find(letter);
  if (found == driveTypes_.end()) return std::nullopt;
  return found->second;
}

void ProbeMemo::RememberDriveType(char letter, std::uint32_t type) {
  if (Active()) driveTypes_.emplace(letter, type);
}

ProbeMemo::Scope::Scope(ProbeMemo& memo) : memo_(memo), started_(false) {
  std::thread::id none;
  started_ = memo_.Enabled() && memo_.owner_.compare_exchange_strong(none, std::this_thread::get_id());
}

ProbeMemo::Scope::~Scope() {
  if (!started_) return;
  memo_.owner_ = std::thread::id();
  memo_.present_.clear();
  memo_.attributes_.clear();
  memo_.searchPaths_.clear();
  memo_.driveTypes_.clear();
  memo_.listings_.Clear();
  memo_.bytes_ = 0;
}

}  // namespace kv
