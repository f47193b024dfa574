// The trace listener as a person or a test runs it: a real process on a loopback port,
// fed real datagrams.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "msgloop/DatagramSocket.h"
#include "msgloop/MessageLoop.h"
#include "text/AnsiText.h"

extern char** environ;

namespace telvinor::tracelisten {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = 10s;

// The listener process with its standard output and error on pipes.
class Listener {
 public:
  explicit Listener(std::vector<std::string> args) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
      throw std::runtime_error("pipe2");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    args.insert(args.begin(), TRACELISTEN_PROGRAM);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int spawned =
        ::posix_spawn(&pid_, TRACELISTEN_PROGRAM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (spawned != 0) throw std::runtime_error("posix_spawn");
  }
  ~Listener() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
    ::close(err_);
  }

  // The port from the "listening on" line, or nothing when the listener never got that far.
  std::optional<std::uint16_t> ListeningPort() {
    static const std::regex kListening(R"(tracelisten: listening on 127\.0\.0\.1:(\d+)\n)");
    const auto deadline = Clock::now() + kPatience;
    std::smatch match;
    while (!std::regex_search(stderr_, match, kListening)) {
      if (!ReadSome(err_, stderr_, deadline)) return std::nullopt;
    }
    return static_cast<std::uint16_t>(std::stoi(match[1]));
  }

  // Waits for the process to end, collecting everything it wrote; its exit status.
  int Finish() {
    const auto deadline = Clock::now() + kPatience;
    while (ReadSome(out_, stdout_, deadline)) {
    }
    while (ReadSome(err_, stderr_, deadline)) {
    }
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        ADD_FAILURE() << "tracelisten did not end";
        return -1;
      }
      std::this_thread::sleep_for(5ms);
    }
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  const std::string& Out() const { return stdout_; }
  const std::string& Err() const { return stderr_; }

 private:
  // Appends what the pipe has; false at its end or when the deadline passed.
  static bool ReadSome(int fd, std::string& into, Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) != 1) return false;
    char buffer[4096];
    auto got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) return false;
    into.append(buffer, static_cast<std::size_t>(got));
    return true;
  }

  pid_t pid_ = 0;
  int out_ = -1;
  int err_ = -1;
  std::string stdout_;
  std::string stderr_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "the last line has no line end";
  return lines;
}

class TraceListen : public testing::Test {
 protected:
  void Send(std::uint16_t port, std::string_view bytes) {
    ASSERT_FALSE(sender_.SendTo("127.0.0.1", port, bytes));
  }
  std::uint16_t SenderPort() const { return sender_.LocalEndpoint().value().port; }

  msgloop::MessageLoop loop_;
  msgloop::DatagramSocket sender_{loop_};
};

TEST_F(TraceListen, JsonLinesForMachines) {
  Listener listener({"--port", "0", "--json", "--count", "3", "--codepage", "936"});
  auto port = listener.ListeningPort();
  ASSERT_TRUE(port) << listener.Err();

  Send(*port, text::ToAnsi(u"Info:AgentRun 主脚本加载错误！", 936));
  Send(*port, "Err:Type mismatch: \"x\"\r\n\x01");
  Send(*port, "Info:ScriptRootDir is C:\\Agent");
  ASSERT_EQ(listener.Finish(), 0) << listener.Err();

  const auto lines = Lines(listener.Out());
  ASSERT_EQ(lines.size(), 3u) << listener.Out();
  const std::string from = "127.0.0.1:" + std::to_string(SenderPort());
  const std::regex kLine(
      R"re(\{"time": "\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d", "from": "([^"]*)", "bytes": (\d+), "text": (.*)\})re");
  const std::string expected[][2] = {
      {"30", R"("Info:AgentRun 主脚本加载错误！")"},
      {"25", R"("Err:Type mismatch: \"x\"\r\n\u0001")"},
      {"30", R"("Info:ScriptRootDir is C:\\Agent")"},
  };
  for (std::size_t i = 0; i < 3; ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[i], match, kLine)) << lines[i];
    EXPECT_EQ(match[1], from);
    EXPECT_EQ(match[2], expected[i][0]);
    EXPECT_EQ(match[3], expected[i][1]);
  }
}

TEST_F(TraceListen, TextLinesColourErrorsOnlyWhenAskedOrOnATerminal) {
  struct Case {
    const char* colour;
    const char* errorLine;
  };
  // Standard output is a pipe here, so "auto" means plain.
  for (const Case& c : {Case{"always", "\x1b[31mErr:Object required\x1b[0m"},
                        Case{"auto", "Err:Object required"}}) {
    Listener listener({"--port", "0", "--count", "2", "--color", c.colour});
    auto port = listener.ListeningPort();
    ASSERT_TRUE(port) << listener.Err();
    Send(*port, "Info:loaded");
    Send(*port, "Err:Object required");
    ASSERT_EQ(listener.Finish(), 0) << listener.Err();
    const auto lines = Lines(listener.Out());
    ASSERT_EQ(lines.size(), 2u) << listener.Out();
    EXPECT_THAT(lines[0],
                testing::MatchesRegex("[0-9]{2}:[0-9]{2}:[0-9]{2}[.][0-9]{3} Info:loaded"));
    EXPECT_THAT(lines[1], testing::EndsWith(std::string(" ") + c.errorLine)) << c.colour;
  }
}

TEST_F(TraceListen, ExitStatuses) {
  msgloop::DatagramSocket taken(loop_);
  ASSERT_FALSE(taken.Bind("127.0.0.1", 0));
  const std::string takenPort = std::to_string(taken.LocalEndpoint()->port);

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string output;  // expected in standard output or error
  };
  const Case cases[] = {
      {{"--help"}, 0, "Usage: tracelisten"},
      {{"--port", "0", "--timeout", "0.1"}, 0, "listening on"},
      {{"--port", "0", "--timeout", "0.1", "--count", "1"}, 1, "timed out after 0 of 1 datagrams"},
      {{"--port", takenPort},
       3,
       "cannot listen on 127.0.0.1:" + takenPort + ": Address already in use"},
      {{"--count", "0"}, 2, "--count wants"},
      {{"--frobnicate"}, 2, "unknown option --frobnicate"},
  };
  for (const auto& c : cases) {
    Listener listener(c.args);
    EXPECT_EQ(listener.Finish(), c.status) << c.args[0] << "\n" << listener.Err();
    EXPECT_THAT(listener.Out() + listener.Err(), testing::HasSubstr(c.output)) << c.args[0];
  }
}

TEST_F(TraceListen, TimeoutBeforeTheCountKeepsWhatArrived) {
  Listener listener({"--port", "0", "--count", "2", "--timeout", "0.3"});
  auto port = listener.ListeningPort();
  ASSERT_TRUE(port) << listener.Err();
  Send(*port, "Info:only one");
  EXPECT_EQ(listener.Finish(), 1);
  EXPECT_THAT(listener.Out(), testing::EndsWith(" Info:only one\n"));
  EXPECT_THAT(listener.Err(), testing::HasSubstr("timed out after 1 of 2 datagrams"));
}

}  // namespace
}  // namespace telvinor::tracelisten
