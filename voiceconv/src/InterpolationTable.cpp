#include "voiceconv/InterpolationTable.h"

#include <cmath>
#include <numbers>

namespace voiceconv {
namespace {

// Kaiser window shape; the cut-off is 0.9 of the input Nyquist frequency, so the coefficients
// cross zero about every 284.4 entries.
constexpr double kBeta = 18.35;
constexpr double kCutoff = 0.9;
constexpr double kWindowHalfLength = 5114.0;
constexpr double kUnity = 32767.0;

// The tuned table the converter's output was fixed with departs from the rule at one entry and
// holds exact zeros from entry 4107 on, where the rule still rounds to 1.
struct Correction {
  int index;
  int16_t value;
};
constexpr Correction kCorrections[] = {{2048, -190}};
constexpr int kFirstZeroEntry = 4107;

// Modified Bessel function of the first kind, order 0, by its power series.
double BesselI0(double x) {
  double sum = 1.0;
  double term = 1.0;
  const double quarterSquare = x * x / 4.0;
  for (int k = 1; k < 500; ++k) {
    term *= quarterSquare / (static_cast<double>(k) * k);
    sum += term;
    if (term < sum * 1e-21) break;
  }
  return sum;
}

}  // namespace

double InterpolationDesignValue(int j) {
  const double x = kCutoff * j / kTableEntriesPerSample;
  const double sinc = j == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
  const double r = j / kWindowHalfLength;
  const double window = BesselI0(kBeta * std::sqrt(1.0 - r * r)) / BesselI0(kBeta);
  return kUnity * sinc * window;
}

const InterpolationTable& InterpolationTable::Get() {
  static const InterpolationTable table = [] {
    InterpolationTable t{};
    for (int j = 0; j < kInterpolationTableSize; ++j) {
      // Plus one half, truncated toward zero.
      t.tap[j] = j >= kFirstZeroEntry
                     ? int16_t{0}
                     : static_cast<int16_t>(static_cast<int>(InterpolationDesignValue(j) + 0.5));
    }
    for (const Correction& c : kCorrections) t.tap[c.index] = c.value;
    for (int j = 0; j + 1 < kInterpolationTableSize; ++j) {
      t.slope[j] = static_cast<int16_t>(t.tap[j + 1] - t.tap[j]);
    }
    t.slope[kInterpolationTableSize - 1] =
        static_cast<int16_t>(-t.tap[kInterpolationTableSize - 1]);
    return t;
  }();
  return table;
}

}  // namespace voiceconv
