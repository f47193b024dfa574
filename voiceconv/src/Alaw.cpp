#include "voiceconv/Alaw.h"

#include <cmath>
#include <cstdlib>

namespace voiceconv {
namespace {

// The curve's constants, held in single precision as the board's software holds them.
const float kA = 87.6f;                                      // 87.5999984741211
const float kK = static_cast<float>(1.0 + std::log(87.6f));  // 1 + ln A = 5.47278118...

enum class Scale { Linear16, Linear12 };

// Full scale on the way to a byte and on the way back differ by design.
constexpr double EncodeFullScale(Scale s) {
  return s == Scale::Linear16 ? 32767.0 : 2048.0;
}
constexpr double DecodeFullScale(Scale s) {
  return s == Scale::Linear16 ? 32760.0 : 2047.0;
}

uint8_t LinearToAlaw(int32_t sample, Scale scale) {
  const double magnitude = std::abs(static_cast<double>(sample));
  const float y = static_cast<float>(magnitude / EncodeFullScale(scale));
  float x;
  if (y <= 1.0 / kA) {
    x = static_cast<float>(static_cast<double>(kA) * y / kK);
  } else {
    x = static_cast<float>((1.0 + std::log(static_cast<double>(kA) * y)) / kK);
  }
  int32_t t = static_cast<int32_t>(static_cast<double>(x) * 127.0);
  // Only the 12-bit scale can be handed magnitudes past its full scale (the rate converter's
  // overshoot); beyond code 127 the low bits would flip sign and magnitude.
  if (t > kAlawMaxMagnitude) t = kAlawMaxMagnitude;
  if (sample < 0) t += 128;
  return static_cast<uint8_t>((t & 0xFF) ^ kAlawMagnitudeMask);
}

int32_t AlawToLinear(uint8_t alaw, Scale scale) {
  int32_t v = alaw ^ kAlawMagnitudeMask;
  const bool negative = (alaw & 0x80) != 0;
  if (negative) v -= 128;
  const float y = static_cast<float>(v / 127.0);
  float x;
  if (y <= 1.0 / kK) {
    x = static_cast<float>(static_cast<double>(kK) * y / kA);
  } else {
    x = static_cast<float>(std::exp(static_cast<double>(kK) * y - 1.0) / kA);
  }
  const int32_t linear = static_cast<int32_t>(static_cast<double>(x) * DecodeFullScale(scale));
  return negative ? -linear : linear;
}

}  // namespace

int32_t AlawtoLinear16(uint8_t alaw) {
  return AlawToLinear(alaw, Scale::Linear16);
}

int32_t AlawtoLinear12(uint8_t magnitude) {
  return AlawToLinear(static_cast<uint8_t>(magnitude & 0x7F), Scale::Linear12);
}

uint8_t Linear16toAlaw(int32_t sample) {
  return LinearToAlaw(sample, Scale::Linear16);
}

uint8_t Linear12toAlaw(int32_t sample) {
  return LinearToAlaw(sample, Scale::Linear12);
}

namespace {

// The companded byte of every 16-bit value. The magnitude code never falls as the magnitude
// grows (every step of the curve rounds the same way), so only the edges between codes are
// looked for, by bisection: about two thousand evaluations of the curve instead of 65536.
// The tests compare the table with the curve over the whole domain.
std::array<uint8_t, 65536> EncodeTable(uint8_t (*curve)(int32_t)) {
  constexpr int32_t kMaxMagnitude = 32768;
  auto code = [curve](int32_t magnitude) { return (curve(magnitude) ^ kAlawMagnitudeMask) & 0x7F; };
  std::array<uint8_t, kMaxMagnitude + 1> byMagnitude{};
  int32_t from = 0;
  while (from <= kMaxMagnitude) {
    const int m = code(from);
    // The last magnitude with code m.
    int32_t low = from;
    int32_t high = kMaxMagnitude;
    if (code(high) != m) {
      while (high - low > 1) {
        const int32_t mid = low + (high - low) / 2;
        (code(mid) == m ? low : high) = mid;
      }
    } else {
      low = high;
    }
    for (int32_t a = from; a <= low; ++a) byMagnitude[a] = static_cast<uint8_t>(m);
    from = low + 1;
  }
  std::array<uint8_t, 65536> table{};
  for (int v = 0; v < 65536; ++v) {
    const auto sample = static_cast<int16_t>(static_cast<uint16_t>(v));
    const int m = byMagnitude[sample < 0 ? -sample : sample];
    table[v] = static_cast<uint8_t>(((sample < 0 ? 128 : 0) + m) ^ kAlawMagnitudeMask);
  }
  return table;
}

}  // namespace

const std::array<int16_t, 256>& AlawTables::AlawToLinear16() {
  static const auto table = [] {
    std::array<int16_t, 256> t{};
    for (int b = 0; b < 256; ++b)
      t[b] = static_cast<int16_t>(AlawtoLinear16(static_cast<uint8_t>(b)));
    return t;
  }();
  return table;
}

const std::array<int16_t, 256>& AlawTables::AlawToLinear12() {
  static const auto table = [] {
    std::array<int16_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
      const int32_t magnitude = AlawtoLinear12(static_cast<uint8_t>(b & 0x7F));
      t[b] = static_cast<int16_t>((b & 0x80) ? -magnitude : magnitude);
    }
    return t;
  }();
  return table;
}

const std::array<uint8_t, 65536>& AlawTables::Linear16ToAlaw() {
  static const auto table = EncodeTable(&Linear16toAlaw);
  return table;
}

const std::array<uint8_t, 65536>& AlawTables::Linear12ToAlaw() {
  static const auto table = EncodeTable(&Linear12toAlaw);
  return table;
}

}  // namespace voiceconv
