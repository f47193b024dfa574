#include "Palette.h"

namespace screenserver {
namespace {

constexpr std::array<std::uint32_t, 16> kVgaColours{
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

}  // namespace

Palette::Palette(ColourDepth depth) : depth_(depth) {
  if (depth == ColourDepth::k8Bits) {
    for (int i = 0; i < 256; ++i) {
      const std::uint32_t r = ((i >> 5) & 7) * 255 / 7;
      const std::uint32_t g = ((i >> 2) & 7) * 255 / 7;
      const std::uint32_t b = (i & 3) * 255 / 3;
      colours_[i] = (r << 16) | (g << 8) | b;
    }
    return;
  }
  for (int i = 0; i < 16; ++i) colours_[i] = kVgaColours[i];
  for (int key = 0; key < 32 * 32 * 32; ++key) {
    const int r = ((key >> 10) & 31) * 8 + 4;
    const int g = ((key >> 5) & 31) * 8 + 4;
    const int b = (key & 31) * 8 + 4;
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 16; ++i) {
      const int dr = r - static_cast<int>((kVgaColours[i] >> 16) & 0xFF);
      const int dg = g - static_cast<int>((kVgaColours[i] >> 8) & 0xFF);
      const int db = b - static_cast<int>(kVgaColours[i] & 0xFF);
      const long distance = 3L * dr * dr + 4L * dg * dg + 2L * db * db;
      if (bestDistance < 0 || distance < bestDistance) {
        bestDistance = distance;
        best = i;
      }
    }
    nearest16_[key] = static_cast<std::uint8_t>(best);
  }
}

}  // namespace screenserver
