// A decorator on the seam's file system that writes down every call, with the name it was given, before
// passing it on: "FindFirst <pattern>", "GetAttributes <path>", "FindNetworkFile <name>", ... Safe to
// use from more than one thread.
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
  std::uint32_t DriveType(const std::string& root) override {
    Note("DriveType " + root);
    return inner_.DriveType(root);
  }
  NetworkFileAnswer FindNetworkFile(const std::string& name, std::uint32_t waitMs) override {
    Note("FindNetworkFile " + name);
    return inner_.FindNetworkFile(name, waitMs);
  }

  std::vector<std::string> Calls() const {
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
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
