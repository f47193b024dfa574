#pragma once
// One viewer's connection: answers the resolution request, cuts the screen into the viewer's
// grid, and on each "REFRESH" sends whole cells (the first after a grid message) or 32-bit word
// differences against what it sent last, encoded in the viewer's compression mode.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Compression.h"
#include "Palette.h"
#include "RequestParser.h"
#include "ScreenSource.h"

namespace screenserver {

struct SessionOptions {
  // Cells whose bitmap is larger go out as several blocks at increasing offsets (all modes but
  // 0, whose blocks carry whole cells).
  std::size_t maxBlockBytes = std::size_t{1} << 20;
  std::int32_t maxPasses = 4;  // mode 11
};

// Called with each request as it arrives, and with a line for each update ("<full 32>").
using TranscriptSink = std::function<void(const std::string&)>;

class ServerSession {
 public:
  ServerSession(int socket, ScreenSource& source, SessionOptions options, TranscriptSink sink);

  // Serves until the viewer says "DISCONNECT", closes, or breaks the protocol.
  void Run();

 private:
  struct CellPlace {
    std::int32_t column, row, x, y, width, height;
  };
  struct Block {
    std::int32_t passes, column, row, offset;
    std::uint32_t rawSize;
    std::vector<std::uint8_t> data;
  };

  [[nodiscard]] std::optional<Request> NextRequest();
  [[nodiscard]] bool ExpectOk();
  [[nodiscard]] bool SendText(const std::string& text);
  [[nodiscard]] bool SendBytes(const std::vector<std::uint8_t>& bytes);
  [[nodiscard]] bool SetGrid(long columns, long rows);
  [[nodiscard]] bool Update();
  void AddBlocks(const CellPlace& place, const std::vector<std::uint8_t>& bytes, std::size_t offset,
                 std::size_t cellBytes, std::vector<Block>& blocks);

  int socket_;
  ScreenSource& source_;
  SessionOptions options_;
  TranscriptSink sink_;
  std::string pending_;
  std::int32_t width_;
  std::int32_t height_;
  Compression mode_ = Compression::kHuffman;
  ColourDepth depth_ = ColourDepth::k4Bits;
  bool fullNext_ = true;
  std::vector<CellPlace> cells_;
  std::vector<std::vector<std::uint8_t>> sent_;  // each cell's bitmap as the viewer has it
  Frame frame_;
};

}  // namespace screenserver
