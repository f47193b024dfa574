#pragma once
// The built-in moving test scene: colour bars, a sweeping band and a bouncing square, so a
// person watching the viewer sees both whole updates and small differences.

#include <chrono>

#include "ScreenSource.h"

namespace screenserver {

class TestScene : public ScreenSource {
 public:
  TestScene(std::int32_t width, std::int32_t height);

  // The scene at a given step (25 steps a second when captured live).
  static void Render(std::int32_t width, std::int32_t height, std::int64_t step, Frame& frame);

  [[nodiscard]] std::int32_t Width() const override { return width_; }
  [[nodiscard]] std::int32_t Height() const override { return height_; }
  void Capture(Frame& frame) override;
  [[nodiscard]] std::string Describe() const override { return "the built-in test scene"; }

 private:
  std::int32_t width_;
  std::int32_t height_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace screenserver
