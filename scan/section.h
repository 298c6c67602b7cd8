// TNamedRegStringList: the base of every section scanner. A section is a list of strings: it fills the
// list with the names it will examine, deletes each sound one, and at its first faulty entry leaves a
// fault marker and stops. An empty list after Scan means the section is clean.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "scan/engine.h"
#include "support/registry.h"

namespace kv {

// The root of the engine's objects, so that an event can say which object sent it.
class TObject {
 public:
  virtual ~TObject() = default;
  virtual const char* ClassName() const = 0;
};

using TNotifyEvent = std::function<void(TObject& sender)>;

class TNamedRegStringList : public TObject {
 public:
  explicit TNamedRegStringList(Engine& engine);
  ~TNamedRegStringList() override;

  // Examines the section; the result is the list itself.
  virtual void Scan() {}

  int Count() const { return static_cast<int>(strings_.size()); }
  const std::string& operator[](int index) const { return strings_[static_cast<std::size_t>(index)]; }
  const std::vector<std::string>& Strings() const { return strings_; }
  void Add(const std::string& s) { strings_.push_back(s); }
  void Delete(int index) { strings_.erase(strings_.begin() + index); }
  void Clear() { strings_.clear(); }

  TRegistry Registry;
  std::string KeyPath;
  TNotifyEvent OnItemChecked;
  std::atomic<bool> Cancelled{false};

 protected:
  // The loop's stop test: the driver's request or the program's end.
  bool StopRequested() const { return Cancelled.load() || engine_.ShuttingDown.load(); }
  void ItemChecked() {
    if (OnItemChecked) OnItemChecked(*this);
  }
  // The list itself, for the registry's name enumerations.
  std::vector<std::string>& List() { return strings_; }

  // Closes an accessor's key when a scan leaves, by whichever way it leaves.
  class CloseKeyOnExit {
   public:
    explicit CloseKeyOnExit(TRegistry& registry) : registry_(registry) {}
    CloseKeyOnExit(const CloseKeyOnExit&) = delete;
    CloseKeyOnExit& operator=(const CloseKeyOnExit&) = delete;
    ~CloseKeyOnExit() { registry_.CloseKey(); }

   private:
    TRegistry& registry_;
  };

  Engine& engine_;

 private:
  std::vector<std::string> strings_;
};

}  // namespace kv
