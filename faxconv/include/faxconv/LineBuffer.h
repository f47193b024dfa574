// One coded fax line being assembled, bits packed least significant first (BFX page data and
// TIFF FillOrder 2 alike). The capacity is fixed; a line that would outgrow it is marked
// overflowed and its further code words are dropped, so the line can only be replaced.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "faxconv/T4Codes.h"

namespace faxconv {

// Each code word of kAllCodes with its bits reversed, so that its first transmitted bit is
// bit 0: the form in which it is packed into a line.
inline constexpr std::array<uint16_t, kCodeCount> kLsbFirstBits = [] {
  std::array<uint16_t, kCodeCount> out{};
  for (std::size_t i = 0; i < kCodeCount; ++i) {
    const T4Code& c = kAllCodes[i];
    for (uint8_t k = 0; k < c.length; ++k) {
      out[i] = static_cast<uint16_t>(out[i] | (((c.bits >> k) & 1u) << (c.length - 1 - k)));
    }
  }
  return out;
}();

class LineBuffer {
 public:
  static constexpr std::size_t kCapacity = 4096;
  // Room always kept for closing a line: alignment and an EOL, or a byte-aligned 0x00 0x80.
  static constexpr std::size_t kClosingRoom = 3;

  void Clear() {
    size_ = 0;
    pending_ = 0;
    pendingBits_ = 0;
    overflowed_ = false;
    codeWords_ = 0;
  }

  // Appends code word kAllCodes[code], its first transmitted bit first.
  void AppendCode(uint8_t code) {
    const uint8_t length = kAllCodes[code].length;
    if (BitCount() + length > (kCapacity - kClosingRoom) * 8) {
      overflowed_ = true;
      return;
    }
    AppendLsbFirst(kLsbFirstBits[code], length);
    ++codeWords_;
  }

  // Appends `count` whole code words given together: `length` bits, the first in bit 0.
  void AppendCodeBits(uint32_t bits, unsigned length, unsigned count) {
    if (BitCount() + length > (kCapacity - kClosingRoom) * 8) {
      overflowed_ = true;
      return;
    }
    AppendLsbFirst(bits, length);
    codeWords_ += count;
  }

  // Appends `count` 0 bits of fill, bounded like code words.
  void AppendZeros(unsigned count) {
    if (BitCount() + count > (kCapacity - kClosingRoom) * 8) {
      overflowed_ = true;
      return;
    }
    while (count > 0) {
      const unsigned n = count > 16 ? 16 : count;
      AppendLsbFirst(0, n);
      count -= n;
    }
  }

  // Closes the line with fill and an EOL that ends exactly on a byte boundary: (4 - r) mod 8
  // zero bits where r bits are already in the last byte, then the 12 EOL bits (T.4 4.1.3 fill).
  void CloseWithAlignedEol() {
    const unsigned r = pendingBits_ % 8;
    AppendLsbFirst(0, (4 + 8 - r) % 8);
    AppendLsbFirst(1u << (kEolLength - 1), kEolLength);  // eleven 0 bits then the 1
    Settle();
  }

  // 0 bits up to the next byte boundary.
  void AlignToByte() {
    if (pendingBits_ % 8 != 0) AppendLsbFirst(0, 8 - pendingBits_ % 8);
    Settle();
  }

  // 0x00 bytes until the line holds `bytes` bytes (after AlignToByte).
  void PadTo(std::size_t bytes) {
    while (size_ < bytes && size_ < kCapacity - 2) bytes_[size_++] = 0;
  }

  // A byte-aligned EOL: four fill bits and the EOL, as the bytes 0x00 0x80.
  void AppendAlignedEol() {
    bytes_[size_++] = 0x00;
    bytes_[size_++] = 0x80;
  }

  // The finished line (close or align it first).
  [[nodiscard]] std::span<const uint8_t> Bytes() const { return {bytes_.data(), size_}; }
  [[nodiscard]] std::size_t BitCount() const { return size_ * 8 + pendingBits_; }
  [[nodiscard]] bool overflowed() const { return overflowed_; }
  [[nodiscard]] uint32_t codeWords() const { return codeWords_; }

 private:
  // Bits gather in a 64-bit word and go to the bytes four at a time.
  void AppendLsbFirst(uint32_t bits, unsigned count) {
    pending_ |= static_cast<uint64_t>(bits) << pendingBits_;
    pendingBits_ += count;
    if (pendingBits_ >= 32) {
      for (int k = 0; k < 4; ++k) bytes_[size_ + k] = static_cast<uint8_t>(pending_ >> (8 * k));
      size_ += 4;
      pending_ >>= 32;
      pendingBits_ -= 32;
    }
  }
  // Moves every whole pending byte into the line.
  void Settle() {
    while (pendingBits_ >= 8) {
      bytes_[size_++] = static_cast<uint8_t>(pending_);
      pending_ >>= 8;
      pendingBits_ -= 8;
    }
  }

  std::array<uint8_t, kCapacity> bytes_{};
  std::size_t size_ = 0;
  uint64_t pending_ = 0;      // bits not yet in bytes_, the first in bit 0
  unsigned pendingBits_ = 0;  // below 32 between calls
  bool overflowed_ = false;
  uint32_t codeWords_ = 0;
};

}  // namespace faxconv
