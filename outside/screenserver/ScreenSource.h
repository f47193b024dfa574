#pragma once
// Where the served screen comes from: the built-in test scene, a picture, an X display, or a
// frame its owner sets. Sessions capture from their own threads.

#include <cstdint>
#include <mutex>
#include <string>

#include "Frame.h"

namespace screenserver {

class ScreenSource {
 public:
  virtual ~ScreenSource() = default;
  [[nodiscard]] virtual std::int32_t Width() const = 0;
  [[nodiscard]] virtual std::int32_t Height() const = 0;
  // Fills `frame` with the current screen, Width() x Height(). Safe from several threads.
  virtual void Capture(Frame& frame) = 0;
  [[nodiscard]] virtual std::string Describe() const = 0;
};

// A screen that shows whatever its owner last set: a loaded picture, or a test's fixture.
class StillSource : public ScreenSource {
 public:
  explicit StillSource(Frame frame, std::string description = "a still picture")
      : frame_(std::move(frame)), description_(std::move(description)) {}

  // The new frame must keep the size.
  void SetFrame(const Frame& frame) {
    std::lock_guard lock(mutex_);
    frame_ = frame;
  }
  [[nodiscard]] std::int32_t Width() const override { return frame_.width; }
  [[nodiscard]] std::int32_t Height() const override { return frame_.height; }
  void Capture(Frame& frame) override {
    std::lock_guard lock(mutex_);
    frame = frame_;
  }
  [[nodiscard]] std::string Describe() const override { return description_; }

 private:
  std::mutex mutex_;
  Frame frame_;
  std::string description_;
};

}  // namespace screenserver
