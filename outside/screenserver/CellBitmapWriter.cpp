#include "CellBitmapWriter.h"

#include <cstring>

#include "Compression.h"

namespace screenserver {
namespace {

constexpr std::uint32_t kInfoHeaderBytes = 40;

std::size_t Stride(std::int32_t width, int bits) {
  return static_cast<std::size_t>((static_cast<std::int64_t>(width) * bits + 31) / 32 * 4);
}

}  // namespace

std::size_t CellBitmapSize(std::int32_t width, std::int32_t height, ColourDepth depth) {
  const int bits = static_cast<int>(depth);
  return kInfoHeaderBytes + (std::size_t{4} << bits) + Stride(width, bits) * height;
}

void WriteCellBitmap(const Frame& frame, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height, const Palette& palette, std::vector<std::uint8_t>& out) {
  const int bits = static_cast<int>(palette.Depth());
  const std::size_t stride = Stride(width, bits);
  out.clear();
  out.reserve(CellBitmapSize(width, height, palette.Depth()));
  AppendLe32(out, kInfoHeaderBytes);
  AppendLe32(out, static_cast<std::uint32_t>(width));
  AppendLe32(out, static_cast<std::uint32_t>(height));  // positive: rows bottom-up
  AppendLe16(out, 1);                                   // planes
  AppendLe16(out, static_cast<std::uint16_t>(bits));
  AppendLe32(out, 0);  // BI_RGB
  AppendLe32(out, static_cast<std::uint32_t>(stride * height));
  AppendLe32(out, 0);  // horizontal resolution
  AppendLe32(out, 0);  // vertical resolution
  AppendLe32(out, 0);  // colours used: 0 means the full table
  AppendLe32(out, 0);  // colours important
  for (int i = 0; i < (1 << bits); ++i) {
    const std::uint32_t c = palette.Colour(i);
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
    out.push_back(static_cast<std::uint8_t>(c >> 16));
    out.push_back(0);
  }
  const std::size_t bitsStart = out.size();
  out.resize(bitsStart + stride * height, 0);
  for (std::int32_t line = 0; line < height; ++line) {
    std::uint8_t* row = out.data() + bitsStart + stride * (height - 1 - line);
    const std::int32_t fy = y + line;
    for (std::int32_t px = 0; px < width; ++px) {
      const std::int32_t fx = x + px;
      const std::uint32_t rgb =
          (fy < frame.height && fx < frame.width && fy >= 0 && fx >= 0) ? frame.At(fx, fy) : 0;
      const std::uint8_t index = palette.Index(rgb);
      if (bits == 8) {
        row[px] = index;
      } else {
        row[px / 2] |= static_cast<std::uint8_t>(px % 2 == 0 ? index << 4 : index);
      }
    }
  }
}

}  // namespace screenserver
