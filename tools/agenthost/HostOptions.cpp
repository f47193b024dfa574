#include "HostOptions.h"

#include <charconv>
#include <cmath>

namespace telvinor::agenthost {

namespace {

enum class Match { kOther, kValue, kMissingValue };

// "--name VALUE" or "--name=VALUE": whether `args[i]` is that option, and its value.
Match TakeValue(const std::vector<std::string>& args, std::size_t& i, std::string_view name,
                std::string& value) {
  const std::string& word = args[i];
  if (word == name) {
    if (i + 1 >= args.size()) return Match::kMissingValue;
    value = args[++i];
    return Match::kValue;
  }
  if (word.size() > name.size() && word.compare(0, name.size(), name) == 0 &&
      word[name.size()] == '=') {
    value = word.substr(name.size() + 1);
    return Match::kValue;
  }
  return Match::kOther;
}

std::optional<double> Seconds(const std::string& text) {
  double seconds = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds) ||
      seconds < 0 || seconds > 24 * 3600)
    return std::nullopt;
  return seconds;
}

std::optional<std::uint16_t> Port(const std::string& text) {
  unsigned port = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (error != std::errc() || end != text.data() + text.size() || port > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(port);
}

}  // namespace

std::variant<HostOptions, UsageError> ParseHostOptions(const std::vector<std::string>& args) {
  HostOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string value;
    auto option = [&](std::string_view name) {
      Match m = TakeValue(args, i, name, value);
      if (m == Match::kMissingValue) throw UsageError{std::string(name) + " needs a value"};
      return m == Match::kValue;
    };
    try {
      if (args[i] == "--help" || args[i] == "-h") {
        options.help = true;
      } else if (args[i] == "--register") {
        options.registerFirst = true;
      } else if (option("--messages")) {
        if (value.empty()) return UsageError{"--messages needs a file"};
        options.messagesFile = value;
      } else if (option("--library")) {
        if (value.empty()) return UsageError{"--library needs a file"};
        options.library = value;
      } else if (option("--linger")) {
        auto seconds = Seconds(value);
        if (!seconds)
          return UsageError{"--linger takes seconds from 0 to 86400, not '" + value + "'"};
        options.linger = std::chrono::milliseconds(std::llround(*seconds * 1000));
      } else if (option("--listen")) {
        auto port = Port(value);
        if (!port) return UsageError{"--listen takes a port from 0 to 65535, not '" + value + "'"};
        options.listenPort = *port;
      } else {
        return UsageError{"unknown argument '" + args[i] + "'"};
      }
    } catch (const UsageError& error) {
      return error;
    }
  }
  return options;
}

const char* HostUsage() {
  return R"(usage: agenthost [OPTION]...
Runs the agent script interpreter (Vessamor.clsInterpretor) as a host program does: creates
it by ProgID, calls Load (the settings under HKLM\Software\Brenlow\Ostrel\Telvinor say where
the scripts are), hands every line of input to SendCmd as one message, and prints every event
the interpreter raises on standard output, one line each: the event's name and its arguments,
separated by tabs, in UTF-8, with tab, CR, LF and backslash inside an argument written as
\t, \r, \n and \\. The message loop runs all the while, so timer ticks and datagrams arrive.
At the end of input (or on SIGINT or SIGTERM) it calls UnInit and exits.

Options:
  --messages FILE    read the messages from FILE instead of standard input (UTF-8 lines)
  --linger SECONDS   after the end of input, go on this long (timers may still fire)
  --listen PORT      let the interpreter receive messages as datagrams on 127.0.0.1:PORT
                     (0: any free port, shown on standard error); the run then ends only
                     with --linger or a signal
  --register         register the interpreter library before creating the object
  --library PATH     the library to register (default: libVessamor.so in ../lib beside
                     this program); without --register it is registered only when creating
                     by ProgID fails
  --help             show this text

Trace lines go to the trace listener (tracelisten) on 127.0.0.1:33334.

Examples:
  reg add 'HKLM\Software\Brenlow\Ostrel\Telvinor' /v BinPath /d /srv/agent /f
  reg add 'HKLM\Software\Brenlow\Ostrel\Telvinor' /v AgentRunPath /d /srv/agent/AgentRun.xml /f
  printf '%s\n' '<MSG CMD="Ringing" CALLID="1" ANI="13800138000"/>' | agenthost --linger 3
  agenthost --messages call.txt
  agenthost --listen 40000 < /dev/null        # until Ctrl+C
)";
}

}  // namespace telvinor::agenthost
