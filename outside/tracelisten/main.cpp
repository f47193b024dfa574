// tracelisten: prints the agent script interpreter's trace datagrams as they arrive.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ListenOptions.h"
#include "TraceFormat.h"
#include "msgloop/DatagramSocket.h"
#include "msgloop/MessageLoop.h"
#include "text/AnsiText.h"

namespace {

using namespace telvinor;
using tracelisten::ListenOptions;

enum ExitStatus : int { kOk = 0, kTimedOut = 1, kUsage = 2, kCannotListen = 3 };

tracelisten::Colour ResolveColour(tracelisten::ColourChoice choice) {
  switch (choice) {
    case tracelisten::ColourChoice::kAlways:
      return tracelisten::Colour::kTerminal;
    case tracelisten::ColourChoice::kNever:
      return tracelisten::Colour::kPlain;
    case tracelisten::ColourChoice::kAuto:
      break;
  }
  // https://no-color.org: a non-empty NO_COLOR turns automatic colour off.
  const char* noColour = std::getenv("NO_COLOR");
  if (noColour && *noColour) return tracelisten::Colour::kPlain;
  return ::isatty(STDOUT_FILENO) ? tracelisten::Colour::kTerminal : tracelisten::Colour::kPlain;
}

int Listen(const ListenOptions& options) {
  msgloop::MessageLoop loop;
  msgloop::DatagramSocket socket(loop);
  if (auto error = socket.Bind(options.bindAddress, options.port)) {
    std::fprintf(stderr, "tracelisten: cannot listen on %s:%u: %s\n", options.bindAddress.c_str(),
                 static_cast<unsigned>(options.port), error.message().c_str());
    return kCannotListen;
  }
  // Also tells a caller that asked for port 0 which port it got, and that datagrams may come.
  std::fprintf(stderr, "tracelisten: listening on %s\n",
               socket.LocalEndpoint().value().ToString().c_str());
  std::fflush(stderr);

  const int codePage = options.codePage.value_or(text::ActiveCodePage());
  const tracelisten::Colour colour = ResolveColour(options.colour);
  std::uint64_t received = 0;
  socket.SetArrivalHandler([&](std::size_t) {
    auto datagram = socket.Read();
    if (!datagram) return;
    const tracelisten::TraceRecord record{
        tracelisten::LocalTimestamp(std::chrono::system_clock::now()), datagram->from.ToString(),
        datagram->bytes};
    const std::string line = options.format == tracelisten::OutputFormat::kJson
                                 ? tracelisten::FormatJsonLine(record, codePage)
                                 : tracelisten::FormatTextLine(record, codePage, colour);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);  // a reader on a pipe sees each line as it happens
    if (options.count && ++received >= *options.count) loop.Quit();
  });

  if (!options.timeout) {
    loop.Run();
    return kOk;
  }
  if (loop.RunFor(*options.timeout) == msgloop::RunEnd::kQuit || !options.count) return kOk;
  std::fprintf(stderr, "tracelisten: timed out after %llu of %llu datagrams\n",
               static_cast<unsigned long long>(received),
               static_cast<unsigned long long>(*options.count));
  return kTimedOut;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  auto parsed = tracelisten::ParseListenOptions(args);
  if (!parsed.options) {
    std::fprintf(stderr, "tracelisten: %s\nTry 'tracelisten --help'.\n", parsed.error.c_str());
    return kUsage;
  }
  if (parsed.options->help) {
    std::fputs(tracelisten::ListenUsage().c_str(), stdout);
    return kOk;
  }
  try {
    return Listen(*parsed.options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tracelisten: %s\n", e.what());
    return kCannotListen;
  }
}
