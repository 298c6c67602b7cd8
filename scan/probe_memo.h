// What one probe remembers of the file system. Many registry entries name the same files (thousands of
// class registrations name the same few system DLLs; every command of a program begins with the same
// folders, each tried with every executable extension), and within one probe the answer for a name does
// not change. The driver keeps the memo for the length of a probe; it answers only on the thread that
// runs that probe, and everywhere else (another thread, outside a probe, or when switched off) every test
// asks the file system, as it does without it. Its size is bounded: a name longer than a usual path is not
// kept (such names are rare, and one value of many words would otherwise fill the memo with every prefix
// of itself), and once the memo holds its budget of bytes, further answers are asked afresh each time.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

#include "scan/folder_listings.h"

namespace kv {

class ProbeMemo {
 public:
  // The longest name whose answer is kept, and the bytes the memo may hold in all.
  static constexpr std::size_t kLongestKeptName = 1024;
  static constexpr std::size_t kBudgetBytes = 8u << 20;

  // Whether probes use the memo (they do unless it is switched off, to compare or to measure).
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Enabled() const { return enabled_.load(); }

  // True on the thread of a running probe with the memo enabled: the memo answers there.
  bool Active() const { return owner_.load() == std::this_thread::get_id(); }

  // Whether a directory search finds `name` as a file, if already asked in this probe.
  std::optional<bool> Present(const std::string& name) const;
  void RememberPresent(const std::string& name, bool present);
  // The attributes of `name`, if already asked in this probe.
  std::optional<std::uint32_t> Attributes(const std::string& name) const;
  void RememberAttributes(const std::string& name, std::uint32_t attributes);

  // The full path, made short where it names something that exists, that a name placed in a search
  // folder became, if already made in this probe.
  std::optional<std::string> SearchPath(const std::string& placed) const;
  void RememberSearchPath(const std::string& placed, const std::string& path);

  // The type of the drive with this letter ('A' to 'Z'), if already asked in this probe.
  std::optional<std::uint32_t> DriveType(char letter) const;
  void RememberDriveType(char letter, std::uint32_t type);

  // Whether the memo lists folders to answer tests of names in them (it does unless switched off, to
  // measure), and the folders listed in this probe: null where the memo does not answer or lists nothing.
  void SetListingsEnabled(bool enabled) { listingsEnabled_ = enabled; }
  FolderListings* Listings() { return Active() && listingsEnabled_.load() ? &listings_ : nullptr; }

  // Starts the memo for one probe on the calling thread, and forgets everything when the probe ends.
  class Scope {
   public:
    explicit Scope(ProbeMemo& memo);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    ProbeMemo& memo_;
    bool started_;
  };

 private:
  // Whether an answer about `name` (and a stored text of `extra` bytes) still fits; counts it when it does.
  bool Admit(const std::string& name, std::size_t extra = 0);

  std::atomic<bool> enabled_{true};
  std::atomic<bool> listingsEnabled_{true};
  // The probe's thread while a probe runs; no thread otherwise. Only that thread touches the maps.
  std::atomic<std::thread::id> owner_{};
  std::unordered_map<std::string, bool> present_;
  std::unordered_map<std::string, std::uint32_t> attributes_;
  std::unordered_map<std::string, std::string> searchPaths_;
  std::unordered_map<char, std::uint32_t> driveTypes_;
  FolderListings listings_;  // its own budget, beside the maps' one
  std::size_t bytes_ = 0;    // what the maps hold, roughly (names, texts and a fixed cost per entry)
};

}  // namespace kv
