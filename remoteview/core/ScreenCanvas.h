#pragma once
// The assembled remote screen: one 32-bit pixel (0xFFRRGGBB) per remote pixel, the layout of
// QImage::Format_RGB32, so the window draws it without a copy. It changes only when an update
// has been received and checked whole, so a refused update leaves the last good picture.

#include <cstdint>
#include <span>
#include <vector>

namespace harnvik {

inline constexpr std::uint32_t kCanvasBlack = 0xFF000000u;

class ScreenCanvas {
 public:
  // Resizes to width x height and paints it black.
  void Reset(std::int32_t width, std::int32_t height);

  [[nodiscard]] std::int32_t Width() const { return width_; }
  [[nodiscard]] std::int32_t Height() const { return height_; }
  [[nodiscard]] std::span<const std::uint32_t> Pixels() const { return pixels_; }
  [[nodiscard]] std::span<std::uint32_t> Row(std::int32_t y) {
    return std::span(pixels_).subspan(static_cast<std::size_t>(y) * width_, width_);
  }
  [[nodiscard]] std::uint32_t Pixel(std::int32_t x, std::int32_t y) const {
    return pixels_[static_cast<std::size_t>(y) * width_ + x];
  }

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

}  // namespace harnvik
