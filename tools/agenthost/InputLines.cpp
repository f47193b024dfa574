#include "InputLines.h"

namespace telvinor::agenthost {

namespace {
std::string WithoutCr(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}
}  // namespace

std::vector<std::string> InputLines::Feed(std::string_view bytes) {
  std::vector<std::string> lines;
  for (;;) {
    std::size_t end = bytes.find('\n');
    if (end == std::string_view::npos) break;
    pending_.append(bytes.substr(0, end));
    lines.push_back(WithoutCr(std::move(pending_)));
    pending_.clear();
    bytes.remove_prefix(end + 1);
  }
  pending_.append(bytes);
  return lines;
}

std::optional<std::string> InputLines::Finish() {
  if (pending_.empty()) return std::nullopt;
  std::string last = WithoutCr(std::move(pending_));
  pending_.clear();
  return last;
}

}  // namespace telvinor::agenthost
