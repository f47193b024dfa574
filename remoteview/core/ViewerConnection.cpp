#include "ViewerConnection.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>

#include "BlockDecoder.h"
#include "ByteOrder.h"
#include "CellBitmap.h"
#include "HuffmanDecoder.h"
#include "TextNumber.h"

namespace harnvik {
namespace {

// Room a compressed block may take beyond its cell: Huffman tables, fill bits, and the few per
// cent a coder loses on data that does not compress.
constexpr std::size_t kBlockSlackBytes = 65536;

std::string Format(const char* format, auto... values) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

// Clears the in-progress mark however the update ends.
class UpdateGuard {
 public:
  explicit UpdateGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~UpdateGuard() { flag_ = false; }
  UpdateGuard(const UpdateGuard&) = delete;
  UpdateGuard& operator=(const UpdateGuard&) = delete;

 private:
  bool& flag_;
};

}  // namespace

ViewerConnection::ViewerConnection(ConnectionOptions options, MessageSink sink)
    : options_(options), sink_(std::move(sink)) {}

void ViewerConnection::Show(std::string text, std::string_view caption) {
  if (sink_) sink_(ViewerMessage{std::move(text), std::string(caption)});
}

UpdateOutcome ViewerConnection::Refuse(ProtocolFault fault, std::string_view detail, int number) {
  Show(ProtocolFaultMessage(fault, detail, number), kClientCaption);
  Disconnect();
  return UpdateOutcome::kRefused;
}

bool ViewerConnection::SendText(std::string_view text) {
  if (socket_.Send(text) == static_cast<ssize_t>(text.size())) return true;
  Refuse(ProtocolFault::kSendFailed, {}, errno);
  return false;
}

bool ViewerConnection::SendFormatted(const char* format, std::int32_t a, std::int32_t b) {
  return SendText(Format(format, a, b));
}

std::optional<std::string> ViewerConnection::ReceiveText() {
  std::uint8_t buffer[kReplyBytes];
  const ssize_t n = socket_.ReceiveSome(buffer);
  if (n <= 0) return std::nullopt;
  // The reply is text: a zero byte ends it, as it would any text.
  const auto* begin = reinterpret_cast<const char*>(buffer);
  return std::string(begin, std::find(begin, begin + n, '\0'));
}

ViewerConnection::ReceiveStatus ViewerConnection::ReceiveExact(std::span<std::uint8_t> buffer) {
  std::size_t total = 0;
  while (total < buffer.size()) {
    const ssize_t n = socket_.ReceiveSome(buffer.subspan(total));
    if (n > 0) {
      total += static_cast<std::size_t>(n);
      continue;
    }
    if (n == 0) {
      Refuse(ProtocolFault::kPeerClosed, Format("%zu of %zu bytes", total, buffer.size()));
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      Refuse(ProtocolFault::kServerSilent, Format("%zu of %zu bytes", total, buffer.size()));
    } else {
      Refuse(ProtocolFault::kReceiveFailed, {}, errno);
    }
    return ReceiveStatus::kFailed;
  }
  return ReceiveStatus::kComplete;
}

int ViewerConnection::ConnectToServer(std::string_view address) {
  if (socket_.IsOpen()) Disconnect();
  const int error = socket_.Connect(address, options_.serverPort, options_.connectTimeout);
  if (error != 0) {
    Show(Format("Connect() failed: %d", error), kSocketErrorCaption);
    return 1;
  }
  socket_.SetReceiveTimeout(options_.receiveTimeout);
  previousHeader_.reset();

  // Resolution exchange: strict request and reply, so each text arrives alone.
  if (!SendText("RESOLUTION")) return 1;
  const auto width = ReceiveText();
  if (!width) return Refuse(ProtocolFault::kNoData), 1;
  if (!SendText("OK")) return 1;
  const auto height = ReceiveText();
  if (!height) return Refuse(ProtocolFault::kNoData), 1;
  if (!SendText("OK")) return 1;
  const std::int64_t w = ReadLeadingNumber(*width);
  const std::int64_t h = ReadLeadingNumber(*height);
  if (w < 1 || w > kMaxPictureSide || h < 1 || h > kMaxPictureSide) {
    return Refuse(ProtocolFault::kBadResolution,
                  Format("%lld x %lld", static_cast<long long>(w), static_cast<long long>(h))),
           1;
  }
  remoteWidth_ = static_cast<std::int32_t>(w);
  remoteHeight_ = static_cast<std::int32_t>(h);

  if (!SetGrid()) return 1;
  if (!SendFormatted("WM_COMP;%d;0;0;0;", ModeNumber(settings_.mode))) return 1;
  // The colour message belongs to the colour command, but a depth chosen before this
  // connection would otherwise be lost on the server's side; the default needs no message.
  if (settings_.colourDepth != kServerDefaultColourDepth &&
      !SendFormatted("WM_CMOD;%d;0;0;0;", settings_.colourDepth)) {
    return 1;
  }
  connected_ = true;
  if (RefreshScreen(UpdateKind::kFull) == UpdateOutcome::kRefused) return 1;
  return 0;
}

bool ViewerConnection::SetGrid() {
  grid_.Clear();
  if (!SendFormatted("WM_GRID;%d;%d;0;0;", settings_.columns, settings_.rows)) return false;
  // Counts above the limit are kept out by the settings; should one get here the grid has no
  // cell, and the server's first block is refused as one for a missing cell.
  (void)grid_.Build(settings_.columns, settings_.rows, remoteWidth_, remoteHeight_);
  return true;
}

UpdateOutcome ViewerConnection::RefreshScreen(UpdateKind kind) {
  // A message box's own loop may deliver a timer tick in the middle of an update.
  if (!socket_.IsOpen() || updateInProgress_) return UpdateOutcome::kSkipped;
  UpdateGuard guard(updateInProgress_);
  return RunUpdate(kind);
}

UpdateOutcome ViewerConnection::RunUpdate(UpdateKind kind) {
  if (!SendText("REFRESH")) return UpdateOutcome::kRefused;
  const auto countText = ReceiveText();
  if (!countText) return Refuse(ProtocolFault::kNoData);
  if (!SendText("OK")) return UpdateOutcome::kRefused;
  const std::int64_t count = ReadLeadingNumber(*countText);
  if (count <= 0) return UpdateOutcome::kNothing;
  if (count > kMaxBlocksPerUpdate) {
    return Refuse(ProtocolFault::kBadBlockCount, Format("%lld", static_cast<long long>(count)));
  }

  std::size_t cursor = 0;
  std::vector<bool> touched(grid_.Cells().size(), false);
  for (std::int64_t block = 0; block < count; ++block) {
    if (!ReceiveBlock(kind, cursor, touched)) return UpdateOutcome::kRefused;
  }
  if (!FinishUpdate(kind, touched)) return UpdateOutcome::kRefused;
  if (kind == UpdateKind::kFull) imagePresent_ = true;
  return UpdateOutcome::kUpdated;
}

bool ViewerConnection::ReceiveBlock(UpdateKind kind, std::size_t& cursor,
                                    std::vector<bool>& touched) {
  const auto text = ReceiveText();
  if (!text) return Refuse(ProtocolFault::kNoData), false;
  const ParsedHeader parsed = ParseBlockHeader(*text);
  BlockHeader header;
  switch (parsed.status) {
    case HeaderParse::kFields:
      header = parsed.header;
      break;
    case HeaderParse::kNoFields:
      // A header without any ";" repeats the previous block's fields.
      if (!previousHeader_) return Refuse(ProtocolFault::kBadHeader, "no earlier block"), false;
      header = *previousHeader_;
      break;
    case HeaderParse::kWrongFieldCount:
    case HeaderParse::kOutOfRange:
      return Refuse(ProtocolFault::kBadHeader, *text), false;
  }
  previousHeader_ = header;

  const std::size_t maxCell = grid_.MaxCellBytes();
  if (header.rawSize == 0 || header.rawSize > maxCell) {
    return Refuse(ProtocolFault::kBadCellSize,
                  Format("%u bytes where at most %zu fit", header.rawSize, maxCell)),
           false;
  }
  if (header.length < 0 ||
      static_cast<std::size_t>(header.length) > 2 * maxCell + kBlockSlackBytes) {
    return Refuse(ProtocolFault::kBadBlockLength, Format("%d bytes", header.length)), false;
  }
  const CompressionMode mode = settings_.mode;
  if (mode == CompressionMode::kMultiPassHuffman &&
      (header.passes < 1 || header.passes > kMaxHuffmanPasses)) {
    return Refuse(ProtocolFault::kUndecodable, Format("%d Huffman passes", header.passes)), false;
  }
  GridCell* cell = grid_.FindFrom(cursor, header.column, header.row);
  if (cell == nullptr) {
    // The server waits for an "OK" that cannot come: the only way on is to close the link.
    return Refuse(ProtocolFault::kCellNotFound,
                  Format("column %d, row %d", header.column, header.row)),
           false;
  }
  try {
    if (!cell->HasBuffers()) {
      cell->pixels.assign(header.rawSize, 0);
      cell->decode.assign(header.rawSize, 0);
    } else if (header.rawSize > cell->pixels.size()) {
      return Refuse(ProtocolFault::kCellGrew,
                    Format("from %zu to %u bytes", cell->pixels.size(), header.rawSize)),
             false;
    }
    blockBuffer_.resize(std::max<std::size_t>(header.rawSize, header.length));
  } catch (const std::bad_alloc&) {
    return Refuse(ProtocolFault::kOutOfMemory), false;
  }

  if (!SendText("OK")) return false;
  const auto received = std::span(blockBuffer_).first(static_cast<std::size_t>(header.length));
  if (ReceiveExact(received) != ReceiveStatus::kComplete) return false;

  const std::size_t cellBytes = cell->pixels.size();
  if (mode == CompressionMode::kRunLengthHuffman) {
    // The inner run-length stream is at most 9 bits a byte of its output plus a word or two.
    const auto inner = StreamOutputLength(received);
    const std::size_t limit = 2 * cellBytes + 64;
    if (inner && *inner > limit) {
      return Refuse(ProtocolFault::kBadIntermediate, Format("%u bytes", *inner)), false;
    }
    try {
      scratch_.resize(inner ? *inner : 0);
    } catch (const std::bad_alloc&) {
      return Refuse(ProtocolFault::kOutOfMemory), false;
    }
  }
  const BlockDecodeRequest request{mode, header.passes, header.rawSize, received.size()};
  const DecodeResult decoded = DecodeBlock(request, blockBuffer_, cell->decode, scratch_);
  if (!decoded.Ok()) {
    return Refuse(ProtocolFault::kUndecodable, DecodeStatusText(decoded.status)), false;
  }

  const std::size_t n = decoded.length;
  if (header.offset < 0 || static_cast<std::size_t>(header.offset) > cellBytes ||
      n > cellBytes - static_cast<std::size_t>(header.offset)) {
    return Refuse(ProtocolFault::kOutsideCell,
                  Format("%zu bytes at offset %d in a cell of %zu", n, header.offset, cellBytes)),
           false;
  }
  std::uint8_t* target = cell->pixels.data() + header.offset;
  if (kind == UpdateKind::kFull) {
    std::copy_n(cell->decode.data(), n, target);
    cell->hasImage = true;
  } else {
    // Differences are whole 32-bit words added modulo 2^32; a tail of 1 to 3 bytes is ignored.
    for (std::size_t i = 0; i + 4 <= n; i += 4) {
      StoreLe32(target + i, LoadLe32(target + i) + LoadLe32(cell->decode.data() + i));
    }
  }
  touched[cursor] = true;
  return SendText("OK");
}

bool ViewerConnection::FinishUpdate(UpdateKind kind, const std::vector<bool>& touched) {
  // The canvas changes only once every cell it will show has been checked, so a refused update
  // leaves the last good picture on screen.
  auto& cells = grid_.Cells();
  const bool redrawAll = kind == UpdateKind::kFull || canvas_.Width() != remoteWidth_ ||
                         canvas_.Height() != remoteHeight_;
  std::vector<CellBitmapInfo> infos(cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!cells[i].hasImage || !(redrawAll || touched[i])) continue;
    const BitmapCheck check = InspectCellBitmap(cells[i].pixels);
    if (check.fault != BitmapFault::kNone) {
      Refuse(ProtocolFault::kBadBitmap,
             Format("column %d, row %d: %s", cells[i].column, cells[i].row,
                    std::string(BitmapFaultText(check.fault)).c_str()));
      return false;
    }
    infos[i] = check.info;
  }
  if (redrawAll) canvas_.Reset(remoteWidth_, remoteHeight_);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (infos[i].width == 0) continue;
    RenderCellBitmap(cells[i].pixels, infos[i], canvas_, cells[i].x0, cells[i].y0);
  }
  return true;
}

UpdateOutcome ViewerConnection::ChangeCompression(CompressionMode mode) {
  settings_.mode = mode;
  if (!connected_) return UpdateOutcome::kSkipped;
  if (!SendFormatted("WM_COMP;%d;0;0;0;", ModeNumber(mode)) || !SetGrid()) {
    return UpdateOutcome::kRefused;
  }
  return RefreshScreen(UpdateKind::kFull);
}

UpdateOutcome ViewerConnection::ChangeGrid(std::int32_t columns, std::int32_t rows) {
  const bool changed = columns != settings_.columns || rows != settings_.rows;
  settings_.columns = columns;
  settings_.rows = rows;
  if (!connected_ || !changed) return UpdateOutcome::kSkipped;
  if (!SetGrid()) return UpdateOutcome::kRefused;
  return RefreshScreen(UpdateKind::kFull);
}

UpdateOutcome ViewerConnection::ChangeColourDepth(std::uint16_t depth) {
  settings_.colourDepth = depth;
  if (!connected_) return UpdateOutcome::kSkipped;
  if (!SendFormatted("WM_CMOD;%d;0;0;0;", depth) || !SetGrid()) return UpdateOutcome::kRefused;
  return RefreshScreen(UpdateKind::kFull);
}

void ViewerConnection::Disconnect() {
  if (socket_.IsOpen()) {
    // No reply is awaited, and a link that already failed cannot carry it: ignore the result.
    (void)socket_.Send(std::string_view("DISCONNECT"));
    socket_.Close();
  }
  connected_ = false;
}

}  // namespace harnvik
