#include "voiceconv/Conversion.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "voiceconv/Alaw.h"

namespace voiceconv {
namespace {

std::vector<uint8_t> RandomBytes(std::size_t n, unsigned key) {
  std::mt19937 random(key);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(random());
  return v;
}

// Runs a whole source through a converter, fed in pieces of the given size.
std::vector<uint8_t> Convert(Conversion c, const std::vector<uint8_t>& source,
                             std::size_t piece = 1 << 20) {
  StreamConverter converter(c, source.size());
  std::vector<uint8_t> out(StreamConverter::MaxOutput(c, 0));
  out.resize(converter.Begin(out.data()));
  for (std::size_t at = 0; at < source.size(); at += piece) {
    const std::size_t n = std::min(piece, source.size() - at);
    std::vector<uint8_t> buffer(StreamConverter::MaxOutput(c, n));
    buffer.resize(converter.Feed({source.data() + at, n}, buffer.data()));
    out.insert(out.end(), buffer.begin(), buffer.end());
  }
  converter.Finish(out);
  return out;
}

TEST(Conversion, NamesAreListedOnce) {
  for (const ConversionInfo& info : kConversions) {
    EXPECT_EQ(&Describe(info.id), &info);
    EXPECT_EQ(FindConversion(info.command), info.id);
  }
  EXPECT_FALSE(FindConversion("wav2mp3").has_value());
}

TEST(Conversion, WaveHeaderBytes) {
  const std::vector<uint8_t> expected = {
      'R', 'I', 'F', 'F', 0x92, 0x09, 0,   0,                      // 2 * 1200 + 50
      'W', 'A', 'V', 'E', 'f',  'm',  't', ' ', 18,   0,    0, 0,  //
      1,   0,   1,   0,   0x40, 0x1F, 0,   0,   0x80, 0x3E, 0, 0,  // PCM, mono, 8000, 16000
      2,   0,   16,  0,   0,    0,                                 // align, bits, extra size
      'f', 'a', 'c', 't', 4,    0,    0,   0,   0xB0, 0x04, 0, 0,  // 1200 samples
      'd', 'a', 't', 'a', 0x60, 0x09, 0,   0};                     // 2400 bytes
  const auto header = MakeWaveHeader(1200);
  EXPECT_EQ(std::vector<uint8_t>(header.begin(), header.end()), expected);
  EXPECT_EQ(MakeWaveHeader(0)[4], 50);
}

TEST(Conversion, OutputLengthsForEverySourceLength) {
  for (uint64_t s = 0; s < 700; ++s) {
    const auto source = RandomBytes(s, static_cast<unsigned>(s));
    for (const ConversionInfo& info : kConversions) {
      ASSERT_EQ(Convert(info.id, source).size(), OutputLength(info.id, s))
          << info.command << " of " << s << " bytes";
    }
  }
  EXPECT_EQ(OutputLength(Conversion::PcmToWave, 10), 78u);
  EXPECT_EQ(OutputLength(Conversion::Ad6kToPcm, 300), 800u);
}

TEST(Conversion, PiecesOfAnySizeGiveTheSameBytes) {
  const auto source = RandomBytes(4001, 9);
  for (const ConversionInfo& info : kConversions) {
    const auto whole = Convert(info.id, source);
    for (std::size_t piece : {1u, 3u, 160u, 511u, 4096u}) {
      ASSERT_EQ(Convert(info.id, source, piece), whole) << info.command << " piece " << piece;
    }
  }
}

TEST(Conversion, SamplesGoThroughTheCodecs) {
  // pcm2wave: each byte becomes its 16-bit sample after the header.
  const std::vector<uint8_t> pcm = {0x55, 0xD5, 0x54, 0x2A, 0xAA};
  const auto wave = Convert(Conversion::PcmToWave, pcm);
  for (std::size_t i = 0; i < pcm.size(); ++i) {
    const auto sample = static_cast<int16_t>(wave[58 + 2 * i] | wave[59 + 2 * i] << 8);
    EXPECT_EQ(sample, AlawtoLinear16(pcm[i]));
  }
  // wave2pcm: little-endian samples; an odd byte at the end is dropped.
  EXPECT_EQ(Convert(Conversion::WaveToPcm, {0xFF, 0x7F, 0x00, 0x80, 0x01, 0x00, 0x09}),
            (std::vector<uint8_t>{0x2B, 0xAA, 0x55}));
  // ad2pcm: high nibble first; 0x77 decodes to 30 then 93.
  EXPECT_EQ(Convert(Conversion::AdToPcm, {0x77}),
            (std::vector<uint8_t>{Linear12toAlaw(30), Linear12toAlaw(93)}));
}

TEST(Conversion, PcmSilenceBecomesAdpcmBytesOfEight) {
  EXPECT_EQ(Convert(Conversion::PcmToAd, std::vector<uint8_t>(640, 0x55)),
            std::vector<uint8_t>(320, 0x08));
  EXPECT_TRUE(Convert(Conversion::PcmToAd, {0x12}).empty());
  EXPECT_EQ(Convert(Conversion::PcmToAd, RandomBytes(321, 4)).size(), 160u);
}

TEST(Conversion, Adpcm6kStartsAndEndsInSilence) {
  const auto out = Convert(Conversion::Ad6kToPcm, RandomBytes(300, 6));
  ASSERT_EQ(out.size(), 800u);
  for (std::size_t k = 0; k < 38; ++k) EXPECT_EQ(out[k], kAlawSilence) << k;
  for (std::size_t k = 800 - 37; k < 800; ++k) EXPECT_EQ(out[k], kAlawSilence) << k;
  EXPECT_NE(out[38], kAlawSilence);
  EXPECT_NE(out[800 - 38], kAlawSilence);
}

TEST(Conversion, Adpcm6kIsDecodeResampleCompand) {
  const auto source = RandomBytes(4000, 8);
  AdpcmState state;
  std::vector<int16_t> decoded;
  for (uint8_t b : source) {
    decoded.push_back(static_cast<int16_t>(AdpcmDecode(state, b >> 4)));
    decoded.push_back(static_cast<int16_t>(AdpcmDecode(state, b & 15)));
  }
  const auto resampled = ResampleBuffer(decoded).value();
  std::vector<uint8_t> expected;
  for (int16_t s : resampled) expected.push_back(Linear12toAlaw(s));
  EXPECT_EQ(Convert(Conversion::Ad6kToPcm, source), expected);
}

}  // namespace
}  // namespace voiceconv
