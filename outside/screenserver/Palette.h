#pragma once
// The colour tables of the two depths a viewer can ask for with "WM_CMOD;%d;0;0;0;":
// 4 bits, the sixteen standard VGA colours; 8 bits, 3 bits red, 3 green and 2 blue.

#include <array>
#include <cstdint>

namespace screenserver {

enum class ColourDepth : std::uint16_t { k4Bits = 4, k8Bits = 8 };

class Palette {
 public:
  explicit Palette(ColourDepth depth);

  [[nodiscard]] ColourDepth Depth() const { return depth_; }
  [[nodiscard]] int Entries() const { return depth_ == ColourDepth::k4Bits ? 16 : 256; }
  // The colour of an entry, 0x00RRGGBB.
  [[nodiscard]] std::uint32_t Colour(int index) const { return colours_[index]; }
  // The entry nearest to a 0x00RRGGBB colour.
  [[nodiscard]] std::uint8_t Index(std::uint32_t rgb) const {
    if (depth_ == ColourDepth::k8Bits) {
      return static_cast<std::uint8_t>(((rgb >> 16) & 0xE0u) | ((rgb >> 11) & 0x1Cu) |
                                       ((rgb >> 6) & 0x03u));
    }
    // Nearest of sixteen, looked up by the top five bits of each channel.
    return nearest16_[((rgb >> 9) & 0x7C00u) | ((rgb >> 6) & 0x03E0u) | ((rgb >> 3) & 0x001Fu)];
  }

 private:
  ColourDepth depth_;
  std::array<std::uint32_t, 256> colours_{};
  std::array<std::uint8_t, 32 * 32 * 32> nearest16_{};
};

}  // namespace screenserver
