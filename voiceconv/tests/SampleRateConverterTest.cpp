#include "voiceconv/SampleRateConverter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "voiceconv/InterpolationTable.h"

namespace voiceconv {
namespace {

TEST(InterpolationTable, HoldsTheTunedEntries) {
  struct Case {
    int j;
    int tap;
  };
  const Case cases[] = {{0, 32767},  {1, 32766},    {64, 30064},  {128, 22765}, {192, 13010},
                        {256, 3502}, {284, 50},     {285, -61},   {384, -6545}, {512, -3113},
                        {768, 2553}, {1024, -1919}, {2048, -190}, {3072, 16},   {4096, 1},
                        {4106, 1},   {4107, 0}};
  const InterpolationTable& t = InterpolationTable::Get();
  for (const Case& c : cases) EXPECT_EQ(t.tap[c.j], c.tap) << "entry " << c.j;
  for (int j = 4107; j < kInterpolationTableSize; ++j) ASSERT_EQ(t.tap[j], 0) << "entry " << j;
}

TEST(InterpolationTable, FollowsTheDesignRuleWithinOneUnitAndSlopesAreDifferences) {
  const InterpolationTable& t = InterpolationTable::Get();
  for (int j = 0; j < kInterpolationTableSize; ++j) {
    const int rule = static_cast<int>(InterpolationDesignValue(j) + 0.5);
    ASSERT_LE(std::abs(t.tap[j] - rule), 1) << "entry " << j;
    const int next = j + 1 < kInterpolationTableSize ? t.tap[j + 1] : 0;
    ASSERT_EQ(t.slope[j], next - t.tap[j]) << "entry " << j;
  }
}

// The converter as its rules read, step by step: widened samples, coefficients interpolated
// tap by tap, the bit-13 rounding, no precomputed phases. An independent check of the fast one.
class LiteralConverter {
 public:
  struct Block {
    int taken;
    int produced;
  };

  std::vector<int16_t> Resample(const std::vector<int16_t>& in) {
    const auto n = static_cast<std::size_t>(std::trunc(in.size() * 8000.0 / 6000.0));
    std::vector<int16_t> out(n, 0);
    std::size_t position = 0;
    auto append = [&](const std::vector<int32_t>& values) {
      for (int32_t v : values) {
        if (position < n) out[position++] = static_cast<int16_t>(v >> 16);
      }
    };
    std::size_t start = 0;
    for (;;) {
      const std::size_t chunk = std::min<std::size_t>(512, in.size() - start);
      std::vector<int32_t> widened;
      for (std::size_t i = 0; i < chunk; ++i) widened.push_back(in[start + i] * 65536);
      std::size_t offset = 0;
      while (offset < widened.size()) {
        std::vector<int32_t> outputs;
        const int taken =
            Step(widened.data() + offset, static_cast<int>(widened.size() - offset), outputs);
        append(outputs);
        offset += static_cast<std::size_t>(taken);
      }
      start += chunk;
      if (chunk < 512) break;
    }
    append(std::vector<int32_t>(guard_, 0));
    return out;
  }

  std::vector<Block> blocks;

 private:
  int Step(const int32_t* in, int n, std::vector<int32_t>& outputs) {
    int limit = 4096 - current_;
    if (limit * ratio_ >= 16386) limit = static_cast<int>(16386 / ratio_);
    if (512 <= limit * ratio_) limit = static_cast<int>(512 / ratio_);
    const int take = std::min(limit - fill_, n);
    for (int i = 0; i < take; ++i) buffer_[fill_ + i] = static_cast<int16_t>((in[i] + 32768) >> 16);
    const int end = fill_ + take;
    for (int i = 0; i < guard_; ++i) buffer_[end + i] = 0;
    if (take == n && take <= guard_) {
      fill_ = end;
      return n;
    }
    const int count = end - 2 * guard_;
    const uint32_t time0 = time_;
    while (time_ < time0 + static_cast<uint32_t>(count) * 32768u) {
      outputs.push_back(Interpolate() * 65536);
      time_ += step_;
    }
    time_ -= static_cast<uint32_t>(count) * 32768u;
    current_ += count;
    const int creep = static_cast<int>(time_ >> 15) - guard_;
    if (creep != 0) {
      time_ -= static_cast<uint32_t>(creep) * 32768u;
      current_ += creep;
    }
    for (int i = 0; i < end - current_ + guard_; ++i) buffer_[i] = buffer_[i + current_ - guard_];
    fill_ = end - current_ + guard_;
    current_ = guard_;
    if (skip_ != 0) {
      for (int i = 0; i < std::min<int>(skip_, static_cast<int>(outputs.size())); ++i)
        outputs[i] = 0;
      skip_ = 0;
    }
    blocks.push_back({take, static_cast<int>(outputs.size())});
    return take;
  }

  int32_t Wing(int k, uint32_t phase, int direction) const {
    const InterpolationTable& t = InterpolationTable::Get();
    int j = static_cast<int>(phase >> 7);
    const int a = static_cast<int>(phase & 0x7F);
    int stop = 4993;
    if (direction == 1) {
      stop = 4992;
      if (phase == 0) j += 256;
    }
    int32_t sum = 0;
    while (j < stop) {
      const int32_t coef = t.tap[j] + ((t.slope[j] * a) >> 7);
      int32_t p = coef * buffer_[k];
      if (p & (1 << 13)) p += 1 << 13;
      sum += p >> 14;
      j += 256;
      k += direction;
    }
    return sum;
  }

  int32_t Interpolate() const {
    const int i = static_cast<int>(time_ >> 15);
    const int32_t left = Wing(i, time_ & 0x7FFF, -1);
    const int32_t right = Wing(i + 1, (0u - time_) & 0x7FFF, 1);
    int32_t v = (left + right) >> 2;
    v *= 14746;
    return static_cast<int16_t>(static_cast<uint16_t>(v >> 13));
  }

  double ratio_ = 8000.0 / 6000.0;
  uint32_t step_ = static_cast<uint32_t>(32768 / ratio_ + 0.5);
  int guard_ = 29;
  int current_ = 29;
  int fill_ = 29;
  uint32_t time_ = 29 * 32768;
  int skip_ = 38;
  std::vector<int16_t> buffer_ = std::vector<int16_t>(4096 + 64, 0);
};

std::vector<int16_t> Resample(const std::vector<int16_t>& in) {
  auto out = ResampleBuffer(in);
  EXPECT_TRUE(out.has_value());
  return out.value_or(std::vector<int16_t>{});
}

std::vector<int16_t> RandomTwelveBit(std::size_t n, unsigned key) {
  std::mt19937 random(key);
  std::uniform_int_distribution<int> d(-2047, 2047);
  std::vector<int16_t> v(n);
  for (auto& s : v) s = static_cast<int16_t>(d(random));
  return v;
}

TEST(SampleRateConverter, ConstantsFor8000) {
  SampleRateConverter converter;
  const ConverterState& s = converter.State();
  EXPECT_EQ(s.guard, 29);
  EXPECT_EQ(s.skip, 38);
  EXPECT_EQ(s.gain, 14746);
  EXPECT_EQ(s.time, 29u * 32768u);
  EXPECT_EQ(s.fill, 29);
  EXPECT_FALSE(SampleRateConverter::Supports(6000));
  EXPECT_TRUE(SampleRateConverter::Supports(8000));
}

TEST(SampleRateConverter, TwentySamplesGiveTwentySixOfSilence) {
  const auto out = Resample(RandomTwelveBit(20, 1));
  EXPECT_EQ(out, std::vector<int16_t>(26, 0));
}

TEST(SampleRateConverter, FortySamplesGiveOnlySilence) {
  LiteralConverter literal;
  const auto in = RandomTwelveBit(40, 2);
  EXPECT_EQ(literal.Resample(in), std::vector<int16_t>(53, 0));
  ASSERT_EQ(literal.blocks.size(), 1u);
  EXPECT_EQ(literal.blocks[0].produced, 15);
  EXPECT_EQ(Resample(in), std::vector<int16_t>(53, 0));
}

TEST(SampleRateConverter, OneChunkOf512MakesTwoBlocksAndEndsInSilence) {
  const auto in = RandomTwelveBit(512, 3);
  LiteralConverter literal;
  const auto expected = literal.Resample(in);
  ASSERT_EQ(literal.blocks.size(), 2u);
  EXPECT_EQ(literal.blocks[0].taken, 355);
  EXPECT_EQ(literal.blocks[0].produced, 435);
  EXPECT_EQ(literal.blocks[1].taken, 157);
  EXPECT_EQ(literal.blocks[1].produced, 210);

  const auto out = Resample(in);
  ASSERT_EQ(out.size(), 682u);
  EXPECT_EQ(out, expected);
  for (std::size_t k = 0; k < 38; ++k) EXPECT_EQ(out[k], 0) << k;
  for (std::size_t k = 645; k < 682; ++k) EXPECT_EQ(out[k], 0) << k;
  EXPECT_GT(std::count_if(out.begin() + 38, out.begin() + 645, [](int16_t v) { return v != 0; }),
            550);
}

TEST(SampleRateConverter, MatchesTheLiteralRulesForManyLengths) {
  std::vector<std::size_t> lengths = {0,   1,   29,  30,   58,   59,   100,  383,  384,  385,
                                      511, 513, 541, 1023, 1024, 1025, 1536, 2000, 4096, 9001};
  for (std::size_t length : lengths) {
    const auto in = RandomTwelveBit(length, static_cast<unsigned>(length) + 11);
    LiteralConverter literal;
    ASSERT_EQ(Resample(in), literal.Resample(in)) << "length " << length;
  }
  // Full-scale 16-bit input too: the wrap of the unsaturated output must be the same.
  std::vector<int16_t> loud(3000);
  for (std::size_t i = 0; i < loud.size(); ++i) loud[i] = (i / 3) % 2 ? 32767 : -32768;
  LiteralConverter literal;
  EXPECT_EQ(Resample(loud), literal.Resample(loud));
}

TEST(SampleRateConverter, OutputLengthIsFourThirdsRoundedDown) {
  for (std::size_t m = 0; m <= 1600; m += 1) {
    const auto out = ResampleBuffer(std::vector<int16_t>(m, 100));
    ASSERT_TRUE(out.has_value());
    ASSERT_EQ(out->size(), 4 * m / 3) << "input " << m;
  }
  EXPECT_EQ(SampleRateConverter::OutputLength(uint64_t{3} << 61, 8000), uint64_t{1} << 63);
}

TEST(SampleRateConverter, ConstantInputStaysConstantAfterTheStart) {
  const auto out = Resample(std::vector<int16_t>(3000, 1000));
  ASSERT_EQ(out.size(), 4000u);
  for (std::size_t k = 0; k < 38; ++k) EXPECT_EQ(out[k], 0);
  // Clear of the silent start and the filter's reach into it, and of the silent end.
  for (std::size_t k = 38 + 27; k < 4000 - 29 - 9 - 30; ++k) {
    ASSERT_NEAR(out[k], 1000.5, 1.5) << k;
  }
}

TEST(SampleRateConverter, ChunksGiveTheSameAsTheWholeBuffer) {
  const auto in = RandomTwelveBit(5000, 5);
  SampleRateConverter converter;
  std::vector<int16_t> streamed;
  std::size_t start = 0;
  for (;;) {
    const std::size_t n = std::min<std::size_t>(kResamplerChunk, in.size() - start);
    const auto out = converter.ConvertChunk(std::span<const int16_t>(in).subspan(start, n));
    streamed.insert(streamed.end(), out.begin(), out.end());
    start += n;
    if (n < kResamplerChunk) break;
  }
  const auto end = converter.End();
  streamed.insert(streamed.end(), end.begin(), end.end());
  streamed.resize(4 * in.size() / 3, 0);
  EXPECT_EQ(streamed, Resample(in));
}

}  // namespace
}  // namespace voiceconv
