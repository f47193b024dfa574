#pragma once
// Numbers in the protocol's texts are decimal: a leading number after optional blanks and an
// optional sign, whatever follows ignored; a text without digits reads as 0.

#include <cstdint>
#include <string_view>

namespace harnvik {

// Digits beyond what a 64-bit value holds saturate, so the caller's range check sees an
// out-of-range number instead of a wrapped one.
[[nodiscard]] std::int64_t ReadLeadingNumber(std::string_view text);

}  // namespace harnvik
