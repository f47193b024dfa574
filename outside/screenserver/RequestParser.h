#pragma once
// The viewer's requests arrive on a byte stream with neither terminator nor length, and the ones
// the server does not answer (grid, compression, colour) may arrive glued to the next one; this
// cuts them apart by their fixed shapes:
//   "RESOLUTION"  "OK"  "REFRESH"  "DISCONNECT"
//   "WM_GRID;%d;%d;0;0;"  "WM_COMP;%d;0;0;0;"  "WM_CMOD;%d;0;0;0;"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace screenserver {

enum class RequestKind : std::uint8_t {
  kResolution,
  kOk,
  kRefresh,
  kDisconnect,
  kGrid,
  kCompression,
  kColour,
};

struct Request {
  RequestKind kind = RequestKind::kOk;
  std::array<long, 4> numbers{};  // the four fields of a WM_ message
  std::string text;               // the request as it came
};

enum class RequestScan : std::uint8_t { kComplete, kNeedMore, kNotProtocol };

// Reads one request from the front of `buffer`; on kComplete `consumed` is its length.
[[nodiscard]] RequestScan ParseRequest(std::string_view buffer, Request& request,
                                       std::size_t& consumed);

}  // namespace screenserver
