#pragma once
// The interpreter's trace lines, listed once. A trace line is one datagram to the trace
// listener, in the ANSI code page, with no terminator; its tag tells what it is: "Info:" for
// progress, "Err:" for a script error, "Inf:" for a message the workflow rejected.

#include <cstdint>
#include <string>
#include <string_view>

namespace telvinor::interpreter {

namespace trace {
inline constexpr std::u16string_view kErrTag = u"Err:";
// The three settings Load has read, each followed by the text as it was read.
inline constexpr std::u16string_view kScriptRootDir = u"Info:ScriptRootDir is ";
inline constexpr std::u16string_view kMainAbs = u"Info:MainAbs is ";
inline constexpr std::u16string_view kStatePath = u"Info:StatePath is ";
// The state document is missing or not well-formed; no script is loaded.
inline constexpr std::u16string_view kAgentRunLoadError = u"Info:AgentRun 主脚本加载错误！";
// A module that the script host refused (it does not compile); the other modules still load.
// The spelling is the one installations' log filters look for.
inline constexpr std::u16string_view kLoadScriptError = u"Info:Load VBScipt Error";
// A message that fits none of the forms DataArrive knows, followed by the message.
inline constexpr std::u16string_view kMalformedMessage = u"Inf:收到非正确格式消息：";
}  // namespace trace

// Where trace lines go: the trace listener on this machine.
inline constexpr std::u16string_view kTraceHost = u"127.0.0.1";
inline constexpr std::int32_t kTracePort = 33334;
// Test suites that run in parallel each start their own listener and name its port here; an
// installation never sets it, so traces go to kTracePort.
inline constexpr const char* kTracePortVariable = "TELVINOR_TRACE_PORT";

// The trace port: kTracePort, unless kTracePortVariable holds a port number (1 to 65535).
[[nodiscard]] std::int32_t TracePortSetting();

// The datagram payload of a trace line: the text in the ANSI code page. A line longer than
// the largest datagram (65,507 bytes) is cut at a character boundary to fit, so the listener
// still sees its beginning instead of nothing.
[[nodiscard]] std::string TraceDatagram(std::u16string_view text);

}  // namespace telvinor::interpreter
