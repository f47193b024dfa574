#include "ProtocolFault.h"

#include <array>
#include <cstdio>
#include <utility>

namespace harnvik {
namespace {

constexpr std::string_view kClosed = " The connection was closed; the last picture stays.";

constexpr std::array<std::pair<ProtocolFault, std::string_view>, 17> kFaultTexts{{
    {ProtocolFault::kNoData, "NO DATA or SOCKET ERROR"},
    {ProtocolFault::kSendFailed, "The request could not be sent to the screen server (error %d)."},
    {ProtocolFault::kBadResolution,
     "The screen server announced a screen size outside 1 x 1 to 16384 x 16384."},
    {ProtocolFault::kBadBlockCount, "The screen server announced too many blocks for one update."},
    {ProtocolFault::kBadHeader, "The screen server sent a block header without its six fields."},
    {ProtocolFault::kCellNotFound,
     "The screen server sent a block for a cell that is not next in the grid."},
    {ProtocolFault::kBadCellSize,
     "The screen server sent a cell larger than the announced screen allows."},
    {ProtocolFault::kCellGrew, "The screen server made a cell larger than its first block did."},
    {ProtocolFault::kBadBlockLength,
     "The screen server announced a block longer than a cell can need."},
    {ProtocolFault::kBadIntermediate,
     "The screen server sent a block whose inner stream is longer than a cell can need."},
    {ProtocolFault::kPeerClosed,
     "The screen server closed the connection in the middle of a block."},
    {ProtocolFault::kServerSilent, "The screen server stopped sending in the middle of a block."},
    {ProtocolFault::kReceiveFailed, "WSARecv failed with error %d\n"},
    {ProtocolFault::kUndecodable, "The screen server sent a block that does not decode"},
    {ProtocolFault::kOutsideCell,
     "The screen server sent a block whose data falls outside its cell."},
    {ProtocolFault::kBadBitmap, "The screen server sent a cell that is not a valid bitmap"},
    {ProtocolFault::kOutOfMemory, "There is not enough memory for the screen server's picture."},
}};

}  // namespace

std::string ProtocolFaultMessage(ProtocolFault fault, std::string_view detail, int number) {
  std::string_view format = "The screen server broke the protocol.";
  for (const auto& [f, text] : kFaultTexts) {
    if (f == fault) format = text;
  }
  std::string message;
  if (format.find("%d") != std::string_view::npos) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, std::string(format).c_str(), number);
    message = buffer;
  } else {
    message = format;
  }
  if (fault == ProtocolFault::kNoData || fault == ProtocolFault::kReceiveFailed) return message;
  if (!detail.empty()) {
    if (message.ends_with('.')) message.pop_back();
    message += " (";
    message += detail;
    message += ").";
  }
  message += kClosed;
  return message;
}

}  // namespace harnvik
