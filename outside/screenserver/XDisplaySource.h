#pragma once
// Captures the root window of an X display (any X server, Xvfb included) with GetImage.

#include <memory>
#include <mutex>
#include <string>

#include "ScreenSource.h"

struct xcb_connection_t;

namespace screenserver {

class XDisplaySource : public ScreenSource {
 public:
  // Connects to a display such as ":1"; nothing, with the reason in `error`, if it cannot.
  [[nodiscard]] static std::unique_ptr<XDisplaySource> Open(const std::string& display,
                                                            std::string& error);
  ~XDisplaySource() override;

  [[nodiscard]] std::int32_t Width() const override { return width_; }
  [[nodiscard]] std::int32_t Height() const override { return height_; }
  // A capture that fails (the display went away) leaves a black frame.
  void Capture(Frame& frame) override;
  [[nodiscard]] std::string Describe() const override { return "X display " + display_; }

 private:
  XDisplaySource() = default;

  std::mutex mutex_;
  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
  std::string display_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  int bitsPerPixel_ = 0;
  int scanlinePad_ = 32;
  bool msbFirst_ = false;
  std::uint32_t redMask_ = 0, greenMask_ = 0, blueMask_ = 0;
};

}  // namespace screenserver
