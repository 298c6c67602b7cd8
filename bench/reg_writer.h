// A generated machine written as a registry export in regedit's REGEDIT4 format and a list of its files
// (the format of examples/files.txt), for kvscan's --reg and --files or for `wine reg import`.
#pragma once

#include <ostream>
#include <string>

#include "bench/generator.h"

namespace kv::bench {

class RegFileSink : public MachineSink {
 public:
  RegFileSink(std::ostream& reg, std::ostream& files);
  void CreateKey(std::uint32_t root, const std::string& path) override;
  void SetString(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text,
                 bool expandable) override;
  void SetDword(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t value) override;
  void SetMultiString(std::uint32_t root, const std::string& path, const std::string& name,
                      const std::vector<std::string>& strings) override;
  void AddFile(const std::string& path) override;
  void AddFolder(const std::string& path) override;

 private:
  void Section(std::uint32_t root, const std::string& path);
  void Value(const std::string& name, const std::string& data);

  std::ostream& reg_;
  std::ostream& files_;
  std::string section_;
};

}  // namespace kv::bench
