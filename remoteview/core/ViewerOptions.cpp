#include "ViewerOptions.h"

#include <charconv>

#include "GridInput.h"

namespace harnvik {
namespace {

std::optional<long> WholeNumber(std::string_view text) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The number, or -1 when the text is missing or not a whole number.
long NumberOrMinusOne(std::optional<std::string_view> text) {
  if (!text) return -1;
  const auto number = WholeNumber(*text);
  return number ? *number : -1;
}

}  // namespace

OptionsResult ParseViewerOptions(std::span<const std::string_view> arguments) {
  ViewerOptions options;
  auto fail = [](std::string text) { return OptionsResult{std::nullopt, std::move(text)}; };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view name = arguments[i];
    auto value = [&](std::size_t ahead) -> std::optional<std::string_view> {
      if (i + ahead >= arguments.size()) return std::nullopt;
      return arguments[i + ahead];
    };
    if (name == "--help" || name == "-h") return {std::nullopt, {}};
    if (name == "--control-port" || name == "--server-port") {
      const long number = NumberOrMinusOne(value(1));
      // Port 0 lets the system choose the control port; the server's must be real.
      const long lowest = name == "--control-port" ? 0 : 1;
      if (number < lowest || number > 65535) {
        return fail(std::string(name) + " needs a port number");
      }
      (name == "--control-port" ? options.controlPort : options.connection.serverPort) =
          static_cast<std::uint16_t>(number);
      ++i;
    } else if (name == "--mode") {
      const long number = NumberOrMinusOne(value(1));
      const auto mode = number >= 0 ? CompressionModeFromNumber(number) : std::nullopt;
      if (!mode) return fail("--mode needs 0, 10, 11, 12 or 13");
      options.settings.mode = *mode;
      ++i;
    } else if (name == "--grid") {
      const auto columns = value(1);
      const auto rows = value(2);
      const bool digits = NumberOrMinusOne(columns) >= 0 && NumberOrMinusOne(rows) >= 0;
      const auto counts = digits ? ValidateGridInput(*columns, *rows) : std::nullopt;
      if (!counts) return fail("--grid needs two counts of 0 to 20, not both 0");
      options.settings.columns = counts->columns;
      options.settings.rows = counts->rows;
      i += 2;
    } else if (name == "--colors") {
      const long number = NumberOrMinusOne(value(1));
      if (number != 4 && number != 8) return fail("--colors needs 4 or 8");
      options.settings.colourDepth = static_cast<std::uint16_t>(number);
      ++i;
    } else if (name == "--grab") {
      const auto text = value(1);
      if (!text || text->empty()) return fail("--grab needs a file name");
      options.grabFile = std::string(*text);
      ++i;
    } else if (name == "--quit-after") {
      const auto text = value(1);
      double seconds = -1;
      if (text) std::from_chars(text->data(), text->data() + text->size(), seconds);
      if (seconds <= 0) return fail("--quit-after needs a number of seconds");
      options.quitAfterSeconds = seconds;
      ++i;
    } else {
      return fail("unknown option " + std::string(name));
    }
  }
  return {options, {}};
}

}  // namespace harnvik
