#include "CellGrid.h"

#include <algorithm>

#include "CellBitmap.h"

namespace harnvik {

bool CellGrid::Build(std::int32_t columns, std::int32_t rows, std::int32_t remoteWidth,
                     std::int32_t remoteHeight) {
  Clear();
  if (columns > kMaxGridCount || rows > kMaxGridCount) return false;
  remoteWidth = std::max(remoteWidth, 0);
  remoteHeight = std::max(remoteHeight, 0);
  cellWidth_ = columns > 0 ? remoteWidth / columns : remoteWidth;
  cellHeight_ = rows > 0 ? remoteHeight / rows : remoteHeight;

  auto add = [&](std::int32_t column, std::int32_t row) {
    GridCell& cell = cells_.emplace_back();
    cell.column = column;
    cell.row = row;
    cell.x0 = column * cellWidth_;
    cell.x1 = (column + 1) * cellWidth_;
    cell.y0 = row * cellHeight_;
    cell.y1 = (row + 1) * cellHeight_;
  };
  if (columns > 0 && rows > 0) {
    cells_.reserve(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    for (std::int32_t column = 0; column < columns; ++column) {
      for (std::int32_t row = 0; row < rows; ++row) add(column, row);
    }
  } else {
    for (std::int32_t i = 0; i < std::max(columns, rows); ++i) {
      add(columns > 0 ? i : 0, rows > 0 ? i : 0);
    }
  }

  const std::int32_t widthLeft = columns > 0 ? remoteWidth % columns : 0;
  const std::int32_t heightLeft = rows > 0 ? remoteHeight % rows : 0;
  maxCellBytes_ = CellBitmapBytes(cellWidth_ + widthLeft, cellHeight_ + heightLeft, 8);
  return true;
}

void CellGrid::Clear() {
  cells_.clear();
  cellWidth_ = cellHeight_ = 0;
  maxCellBytes_ = 0;
}

GridCell* CellGrid::FindFrom(std::size_t& cursor, std::int32_t column, std::int32_t row) {
  for (std::size_t i = cursor; i < cells_.size(); ++i) {
    if (cells_[i].column == column && cells_[i].row == row) {
      cursor = i;
      return &cells_[i];
    }
  }
  return nullptr;
}

}  // namespace harnvik
