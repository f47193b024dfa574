#pragma once
// Writes the run-length stream the viewer decodes: output length, then codes in 32-bit
// little-endian words: "1" and eight value bits for a literal, "0", a ten-bit count and eight
// value bits for a run of up to 1023 bytes.

#include <cstdint>
#include <span>
#include <vector>

namespace screenserver {

// `data` must not be empty.
[[nodiscard]] std::vector<std::uint8_t> RunLengthEncode(std::span<const std::uint8_t> data);

}  // namespace screenserver
