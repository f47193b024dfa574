#pragma once
// The run-length stream of the screen-server protocol:
//   offset 0  output length L   unsigned 32-bit little-endian
//   offset 4  the coded bits    32-bit little-endian words, most significant bit first
// Codes, in reading order:
//   1 vvvvvvvv                    literal: the byte v once (9 bits)
//   0 cccccccccc vvvvvvvv         run: the byte v repeated c times, 0..1023 (19 bits)

#include <cstdint>
#include <span>

#include "DecodeResult.h"

namespace harnvik {

inline constexpr unsigned kRunCodeBits = 19;
inline constexpr unsigned kLiteralCodeBits = 9;
inline constexpr unsigned kRunCountBits = 10;
inline constexpr std::uint32_t kMaxRunCount = (1u << kRunCountBits) - 1;  // 1023

// Decodes a whole stream into `output` and returns L. Allocates nothing. Refuses L = 0, L beyond
// the output, a run longer than what remains of L, and coded words that end too early.
[[nodiscard]] DecodeResult RunLengthDecode(std::span<const std::uint8_t> stream,
                                           std::span<std::uint8_t> output);

}  // namespace harnvik
