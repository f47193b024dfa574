// The voice board's 4-bit ADPCM on a 12-bit linear scale (the Dialogic/OKI code).
//
// A code holds a sign bit (bit 3, set when the sample lies below the predictor) and three
// magnitude bits worth step, step/2 and step/4. Two codes share a byte, the earlier sample in
// the high nibble. The encoder applies the decoder's update to its own code, so both sides stay
// in step (it computes that update from the thresholds it already holds rather than through
// kAdpcmTransitions, which is shorter on its critical path; a test runs the two side by side).
// Each conversion owns its `AdpcmState`, so conversions never disturb one another.
#pragma once

#include <array>
#include <cstdint>

namespace voiceconv {

inline constexpr int32_t kAdpcmMaxSample = 2047;
// The decoder limits at -2047, not -2048, so the 12-bit scale stays symmetric.
inline constexpr int32_t kAdpcmMinSample = -2047;
inline constexpr int kAdpcmStepCount = 49;

// Dialogic ADPCM step sizes: entry n is the integer part of 16 * 1.1^n.
inline constexpr std::array<int16_t, kAdpcmStepCount> kAdpcmStepSizes = {
    16,  17,  19,  21,  23,  25,  28,  31,  34,  37,  41,   45,   50,   55,   60,  66,  73,
    80,  88,  97,  107, 118, 130, 143, 157, 173, 190, 209,  230,  253,  279,  307, 337, 371,
    408, 449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552};

// Step-index adjustment by the code's three magnitude bits (code AND 7).
inline constexpr std::array<int8_t, 8> kAdpcmIndexAdjust = {-1, -1, -1, -1, 2, 4, 6, 8};

struct AdpcmState {
  int32_t predictor = 0;  // the last reconstructed 12-bit sample
  int32_t stepIndex = 0;  // position in kAdpcmStepSizes
};

namespace detail {

// What one code does to a state with a given step index: the signed change of the predictor
// and the next step index. Derived from the two tables above, so decoder and encoder share it.
struct AdpcmTransition {
  int16_t delta;
  uint8_t nextIndex;
};

constexpr std::array<AdpcmTransition, kAdpcmStepCount * 16> MakeAdpcmTransitions() {
  std::array<AdpcmTransition, kAdpcmStepCount * 16> table{};
  for (int index = 0; index < kAdpcmStepCount; ++index) {
    const int step = kAdpcmStepSizes[index];
    for (int code = 0; code < 16; ++code) {
      // Each term is its own truncating division of the step.
      int delta = step / 8;
      if (code & 4) delta += step;
      if (code & 2) delta += step / 2;
      if (code & 1) delta += step / 4;
      if (code & 8) delta = -delta;
      int next = index + kAdpcmIndexAdjust[code & 7];
      next = next < 0 ? 0 : (next > kAdpcmStepCount - 1 ? kAdpcmStepCount - 1 : next);
      table[index * 16 + code] = {static_cast<int16_t>(delta), static_cast<uint8_t>(next)};
    }
  }
  return table;
}

inline constexpr auto kAdpcmTransitions = MakeAdpcmTransitions();

// Per step index, the part of the step that magnitude bits m stand for: bit 2 the step, bit 1
// step/2, bit 0 step/4.
constexpr std::array<std::array<int16_t, 8>, kAdpcmStepCount> MakeAdpcmThresholds() {
  std::array<std::array<int16_t, 8>, kAdpcmStepCount> table{};
  for (int index = 0; index < kAdpcmStepCount; ++index) {
    const int step = kAdpcmStepSizes[index];
    for (int m = 0; m < 8; ++m) {
      table[index][m] = static_cast<int16_t>(((m & 4) ? step : 0) + ((m & 2) ? step / 2 : 0) +
                                             ((m & 1) ? step / 4 : 0));
    }
  }
  return table;
}

inline constexpr auto kAdpcmThresholds = MakeAdpcmThresholds();

inline int32_t AdpcmApply(AdpcmState& state, uint32_t code) {
  const AdpcmTransition t = kAdpcmTransitions[state.stepIndex * 16 + (code & 15)];
  int32_t p = state.predictor + t.delta;
  p = p > kAdpcmMaxSample ? kAdpcmMaxSample : p;
  p = p < kAdpcmMinSample ? kAdpcmMinSample : p;
  state.predictor = p;
  state.stepIndex = t.nextIndex;
  return p;
}

}  // namespace detail

// Back to predictor 0 and step index 0, as at the start of every file.
inline void AdpcmReset(AdpcmState& state) {
  state = AdpcmState{};
}

// Decodes one 4-bit code (higher bits ignored) into a 12-bit sample, -2047 ... +2047.
[[nodiscard]] inline int32_t AdpcmDecode(AdpcmState& state, uint32_t code) {
  return detail::AdpcmApply(state, code);
}

// Encodes one 12-bit sample into a 4-bit code and moves the state as the decoder will.
//
// The code's magnitude bits take step, step/2 and step/4 in turn while the difference still
// reaches them. Because step >= step/2 + step/4 (each truncated), that greedy choice is the
// largest m whose threshold kAdpcmThresholds[index][m] the difference reaches, so the seven
// comparisons can run side by side without branches (speech makes them go either way at random).
[[nodiscard]] inline uint32_t AdpcmEncode(AdpcmState& state, int32_t sample) {
  const auto& threshold = detail::kAdpcmThresholds[state.stepIndex];
  const int32_t diff = sample - state.predictor;
  const int32_t negative = diff < 0;
  const int32_t rest = negative ? -diff : diff;
  int32_t magnitude = 0;
  for (int m = 1; m < 8; ++m) magnitude += rest >= threshold[m];
  // The decoder's update for this code, as in kAdpcmTransitions, from values already at hand.
  const int32_t b2 = magnitude >> 2;
  const int32_t b1 = (magnitude >> 1) & 1;
  const int32_t b0 = magnitude & 1;
  int32_t delta =
      (threshold[4] >> 3) + (threshold[4] & -b2) + (threshold[2] & -b1) + (threshold[1] & -b0);
  delta = negative ? -delta : delta;
  int32_t p = state.predictor + delta;
  p = p > kAdpcmMaxSample ? kAdpcmMaxSample : p;
  p = p < kAdpcmMinSample ? kAdpcmMinSample : p;
  state.predictor = p;
  int32_t next = state.stepIndex + (b2 ? 2 * magnitude - 6 : -1);  // kAdpcmIndexAdjust
  next = next < 0 ? 0 : next;
  next = next > kAdpcmStepCount - 1 ? kAdpcmStepCount - 1 : next;
  state.stepIndex = next;
  return static_cast<uint32_t>(negative << 3 | magnitude);
}

}  // namespace voiceconv
