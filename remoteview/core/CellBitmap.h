#pragma once
// A cell's picture as the screen server sends it: a packed device-independent bitmap, that is
// a BITMAPINFOHEADER (40 bytes, little-endian), a colour table of 2^bitcount RGBQUAD entries
// (blue, green, red, reserved), then the pixel rows bottom-up, each padded to 4 bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace harnvik {

class ScreenCanvas;

inline constexpr std::uint32_t kBitmapInfoHeaderBytes = 40;
// The largest picture side the viewer accepts, from the server or in a cell.
inline constexpr std::int32_t kMaxPictureSide = 16384;

// Bytes of a packed bitmap of this size and depth (1, 4 or 8 bits a pixel).
[[nodiscard]] std::size_t CellBitmapBytes(std::int64_t width, std::int64_t height, int bitCount);
[[nodiscard]] std::size_t CellBitmapStride(std::int64_t width, int bitCount);

enum class BitmapFault : std::uint8_t {
  kNone,
  kTooShort,            // shorter than the header
  kBadHeaderSize,       // biSize below 40
  kBadSize,             // width or height not in 1..16384, or planes not 1
  kBadBitCount,         // not 1, 4 or 8 bits a pixel
  kCompressed,          // not BI_RGB
  kPartialColourTable,  // biClrUsed neither 0 nor 2^bitcount
  kPixelsOutside,       // colour table and rows run past the end of the buffer
};

[[nodiscard]] std::string_view BitmapFaultText(BitmapFault fault);

struct CellBitmapInfo {
  std::int32_t width = 0;
  std::int32_t height = 0;
  int bitCount = 0;
  std::size_t paletteOffset = 0;  // the colour table follows the header
  std::size_t bitsOffset = 0;     // biSize + 4 * 2^bitcount
  std::size_t stride = 0;

  bool operator==(const CellBitmapInfo&) const = default;
};

struct BitmapCheck {
  BitmapFault fault = BitmapFault::kNone;
  CellBitmapInfo info;
};

// Checks that the buffer holds a whole bitmap the viewer can draw.
[[nodiscard]] BitmapCheck InspectCellBitmap(std::span<const std::uint8_t> bitmap);

// Draws a checked bitmap onto the canvas with its top-left corner at (x, y), one bitmap pixel a
// canvas pixel; what falls outside the canvas is clipped.
void RenderCellBitmap(std::span<const std::uint8_t> bitmap, const CellBitmapInfo& info,
                      ScreenCanvas& canvas, std::int32_t x, std::int32_t y);

}  // namespace harnvik
