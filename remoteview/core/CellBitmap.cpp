#include "CellBitmap.h"

#include <algorithm>
#include <array>

#include "ByteOrder.h"
#include "ScreenCanvas.h"

namespace harnvik {
namespace {

// BITMAPINFOHEADER field offsets.
constexpr std::size_t kBiSize = 0;
constexpr std::size_t kBiWidth = 4;
constexpr std::size_t kBiHeight = 8;
constexpr std::size_t kBiPlanes = 12;
constexpr std::size_t kBiBitCount = 14;
constexpr std::size_t kBiCompression = 16;
constexpr std::size_t kBiClrUsed = 32;
constexpr std::uint32_t kBiRgb = 0;

}  // namespace

std::size_t CellBitmapStride(std::int64_t width, int bitCount) {
  return static_cast<std::size_t>((width * bitCount + 31) / 32 * 4);
}

std::size_t CellBitmapBytes(std::int64_t width, std::int64_t height, int bitCount) {
  return kBitmapInfoHeaderBytes + (std::size_t{4} << bitCount) +
         CellBitmapStride(width, bitCount) * static_cast<std::size_t>(height);
}

std::string_view BitmapFaultText(BitmapFault fault) {
  switch (fault) {
    case BitmapFault::kNone:
      return "no fault";
    case BitmapFault::kTooShort:
      return "shorter than a bitmap header";
    case BitmapFault::kBadHeaderSize:
      return "a bitmap header of the wrong size";
    case BitmapFault::kBadSize:
      return "an impossible picture size";
    case BitmapFault::kBadBitCount:
      return "a colour depth other than 1, 4 or 8 bits";
    case BitmapFault::kCompressed:
      return "a compressed bitmap";
    case BitmapFault::kPartialColourTable:
      return "a colour table that is not full";
    case BitmapFault::kPixelsOutside:
      return "pixel rows beyond the end of the cell";
  }
  return "an unknown fault";
}

BitmapCheck InspectCellBitmap(std::span<const std::uint8_t> bitmap) {
  if (bitmap.size() < kBitmapInfoHeaderBytes) return {BitmapFault::kTooShort, {}};
  const std::uint8_t* p = bitmap.data();
  const std::uint32_t headerSize = LoadLe32(p + kBiSize);
  const auto width = static_cast<std::int32_t>(LoadLe32(p + kBiWidth));
  const auto height = static_cast<std::int32_t>(LoadLe32(p + kBiHeight));
  const std::uint16_t planes = LoadLe16(p + kBiPlanes);
  const std::uint16_t bitCount = LoadLe16(p + kBiBitCount);
  const std::uint32_t compression = LoadLe32(p + kBiCompression);
  const std::uint32_t coloursUsed = LoadLe32(p + kBiClrUsed);

  if (headerSize < kBitmapInfoHeaderBytes || headerSize > bitmap.size()) {
    return {BitmapFault::kBadHeaderSize, {}};
  }
  if (width < 1 || width > kMaxPictureSide || height < 1 || height > kMaxPictureSide ||
      planes != 1) {
    return {BitmapFault::kBadSize, {}};
  }
  if (bitCount != 1 && bitCount != 4 && bitCount != 8) return {BitmapFault::kBadBitCount, {}};
  if (compression != kBiRgb) return {BitmapFault::kCompressed, {}};
  // The pixels are found 2^bitcount table entries after the header whatever biClrUsed says;
  // a shorter table would put them somewhere else, so only a full one is accepted.
  const std::uint32_t tableEntries = 1u << bitCount;
  if (coloursUsed != 0 && coloursUsed != tableEntries) {
    return {BitmapFault::kPartialColourTable, {}};
  }
  CellBitmapInfo info;
  info.width = width;
  info.height = height;
  info.bitCount = bitCount;
  info.paletteOffset = headerSize;
  info.bitsOffset = headerSize + 4u * tableEntries;
  info.stride = CellBitmapStride(width, bitCount);
  if (info.bitsOffset + info.stride * static_cast<std::size_t>(height) > bitmap.size()) {
    return {BitmapFault::kPixelsOutside, {}};
  }
  return {BitmapFault::kNone, info};
}

void RenderCellBitmap(std::span<const std::uint8_t> bitmap, const CellBitmapInfo& info,
                      ScreenCanvas& canvas, std::int32_t x, std::int32_t y) {
  std::array<std::uint32_t, 256> palette{};
  const int entries = 1 << info.bitCount;
  for (int i = 0; i < entries; ++i) {
    const std::uint8_t* quad = bitmap.data() + info.paletteOffset + 4 * i;
    palette[i] =
        kCanvasBlack | (std::uint32_t{quad[2]} << 16) | (std::uint32_t{quad[1]} << 8) | quad[0];
  }
  const std::int32_t left = std::max(x, 0);
  const std::int32_t right = std::min<std::int64_t>(std::int64_t{x} + info.width, canvas.Width());
  if (left >= right) return;
  const int bits = info.bitCount;
  const int perByte = 8 / bits;
  const unsigned mask = (1u << bits) - 1u;
  for (std::int32_t line = 0; line < info.height; ++line) {
    const std::int64_t canvasY = std::int64_t{y} + line;
    if (canvasY < 0 || canvasY >= canvas.Height()) continue;
    // Rows are stored bottom-up: the last row of the buffer is the top line of the picture.
    const std::uint8_t* source = bitmap.data() + info.bitsOffset +
                                 info.stride * static_cast<std::size_t>(info.height - 1 - line);
    std::uint32_t* target = canvas.Row(static_cast<std::int32_t>(canvasY)).data();
    for (std::int32_t cx = left; cx < right; ++cx) {
      const std::int32_t px = cx - x;
      const unsigned byte = source[px / perByte];
      const int shift = 8 - bits * (px % perByte + 1);
      target[cx] = palette[(byte >> shift) & mask];
    }
  }
}

}  // namespace harnvik
