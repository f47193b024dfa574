#pragma once
// The grid dialog's rule for its two edits: both filled in, not both 0, neither above 20. An
// axis of 0 is allowed and means one cell across it.

#include <cstdint>
#include <optional>
#include <string_view>

namespace harnvik {

inline constexpr std::int32_t kMaxDialogGridCount = 20;
inline constexpr std::int32_t kDefaultDialogGridCount = 2;  // the dialog's "&Default" button
// The dialog reads at most this many characters of each edit.
inline constexpr std::size_t kGridEditChars = 9;

struct GridCounts {
  std::int32_t columns = 0;
  std::int32_t rows = 0;
  bool operator==(const GridCounts&) const = default;
};

[[nodiscard]] std::optional<GridCounts> ValidateGridInput(std::string_view columns,
                                                          std::string_view rows);

}  // namespace harnvik
