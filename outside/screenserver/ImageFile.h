#pragma once
// Loads a picture for the server to show: PNG (libpng) or binary PPM ("P6").

#include <optional>
#include <string>

#include "Frame.h"

namespace screenserver {

[[nodiscard]] std::optional<Frame> LoadImageFile(const std::string& path, std::string& error);

}  // namespace screenserver
