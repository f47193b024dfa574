#include "RequestParser.h"

#include <charconv>
#include <utility>

namespace screenserver {
namespace {

constexpr std::array<std::pair<std::string_view, RequestKind>, 7> kRequests{{
    {"RESOLUTION", RequestKind::kResolution},
    {"OK", RequestKind::kOk},
    {"REFRESH", RequestKind::kRefresh},
    {"DISCONNECT", RequestKind::kDisconnect},
    {"WM_GRID", RequestKind::kGrid},
    {"WM_COMP", RequestKind::kCompression},
    {"WM_CMOD", RequestKind::kColour},
}};
constexpr int kMessageFields = 4;  // "WM_xxxx" then four fields, each ended by ";"
constexpr std::size_t kLongestMessage = 64;

}  // namespace

RequestScan ParseRequest(std::string_view buffer, Request& request, std::size_t& consumed) {
  for (const auto& [word, kind] : kRequests) {
    if (!buffer.starts_with(word)) {
      if (word.starts_with(buffer)) return RequestScan::kNeedMore;
      continue;
    }
    request = Request{kind, {}, {}};
    std::size_t at = word.size();
    if (word.starts_with("WM_")) {
      if (at == buffer.size()) return RequestScan::kNeedMore;
      if (buffer[at] != ';') return RequestScan::kNotProtocol;
      ++at;
      for (int field = 0; field < kMessageFields; ++field) {
        const std::size_t end = buffer.find(';', at);
        if (end == std::string_view::npos) {
          return buffer.size() > kLongestMessage ? RequestScan::kNotProtocol
                                                 : RequestScan::kNeedMore;
        }
        const auto [stop, error] =
            std::from_chars(buffer.data() + at, buffer.data() + end, request.numbers[field]);
        if (error != std::errc{} || stop != buffer.data() + end) return RequestScan::kNotProtocol;
        at = end + 1;
      }
    }
    request.text = std::string(buffer.substr(0, at));
    consumed = at;
    return RequestScan::kComplete;
  }
  return RequestScan::kNotProtocol;
}

}  // namespace screenserver
