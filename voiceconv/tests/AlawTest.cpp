#include "voiceconv/Alaw.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace voiceconv {
namespace {

TEST(Alaw, Linear16toAlawCases) {
  struct Case {
    int32_t sample;
    uint8_t alaw;
  };
  const Case cases[] = {{0, 0x55},     {1, 0x55},      {-1, 0xD5},
                        {32767, 0x2B}, {-32767, 0xAB}, {-32768, 0xAA}};
  for (const Case& c : cases) EXPECT_EQ(Linear16toAlaw(c.sample), c.alaw) << c.sample;
}

TEST(Alaw, AlawtoLinear16Cases) {
  struct Case {
    uint8_t alaw;
    int32_t sample;
  };
  const Case cases[] = {{0x55, 0},      {0xD5, 0},    {0x54, 16},   {0x2A, 32760},
                        {0xAA, -32760}, {0x00, 5361}, {0x80, -5361}};
  for (const Case& c : cases) EXPECT_EQ(AlawtoLinear16(c.alaw), c.sample) << int(c.alaw);
}

TEST(Alaw, TwelveBitScaleCases) {
  EXPECT_EQ(Linear12toAlaw(2047), 0x2B);
  EXPECT_EQ(Linear12toAlaw(-2047), 0xAB);
  EXPECT_EQ(Linear12toAlaw(0), 0x55);
  EXPECT_EQ(AlawtoLinear12(127 ^ 0x55), 2047);
  EXPECT_EQ(AlawtoLinear12(1 ^ 0x55), 1);
  EXPECT_EQ(AlawtoLinear12(0x55), 0);
}

// Different scales in the two directions, both truncating: decoding then encoding lowers the
// magnitude code by one.
TEST(Alaw, RoundTripLowersTheMagnitudeCodeByOne) {
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<uint8_t>(b);
    const int m = (byte ^ 0x55) & 0x7F;
    const uint8_t again = Linear16toAlaw(AlawtoLinear16(byte));
    if (m == 0) {
      EXPECT_EQ(again, 0x55) << b;  // -0 comes back as +0
    } else {
      EXPECT_EQ((again ^ 0x55) & 0x7F, m - 1) << b;
      EXPECT_EQ(again & 0x80, byte & 0x80) << b;
    }
  }
}

// The rate converter can overshoot the 12-bit scale; the magnitude code stops at 127.
TEST(Alaw, TwelveBitOvershootIsLimitedToCode127) {
  int previous = 0;
  for (int32_t s = 0; s <= 32767; ++s) {
    const uint8_t positive = Linear12toAlaw(s);
    const uint8_t negative = Linear12toAlaw(-s);
    const int m = (positive ^ 0x55) & 0x7F;
    ASSERT_EQ(positive & 0x80, 0) << s;
    ASSERT_GE(m, previous) << s;
    ASSERT_EQ((negative ^ 0x55) & 0x7F, m) << s;
    if (s != 0) {
      ASSERT_EQ(negative & 0x80, 0x80) << s;
    }
    previous = m;
  }
  EXPECT_EQ(Linear12toAlaw(2200), 0x2A);
  EXPECT_EQ(Linear12toAlaw(-32768), 0xAA);
  EXPECT_EQ(Linear12toAlaw(100000), 0x2A);
}

TEST(Alaw, TablesEqualTheCurveOverTheWholeDomain) {
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<uint8_t>(b);
    ASSERT_EQ(AlawTables::AlawToLinear16()[b], AlawtoLinear16(byte)) << b;
    const int32_t m = AlawtoLinear12(byte & 0x7F);
    ASSERT_EQ(AlawTables::AlawToLinear12()[b], (byte & 0x80) ? -m : m) << b;
  }
  for (int v = -32768; v <= 32767; ++v) {
    const auto index = static_cast<uint16_t>(v);
    ASSERT_EQ(AlawTables::Linear16ToAlaw()[index], Linear16toAlaw(v)) << v;
    ASSERT_EQ(AlawTables::Linear12ToAlaw()[index], Linear12toAlaw(v)) << v;
  }
}

}  // namespace
}  // namespace voiceconv
