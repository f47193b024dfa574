#pragma once
// The viewer's command line. Without options it runs on its built-in defaults: control port
// 55069, screen server port 5150, Huffman compression, 8 x 4 grid, 16 colours.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Strund4Communication.h"
#include "ViewerConnection.h"

namespace harnvik {

struct ViewerOptions {
  std::uint16_t controlPort = kDefaultControlPort;
  ConnectionOptions connection;
  ViewerSettings settings;
  std::string grabFile;                    // --grab: the window as PNG, written at exit
  std::optional<double> quitAfterSeconds;  // --quit-after
};

struct OptionsResult {
  std::optional<ViewerOptions> options;  // nothing on --help or an error
  std::string error;                     // empty for --help
};

inline constexpr std::string_view kViewerUsage =
    "usage: Harnvik [--control-port PORT] [--server-port PORT] [--mode 0|10|11|12|13]\n"
    "               [--grid COLUMNS ROWS] [--colors 4|8] [--grab FILE.png]\n"
    "               [--quit-after SECONDS]\n";

[[nodiscard]] OptionsResult ParseViewerOptions(std::span<const std::string_view> arguments);

}  // namespace harnvik
