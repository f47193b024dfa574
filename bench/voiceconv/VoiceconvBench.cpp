// Samples per second of each codec loop and of the rate converter, over one second of
// noise-like voice at a time (items_per_second is samples per second).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "voiceconv/AdpcmCodec.h"
#include "voiceconv/Alaw.h"
#include "voiceconv/Conversion.h"
#include "voiceconv/SampleRateConverter.h"

namespace {

using namespace voiceconv;

constexpr std::size_t kBytes = 64 * 1024;

// Something like speech: a few drifting tones plus noise, as 16-bit samples.
std::vector<int16_t> VoiceLike(std::size_t n, double scale) {
  std::mt19937 random(1);
  std::normal_distribution<double> noise(0.0, 0.05);
  std::vector<int16_t> v(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / 8000.0;
    const double x = 0.4 * std::sin(2 * M_PI * 220 * t) + 0.2 * std::sin(2 * M_PI * 1330 * t) +
                     0.1 * std::sin(2 * M_PI * 2900 * t * (1 + 0.01 * std::sin(t))) + noise(random);
    v[i] = static_cast<int16_t>(std::clamp(x, -1.0, 1.0) * scale);
  }
  return v;
}

std::vector<uint8_t> AlawBytes(std::size_t n) {
  std::vector<uint8_t> out;
  for (int16_t s : VoiceLike(n, 32767)) out.push_back(Linear16toAlaw(s));
  return out;
}

std::vector<uint8_t> WaveBytes(std::size_t samples) {
  std::vector<uint8_t> out;
  for (int16_t s : VoiceLike(samples, 32767)) {
    out.push_back(static_cast<uint8_t>(s));
    out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return out;
}

std::vector<uint8_t> AdpcmBytes(std::size_t n) {
  AdpcmState state;
  std::vector<uint8_t> out;
  const auto samples = VoiceLike(2 * n, 2047);
  for (std::size_t i = 0; i < samples.size(); i += 2) {
    const uint32_t high = AdpcmEncode(state, samples[i]);
    out.push_back(static_cast<uint8_t>(high << 4 | AdpcmEncode(state, samples[i + 1])));
  }
  return out;
}

// One conversion's sample loop, fed from memory; samples counted on the source side.
void RunStream(benchmark::State& state, Conversion conversion, const std::vector<uint8_t>& in,
               std::size_t samplesPerByteTimes2) {
  std::vector<uint8_t> out(StreamConverter::MaxOutput(conversion, in.size()));
  for (auto _ : state) {
    StreamConverter converter(conversion, in.size() * 16);
    benchmark::DoNotOptimize(converter.Feed(in, out.data()));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(
      static_cast<int64_t>(state.iterations() * in.size() * samplesPerByteTimes2 / 2));
}

void BM_PcmToWave(benchmark::State& s) {
  RunStream(s, Conversion::PcmToWave, AlawBytes(kBytes), 2);
}
void BM_WaveToPcm(benchmark::State& s) {
  RunStream(s, Conversion::WaveToPcm, WaveBytes(kBytes / 2), 1);
}
void BM_PcmToAd(benchmark::State& s) {
  RunStream(s, Conversion::PcmToAd, AlawBytes(kBytes), 2);
}
void BM_AdToPcm(benchmark::State& s) {
  RunStream(s, Conversion::AdToPcm, AdpcmBytes(kBytes), 4);
}
void BM_Ad6kToPcm(benchmark::State& s) {
  RunStream(s, Conversion::Ad6kToPcm, AdpcmBytes(kBytes), 4);
}
BENCHMARK(BM_PcmToWave);
BENCHMARK(BM_WaveToPcm);
BENCHMARK(BM_PcmToAd);
BENCHMARK(BM_AdToPcm);
BENCHMARK(BM_Ad6kToPcm);

// The rate converter alone, in its 512-sample chunks; counted in input samples.
void BM_Resampler(benchmark::State& state) {
  const auto in = VoiceLike(kResamplerChunk * 64, 2047);
  for (auto _ : state) {
    SampleRateConverter converter;
    for (std::size_t at = 0; at < in.size(); at += kResamplerChunk) {
      benchmark::DoNotOptimize(
          converter.ConvertChunk(std::span<const int16_t>(in).subspan(at, kResamplerChunk)).data());
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_Resampler);

// The compander curve computed per sample, for comparison with the table lookups above.
void BM_Linear16toAlawFormula(benchmark::State& state) {
  const auto in = VoiceLike(4096, 32767);
  for (auto _ : state) {
    for (int16_t s : in) benchmark::DoNotOptimize(Linear16toAlaw(s));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_Linear16toAlawFormula);

// ADPCM codec loops alone.
void BM_AdpcmDecode(benchmark::State& state) {
  const auto in = AdpcmBytes(kBytes);
  std::vector<int16_t> out(2 * in.size());
  for (auto _ : state) {
    AdpcmState s;
    int16_t* o = out.data();
    for (uint8_t b : in) {
      *o++ = static_cast<int16_t>(AdpcmDecode(s, b >> 4));
      *o++ = static_cast<int16_t>(AdpcmDecode(s, b & 15));
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * out.size()));
}
BENCHMARK(BM_AdpcmDecode);

void BM_AdpcmEncode(benchmark::State& state) {
  const auto in = VoiceLike(2 * kBytes, 2047);
  std::vector<uint8_t> out(in.size());
  for (auto _ : state) {
    AdpcmState s;
    for (std::size_t i = 0; i < in.size(); ++i)
      out[i] = static_cast<uint8_t>(AdpcmEncode(s, in[i]));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_AdpcmEncode);

}  // namespace
