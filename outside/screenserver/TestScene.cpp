#include "TestScene.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace screenserver {
namespace {

constexpr std::array<std::uint32_t, 8> kBars{0xC0C0C0, 0xC0C000, 0x00C0C0, 0x00C000,
                                             0xC000C0, 0xC00000, 0x0000C0, 0x202020};

// Bounces a position over [0, span): 0, 1, ..., span - 1, span - 2, ...
std::int32_t Bounce(std::int64_t step, std::int32_t span) {
  if (span <= 1) return 0;
  const std::int64_t period = 2 * (span - 1);
  const std::int64_t p = step % period;
  return static_cast<std::int32_t>(p < span ? p : period - p);
}

}  // namespace

TestScene::TestScene(std::int32_t width, std::int32_t height)
    : width_(width), height_(height), start_(std::chrono::steady_clock::now()) {}

void TestScene::Render(std::int32_t width, std::int32_t height, std::int64_t step, Frame& frame) {
  frame.Resize(width, height);
  const std::int32_t barWidth = std::max(width / static_cast<std::int32_t>(kBars.size()), 1);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      std::uint32_t colour = kBars[std::min<std::size_t>(x / barWidth, kBars.size() - 1)];
      // A lower third of grey steps, so 16 and 256 colours look different.
      if (y > height * 2 / 3) {
        const std::uint32_t level = static_cast<std::uint32_t>(x * 255 / std::max(width - 1, 1));
        colour = (level << 16) | (level << 8) | level;
      }
      frame.At(x, y) = colour;
    }
  }
  // A band sweeping down the screen.
  const std::int32_t bandHeight = std::max(height / 24, 2);
  const std::int32_t bandTop = Bounce(step * 3, std::max(height - bandHeight, 1));
  for (std::int32_t y = bandTop; y < std::min(bandTop + bandHeight, height); ++y) {
    for (std::int32_t x = 0; x < width; ++x) frame.At(x, y) = 0xFFFFFF;
  }
  // A square bouncing across.
  const std::int32_t side = std::max(std::min(width, height) / 6, 4);
  const std::int32_t left = Bounce(step * 5, std::max(width - side, 1));
  const std::int32_t top = Bounce(step * 4, std::max(height - side, 1));
  for (std::int32_t y = top; y < std::min(top + side, height); ++y) {
    for (std::int32_t x = left; x < std::min(left + side, width); ++x) {
      const bool edge = y - top < 3 || x - left < 3 || top + side - y <= 3 || left + side - x <= 3;
      frame.At(x, y) = edge ? 0x000000 : 0xFF2020;
    }
  }
}

void TestScene::Capture(Frame& frame) {
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start_);
  Render(width_, height_, elapsed.count() / 40, frame);
}

}  // namespace screenserver
