#pragma once
// The compression modes a viewer can ask for with "WM_COMP;%d;0;0;0;", and the pieces every
// encoder shares: 32-bit little-endian words filled from their most significant bit.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace screenserver {

enum class Compression : std::int32_t {
  kNone = 0,
  kHuffman = 10,
  kMultiPassHuffman = 11,
  kRunLength = 12,
  kRunLengthHuffman = 13,
};

[[nodiscard]] std::optional<Compression> CompressionFromNumber(long number);

inline void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 24));
}

inline void AppendLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Appends codes of up to 32 bits, first bit most significant, to whole little-endian words.
class WordBitWriter {
 public:
  explicit WordBitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void Put(std::uint32_t code, unsigned bits) {
    buffer_ = (buffer_ << bits) | (code & ((bits == 32) ? 0xFFFFFFFFu : ((1u << bits) - 1u)));
    pending_ += bits;
    if (pending_ >= 32) {
      pending_ -= 32;
      AppendLe32(out_, static_cast<std::uint32_t>(buffer_ >> pending_));
    }
  }

  // The last word is completed with zero fill bits, which the decoder never reads.
  void Finish() {
    if (pending_ > 0) AppendLe32(out_, static_cast<std::uint32_t>(buffer_ << (32 - pending_)));
    pending_ = 0;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::uint64_t buffer_ = 0;
  unsigned pending_ = 0;
};

}  // namespace screenserver
