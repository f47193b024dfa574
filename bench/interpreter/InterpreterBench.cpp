// Messages per second through SendCmd, the way a host feeds the interpreter:
//
// - FrontEndEventAndJump: a front-end event whose OnFrontEndEvent parses the message with a
//   DOM document, reads three of its attributes, looks the next state up and jumps there
//   (switching to the state's module, whose OnLoad reads the state element and raises the
//   status event).
// - SampleWorkflow: the sample of examples/agent, Idle -> Away -> Idle on the front end's
//   NotReady and Ready: a rule lookup, an operation for the CTI server, the module Jump, the
//   state's entry with its status, two trace lines per message.
// - RejectedMessage: a message that fits no form (the XML parse and one trace line).
// - Classify: the classification alone.
//
// Trace lines go to a listener of the benchmark's own that reads nothing, so every send is a
// real datagram. Run: build/bin/interpreter_bench [--benchmark_filter=...]

#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "MessageForm.h"
#include "automation/EventSource.h"
#include "automation/Utf.h"
#include "clsInterpretor.h"
#include "registry/WinReg.h"
#include "text/AnsiText.h"

namespace {

using namespace telvinor;
using automation::Ref;

// A hive, a trace port and settings of the benchmark's own.
class Installation {
 public:
  Installation() {
    char pattern[] = "/tmp/interpreter-bench-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    ::setenv("TELVINOR_REGISTRY", (folder_ / "registry.reg").c_str(), 1);
    trace_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int size = 1 << 16;  // small: the queue fills and the kernel drops the rest
    ::setsockopt(trace_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    (void)::bind(trace_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    (void)::getsockname(trace_, reinterpret_cast<sockaddr*>(&address), &length);
    ::setenv("TELVINOR_TRACE_PORT", std::to_string(ntohs(address.sin_port)).c_str(), 1);
  }
  ~Installation() {
    ::close(trace_);
    std::filesystem::remove_all(folder_);
  }
  [[nodiscard]] const std::filesystem::path& Folder() const { return folder_; }

  void PointAt(const std::filesystem::path& scripts) {
    Set("BinPath", scripts.string());
    Set("AgentRunPath", (scripts / "AgentRun.xml").string());
  }

 private:
  static void Set(const char* name, const std::string& value) {
    registry::HKEY key = 0;
    (void)registry::RegCreateKeyExA(registry::HKEY_LOCAL_MACHINE,
                                    "Software\\Brenlow\\Ostrel\\Telvinor", 0, nullptr, 0,
                                    registry::KEY_ALL_ACCESS, nullptr, &key, nullptr);
    (void)registry::RegSetValueExA(key, name, 0, registry::REG_SZ,
                                   reinterpret_cast<const registry::BYTE*>(value.c_str()),
                                   static_cast<registry::DWORD>(value.size() + 1));
    registry::RegCloseKey(key);
  }

  std::filesystem::path folder_;
  int trace_ = -1;
};

void Write(const std::filesystem::path& path, std::u16string_view text) {
  std::ofstream(path, std::ios::binary) << text::ToAnsi(text);
}

Ref<interpreter::clsInterpretor> LoadedInterpreter(Installation& installation,
                                                   const std::filesystem::path& scripts,
                                                   long& events) {
  installation.PointAt(scripts);
  auto interp = automation::MakeRef<interpreter::clsInterpretor>();
  interp->Advise(automation::MakeRef<automation::FunctionSink>(
      [&events](automation::DispId, std::span<automation::Variant>) { ++events; }));
  interp->Load();
  return interp;
}

void FrontEndEventAndJump(benchmark::State& state) {
  Installation installation;
  const std::filesystem::path scripts = installation.Folder() / "agent";
  std::filesystem::create_directories(scripts);
  for (const char* module : {"Main", "Operation", "Jump"})
    Write(scripts / (std::string(module) + ".bas"), u"Sub OnLoad(): End Sub\n");
  Write(scripts / "State.bas",
        u"Option Explicit\n"
        u"Sub OnLoad()\n"
        u"  RaiseStatus CurrProcessNode.getAttribute(\"Status\")\n"
        u"End Sub\n"
        u"Sub OnFrontEndEvent()\n"
        u"  Dim message, root, target\n"
        u"  Set message = CreateObject(\"MSXML2.DOMDocument\")\n"
        u"  message.loadXML CurrReceivedMsg\n"
        u"  Set root = message.documentElement\n"
        u"  If root.getAttribute(\"AGENT\") <> \"8001\" Then Exit Sub\n"
        u"  LastStateUuid = root.getAttribute(\"CALLID\")\n"
        u"  target = CurrProcessNode.getAttribute(\"On\" & root.getAttribute(\"EVT\"))\n"
        u"  JumpToState target\n"
        u"  NextModuleName = \"state\"\n"
        u"End Sub\n");
  Write(scripts / "AgentRun.xml",
        u"<?xml version=\"1.0\" encoding=\"GBK\"?><Workflow>"
        u"<State ID=\"Idle\" Status=\"空闲\" OnNotReady=\"Away\" OnReady=\"Idle\"/>"
        u"<State ID=\"Away\" Status=\"示忙\" OnNotReady=\"Away\" OnReady=\"Idle\"/>"
        u"</Workflow>");
  long events = 0;
  auto interp = LoadedInterpreter(installation, scripts, events);
  interp->JumpToState(u"Idle");
  const std::u16string messages[] = {
      u"<MSG EVT=\"NotReady\" AGENT=\"8001\" CALLID=\"17\" REASON=\"break\"/>",
      u"<MSG EVT=\"Ready\" AGENT=\"8001\" CALLID=\"18\"/>"};
  std::size_t i = 0;
  for (auto _ : state) interp->SendCmd(messages[i++ & 1]);
  state.SetItemsProcessed(state.iterations());
  if (events != static_cast<long>(state.iterations()) + 1)
    state.SkipWithError(
        ("the script did not jump on every message: " + std::to_string(events) + " events")
            .c_str());
  interp->UnInit();
}
BENCHMARK(FrontEndEventAndJump);

void SampleWorkflow(benchmark::State& state) {
  Installation installation;
  long events = 0;
  auto interp = LoadedInterpreter(installation,
                                  std::filesystem::path(TELVINOR_EXAMPLES_DIR) / "agent", events);
  interp->SendCmd(u"<MSG CMD=\"LoginOk\" AGENT=\"8001\"/>");  // in Idle now
  const std::u16string messages[] = {u"<MSG EVT=\"NotReady\"/>", u"<MSG EVT=\"Ready\"/>"};
  std::size_t i = 0;
  events = 0;
  for (auto _ : state) interp->SendCmd(messages[i++ & 1]);
  state.SetItemsProcessed(state.iterations());
  // NotReady: the command and the status; Ready: the status, then Idle's Ready command.
  if (events != 2 * static_cast<long>(state.iterations()))
    state.SkipWithError("the sample did not follow every message");
  interp->UnInit();
}
BENCHMARK(SampleWorkflow);

void RejectedMessage(benchmark::State& state) {
  Installation installation;
  long events = 0;
  auto interp = LoadedInterpreter(installation,
                                  std::filesystem::path(TELVINOR_EXAMPLES_DIR) / "agent", events);
  const std::u16string message = u"<MSG ID=\"1\" EVT=\"Ready\" AGENT=\"8001\"/>";
  for (auto _ : state) interp->SendCmd(message);
  state.SetItemsProcessed(state.iterations());
  interp->UnInit();
}
BENCHMARK(RejectedMessage);

void Classify(benchmark::State& state) {
  const std::u16string message = u"<MSG EVT=\"NotReady\" AGENT=\"8001\" CALLID=\"17\"/>";
  for (auto _ : state) benchmark::DoNotOptimize(interpreter::ClassifyMessage(message));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Classify);

}  // namespace
