// The voice board's companded PCM byte: the continuous A-law curve (A = 87.6), not the
// 13-segment approximation of ITU-T G.711.
//
// Byte layout: bit 7 is the sign and, unlike G.711, set for negative samples; bits 6-0 hold the
// magnitude code m (0 ... 127) exclusive-ORed with 0x55. So +0 is 0x55 and -0 is 0xD5.
//
// The four named functions are the curve itself, computed as the board's software computes it:
// single-precision roundings where a value is stored, double precision otherwise, truncation
// toward zero, and different scales in the two directions (32767 / 32760, 2048 / 2047). The hot
// loops use `AlawTables` instead, filled from these functions, so a lookup is bit-identical to
// the formula.
#pragma once

#include <array>
#include <cstdint>

namespace voiceconv {

inline constexpr uint8_t kAlawMagnitudeMask = 0x55;
inline constexpr uint8_t kAlawSilence = 0x55;  // +0
inline constexpr int kAlawMaxMagnitude = 127;

// Companded byte to a 16-bit sample, -32760 ... +32760.
[[nodiscard]] int32_t AlawtoLinear16(uint8_t alaw);
// Magnitude code (the byte with bit 7 cleared) to a 12-bit magnitude, 0 ... 2047. The caller
// applies the sign.
[[nodiscard]] int32_t AlawtoLinear12(uint8_t magnitude);
// 16-bit sample to a companded byte.
[[nodiscard]] uint8_t Linear16toAlaw(int32_t sample);
// 12-bit sample to a companded byte. Magnitudes beyond the 12-bit scale (the rate converter's
// overshoot, about 2139 and up) are limited to magnitude code 127, so the byte keeps its layout.
[[nodiscard]] uint8_t Linear12toAlaw(int32_t sample);

// Lookup tables over the whole input domain of each direction. Each is built on its first use,
// so a conversion pays only for the table it needs.
class AlawTables {
 public:
  // AlawtoLinear16 of every byte.
  [[nodiscard]] static const std::array<int16_t, 256>& AlawToLinear16();
  // AlawtoLinear12 of the magnitude, negated when bit 7 is set: the signed 12-bit sample.
  [[nodiscard]] static const std::array<int16_t, 256>& AlawToLinear12();
  // Linear16toAlaw of every 16-bit value, indexed by its bit pattern (uint16_t).
  [[nodiscard]] static const std::array<uint8_t, 65536>& Linear16ToAlaw();
  // Linear12toAlaw of every 16-bit value, indexed by its bit pattern (uint16_t).
  [[nodiscard]] static const std::array<uint8_t, 65536>& Linear12ToAlaw();
};

}  // namespace voiceconv
