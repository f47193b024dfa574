#pragma once
// One captured screen: 0x00RRGGBB pixels, rows top to bottom.

#include <cstdint>
#include <vector>

namespace screenserver {

struct Frame {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;

  void Resize(std::int32_t w, std::int32_t h) {
    width = w;
    height = h;
    pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
  }
  [[nodiscard]] std::uint32_t At(std::int32_t x, std::int32_t y) const {
    return pixels[static_cast<std::size_t>(y) * width + x];
  }
  std::uint32_t& At(std::int32_t x, std::int32_t y) {
    return pixels[static_cast<std::size_t>(y) * width + x];
  }
};

}  // namespace screenserver
