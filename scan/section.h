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
class EngineObject {
 public:
  virtual ~EngineObject() = default;
  virtual const char* ClassName() const = 0;
};

using NotifyEvent = std::function<void(EngineObject& sender)>;

// One key a section reads: its root, its path, and whether it belongs to 32-bit programs (the 32-bit view
// of a 64-bit machine, kept below "Wow6432Node"), whose references are resolved as such a program sees them.
struct RegPlace {
  std::uint32_t root;
  std::string keyPath;
  bool wow32 = false;
};

// The key of the 32-bit view that a 64-bit machine keeps for `keyPath`, a path that begins "SOFTWARE\"
// (any case) below HKEY_LOCAL_MACHINE, or any path below HKEY_CLASSES_ROOT: "Wow6432Node" comes after
// "SOFTWARE\", or first below the classes root.
RegPlace Wow32Place(std::uint32_t root, const std::string& keyPath);

class TNamedRegStringList : public EngineObject {
 public:
  explicit TNamedRegStringList(Engine& engine);
  ~TNamedRegStringList() override;

  // Examines the section; the result is the list itself.
  virtual void Scan() {}

  int Count() const { return static_cast<int>(strings_.size() - head_); }
  const std::string& operator[](int index) const { return strings_[head_ + static_cast<std::size_t>(index)]; }
  const std::vector<std::string>& Strings() const {
    Compact();
    return strings_;
  }
  void Add(const std::string& s) { strings_.push_back(s); }
  void Delete(int index);
  void Clear() {
    strings_.clear();
    head_ = 0;
  }

  TRegistry Registry;
  std::string KeyPath;
  NotifyEvent OnItemChecked;
  std::atomic<bool> Cancelled{false};

 protected:
  // The loop's stop test: the driver's request or the program's end.
  bool StopRequested() const { return Cancelled.load() || engine_.ShuttingDown.load(); }
  void ItemChecked() {
    if (OnItemChecked) OnItemChecked(*this);
  }
  // Runs `scanOne` over each place in turn (past the first, only the places whose key exists), with the accessor's
  // root, KeyPath and the resolver's view set to the place's, and stops after the first place that leaves anything in
  // the list (a fault, or the names a stop request left) or when a stop was requested. The root and KeyPath then stay
  // at that place, so the list is read against it; after a clean walk they are the first place's again.
  void ScanPlaces(const std::vector<RegPlace>& places, const std::function<void()>& scanOne);

  // The list itself, for the registry's name enumerations.
  std::vector<std::string>& List() {
    Compact();
    return strings_;
  }

  // Empties the list, closes the accessor's key, opens KeyPath read-only and fills the list with the
  // key's value names (or its subkey names). False, with the list empty, when the key cannot be opened.
  bool ListValueNames() { return ListNames(true); }
  bool ListKeyNames() { return ListNames(false); }

  // What a walk over the list does with the accessor's key when every name was sound.
  enum class KeyAfterWalk { kClosed, kLeftOpen };

  // The walk every section makes over its list, front to back. Before each name the stop test: a stop
  // closes the key and leaves the names not yet examined. `isSound` judges the name at the front: a sound
  // one is deleted from the list and the progress event fires; at the first faulty one the empty fault
  // marker is added after the names not yet examined, the key stays as the judge left it, and the walk
  // ends. False when it ended so (on a fault or a stop).
  bool WalkNames(const std::function<bool(const std::string& name)>& isSound, KeyAfterWalk after);

  // A number, where a section expects text naming a file or a folder: faulty whatever it holds.
  static bool IsNumber(TRegDataType type) { return type == rdInteger || type == rdIntegerBigEndian; }

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
  bool ListNames(bool values);
  // Drops the names deleted from the front from the vector itself.
  void Compact() const;

  // The list is strings_ from head_ on. A walk deletes its names from the front one at a time, which in
  // a vector would move every name after it each time (quadratic in a key of thousands of values); during
  // a walk the front moves instead, and the names before it leave the vector when the walk ends (or when
  // the whole vector is handed out meanwhile, on the walk's own thread). Outside a walk head_ is 0.
  mutable std::vector<std::string> strings_;
  mutable std::size_t head_ = 0;
  bool walking_ = false;
};

}  // namespace kv
