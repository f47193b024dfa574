#pragma once
// Every way a screen server can break the protocol, with the message the viewer shows before it
// disconnects. Listed once; the connection and its tests refer to them by name.

#include <cstdint>
#include <string>
#include <string_view>

namespace harnvik {

enum class ProtocolFault : std::uint8_t {
  kNoData,           // a text reply did not come (error, time-out or closed connection)
  kSendFailed,       // a request could not be sent
  kBadResolution,    // the screen size is outside 1..16384 on either side
  kBadBlockCount,    // more blocks than an update can hold
  kBadHeader,        // a block header without its six fields, or a field out of range
  kCellNotFound,     // no cell of that column and row from the cursor onward
  kBadCellSize,      // raw size 0, or larger than a cell of the announced screen can need
  kCellGrew,         // raw size larger than the cell's first block made it
  kBadBlockLength,   // negative, or longer than a cell of the announced screen can need
  kBadIntermediate,  // the inner run-length stream of mode 13 is longer than it can be
  kPeerClosed,       // the server closed the connection in the middle of a block
  kServerSilent,     // the server stopped sending in the middle of a block
  kReceiveFailed,    // receiving block data failed
  kUndecodable,      // the block's data does not decode in the current mode
  kOutsideCell,      // offset plus decoded length falls outside the cell
  kBadBitmap,        // a cell does not hold a whole bitmap after the update
  kOutOfMemory,      // the cell or block buffers could not be had
};

inline constexpr std::string_view kClientCaption = "Client";
inline constexpr std::string_view kSocketErrorCaption = "Client Socket Error";

// The message box text for a fault; `detail` (may be empty) completes it, `number` is the
// error number of kReceiveFailed and kSendFailed.
[[nodiscard]] std::string ProtocolFaultMessage(ProtocolFault fault, std::string_view detail = {},
                                               int number = 0);

}  // namespace harnvik
