#pragma once
// The trace listener's command line.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace telvinor::tracelisten {

// Where the interpreter sends its trace datagrams.
inline constexpr std::uint16_t kTracePort = 33334;
inline constexpr std::string_view kTraceHost = "127.0.0.1";

enum class OutputFormat { kText, kJson };
enum class ColourChoice { kAuto, kAlways, kNever };

struct ListenOptions {
  std::string bindAddress{kTraceHost};
  std::uint16_t port = kTracePort;
  OutputFormat format = OutputFormat::kText;
  std::optional<std::uint64_t> count;                // stop after this many datagrams
  std::optional<std::chrono::milliseconds> timeout;  // stop after this long
  ColourChoice colour = ColourChoice::kAuto;
  std::optional<int> codePage;  // nothing: the system's ANSI code page
  bool help = false;
};

struct ParsedOptions {
  std::optional<ListenOptions> options;  // nothing when the command line is wrong
  std::string error;                     // why, for the user
};

// `args` without the program name.
[[nodiscard]] ParsedOptions ParseListenOptions(std::span<const std::string_view> args);

// The --help text, built from the same table the parser reads.
[[nodiscard]] std::string ListenUsage();

}  // namespace telvinor::tracelisten
