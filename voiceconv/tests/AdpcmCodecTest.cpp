#include "voiceconv/AdpcmCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace voiceconv {
namespace {

TEST(AdpcmCodec, StepSizesAreTheIntegerPartOf16Times1Point1PowerN) {
  for (int n = 0; n < kAdpcmStepCount; ++n) {
    EXPECT_EQ(kAdpcmStepSizes[n], static_cast<int>(std::floor(16.0 * std::pow(1.1, n))))
        << "entry " << n;
  }
}

TEST(AdpcmCodec, DecodesSingleCodesFromTheResetState) {
  struct Case {
    uint32_t code;
    int32_t sample;
    int32_t stepIndex;
  };
  const Case cases[] = {{0x0, 2, 0},  {0x8, -2, 0}, {0x7, 30, 8}, {0xF, -30, 8},
                        {0x4, 18, 2}, {0x1, 6, 0},  {0xC, -18, 2}};
  for (const Case& c : cases) {
    AdpcmState state{123, 17};
    AdpcmReset(state);
    EXPECT_EQ(AdpcmDecode(state, c.code), c.sample) << "code " << c.code;
    EXPECT_EQ(state.stepIndex, c.stepIndex) << "code " << c.code;
  }
}

TEST(AdpcmCodec, LargestCodeClimbsToTheLimitAndStays) {
  AdpcmState state;
  std::vector<int32_t> samples;
  for (int i = 0; i < 20; ++i) samples.push_back(AdpcmDecode(state, 0x7));
  const std::vector<int32_t> expected = {30,   93,   229,  522,  1153, 2047, 2047,
                                         2047, 2047, 2047, 2047, 2047, 2047, 2047,
                                         2047, 2047, 2047, 2047, 2047, 2047};
  EXPECT_EQ(samples, expected);
  EXPECT_EQ(state.stepIndex, 48);
}

TEST(AdpcmCodec, NegativeLimitIsMinus2047) {
  AdpcmState state;
  for (int i = 0; i < 20; ++i) (void)AdpcmDecode(state, 0xF);
  EXPECT_EQ(state.predictor, -2047);
}

TEST(AdpcmCodec, EncodesSilenceAsAlternatingZeroAndEight) {
  AdpcmState state;
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(AdpcmEncode(state, 0), (i % 2 == 0) ? 0u : 8u) << "sample " << i;
  }
}

TEST(AdpcmCodec, EncodesFullScaleConstant) {
  AdpcmState state;
  std::vector<uint32_t> codes;
  for (int i = 0; i < 10; ++i) codes.push_back(AdpcmEncode(state, 2047));
  EXPECT_EQ(codes, (std::vector<uint32_t>{7, 7, 7, 7, 7, 4, 0, 0, 0, 0}));
  EXPECT_EQ(state.predictor, 2047);
}

// The encoder must leave its state exactly where a decoder of its codes ends up.
TEST(AdpcmCodec, EncoderFollowsTheDecoder) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> sample(-2047, 2047);
  AdpcmState encoder;
  AdpcmState decoder;
  for (int i = 0; i < 100000; ++i) {
    // A mix of noise and slow swings exercises every step index.
    const int32_t s =
        (i / 2000) % 2 ? sample(random) : static_cast<int32_t>(2000 * std::sin(i * 0.01));
    const uint32_t code = AdpcmEncode(encoder, s);
    ASSERT_LT(code, 16u);
    ASSERT_EQ(AdpcmDecode(decoder, code), encoder.predictor) << "sample " << i;
    ASSERT_EQ(decoder.stepIndex, encoder.stepIndex) << "sample " << i;
  }
}

}  // namespace
}  // namespace voiceconv
