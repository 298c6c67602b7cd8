// Reads a fuzz input as a stream of small decisions: bytes, numbers, length-prefixed texts and byte runs.
// Past the end every read answers zero or empty, so any input decodes to something.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool AtEnd() const { return at_ >= size_; }

  std::uint8_t Byte() { return AtEnd() ? 0 : data_[at_++]; }

  std::uint32_t Number() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{Byte()} << (8 * i);
    return value;
  }

  // A choice among `count` (count > 0).
  std::size_t Pick(std::size_t count) { return Byte() % count; }

  // A byte run of at most `longest` bytes, its length given by the byte before it.
  std::vector<std::uint8_t> Bytes(std::size_t longest) {
    const std::size_t length = std::min<std::size_t>(Byte(), longest);
    const std::size_t available = std::min(length, size_ - std::min(at_, size_));
    std::vector<std::uint8_t> bytes(data_ + at_, data_ + at_ + available);
    at_ += available;
    return bytes;
  }

  std::string Text(std::size_t longest) {
    const std::vector<std::uint8_t> bytes = Bytes(longest);
    return std::string(bytes.begin(), bytes.end());
  }

  // Everything not read yet.
  std::string Rest() {
    const std::size_t from = std::min(at_, size_);
    at_ = size_;
    return std::string(reinterpret_cast<const char*>(data_) + from, size_ - from);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace kv::fuzz
