// agenthost: a host program for the agent script interpreter, for a person at a terminal and
// for tests. It does what the installation's host program does: creates Vessamor.clsInterpretor
// by ProgID, calls Load, hands each line of input to SendCmd, prints the events, runs the
// thread's message loop so timer ticks and datagrams arrive, and calls UnInit at the end.
//
// The loop is a descriptor watch (poll): standard input (or --messages FILE), the message
// loop's watch descriptor (MessageLoop::WatchFd, served with Pump) and a signalfd for SIGINT
// and SIGTERM. Everything runs on the one thread, as the interpreter expects.
//
// Exit statuses: 0 the run ended (end of input, --linger passed, or a signal); 1 the
// interpreter could not be created or loaded, or --listen could not bind; 2 a wrong command
// line.

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "EventLine.h"
#include "HostOptions.h"
#include "InputLines.h"
#include "ReceiverBinding.h"
#include "automation/ClassRegistry.h"
#include "automation/EventSource.h"
#include "automation/InprocServer.h"
#include "automation/Utf.h"
#include "msgloop/MessageLoop.h"

namespace {

using namespace telvinor;
using automation::AutomationError;
using automation::Dispatch;
using automation::Ref;
using automation::Variant;
using Clock = std::chrono::steady_clock;

enum ExitStatus : int { kOk = 0, kFailed = 1, kUsage = 2 };

constexpr std::u16string_view kProgId = u"Vessamor.clsInterpretor";

void Note(const std::string& text) {
  std::fprintf(stderr, "agenthost: %s\n", text.c_str());
  std::fflush(stderr);
}

std::string Describe(const AutomationError& e) {
  return std::to_string(e.Number()) + ": " + automation::ToUtf8(e.Description());
}

// libVessamor.so in ../lib beside this program, where the build and an installation put it.
std::string DefaultLibrary() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "libVessamor.so";
  return (self.parent_path() / ".." / "lib" / "libVessamor.so").lexically_normal().string();
}

// Registers an in-process server library as regsvr does: its own DllRegisterServer.
std::optional<std::string> RegisterLibrary(const std::string& path) {
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return std::string(::dlerror());
  auto* registerServer = reinterpret_cast<automation::entrypoint::RegisterFunction*>(
      ::dlsym(library, automation::entrypoint::kRegister));
  if (!registerServer) return path + " has no " + automation::entrypoint::kRegister;
  if (std::int32_t status = registerServer(); status != 0) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08x", static_cast<unsigned>(status));
    return std::string(automation::entrypoint::kRegister) + " failed with " + code;
  }
  return std::nullopt;  // the library stays loaded, as a created object will need it
}

Ref<Dispatch> CreateInterpreter(const agenthost::HostOptions& options) {
  const std::string library = options.library.value_or(DefaultLibrary());
  if (options.registerFirst) {
    if (auto failure = RegisterLibrary(library)) {
      Note("cannot register " + library + ": " + *failure);
      return nullptr;
    }
    Note("registered " + library);
  }
  try {
    return automation::CreateObject(kProgId);
  } catch (const AutomationError& e) {
    if (options.registerFirst) {
      Note("cannot create Vessamor.clsInterpretor: " + Describe(e));
      return nullptr;
    }
  }
  // Not registered (or registered to a library that is gone): register ours and try again.
  Note("Vessamor.clsInterpretor is not registered; registering " + library);
  if (auto failure = RegisterLibrary(library)) {
    Note("cannot register " + library + ": " + *failure);
    return nullptr;
  }
  try {
    return automation::CreateObject(kProgId);
  } catch (const AutomationError& e) {
    Note("cannot create Vessamor.clsInterpretor: " + Describe(e));
    return nullptr;
  }
}

Variant Call(Dispatch& object, std::u16string_view member, std::vector<Variant> args = {}) {
  return automation::CallByName(object, member, automation::InvokeKind::Method, args);
}

class Host {
 public:
  Host(Ref<Dispatch> interpreter, const agenthost::HostOptions& options, int input, int signals)
      : interpreter_(std::move(interpreter)), options_(options), input_(input), signals_(signals) {}

  // Runs until the end of input (and --linger), or a signal.
  void Run() {
    msgloop::MessageLoop& loop = msgloop::MessageLoop::ForCurrentThread();
    std::optional<Clock::time_point> endAt;
    bool inputOpen = true;
    for (;;) {
      if (!inputOpen && !endAt) {
        if (options_.linger.count() > 0) {
          endAt = Clock::now() + options_.linger;
        } else if (!options_.listenPort) {
          return;
        }
      }
      pollfd fds[3] = {{signals_, POLLIN, 0}, {loop.WatchFd(), POLLIN, 0}, {input_, POLLIN, 0}};
      const nfds_t count = inputOpen ? 3 : 2;
      int timeout = -1;
      if (endAt) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(*endAt - Clock::now());
        timeout = static_cast<int>(std::max<std::int64_t>(0, left.count()));
      }
      if (::poll(fds, count, timeout) < 0 && errno != EINTR) {
        Note(std::string("poll: ") + std::strerror(errno));
        return;
      }
      if (fds[0].revents & POLLIN) {
        signalfd_siginfo info{};
        (void)!::read(signals_, &info, sizeof info);
        Note(std::string("stopping on ") + ::strsignal(static_cast<int>(info.ssi_signo)));
        return;
      }
      if (fds[1].revents & POLLIN) loop.Pump();
      if (inputOpen && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) inputOpen = ReadInput();
      if (endAt && Clock::now() >= *endAt) return;
    }
  }

 private:
  // Reads what is there and hands over every complete line; false at the end of input.
  bool ReadInput() {
    char buffer[65536];
    ssize_t n = ::read(input_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (n > 0) {
      for (const std::string& line :
           lines_.Feed(std::string_view(buffer, static_cast<std::size_t>(n))))
        Send(line);
      return true;
    }
    if (n < 0) Note(std::string("reading the messages: ") + std::strerror(errno));
    if (auto last = lines_.Finish()) Send(*last);
    return false;
  }

  void Send(const std::string& line) {
    try {
      Call(*interpreter_, u"SendCmd", {Variant(automation::FromUtf8(line))});
    } catch (const AutomationError& e) {
      Note("SendCmd: " + Describe(e));
    }
  }

  Ref<Dispatch> interpreter_;
  const agenthost::HostOptions& options_;
  int input_;
  int signals_;
  agenthost::InputLines lines_;
};

int Main(const agenthost::HostOptions& options) {
  // Signals arrive as a descriptor on the loop's thread, never as an interruption.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  ::sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  const int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);

  int input = STDIN_FILENO;
  if (options.messagesFile) {
    input = ::open(options.messagesFile->c_str(), O_RDONLY | O_CLOEXEC);
    if (input < 0) {
      Note("cannot read " + *options.messagesFile + ": " + std::strerror(errno));
      return kFailed;
    }
  }

  Ref<Dispatch> interpreter = CreateInterpreter(options);
  if (!interpreter) return kFailed;
  const automation::ClassInfo* info = interpreter->Info();
  automation::EventSource* source = automation::EventSourceOf(*interpreter);
  if (source) {
    source->Advise(automation::MakeRef<automation::FunctionSink>(
        [info](automation::DispId id, std::span<Variant> args) {
          const automation::EventInfo* event = info ? info->FindEvent(id) : nullptr;
          std::u16string name = event ? event->name : automation::FromUtf8(std::to_string(id));
          std::string line = agenthost::EventLine(name, args);
          std::fwrite(line.data(), 1, line.size(), stdout);
          std::fflush(stdout);  // a reader on a pipe sees each event as it happens
        }));
  }

  int status = kOk;
  try {
    Call(*interpreter, u"Load");
    if (options.listenPort) {
      auto* binding = dynamic_cast<interpreter::ReceiverBinding*>(interpreter.get());
      std::error_code error = binding ? binding->ListenForMessages("127.0.0.1", *options.listenPort)
                                      : std::make_error_code(std::errc::function_not_supported);
      if (error) {
        Note("cannot listen on 127.0.0.1:" + std::to_string(*options.listenPort) + ": " +
             error.message());
        status = kFailed;
      } else {
        Note("receiving messages on " + binding->MessageEndpoint().value().ToString());
      }
    }
    if (status == kOk) Host(interpreter, options, input, signals).Run();
  } catch (const AutomationError& e) {
    Note("Load: " + Describe(e));
    status = kFailed;
  } catch (const std::exception& e) {
    Note(e.what());
    status = kFailed;
  }
  try {
    Call(*interpreter, u"UnInit");
  } catch (const AutomationError& e) {
    Note("UnInit: " + Describe(e));
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  auto parsed = agenthost::ParseHostOptions(args);
  if (auto* error = std::get_if<agenthost::UsageError>(&parsed)) {
    std::fprintf(stderr, "agenthost: %s\n(agenthost --help shows the options)\n",
                 error->message.c_str());
    return kUsage;
  }
  const auto& options = std::get<agenthost::HostOptions>(parsed);
  if (options.help) {
    std::fputs(agenthost::HostUsage(), stdout);
    return kOk;
  }
  return Main(options);
}
