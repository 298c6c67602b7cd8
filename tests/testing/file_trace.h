// A decorator on the seam's file system that writes down every call, with what it was given, before
// passing it on: "FindFirst <pattern>", "FindNext", "FindClose", "GetAttributes <path>", "FullPathName
// <path>", "ShortPathName <path>", "SetErrorMode <mode>", "DriveType <root>", "FindNetworkFile <name>
// <wait ms>". Safe to use from more than one thread.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/forwarding_platform.h"

namespace kv::testing {

class FileTrace : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;

  FindHandle FindFirst(const std::string& pattern, FindEntry* entry) override {
    Note("FindFirst " + pattern);
    return inner_.FindFirst(pattern, entry);
  }
  bool FindNext(FindHandle find, FindEntry* entry) override {
    Note("FindNext");
    return inner_.FindNext(find, entry);
  }
  void FindClose(FindHandle find) override {
    Note("FindClose");
    inner_.FindClose(find);
  }
  std::uint32_t GetAttributes(const std::string& path) override {
    Note("GetAttributes " + path);
    return inner_.GetAttributes(path);
  }
  std::uint32_t FullPathName(const std::string& path, std::uint32_t length, char* buffer) override {
    Note("FullPathName " + path);
    return inner_.FullPathName(path, length, buffer);
  }
  std::uint32_t ShortPathName(const std::string& path, std::uint32_t length, char* buffer) override {
    Note("ShortPathName " + path);
    return inner_.ShortPathName(path, length, buffer);
  }
  std::uint32_t SetErrorMode(std::uint32_t mode) override {
    Note("SetErrorMode " + std::to_string(mode));
    return inner_.SetErrorMode(mode);
  }
  std::uint32_t DriveType(const std::string& root) override {
    Note("DriveType " + root);
    return inner_.DriveType(root);
  }
  NetworkFileAnswer FindNetworkFile(const std::string& name, std::uint32_t waitMs) override {
    Note("FindNetworkFile " + name + " " + std::to_string(waitMs));
    return inner_.FindNetworkFile(name, waitMs);
  }

  // A copy of the calls since the trace began or was last cleared.
  std::vector<std::string> Calls() const {
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.clear();
  }

 private:
  void Note(std::string call) {
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back(std::move(call));
  }

  mutable std::mutex lock_;
  std::vector<std::string> calls_;
};

}  // namespace kv::testing
