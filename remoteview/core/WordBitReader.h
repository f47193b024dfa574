#pragma once
// Reads the coded bits of both stream formats: 32-bit little-endian words, each read from its
// most significant bit down, codes running on from one word into the next. A trailing partial
// word carries no bits; the encoder always writes whole words.

#include <cstddef>
#include <cstdint>
#include <span>

#include "ByteOrder.h"

namespace harnvik {

class WordBitReader {
 public:
  explicit WordBitReader(std::span<const std::uint8_t> words)
      : next_(words.data()), end_(words.data() + words.size() / 4 * 4) {}

  // Takes `count` bits (1..25) as an unsigned number, first bit most significant. Returns false
  // and takes nothing when fewer bits remain.
  [[nodiscard]] bool Take(unsigned count, std::uint32_t& value) {
    if (available_ < count) {
      if (next_ == end_) return false;
      buffer_ = (buffer_ << 32) | LoadLe32(next_);
      next_ += 4;
      available_ += 32;
    }
    available_ -= count;
    value = static_cast<std::uint32_t>(buffer_ >> available_) & ((1u << count) - 1u);
    return true;
  }

  [[nodiscard]] bool TakeBit(unsigned& bit) {
    if (available_ == 0) {
      if (next_ == end_) return false;
      buffer_ = LoadLe32(next_);
      next_ += 4;
      available_ = 32;
    }
    --available_;
    bit = static_cast<unsigned>(buffer_ >> available_) & 1u;
    return true;
  }

 private:
  const std::uint8_t* next_;
  const std::uint8_t* end_;
  std::uint64_t buffer_ = 0;  // the low `available_` bits are still unread
  unsigned available_ = 0;
};

}  // namespace harnvik
