#include "ScreenCanvas.h"

namespace harnvik {

void ScreenCanvas::Reset(std::int32_t width, std::int32_t height) {
  width_ = width > 0 ? width : 0;
  height_ = height > 0 ? height : 0;
  pixels_.assign(static_cast<std::size_t>(width_) * height_, kCanvasBlack);
}

}  // namespace harnvik
