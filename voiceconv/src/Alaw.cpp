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
constexpr double EncodeFullScale(Scale s) { return s == Scale::Linear16 ? 32767.0 : 2048.0; }
constexpr double DecodeFullScale(Scale s) { return s == Scale::Linear16 ? 32760.0 : 2047.0; }

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

int32_t AlawtoLinear16(uint8_t alaw) { return AlawToLinear(alaw, Scale::Linear16); }

int32_t AlawtoLinear12(uint8_t magnitude) {
  return AlawToLinear(static_cast<uint8_t>(magnitude & 0x7F), Scale::Linear12);
}

uint8_t Linear16toAlaw(int32_t sample) { return LinearToAlaw(sample, Scale::Linear16); }

uint8_t Linear12toAlaw(int32_t sample) { return LinearToAlaw(sample, Scale::Linear12); }

const AlawTables& AlawTables::Get() {
  static const AlawTables tables = [] {
    AlawTables t{};
    for (int b = 0; b < 256; ++b) {
      const auto byte = static_cast<uint8_t>(b);
      t.alawToLinear16[b] = static_cast<int16_t>(AlawtoLinear16(byte));
      const int32_t magnitude = AlawtoLinear12(static_cast<uint8_t>(byte & 0x7F));
      t.alawToLinear12[b] = static_cast<int16_t>((byte & 0x80) ? -magnitude : magnitude);
    }
    for (int v = 0; v < 65536; ++v) {
      const auto sample = static_cast<int16_t>(static_cast<uint16_t>(v));
      t.linear16ToAlaw[v] = Linear16toAlaw(sample);
      t.linear12ToAlaw[v] = Linear12toAlaw(sample);
    }
    return t;
  }();
  return tables;
}

}  // namespace voiceconv
