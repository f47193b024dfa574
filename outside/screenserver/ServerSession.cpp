#include "ServerSession.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "BlockEncoder.h"
#include "CellBitmapWriter.h"

namespace screenserver {
namespace {

// Grid counts a viewer may ask for; its own dialog allows 20.
constexpr long kMaxGridCount = 256;

const Palette& PaletteFor(ColourDepth depth) {
  static const Palette k4(ColourDepth::k4Bits);
  static const Palette k8(ColourDepth::k8Bits);
  return depth == ColourDepth::k4Bits ? k4 : k8;
}

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

}  // namespace

ServerSession::ServerSession(int socket, ScreenSource& source, SessionOptions options,
                             TranscriptSink sink)
    : socket_(socket),
      source_(source),
      options_(options),
      sink_(std::move(sink)),
      width_(source.Width()),
      height_(source.Height()) {
  (void)SetGrid(8, 4);
}

std::optional<Request> ServerSession::NextRequest() {
  for (;;) {
    Request request;
    std::size_t consumed = 0;
    switch (ParseRequest(pending_, request, consumed)) {
      case RequestScan::kComplete:
        pending_.erase(0, consumed);
        if (sink_) sink_(request.text);
        return request;
      case RequestScan::kNotProtocol:
        if (sink_) sink_("<not protocol: " + pending_.substr(0, 40) + ">");
        return std::nullopt;
      case RequestScan::kNeedMore:
        break;
    }
    char buffer[256];
    const ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

bool ServerSession::ExpectOk() {
  const auto request = NextRequest();
  return request && request->kind == RequestKind::kOk;
}

bool ServerSession::SendBytes(const std::vector<std::uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool ServerSession::SendText(const std::string& text) {
  return SendBytes(std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool ServerSession::SetGrid(long columns, long rows) {
  if (columns > kMaxGridCount || rows > kMaxGridCount) return false;
  // The viewer's rules: with both counts positive, columns x rows cells column by column;
  // otherwise max(columns, rows) cells along the positive axis, one cell across the other.
  const auto c = static_cast<std::int32_t>(columns);
  const auto r = static_cast<std::int32_t>(rows);
  const std::int32_t cellWidth = c > 0 ? width_ / c : width_;
  const std::int32_t cellHeight = r > 0 ? height_ / r : height_;
  cells_.clear();
  auto add = [&](std::int32_t column, std::int32_t row) {
    cells_.push_back({column, row, column * cellWidth, row * cellHeight, cellWidth, cellHeight});
  };
  if (c > 0 && r > 0) {
    for (std::int32_t column = 0; column < c; ++column) {
      for (std::int32_t row = 0; row < r; ++row) add(column, row);
    }
  } else {
    for (std::int32_t i = 0; i < std::max(c, r); ++i) add(c > 0 ? i : 0, r > 0 ? i : 0);
  }
  sent_.assign(cells_.size(), {});
  fullNext_ = true;
  return true;
}

void ServerSession::Run() {
  for (;;) {
    const auto request = NextRequest();
    if (!request) return;
    switch (request->kind) {
      case RequestKind::kResolution:
        if (!SendText(std::to_string(width_)) || !ExpectOk()) return;
        if (!SendText(std::to_string(height_)) || !ExpectOk()) return;
        break;
      case RequestKind::kGrid:
        if (!SetGrid(request->numbers[0], request->numbers[1])) return;
        break;
      case RequestKind::kCompression: {
        const auto mode = CompressionFromNumber(request->numbers[0]);
        if (!mode) return;
        mode_ = *mode;
        break;
      }
      case RequestKind::kColour:
        if (request->numbers[0] != 4 && request->numbers[0] != 8) return;
        depth_ = static_cast<ColourDepth>(request->numbers[0]);
        // Bitmaps of the new depth have another size; the viewer follows with a grid message
        // and a whole update, which this makes sure of.
        fullNext_ = true;
        break;
      case RequestKind::kRefresh:
        if (!Update()) return;
        break;
      case RequestKind::kDisconnect:
        return;
      case RequestKind::kOk:
        break;
    }
  }
}

void ServerSession::AddBlocks(const CellPlace& place, const std::vector<std::uint8_t>& bytes,
                              std::size_t offset, std::size_t cellBytes,
                              std::vector<Block>& blocks) {
  if (mode_ == Compression::kNone) {
    // Mode 0 takes "raw size" bytes from the block, so raw size is this stretch's length.
    blocks.push_back({1, place.column, place.row, static_cast<std::int32_t>(offset),
                      static_cast<std::uint32_t>(bytes.size()), bytes});
    return;
  }
  const std::size_t piece = std::max<std::size_t>(options_.maxBlockBytes / 4 * 4, 4);
  for (std::size_t start = 0; start < bytes.size(); start += piece) {
    const std::size_t count = std::min(piece, bytes.size() - start);
    EncodedBlock encoded =
        EncodeBlock(mode_, std::span(bytes).subspan(start, count), cellBytes, options_.maxPasses);
    blocks.push_back({encoded.passes, place.column, place.row,
                      static_cast<std::int32_t>(offset + start),
                      static_cast<std::uint32_t>(cellBytes), std::move(encoded.data)});
  }
}

bool ServerSession::Update() {
  source_.Capture(frame_);
  const Palette& palette = PaletteFor(depth_);
  const bool full = fullNext_;
  fullNext_ = false;
  std::vector<Block> blocks;
  std::vector<std::uint8_t> bitmap;
  std::vector<std::uint8_t> stretch;
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    const CellPlace& place = cells_[i];
    if (place.width <= 0 || place.height <= 0) continue;  // nothing to show in this cell
    WriteCellBitmap(frame_, place.x, place.y, place.width, place.height, palette, bitmap);
    std::vector<std::uint8_t>& previous = sent_[i];
    if (full || previous.size() != bitmap.size()) {
      AddBlocks(place, bitmap, 0, bitmap.size(), blocks);
      previous = bitmap;
      continue;
    }
    // Differences word by word, modulo 2^32; only the stretch from the first to the last
    // changed word travels.
    const std::size_t words = bitmap.size() / 4;
    std::size_t first = words;
    std::size_t last = 0;
    for (std::size_t w = 0; w < words; ++w) {
      if (Le32(&bitmap[4 * w]) != Le32(&previous[4 * w])) {
        if (first == words) first = w;
        last = w;
      }
    }
    if (first == words) continue;
    stretch.clear();
    for (std::size_t w = first; w <= last; ++w) {
      AppendLe32(stretch, Le32(&bitmap[4 * w]) - Le32(&previous[4 * w]));
    }
    AddBlocks(place, stretch, 4 * first, bitmap.size(), blocks);
    previous = bitmap;
  }

  if (sink_) sink_((full ? "<full " : "<incremental ") + std::to_string(blocks.size()) + ">");
  if (!SendText(std::to_string(blocks.size())) || !ExpectOk()) return false;
  for (const Block& block : blocks) {
    char header[96];
    std::snprintf(header, sizeof header, "%d;%d;%d;%d;%u;%zu;", block.passes, block.column,
                  block.row, block.offset, block.rawSize, block.data.size());
    if (!SendText(header) || !ExpectOk()) return false;
    if (!SendBytes(block.data) || !ExpectOk()) return false;
  }
  return true;
}

}  // namespace screenserver
