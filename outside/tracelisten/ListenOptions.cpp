#include "ListenOptions.h"

#include <arpa/inet.h>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "text/AnsiText.h"

namespace telvinor::tracelisten {
namespace {

// Applies an option's value; returns an error text, empty when the value is good.
using Apply = std::string (*)(ListenOptions&, std::string_view value);

struct OptionSpec {
  std::string_view name;
  std::string_view valueName;  // empty for a flag
  std::string_view help;
  Apply apply;
};

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The longest timeout accepted, in seconds: a little over eleven days.
constexpr double kMaxTimeoutSeconds = 1e6;

constexpr std::array kOptions{
    OptionSpec{"--port", "PORT", "UDP port to listen on (default 33334; 0 picks a free one)",
               [](ListenOptions& o, std::string_view v) -> std::string {
                 auto port = ParseNumber<unsigned>(v);
                 if (!port || *port > 65535) return "--port wants a number from 0 to 65535";
                 o.port = static_cast<std::uint16_t>(*port);
                 return {};
               }},
    OptionSpec{"--bind", "ADDRESS", "IPv4 address to listen on (default 127.0.0.1)",
               [](ListenOptions& o, std::string_view v) -> std::string {
                 in_addr parsed{};
                 if (::inet_pton(AF_INET, std::string(v).c_str(), &parsed) != 1) {
                   return "--bind wants a dotted IPv4 address such as 127.0.0.1";
                 }
                 o.bindAddress = v;
                 return {};
               }},
    OptionSpec{"--json", "", "one JSON object per datagram: time, from, bytes, text",
               [](ListenOptions& o, std::string_view) -> std::string {
                 o.format = OutputFormat::kJson;
                 return {};
               }},
    OptionSpec{"--count", "N", "exit after N datagrams",
               [](ListenOptions& o, std::string_view v) -> std::string {
                 auto count = ParseNumber<std::uint64_t>(v);
                 if (!count || *count == 0) return "--count wants a whole number above 0";
                 o.count = *count;
                 return {};
               }},
    OptionSpec{"--timeout", "SECONDS", "exit after this many seconds (fractions allowed)",
               [](ListenOptions& o, std::string_view v) -> std::string {
                 auto seconds = ParseNumber<double>(v);
                 if (!seconds || !(*seconds > 0) || *seconds > kMaxTimeoutSeconds) {
                   return "--timeout wants a number of seconds above 0";
                 }
                 o.timeout = std::chrono::milliseconds(
                     static_cast<std::int64_t>(std::ceil(*seconds * 1000)));
                 return {};
               }},
    OptionSpec{"--color", "WHEN", "colour error lines: auto (on a terminal), always or never",
               [](ListenOptions& o, std::string_view v) -> std::string {
                 if (v == "auto") {
                   o.colour = ColourChoice::kAuto;
                 } else if (v == "always") {
                   o.colour = ColourChoice::kAlways;
                 } else if (v == "never") {
                   o.colour = ColourChoice::kNever;
                 } else {
                   return "--color wants auto, always or never";
                 }
                 return {};
               }},
    OptionSpec{"--codepage", "N", "code page of the datagrams (default: TELVINOR_CODEPAGE or 936)",
               [](ListenOptions& o, std::string_view v) -> std::string {
                 auto page = ParseNumber<int>(v);
                 if (!page || !text::IconvName(*page))
                   return "--codepage wants a supported code page such as 936";
                 o.codePage = *page;
                 return {};
               }},
    OptionSpec{"--help", "", "show this text",
               [](ListenOptions& o, std::string_view) -> std::string {
                 o.help = true;
                 return {};
               }},
};

const OptionSpec* FindOption(std::string_view name) {
  for (const auto& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

}  // namespace

ParsedOptions ParseListenOptions(std::span<const std::string_view> args) {
  ListenOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::optional<std::string_view> inlineValue;
    if (auto equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos) {
      inlineValue = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    const OptionSpec* option = FindOption(arg);
    if (!option) return {std::nullopt, "unknown option " + std::string(args[i])};
    std::string_view value;
    if (option->valueName.empty()) {
      if (inlineValue) return {std::nullopt, std::string(arg) + " takes no value"};
    } else if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return {std::nullopt,
              std::string(arg) + " needs a value (" + std::string(option->valueName) + ")"};
    }
    if (std::string error = option->apply(options, value); !error.empty())
      return {std::nullopt, error};
  }
  return {options, {}};
}

std::string ListenUsage() {
  std::string usage =
      "Usage: tracelisten [OPTION]...\n"
      "Print the trace datagrams of the agent script interpreter as they arrive, one line each,\n"
      "converted from the ANSI code page to UTF-8.\n\nOptions:\n";
  for (const auto& option : kOptions) {
    std::string left = "  " + std::string(option.name);
    if (!option.valueName.empty()) left += " " + std::string(option.valueName);
    if (left.size() < 22) left.resize(22, ' ');
    usage += left + " " + std::string(option.help) + "\n";
  }
  usage +=
      "\nWithout --count or --timeout it runs until interrupted (Ctrl+C).\n"
      "Exit status: 0 after --count datagrams or at --timeout without --count; 1 when\n"
      "--timeout passed before --count datagrams arrived; 2 for a wrong command line;\n"
      "3 when the address or port cannot be bound.\n";
  return usage;
}

}  // namespace telvinor::tracelisten
