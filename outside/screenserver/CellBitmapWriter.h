#pragma once
// Cuts a cell out of a frame as the packed device-independent bitmap the viewer expects: a
// BITMAPINFOHEADER, the full colour table (2^bitcount RGBQUAD entries: blue, green, red, 0),
// then the palette indices row by row from the bottom, each row padded to 4 bytes.

#include <cstdint>
#include <vector>

#include "Frame.h"
#include "Palette.h"

namespace screenserver {

// Pixels of the rectangle outside the frame are drawn black.
void WriteCellBitmap(const Frame& frame, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height, const Palette& palette, std::vector<std::uint8_t>& out);

[[nodiscard]] std::size_t CellBitmapSize(std::int32_t width, std::int32_t height,
                                         ColourDepth depth);

}  // namespace screenserver
