#include "faxconv/ReferenceRecogniser.h"

#include <limits>

namespace faxconv {
namespace {

// Codes indexed by colour and length, as the per-bit search looks them up: at most 42 codes
// share a length and colour.
struct CodesByLength {
  std::array<std::array<std::array<uint8_t, kCodeCount>, kMaxCodeLength + 1>, 2> index{};
  std::array<std::array<uint8_t, kMaxCodeLength + 1>, 2> size{};
};

constexpr CodesByLength MakeCodesByLength() {
  CodesByLength t{};
  for (std::size_t i = 0; i < kCodeCount; ++i) {
    const T4Code& c = kAllCodes[i];
    const auto colour = static_cast<std::size_t>(c.colour);
    t.index[colour][c.length][t.size[colour][c.length]++] = static_cast<uint8_t>(i);
  }
  return t;
}

constexpr CodesByLength kByLength = MakeCodesByLength();

}  // namespace

int ReferenceRecogniser::Lookup(Colour colour, uint8_t length, uint16_t bits) {
  if (length < kMinCodeLength || length > kMaxCodeLength) return -1;
  const auto c = static_cast<std::size_t>(colour);
  for (uint8_t k = 0; k < kByLength.size[c][length]; ++k) {
    const uint8_t i = kByLength.index[c][length][k];
    if (kAllCodes[i].bits == bits) return i;
  }
  return -1;
}

bool ReferenceRecogniser::IsProperPrefix(Colour colour, uint8_t length, uint16_t bits) {
  for (const T4Code& c : kAllCodes) {
    if (c.colour == colour && c.length > length && (c.bits >> (c.length - length)) == bits) {
      return true;
    }
  }
  return false;
}

RecognisedBit ReferenceRecogniser::Feed(unsigned bit) {
  code_ = static_cast<uint16_t>((code_ << 1) | (bit & 1u));
  if (count_ < std::numeric_limits<uint16_t>::max()) ++count_;

  if (count_ >= kEolLength && (code_ & 0x0FFF) == kEolBits) {
    RecognisedBit r{BitEvent::Eol, 0, width_};
    Reset();
    return r;
  }
  if (count_ >= kEolLength && (code_ & 0x0FFF) == 0) return {BitEvent::ZeroRun, 0, 0};
  if (count_ <= kMaxCodeLength) {
    const auto length = static_cast<uint8_t>(count_);
    const int i = Lookup(colour_, length, static_cast<uint16_t>(code_ & ((1u << length) - 1)));
    if (i >= 0) {
      const T4Code& c = kAllCodes[static_cast<std::size_t>(i)];
      width_ += c.run;
      if (c.Terminating()) colour_ = colour_ == Colour::White ? Colour::Black : Colour::White;
      ClearCode();
      return {BitEvent::CodeWord, static_cast<uint8_t>(i), 0};
    }
  }
  return {};
}

}  // namespace faxconv
