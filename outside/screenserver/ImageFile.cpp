#include "ImageFile.h"

#include <png.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace screenserver {
namespace {

constexpr std::int32_t kMaxSide = 16384;

std::optional<Frame> FromRgb(const std::vector<std::uint8_t>& rgb, std::int32_t width,
                             std::int32_t height) {
  Frame frame;
  frame.Resize(width, height);
  for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
    frame.pixels[i] =
        (std::uint32_t{rgb[3 * i]} << 16) | (std::uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
  }
  return frame;
}

std::optional<Frame> LoadPng(const std::string& path, std::string& error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    error = image.message;
    return std::nullopt;
  }
  if (image.width < 1 || image.height < 1 || image.width > kMaxSide || image.height > kMaxSide) {
    png_image_free(&image);
    error = "picture size outside 1..16384";
    return std::nullopt;
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) {
    error = image.message;
    png_image_free(&image);
    return std::nullopt;
  }
  return FromRgb(rgb, static_cast<std::int32_t>(image.width),
                 static_cast<std::int32_t>(image.height));
}

// Binary PPM: "P6", width, height, maximum 255, one white-space byte, then RGB triples.
std::optional<Frame> LoadPpm(const std::vector<std::uint8_t>& bytes, std::string& error) {
  std::size_t at = 2;
  auto number = [&]() -> long {
    while (at < bytes.size()) {
      if (bytes[at] == '#') {
        while (at < bytes.size() && bytes[at] != '\n') ++at;
      } else if (bytes[at] == ' ' || bytes[at] == '\n' || bytes[at] == '\r' || bytes[at] == '\t') {
        ++at;
      } else {
        break;
      }
    }
    long value = -1;
    while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && value < 100000) {
      value = (value < 0 ? 0 : value * 10) + (bytes[at++] - '0');
    }
    return value;
  };
  const long width = number();
  const long height = number();
  const long maximum = number();
  ++at;
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || maximum != 255 ||
      bytes.size() < at + static_cast<std::size_t>(width * height * 3)) {
    error = "not a whole 8-bit binary PPM picture";
    return std::nullopt;
  }
  std::vector<std::uint8_t> rgb(
      bytes.begin() + static_cast<std::ptrdiff_t>(at),
      bytes.begin() + static_cast<std::ptrdiff_t>(at + width * height * 3));
  return FromRgb(rgb, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
}

}  // namespace

std::optional<Frame> LoadImageFile(const std::string& path, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open " + path;
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] == '6') return LoadPpm(bytes, error);
  return LoadPng(path, error);
}

}  // namespace screenserver
