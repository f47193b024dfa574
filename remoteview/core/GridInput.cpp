#include "GridInput.h"

#include "TextNumber.h"

namespace harnvik {

std::optional<GridCounts> ValidateGridInput(std::string_view columns, std::string_view rows) {
  columns = columns.substr(0, kGridEditChars);
  rows = rows.substr(0, kGridEditChars);
  if (columns.empty() || rows.empty()) return std::nullopt;
  const std::int64_t c = ReadLeadingNumber(columns);
  const std::int64_t r = ReadLeadingNumber(rows);
  if (c < 0 || r < 0 || c > kMaxDialogGridCount || r > kMaxDialogGridCount) return std::nullopt;
  if (c == 0 && r == 0) return std::nullopt;
  return GridCounts{static_cast<std::int32_t>(c), static_cast<std::int32_t>(r)};
}

}  // namespace harnvik
