#include "XDisplaySource.h"

#include <xcb/xcb.h>

#include <bit>
#include <cstdlib>

namespace screenserver {
namespace {

// Scales a masked channel to 8 bits.
std::uint32_t Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const std::uint32_t max = mask >> shift;
  return ((pixel & mask) >> shift) * 255u / max;
}

}  // namespace

std::unique_ptr<XDisplaySource> XDisplaySource::Open(const std::string& display,
                                                     std::string& error) {
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(display.c_str(), &screenNumber);
  if (xcb_connection_has_error(connection) != 0) {
    xcb_disconnect(connection);
    error = "cannot connect to X display " + display;
    return nullptr;
  }
  std::unique_ptr<XDisplaySource> source(new XDisplaySource());
  source->connection_ = connection;
  source->display_ = display;
  const xcb_setup_t* setup = xcb_get_setup(connection);
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  const xcb_screen_t* screen = screens.data;
  source->root_ = screen->root;
  source->width_ = screen->width_in_pixels;
  source->height_ = screen->height_in_pixels;
  source->msbFirst_ = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;

  for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0;
       xcb_format_next(&formats)) {
    if (formats.data->depth == screen->root_depth) {
      source->bitsPerPixel_ = formats.data->bits_per_pixel;
      source->scanlinePad_ = formats.data->scanline_pad;
    }
  }
  for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0;
       xcb_depth_next(&depths)) {
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
         xcb_visualtype_next(&visuals)) {
      if (visuals.data->visual_id == screen->root_visual) {
        source->redMask_ = visuals.data->red_mask;
        source->greenMask_ = visuals.data->green_mask;
        source->blueMask_ = visuals.data->blue_mask;
      }
    }
  }
  if (source->bitsPerPixel_ != 16 && source->bitsPerPixel_ != 24 && source->bitsPerPixel_ != 32) {
    error = "X display " + display + " has a pixel format this server cannot read";
    return nullptr;
  }
  return source;
}

XDisplaySource::~XDisplaySource() {
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

void XDisplaySource::Capture(Frame& frame) {
  frame.Resize(width_, height_);
  std::lock_guard lock(mutex_);
  const auto cookie =
      xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 0, 0,
                    static_cast<std::uint16_t>(width_), static_cast<std::uint16_t>(height_), ~0u);
  xcb_get_image_reply_t* reply = xcb_get_image_reply(connection_, cookie, nullptr);
  if (reply == nullptr) return;
  const std::uint8_t* data = xcb_get_image_data(reply);
  const std::size_t length = static_cast<std::size_t>(xcb_get_image_data_length(reply));
  const std::size_t bytesPerPixel = static_cast<std::size_t>(bitsPerPixel_) / 8;
  const std::size_t stride = (static_cast<std::size_t>(width_) * bitsPerPixel_ + scanlinePad_ - 1) /
                             scanlinePad_ * scanlinePad_ / 8;
  for (std::int32_t y = 0; y < height_; ++y) {
    const std::size_t rowStart = stride * y;
    if (rowStart + bytesPerPixel * width_ > length) break;
    for (std::int32_t x = 0; x < width_; ++x) {
      const std::uint8_t* p = data + rowStart + bytesPerPixel * x;
      std::uint32_t pixel = 0;
      for (std::size_t b = 0; b < bytesPerPixel; ++b) {
        const std::size_t shift = msbFirst_ ? 8 * (bytesPerPixel - 1 - b) : 8 * b;
        pixel |= std::uint32_t{p[b]} << shift;
      }
      frame.At(x, y) = (Channel(pixel, redMask_) << 16) | (Channel(pixel, greenMask_) << 8) |
                       Channel(pixel, blueMask_);
    }
  }
  std::free(reply);
}

}  // namespace screenserver
