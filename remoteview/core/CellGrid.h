#pragma once
// The grid of cells the remote screen is cut into. The screen server cuts its screen into the
// same grid and sends the cells in this list's order: column by column, and in each column the
// rows from top to bottom.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace harnvik {

struct GridCell {
  std::int32_t column = 0;
  std::int32_t row = 0;
  // The cell's rectangle in canvas pixels, [x0, x1) x [y0, y1).
  std::int32_t x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  // The cell's packed device-independent bitmap (header, colour table, bottom-up rows), sized
  // by the first block that reaches the cell.
  std::vector<std::uint8_t> pixels;
  // Where the decoders put a block before it is copied or added into `pixels`.
  std::vector<std::uint8_t> decode;
  bool hasImage = false;  // a full update has written the cell

  [[nodiscard]] bool HasBuffers() const { return !pixels.empty(); }
};

// Grid counts beyond this are refused; the settings dialog allows at most 20.
inline constexpr std::int32_t kMaxGridCount = 256;

class CellGrid {
 public:
  // Rebuilds the list. With both counts positive: columns x rows cells. With either count 0 or
  // less: max(columns, rows) cells, cell i at column i and row i, except that an axis whose
  // count is 0 or less always has index 0 (one cell across that axis). The cell size is the
  // remote size divided by the count, truncated (the remote size itself for a count of 0 or
  // less). Returns false, leaving no cells, for a count above kMaxGridCount.
  [[nodiscard]] bool Build(std::int32_t columns, std::int32_t rows, std::int32_t remoteWidth,
                           std::int32_t remoteHeight);

  void Clear();

  [[nodiscard]] std::vector<GridCell>& Cells() { return cells_; }
  [[nodiscard]] const std::vector<GridCell>& Cells() const { return cells_; }
  [[nodiscard]] std::int32_t CellWidth() const { return cellWidth_; }
  [[nodiscard]] std::int32_t CellHeight() const { return cellHeight_; }

  // Searches from `cursor` forward for the cell at (column, row); on success the cursor stays
  // on it, so several blocks in a row may go to one cell but never back to an earlier one.
  [[nodiscard]] GridCell* FindFrom(std::size_t& cursor, std::int32_t column, std::int32_t row);

  // The largest bitmap a cell of this grid can need: the cell size plus the remainder of the
  // division (a server may give the left-over pixels to the last column or row), at 8 bits.
  [[nodiscard]] std::size_t MaxCellBytes() const { return maxCellBytes_; }

 private:
  std::vector<GridCell> cells_;
  std::int32_t cellWidth_ = 0;
  std::int32_t cellHeight_ = 0;
  std::size_t maxCellBytes_ = 0;
};

}  // namespace harnvik
