#pragma once
// What the interpreter's tests share: a trace listener of their own, settings in a hive of
// their own, a script folder of their own, a recorder of events, and a fixture that puts
// them together around one interpreter.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TraceText.h"
#include "automation/EventSource.h"
#include "automation/Utf.h"
#include "clsInterpretor.h"
#include "registry/WinReg.h"
#include "registry/tests/TempHive.h"
#include "text/AnsiText.h"

namespace telvinor::interpreter::testing {

using automation::Ref;
using automation::Variant;

// A UDP socket on a free loopback port that the interpreter's trace lines go to: its port is
// in TELVINOR_TRACE_PORT while it lives. Plain POSIX, so it never takes part in the message
// loop the interpreter runs on.
class TraceListener {
 public:
  TraceListener() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      ADD_FAILURE() << "cannot bind a trace listener";
    port_ = ntohs(address.sin_port);
    ::setenv(kTracePortVariable, std::to_string(port_).c_str(), 1);
  }
  ~TraceListener() {
    ::unsetenv(kTracePortVariable);
    if (fd_ >= 0) ::close(fd_);
  }
  TraceListener(const TraceListener&) = delete;
  TraceListener& operator=(const TraceListener&) = delete;

  [[nodiscard]] std::uint16_t Port() const { return port_; }

  // The datagrams that have arrived (loopback delivers a datagram before its send returns),
  // byte for byte; taking them empties the queue.
  [[nodiscard]] std::vector<std::string> Datagrams() {
    std::vector<std::string> out;
    std::string buffer(70000, '\0');
    for (;;) {
      ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (n < 0) break;
      out.emplace_back(buffer.data(), static_cast<std::size_t>(n));
    }
    return out;
  }
  // The same, each converted from the ANSI code page, in UTF-8 for readable test failures.
  [[nodiscard]] std::vector<std::string> Lines() {
    std::vector<std::string> out;
    for (const auto& d : Datagrams()) out.push_back(automation::ToUtf8(text::FromAnsi(d)));
    return out;
  }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

// Writes one text value of the settings key, in the hive TELVINOR_REGISTRY names.
inline void SetSetting(const char* name, std::u16string_view value) {
  registry::HKEY key = 0;
  ASSERT_EQ(
      registry::RegCreateKeyExA(registry::HKEY_LOCAL_MACHINE, "Software\\Brenlow\\Ostrel\\Telvinor",
                                0, nullptr, 0, registry::KEY_ALL_ACCESS, nullptr, &key, nullptr),
      0);
  std::string data = text::ToAnsi(value);
  ASSERT_EQ(registry::RegSetValueExA(key, name, 0, registry::REG_SZ,
                                     reinterpret_cast<const registry::BYTE*>(data.c_str()),
                                     static_cast<registry::DWORD>(data.size() + 1)),
            0);
  registry::RegCloseKey(key);
}

// Every event the interpreter raises, as "name|argument|argument".
class EventLog {
 public:
  EventLog() {
    sink_ = automation::MakeRef<automation::FunctionSink>(
        [this](automation::DispId id, std::span<Variant> args) {
          const automation::EventInfo* event = clsInterpretor::Class().FindEvent(id);
          std::string line = event ? automation::ToUtf8(event->name) : std::to_string(id);
          for (const auto& a : args) line += "|" + automation::ToUtf8(a.AsString());
          lines_.push_back(line);
          if (onEvent) onEvent(line);
        });
  }
  [[nodiscard]] const Ref<automation::FunctionSink>& Sink() const { return sink_; }
  [[nodiscard]] std::vector<std::string> Take() { return std::exchange(lines_, {}); }
  std::function<void(const std::string&)> onEvent;

 private:
  Ref<automation::FunctionSink> sink_;
  std::vector<std::string> lines_;
};

// A workflow in a folder of the test's own. Files are written in the ANSI code page, as the
// installation's tools write them.
struct Workflow {
  std::u16string main = u"Sub OnLoad()\nEnd Sub\n";
  std::u16string operation = u"Sub OnLoad()\nEnd Sub\n";
  std::u16string state = u"Sub OnLoad()\nEnd Sub\n";
  std::u16string jump = u"Sub OnLoad()\nEnd Sub\n";
  std::u16string states = u"<Workflow><State ID=\"Idle\"/></Workflow>";
};

inline void WriteAnsiFile(const std::filesystem::path& path, std::u16string_view text) {
  std::ofstream(path, std::ios::binary) << text::ToAnsi(text);
}

// One interpreter with its own hive, trace listener and script folder; settings point at the
// folder ("<folder>/agent" for the modules, "<folder>/agent/AgentRun.xml" for the states).
class InterpreterTest : public ::testing::Test {
 protected:
  InterpreterTest() {
    agentDir = std::filesystem::path(hive.Folder()) / "agent";
    std::filesystem::create_directories(agentDir);
    interp->Advise(events.Sink());
  }
  ~InterpreterTest() override { interp->UnInit(); }

  void Write(const Workflow& w) {
    WriteAnsiFile(agentDir / "Main.bas", w.main);
    WriteAnsiFile(agentDir / "Operation.bas", w.operation);
    WriteAnsiFile(agentDir / "State.bas", w.state);
    WriteAnsiFile(agentDir / "Jump.bas", w.jump);
    WriteAnsiFile(agentDir / "AgentRun.xml", w.states);
  }
  void PointSettingsAtFolder() {
    SetSetting("BinPath", automation::FromUtf8(agentDir.string()));
    SetSetting("AgentRunPath", automation::FromUtf8((agentDir / "AgentRun.xml").string()));
    SetSetting("StatePath", u"%TEMP%\\agent");
  }
  // Writes the workflow, points the settings at it, loads it and takes the trace lines.
  std::vector<std::string> Load(const Workflow& w) {
    Write(w);
    PointSettingsAtFolder();
    interp->Load();
    return traces.Lines();
  }
  // The trace lines after Load's three "Info:" lines.
  std::vector<std::string> LoadAndSkipSettings(const Workflow& w) {
    auto lines = Load(w);
    EXPECT_GE(lines.size(), 3u);
    lines.erase(lines.begin(), lines.begin() + std::min<std::size_t>(3, lines.size()));
    return lines;
  }

  telvinor::testing::TempHive hive;
  TraceListener traces;
  EventLog events;
  std::filesystem::path agentDir;
  Ref<clsInterpretor> interp = automation::MakeRef<clsInterpretor>();
};

using Lines = std::vector<std::string>;

}  // namespace telvinor::interpreter::testing
