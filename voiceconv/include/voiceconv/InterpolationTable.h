// The rate converter's low-pass filter: one wing of a Kaiser-windowed sinc, 256 entries per
// input-sample interval, with the differences between neighbours for linear interpolation.
#pragma once

#include <array>
#include <cstdint>

namespace voiceconv {

inline constexpr int kInterpolationTableSize = 4993;
inline constexpr int kTableEntriesPerSample = 256;

struct InterpolationTable {
  std::array<int16_t, kInterpolationTableSize> tap;
  // slope[j] = tap[j + 1] - tap[j]; the last entry is -tap[last], which is 0.
  std::array<int16_t, kInterpolationTableSize> slope;

  [[nodiscard]] static const InterpolationTable& Get();
};

// The design rule for entry j, before the corrections of the tuned table.
[[nodiscard]] double InterpolationDesignValue(int j);

}  // namespace voiceconv
