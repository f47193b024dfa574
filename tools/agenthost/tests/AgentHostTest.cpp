// agenthost: its command line and event lines, and the program itself running the sample
// workflow of examples/agent and receiving datagrams until a signal stops it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "EventLine.h"
#include "HostOptions.h"
#include "InputLines.h"
#include "automation/Utf.h"
#include "registry/WinReg.h"
#include "registry/tests/ChildProcess.h"
#include "registry/tests/TempHive.h"
#include "text/AnsiText.h"

namespace telvinor::agenthost {
namespace {

using automation::Variant;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

// ---------------------------------------------------------------- pure parts

TEST(AgentHostEventLine, NameThenTabSeparatedArgumentsWithEscapes) {
  const Variant args[] = {Variant(u"a\tb\r\nc\\d"), Variant(u"空闲"), Variant(u"")};
  EXPECT_EQ(EventLine(u"sRaiseEvents", args), "sRaiseEvents\ta\\tb\\r\\nc\\\\d\t空闲\t\n");
  EXPECT_EQ(EventLine(u"sRaiseStatus", {}), "sRaiseStatus\n");
  EXPECT_EQ(EscapeField(u"\\t"), "\\\\t");  // a backslash and a t are not a tab
}

TEST(AgentHostInput, LinesWhateverSizesTheReadsComeIn) {
  InputLines lines;
  EXPECT_THAT(lines.Feed("<MSG EVT=\"a\"/>\r\n<MSG"), ElementsAre("<MSG EVT=\"a\"/>"));
  EXPECT_THAT(lines.Feed(" CMD=\"b\"/>\n\n\r"), ElementsAre("<MSG CMD=\"b\"/>", ""));
  EXPECT_THAT(lines.Feed("\nlast"), ElementsAre(""));
  EXPECT_EQ(lines.Finish(), "last");
  EXPECT_EQ(lines.Finish(), std::nullopt);
}

struct OptionCase {
  const char* name;
  std::vector<std::string> args;
  const char* error;  // nullptr: accepted
};

std::ostream& operator<<(std::ostream& out, const OptionCase& c) {
  return out << c.name;
}

class AgentHostOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(AgentHostOptions, AcceptedOrRefusedWithAReason) {
  auto parsed = ParseHostOptions(GetParam().args);
  if (GetParam().error) {
    ASSERT_TRUE(std::holds_alternative<UsageError>(parsed));
    EXPECT_EQ(std::get<UsageError>(parsed).message, GetParam().error);
  } else {
    EXPECT_TRUE(std::holds_alternative<HostOptions>(parsed));
  }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, AgentHostOptions,
    ::testing::Values(OptionCase{"None", {}, nullptr},
                      OptionCase{"All",
                                 {"--messages", "m.txt", "--linger=2.5", "--listen", "0",
                                  "--register", "--library", "/x.so"},
                                 nullptr},
                      OptionCase{"LingerNotANumber",
                                 {"--linger", "soon"},
                                 "--linger takes seconds from 0 to 86400, not 'soon'"},
                      OptionCase{"LingerNegative",
                                 {"--linger=-1"},
                                 "--linger takes seconds from 0 to 86400, not '-1'"},
                      OptionCase{"ListenTooHigh",
                                 {"--listen", "65536"},
                                 "--listen takes a port from 0 to 65535, not '65536'"},
                      OptionCase{"MessagesWithoutFile", {"--messages"}, "--messages needs a value"},
                      OptionCase{"Unknown", {"--lisen", "1"}, "unknown argument '--lisen'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AgentHostOptionsValues, AreWhatTheyWereGiven) {
  auto options = std::get<HostOptions>(
      ParseHostOptions({"--messages", "m.txt", "--linger", "0.25", "--listen=40000"}));
  EXPECT_EQ(options.messagesFile, "m.txt");
  EXPECT_EQ(options.linger, 250ms);
  EXPECT_EQ(options.listenPort, 40000);
  EXPECT_FALSE(options.registerFirst);
}

// ---------------------------------------------------------------- the program

// A trace listener on a free loopback port, named to the program in TELVINOR_TRACE_PORT.
class Traces {
 public:
  Traces() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::setenv("TELVINOR_TRACE_PORT", std::to_string(ntohs(address.sin_port)).c_str(), 1);
  }
  ~Traces() {
    ::unsetenv("TELVINOR_TRACE_PORT");
    ::close(fd_);
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> out;
    char buffer[70000];
    for (ssize_t n; (n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0;)
      out.push_back(automation::ToUtf8(
          text::FromAnsi(std::string_view(buffer, static_cast<std::size_t>(n)))));
    return out;
  }

 private:
  int fd_ = -1;
};

void SetSetting(const char* name, const std::string& utf8) {
  registry::HKEY key = 0;
  ASSERT_EQ(
      registry::RegCreateKeyExA(registry::HKEY_LOCAL_MACHINE, "Software\\Brenlow\\Ostrel\\Telvinor",
                                0, nullptr, 0, registry::KEY_ALL_ACCESS, nullptr, &key, nullptr),
      0);
  std::string data = text::ToAnsi(automation::FromUtf8(utf8));
  ASSERT_EQ(registry::RegSetValueExA(key, name, 0, registry::REG_SZ,
                                     reinterpret_cast<const registry::BYTE*>(data.c_str()),
                                     static_cast<registry::DWORD>(data.size() + 1)),
            0);
  registry::RegCloseKey(key);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string SourceDir() {
  const char* dir = std::getenv("TELVINOR_SOURCE_DIR");
  return dir ? dir : ".";
}

// The sample workflow, fed the scripted call of examples/agent/call.txt, with a fresh hive in
// which the interpreter is not registered yet.
TEST(AgentHost, RunsTheSampleWorkflowEndToEnd) {
  telvinor::testing::TempHive hive;
  Traces traces;
  const std::string agent = SourceDir() + "/examples/agent";
  SetSetting("BinPath", agent);
  SetSetting("AgentRunPath", agent + "/AgentRun.xml");

  auto r = telvinor::testing::RunProgram(
      {TELVINOR_AGENTHOST, "--messages", agent + "/call.txt", "--linger", "2.5"}, hive.Folder());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.err,
              HasSubstr("agenthost: Vessamor.clsInterpretor is not registered; registering "));
  EXPECT_THAT(
      SplitLines(r.out),
      ElementsAre(
          "sMsgSendToCtiServerArrived\t<MSG CMD=\"Login\" AGENT=\"8001\" EXT=\"6001\"/>",
          "sRaiseStatus\t签入中", "sRaiseStatus\t空闲",
          "sMsgSendToCtiServerArrived\t<MSG CMD=\"Ready\" AGENT=\"8001\"/>", "sRaiseStatus\t振铃",
          "sRaiseEvents\tRinging\t13800138000",
          "sMsgSendToCtiServerArrived\t<MSG CMD=\"Answer\" CALLID=\"1\"/>", "sRaiseStatus\t通话中",
          "sMsgSendToCtiServerArrived\t<MSG CMD=\"Hangup\" CALLID=\"1\"/>",
          "sRaiseStatus\t话后处理", "sRaiseEvents\tFAXOK\t",
          // the wrap-up timer ends the wrap-up during the linger
          "sRaiseStatus\t空闲", "sMsgSendToCtiServerArrived\t<MSG CMD=\"Ready\" AGENT=\"8001\"/>"));
  std::vector<std::string> lines = traces.Lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Info:ScriptRootDir is " + agent);
  EXPECT_THAT(lines, ::testing::Contains("Info:进入状态 WrapUp（话后处理）"));
  EXPECT_THAT(lines, ::testing::Contains("Inf:收到非正确格式消息：PING"));
  EXPECT_EQ(lines.back(), "Info:进入状态 Idle（空闲）");
  EXPECT_THAT(lines, ::testing::Not(::testing::Contains(::testing::StartsWith("Err:"))));

  // Registered now: the next run creates it straight away.
  std::ofstream(hive.Folder() + "/one.txt") << "FAXFAIL$x\n";
  r = telvinor::testing::RunProgram({TELVINOR_AGENTHOST, "--messages", hive.Folder() + "/one.txt"},
                                    hive.Folder());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_THAT(SplitLines(r.out).back(), "sRaiseEvents\tFAXFAIL\t");
}

// Waits until `file` holds `text`, for at most a few seconds; the file's content.
std::string WaitForText(const std::string& file, const std::string& text) {
  std::string content;
  for (int i = 0; i < 500; ++i) {
    std::ifstream in(file);
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (content.find(text) != std::string::npos) break;
    std::this_thread::sleep_for(10ms);
  }
  return content;
}

TEST(AgentHost, ListensForDatagramsAndStopsOnSigterm) {
  telvinor::testing::TempHive hive;
  Traces traces;
  const std::string agent = hive.Folder() + "/agent";
  std::filesystem::create_directories(agent);
  for (const char* module : {"Main", "Operation", "State", "Jump"})
    std::ofstream(agent + "/" + module + ".bas") << "Sub OnLoad(): End Sub\n";
  std::ofstream(agent + "/Main.bas", std::ios::app)
      << "Sub OnFrontEndEvent(): RaiseEvents \"got\", CurrReceivedMsg: End Sub\n";
  std::ofstream(agent + "/AgentRun.xml") << "<Workflow/>";
  SetSetting("BinPath", agent);
  SetSetting("AgentRunPath", agent + "/AgentRun.xml");

  // Standard input stays open (a pipe nobody writes to), so only the signal ends the run.
  int stdinPipe[2];
  ASSERT_EQ(::pipe(stdinPipe), 0);
  const std::string out = hive.Folder() + "/out.txt", err = hive.Folder() + "/err.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, stdinPipe[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string program = TELVINOR_AGENTHOST, listen = "--listen", port = "0", reg = "--register";
  char* argv[] = {program.data(), listen.data(), port.data(), reg.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(stdinPipe[0]);

  std::string errText = WaitForText(err, "receiving messages on 127.0.0.1:");
  std::size_t at = errText.find("127.0.0.1:");
  ASSERT_NE(at, std::string::npos) << errText;
  const int listenPort = std::atoi(errText.c_str() + at + 10);
  ASSERT_GT(listenPort, 0);
  EXPECT_THAT(errText, HasSubstr("agenthost: registered "));

  int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<std::uint16_t>(listenPort));
  for (std::string datagram : {std::string("FAXOK"), text::ToAnsi(u"<MSG EVT=\"坐席\"/>")})
    ::sendto(sender, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
             sizeof to);
  ::close(sender);
  EXPECT_THAT(WaitForText(out, "\n"), "sRaiseEvents\tgot\t<MSG EVT=\"坐席\"/>\n");

  ::kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ::close(stdinPipe[1]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_THAT(WaitForText(err, "stopping"), HasSubstr("agenthost: stopping on Terminated"));
  std::vector<std::string> lines = traces.Lines();
  EXPECT_THAT(lines, ::testing::Contains("Err:Invalid procedure call or argument"));
}

TEST(AgentHost, HelpAndWrongCommandLines) {
  telvinor::testing::TempHive hive;
  auto r = telvinor::testing::RunProgram({TELVINOR_AGENTHOST, "--help"}, hive.Folder());
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(r.out, HasSubstr("usage: agenthost [OPTION]..."));
  EXPECT_THAT(r.out, HasSubstr("Examples:"));
  r = telvinor::testing::RunProgram({TELVINOR_AGENTHOST, "--linger"}, hive.Folder());
  EXPECT_EQ(r.status, 2);
  EXPECT_THAT(r.err, HasSubstr("--linger needs a value"));
  r = telvinor::testing::RunProgram(
      {TELVINOR_AGENTHOST, "--messages", hive.Folder() + "/missing.txt"}, hive.Folder());
  EXPECT_EQ(r.status, 1);
  r = telvinor::testing::RunProgram(
      {TELVINOR_AGENTHOST, "--library", hive.Folder() + "/missing.so"}, hive.Folder());
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("cannot register"));
}

}  // namespace
}  // namespace telvinor::agenthost
