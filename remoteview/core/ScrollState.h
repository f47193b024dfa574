#pragma once
// Which part of the canvas the window shows, and how scroll requests move it. Offsets are the
// canvas column and row shown at the window's left and top edges.

#include <cstdint>

namespace harnvik {

enum class ScrollAxis : std::uint8_t { kHorizontal, kVertical };

enum class ScrollRequest : std::uint8_t {
  kLineBack,     // line up or left
  kLineForward,  // line down or right
  kPageBack,
  kPageForward,
  kThumbPosition,
  kThumbTrack,
  kOther,
};

inline constexpr std::int32_t kVerticalPage = 64;
inline constexpr std::int32_t kHorizontalPage = 48;

class ScrollState {
 public:
  void SetCanvas(std::int32_t width, std::int32_t height);
  void SetClient(std::int32_t width, std::int32_t height);

  // Moves the offset, then limits it: first to at least 0, then to at most canvas minus client.
  // The second limit wins, so with a canvas smaller than the window the offset goes negative
  // and the picture is drawn that far from the edge.
  void Apply(ScrollAxis axis, ScrollRequest request, std::int32_t thumbPosition = 0);

  [[nodiscard]] std::int32_t Offset(ScrollAxis axis) const {
    return axis == ScrollAxis::kHorizontal ? horizontal_ : vertical_;
  }
  // The scroll bar's range is 0 to this (negative when the canvas is the smaller).
  [[nodiscard]] std::int32_t RangeMax(ScrollAxis axis) const;
  [[nodiscard]] std::int32_t ClientWidth() const { return clientWidth_; }
  [[nodiscard]] std::int32_t ClientHeight() const { return clientHeight_; }

 private:
  std::int32_t canvasWidth_ = 0, canvasHeight_ = 0;
  std::int32_t clientWidth_ = 0, clientHeight_ = 0;
  std::int32_t horizontal_ = 0, vertical_ = 0;
};

}  // namespace harnvik
