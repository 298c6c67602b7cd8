// A section of a test's own making: it examines a fixed list of names with the loop discipline of every
// section, and the item at `faultyAt` is faulty (the empty marker is appended and the scan stops).
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "scan/section.h"

namespace kv::testing {

class ListSection : public TNamedRegStringList {
 public:
  ListSection(Engine& engine, std::string className, std::vector<std::string> items)
      : TNamedRegStringList(engine), className_(std::move(className)), items_(std::move(items)) {}
  const char* ClassName() const override { return className_.c_str(); }

  int faultyAt = -1;
  bool throwAfterFill = false;
  std::function<void(const std::string&)> onExamine;  // runs while an item is examined

  void Scan() override {
    Clear();
    for (const std::string& item : items_) Add(item);
    if (throwAfterFill) throw std::runtime_error("unexpected value type");
    int position = 0;
    int i = 0;
    while (i < Count()) {
      if (StopRequested()) return;
      if (onExamine) onExamine((*this)[i]);
      if (position++ == faultyAt) {
        Add("");
        return;
      }
      Delete(i);
      ItemChecked();
    }
  }

 private:
  std::string className_;
  std::vector<std::string> items_;
};

}  // namespace kv::testing
