#pragma once
// The command line of agenthost.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace telvinor::agenthost {

struct HostOptions {
  std::optional<std::string> messagesFile;  // instead of standard input
  std::chrono::milliseconds linger{0};      // how long to go on after the end of input
  std::optional<std::uint16_t> listenPort;  // bind the interpreter's receiving socket
  bool registerFirst = false;               // register the library before creating
  std::optional<std::string> library;       // the library to register (default: beside us)
  bool help = false;
};

struct UsageError {
  std::string message;
};

[[nodiscard]] std::variant<HostOptions, UsageError> ParseHostOptions(
    const std::vector<std::string>& arguments);

// The text --help prints.
[[nodiscard]] const char* HostUsage();

}  // namespace telvinor::agenthost
