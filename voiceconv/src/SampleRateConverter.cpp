#include "voiceconv/SampleRateConverter.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <stdexcept>

#include "voiceconv/InterpolationTable.h"

namespace voiceconv {
namespace {

constexpr uint16_t kGain = 14746;  // 2^29 / 36425, the wing's DC sum, makes the gain about 1
constexpr uint32_t kPhaseMask = kTimeOne - 1;
constexpr int kTableIndexShift = 7;  // phase >> 7 indexes the table, the low 7 bits interpolate
constexpr uint32_t kInterpolationMask = (1u << kTableIndexShift) - 1;
constexpr int kCoefficientShift = 14;
constexpr int32_t kCoefficientRounding = 1 << (kCoefficientShift - 1);
constexpr int kGainShift = 13;
constexpr int kLeftWingEnd = kInterpolationTableSize;       // the left wing may use every entry
constexpr int kRightWingEnd = kInterpolationTableSize - 1;  // the right wing stops one short

}  // namespace

bool SampleRateConverter::Supports(int outputRate) {
  return outputRate > kResamplerInputRate && outputRate <= 4 * kResamplerInputRate;
}

uint64_t SampleRateConverter::OutputLength(uint64_t inputCount, int outputRate) {
  // trunc(M * R / 6000), without letting M * R overflow for absurd lengths.
  const auto rate = static_cast<uint64_t>(outputRate);
  return inputCount / kResamplerInputRate * rate +
         inputCount % kResamplerInputRate * rate / kResamplerInputRate;
}

SampleRateConverter::SampleRateConverter(int outputRate) {
  if (!Supports(outputRate)) throw std::invalid_argument("unsupported output rate");
  ratio_ = static_cast<double>(outputRate) / kResamplerInputRate;
  step_ = static_cast<uint32_t>(kTimeOne / ratio_ + 0.5);
  state_.gain = kGain;
  state_.guard = static_cast<uint16_t>(19.0 * std::max(1.0, 1.0 / ratio_) + 10.0);
  state_.current = state_.guard;
  state_.fill = state_.guard;
  state_.time = static_cast<uint32_t>(state_.guard) * kTimeOne;
  state_.skip = static_cast<uint16_t>(state_.guard * ratio_);
  output_.resize(kConverterOutputSize);
  BuildCoefficients();
}

void SampleRateConverter::BuildCoefficients() {
  const InterpolationTable& table = InterpolationTable::Get();
  // The phase of every output time is a multiple of step_'s lowest set bit.
  const uint32_t granule = step_ & (0u - step_);
  phaseShift_ = 0;
  while ((1u << phaseShift_) < granule) ++phaseShift_;
  coefficients_.assign(kTimeOne >> phaseShift_, Coefficients{});

  auto weight = [&table](int j, uint32_t fraction) {
    return static_cast<int16_t>(
        table.tap[j] + ((table.slope[j] * static_cast<int>(fraction)) >> kTableIndexShift));
  };
  for (std::size_t index = 0; index < coefficients_.size(); ++index) {
    Coefficients& c = coefficients_[index];
    // Left wing: from the sample at or before the output time, going back.
    const uint32_t phase = static_cast<uint32_t>(index) << phaseShift_;
    int k = kWindowLeft;
    for (int j = static_cast<int>(phase >> kTableIndexShift); j < kLeftWingEnd;
         j += kTableEntriesPerSample) {
      c[k--] = weight(j, phase & kInterpolationMask);
    }
    // Right wing: from the next sample on, at the mirrored phase. At phase 0 the centre
    // coefficient already counted on the left.
    const uint32_t mirrored = (kTimeOne - phase) & kPhaseMask;
    int j = static_cast<int>(mirrored >> kTableIndexShift);
    if (mirrored == 0) j += kTableEntriesPerSample;
    for (k = kWindowLeft + 1; j < kRightWingEnd; j += kTableEntriesPerSample) {
      c[k++] = weight(j, mirrored & kInterpolationMask);
    }
  }
}

int16_t SampleRateConverter::Interpolate(uint32_t time) const {
  const Coefficients& c = coefficients_[(time & kPhaseMask) >> phaseShift_];
  const int16_t* x = state_.input.data() + (time >> kTimeFractionBits) - kWindowLeft;
  int32_t sum = 0;
  // Each product is rounded on its own: adding half of 2^14 before the shift is the same as
  // adding 2^14 when bit 13 of the product is set. A zero coefficient adds exactly 0.
  for (int k = 0; k < kWindow; ++k) {
    sum += (static_cast<int32_t>(c[k]) * x[k] + kCoefficientRounding) >> kCoefficientShift;
  }
  const int64_t v = static_cast<int64_t>(sum >> 2) * state_.gain;
  // The low 16 bits, not saturated: 12-bit input keeps it within range.
  return static_cast<int16_t>(static_cast<uint16_t>(v >> kGainShift));
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
// The same code for AVX2 and for the baseline; the loader picks one for the machine.
__attribute__((target_clones("avx2", "default")))
#endif
std::size_t
SampleRateConverter::InterpolateBlock(uint32_t stop, int16_t* out) {
  std::size_t produced = 0;
  uint32_t time = state_.time;
  while (time < stop) {
    out[produced++] = Interpolate(time);
    time += step_;
  }
  state_.time = time;
  return produced;
}

SampleRateConverter::BlockResult SampleRateConverter::BlockStep(std::span<const int16_t> in,
                                                                int16_t* out) {
  ConverterState& s = state_;
  const int guard = s.guard;
  const int n = static_cast<int>(in.size());

  // Keep the block within the input buffer and within 512 outputs.
  int limit = static_cast<int>(kConverterInputSize) - s.current;
  if (limit * ratio_ >= static_cast<double>(kConverterOutputSize)) {
    limit = static_cast<int>(kConverterOutputSize / ratio_);
  }
  if (static_cast<double>(kResamplerChunk) <= limit * ratio_) {
    limit = static_cast<int>(kResamplerChunk / ratio_);
  }
  const int take = std::max(0, std::min(limit - s.fill, n));

  std::copy_n(in.data(), take, s.input.data() + s.fill);
  const int end = s.fill + take;
  std::fill_n(s.input.data() + end, guard, int16_t{0});

  if (take == n && take <= guard) {
    // Too little for a block: kept for the next call.
    s.fill = static_cast<uint16_t>(end);
    return {static_cast<std::size_t>(n), 0};
  }

  const int count = end - 2 * guard;
  const uint32_t span = static_cast<uint32_t>(count) * kTimeOne;
  const uint32_t stop = s.time + span;
  const std::size_t produced = InterpolateBlock(stop, out);
  assert(produced <= kConverterOutputSize);

  s.time -= span;
  s.current = static_cast<uint16_t>(s.current + count);
  const int creep = static_cast<int>(s.time >> kTimeFractionBits) - guard;
  if (creep != 0) {
    s.time -= static_cast<uint32_t>(creep) * kTimeOne;
    s.current = static_cast<uint16_t>(s.current + creep);
  }

  // Move the context still needed to the front of the buffer.
  const int kept = end - s.current + guard;
  std::memmove(s.input.data(), s.input.data() + (s.current - guard),
               static_cast<std::size_t>(kept) * sizeof(int16_t));
  s.fill = static_cast<uint16_t>(kept);
  s.current = static_cast<uint16_t>(guard);

  // The first block's outputs lean on the silence before the start: replace them.
  if (s.skip != 0) {
    std::fill_n(out, std::min<std::size_t>(s.skip, produced), int16_t{0});
    s.skip = 0;
  }
  return {static_cast<std::size_t>(take), produced};
}

std::span<const int16_t> SampleRateConverter::ConvertChunk(std::span<const int16_t> chunk) {
  assert(chunk.size() <= kResamplerChunk);
  std::size_t produced = 0;
  while (!chunk.empty()) {
    const BlockResult r = BlockStep(chunk, output_.data() + produced);
    produced += r.produced;
    if (r.taken == 0) break;  // cannot happen for supported ratios; never spin
    chunk = chunk.subspan(r.taken);
  }
  return {output_.data(), produced};
}

std::span<const int16_t> SampleRateConverter::End() {
  std::fill_n(output_.data(), state_.guard, int16_t{0});
  return {output_.data(), state_.guard};
}

std::optional<std::vector<int16_t>> ResampleBuffer(std::span<const int16_t> samples,
                                                   int outputRate) {
  SampleRateConverter converter(outputRate);
  const uint64_t length = SampleRateConverter::OutputLength(samples.size(), outputRate);
  std::vector<int16_t> out;
  try {
    out.assign(length, int16_t{0});
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  } catch (const std::length_error&) {
    return std::nullopt;
  }
  std::size_t position = 0;
  auto append = [&](std::span<const int16_t> values) {
    // Values past the computed length are dropped.
    const std::size_t n = std::min<std::size_t>(values.size(), out.size() - position);
    std::copy_n(values.data(), n, out.data() + position);
    position += n;
  };
  std::size_t start = 0;
  for (;;) {
    const std::size_t n = std::min(kResamplerChunk, samples.size() - start);
    append(converter.ConvertChunk(samples.subspan(start, n)));
    start += n;
    if (n < kResamplerChunk) break;
  }
  append(converter.End());
  return out;
}

}  // namespace voiceconv
