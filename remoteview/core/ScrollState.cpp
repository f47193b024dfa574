#include "ScrollState.h"

#include <algorithm>

namespace harnvik {

void ScrollState::SetCanvas(std::int32_t width, std::int32_t height) {
  canvasWidth_ = width;
  canvasHeight_ = height;
}

void ScrollState::SetClient(std::int32_t width, std::int32_t height) {
  clientWidth_ = width;
  clientHeight_ = height;
}

std::int32_t ScrollState::RangeMax(ScrollAxis axis) const {
  return axis == ScrollAxis::kHorizontal ? canvasWidth_ - clientWidth_
                                         : canvasHeight_ - clientHeight_;
}

void ScrollState::Apply(ScrollAxis axis, ScrollRequest request, std::int32_t thumbPosition) {
  const bool horizontal = axis == ScrollAxis::kHorizontal;
  std::int32_t& offset = horizontal ? horizontal_ : vertical_;
  const std::int32_t page = horizontal ? kHorizontalPage : kVerticalPage;
  switch (request) {
    case ScrollRequest::kLineBack:
      offset -= 1;
      break;
    case ScrollRequest::kLineForward:
      offset += 1;
      break;
    case ScrollRequest::kPageBack:
      offset -= page;
      break;
    case ScrollRequest::kPageForward:
      offset += page;
      break;
    case ScrollRequest::kThumbPosition:
    case ScrollRequest::kThumbTrack:
      offset = thumbPosition;
      break;
    case ScrollRequest::kOther:
      break;
  }
  offset = std::max(offset, 0);
  offset = std::min(offset, RangeMax(axis));
}

}  // namespace harnvik
