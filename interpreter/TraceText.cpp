#include "TraceText.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "msgloop/DatagramSocket.h"
#include "text/AnsiText.h"

namespace telvinor::interpreter {

std::int32_t TracePortSetting() {
  const char* value = std::getenv(kTracePortVariable);
  if (!value || !*value) return kTracePort;
  std::int32_t port = 0;
  const char* end = value + std::strlen(value);
  auto [stop, error] = std::from_chars(value, end, port);
  if (error != std::errc() || stop != end || port < 1 || port > 0xFFFF) return kTracePort;
  return port;
}

std::string TraceDatagram(std::u16string_view text) {
  constexpr std::size_t kLimit = msgloop::DatagramSocket::kMaxPayload;
  std::string bytes = text::ToAnsi(text);
  if (bytes.size() <= kLimit) return bytes;
  // Start from the share of the text that fits at its average width; then, since every UTF-16
  // unit takes at least one byte, dropping as many units as there are bytes too many always
  // fits. A surrogate pair is never split.
  std::size_t keep = static_cast<std::size_t>(static_cast<double>(text.size()) * kLimit /
                                              static_cast<double>(bytes.size()));
  for (;;) {
    if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
    bytes = text::ToAnsi(text.substr(0, keep));
    if (bytes.size() <= kLimit) break;
    keep -= std::min(keep, bytes.size() - kLimit);
  }
  return bytes;
}

}  // namespace telvinor::interpreter
