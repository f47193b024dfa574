// Band-limited interpolation from 6000 samples a second to a higher rate (the board's 6k ADPCM
// recordings become 8000 Hz PCM).
//
// Every output sample is the input evaluated between input samples through the windowed-sinc
// wing of `InterpolationTable`. All sample arithmetic is fixed point: time counts 1/32768 of an
// input sample, each tap is a 32-bit product rounded on its own. The exact sequence of block
// steps, the guard of context, the silent start (`skip`) and the silent end all shape the
// output, and the voice files made with this converter are fixed by them, so the blocks are
// reproduced exactly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace voiceconv {

inline constexpr int kResamplerInputRate = 6000;
inline constexpr int kResamplerOutputRate = 8000;
// The driver hands the block step chunks of this many input samples.
inline constexpr std::size_t kResamplerChunk = 512;

// Time of the converter: unsigned, 15 fraction bits.
inline constexpr int kTimeFractionBits = 15;
inline constexpr uint32_t kTimeOne = 1u << kTimeFractionBits;

inline constexpr std::size_t kConverterInputSize = 4096;
inline constexpr std::size_t kConverterOutputSize = 16386;

// The converter's state between block steps. Input samples travel between driver and block
// step widened to sample * 65536 and are stored as (value + 32768) >> 16; outputs are returned
// the same way and narrowed with >> 16. For 16-bit samples both are exact identities, so the
// buffers here hold the samples themselves.
struct ConverterState {
  uint16_t skip = 0;     // leading outputs still to be replaced by silence
  uint16_t gain = 0;     // output scale
  uint32_t time = 0;     // output position in the input buffer
  uint16_t current = 0;  // input index the time's integer part is measured from
  uint16_t guard = 0;    // samples of context kept on each side
  uint16_t fill = 0;     // input index where the next sample goes
  // Room past the 4096 samples for the guard of silence behind the last stored sample.
  std::array<int16_t, kConverterInputSize + 64> input{};
};

class SampleRateConverter {
 public:
  // outputRate must satisfy Supports().
  explicit SampleRateConverter(int outputRate = kResamplerOutputRate);

  // Ratios above 1 up to 4 (6001 ... 24000 Hz).
  [[nodiscard]] static bool Supports(int outputRate);
  // Output length for an input of inputCount samples: trunc(M * R / 6000).
  [[nodiscard]] static uint64_t OutputLength(uint64_t inputCount, int outputRate);

  // Feeds one driver chunk (at most kResamplerChunk samples; a shorter chunk is the last).
  // Returns the outputs it produced; the span stays valid until the next call.
  [[nodiscard]] std::span<const int16_t> ConvertChunk(std::span<const int16_t> chunk);
  // The end step: the silent samples that close the output.
  [[nodiscard]] std::span<const int16_t> End();

  [[nodiscard]] const ConverterState& State() const { return state_; }

 private:
  // Outputs are weighted sums over input samples -19 ... +20 around the output time.
  static constexpr int kWindowLeft = 19;
  static constexpr int kWindow = 40;
  using Coefficients = std::array<int16_t, kWindow>;

  struct BlockResult {
    std::size_t taken;
    std::size_t produced;
  };
  BlockResult BlockStep(std::span<const int16_t> in, int16_t* out);
  // The block's output loop: the converter's hot loop, built for wider vector units too.
  std::size_t InterpolateBlock(uint32_t stop, int16_t* out);
  [[nodiscard]] int16_t Interpolate(uint32_t time) const;
  void BuildCoefficients();

  ConverterState state_;
  double ratio_;
  uint32_t step_;   // time advance per output sample
  int phaseShift_;  // phase >> phaseShift_ indexes coefficients_
  // The interpolated filter weights for every phase the time can take: the step is a fixed
  // number of 1/32768 units, so only 32768 / gcd(step, 32768) phases occur (4 for 8000 Hz).
  std::vector<Coefficients> coefficients_;
  std::vector<int16_t> output_;
};

// Converts a whole recording from 6000 Hz to outputRate. Returns exactly OutputLength(M, R)
// samples (silence where the converter does not reach), or nothing when the output memory
// cannot be had.
[[nodiscard]] std::optional<std::vector<int16_t>> ResampleBuffer(
    std::span<const int16_t> samples, int outputRate = kResamplerOutputRate);

}  // namespace voiceconv
