// A scripted fake server sends each kind of broken reply. Every one is refused: the viewer
// reports it, disconnects, and the last good picture stays; nothing crashes (these run under
// AddressSanitizer too) and nothing hangs.

#include <gtest/gtest.h>

#include "CellBitmap.h"
#include "HuffmanEncoder.h"
#include "RunLengthEncoder.h"
#include "TestSupport.h"

namespace harnvik {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Blocks = std::vector<std::pair<std::string, Bytes>>;
using screenserver::ColourDepth;
using screenserver::RequestKind;
using testing::FakePeer;
using testing::FakeServer;
using testing::Header;
using testing::SolidCellBitmap;

constexpr std::int32_t kWidth = 16;
constexpr std::int32_t kHeight = 8;

// The good picture: a 16 x 8 screen in one cell, mode 0, solid red.
Bytes GoodCell() {
  return SolidCellBitmap(kWidth, kHeight, 0xFF0000, ColourDepth::k4Bits);
}

struct Hostile {
  const char* name;
  CompressionMode mode;
  std::int32_t columns = 1;
  std::int32_t rows = 1;
  // What the server does once the viewer asks for its first incremental update.
  std::function<void(FakePeer&)> broken;
  const char* expected;  // part of the message the viewer shows
};

void RunHostile(const Hostile& h, std::chrono::milliseconds receiveTimeout) {
  SCOPED_TRACE(h.name);
  bool reachedBrokenReply = false;
  FakeServer server([&](FakePeer& peer) {
    if (!peer.Handshake(std::to_string(kWidth), std::to_string(kHeight))) return;
    Blocks good;
    const Bytes cell = GoodCell();
    // One good block per cell of the grid, encoded for the mode.
    const std::int32_t columns = std::max(h.columns, 1);
    const std::int32_t rows = std::max(h.rows, 1);
    const std::int32_t cellWidth = kWidth / columns;
    const std::int32_t cellHeight = kHeight / rows;
    const Bytes bitmap = SolidCellBitmap(cellWidth, cellHeight, 0xFF0000, ColourDepth::k4Bits);
    Bytes data = bitmap;
    if (h.mode == CompressionMode::kHuffman || h.mode == CompressionMode::kMultiPassHuffman) {
      data = screenserver::HuffmanEncode(bitmap);
    } else if (h.mode == CompressionMode::kRunLength) {
      data = screenserver::RunLengthEncode(bitmap);
    } else if (h.mode == CompressionMode::kRunLengthHuffman) {
      data = screenserver::HuffmanEncode(screenserver::RunLengthEncode(bitmap));
    }
    for (std::int32_t c = 0; c < columns; ++c) {
      for (std::int32_t r = 0; r < rows; ++r) {
        good.push_back({Header(1, c, r, 0, bitmap.size(), std::int64_t(data.size())), data});
      }
    }
    if (!peer.SendUpdate(good) || !peer.Expect(RequestKind::kRefresh)) return;
    reachedBrokenReply = true;
    h.broken(peer);
    peer.AwaitClose();
  });

  testing::MessageLog log;
  ViewerConnection viewer(testing::TestConnectionOptions(server.Port(), receiveTimeout),
                          log.Sink());
  viewer.Settings().mode = h.mode;
  viewer.Settings().columns = h.columns;
  viewer.Settings().rows = h.rows;
  ASSERT_EQ(viewer.ConnectToServer("127.0.0.1"), 0) << log.All();
  const auto good = viewer.Canvas().Pixels();
  const std::vector<std::uint32_t> goodPicture(good.begin(), good.end());
  ASSERT_EQ(goodPicture.front(), 0xFFFF0000u);

  EXPECT_EQ(viewer.RefreshScreen(UpdateKind::kIncremental), UpdateOutcome::kRefused);
  EXPECT_FALSE(viewer.Connected());
  ASSERT_EQ(log.Count(), 1u) << log.All();
  EXPECT_NE(log.messages[0].text.find(h.expected), std::string::npos) << log.All();
  EXPECT_EQ(log.messages[0].caption, "Client");
  const auto after = viewer.Canvas().Pixels();
  EXPECT_EQ(std::vector<std::uint32_t>(after.begin(), after.end()), goodPicture);
  server.Finish();
  EXPECT_TRUE(reachedBrokenReply);
}

void SendBlocks(FakePeer& peer, const Blocks& blocks) {
  peer.SendUpdate(blocks);
}

// Sends the count, then this header, and (if the viewer acknowledges) these bytes.
std::function<void(FakePeer&)> OneBlock(std::string header, Bytes data, std::string count = "1") {
  return [header, data, count](FakePeer& peer) {
    peer.Send(count);
    if (!peer.Expect(RequestKind::kOk)) return;
    peer.Send(header);
    if (!peer.Expect(RequestKind::kOk)) return;
    peer.SendBytes(data);
    (void)peer.Expect(RequestKind::kOk);
  };
}

// Differences for a whole cell (mode 0) that change only what `patch` sets in them.
std::function<void(FakePeer&)> PatchedCell(std::function<void(Bytes&)> patch) {
  Bytes cell(GoodCell().size(), 0);
  patch(cell);
  return OneBlock(Header(1, 0, 0, 0, cell.size(), std::int64_t(cell.size())), cell);
}

void SetLe32(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
  b[at + 2] = std::uint8_t(v >> 16);
  b[at + 3] = std::uint8_t(v >> 24);
}

TEST(HostileServer, EveryBrokenLimitIsRefused) {
  const std::size_t cellBytes = GoodCell().size();
  const std::size_t raw = cellBytes;
  const auto cellSize = std::int64_t(raw);
  const std::vector<Hostile> cases{
      {"TooManyBlocks", CompressionMode::kNone, 1, 1, OneBlock("", {}, "100000000"),
       "too many blocks"},
      {"HeaderWithFiveFields", CompressionMode::kNone, 1, 1, OneBlock("1;0;0;0;1184;", {}),
       "six fields"},
      {"HeaderWithSevenFields", CompressionMode::kNone, 1, 1, OneBlock("1;0;0;0;1184;1184;9;", {}),
       "six fields"},
      {"HeaderFieldOutOfRange", CompressionMode::kNone, 1, 1,
       OneBlock("1;0;0;0;99999999999;5;", {}), "six fields"},
      {"CellNotInTheGrid", CompressionMode::kNone, 1, 1,
       OneBlock(Header(1, 5, 0, 0, raw, cellSize), GoodCell()), "not next in the grid"},
      {"CellBehindTheCursor", CompressionMode::kNone, 1, 2,
       [&](FakePeer& peer) {
         const Bytes half = SolidCellBitmap(kWidth, kHeight / 2, 0x00FF00, ColourDepth::k4Bits);
         const auto n = std::int64_t(half.size());
         SendBlocks(peer, {{Header(1, 0, 1, 0, half.size(), n), half},
                           {Header(1, 0, 0, 0, half.size(), n), half}});
       },
       "not next in the grid"},
      {"RawSizeZero", CompressionMode::kNone, 1, 1, OneBlock(Header(1, 0, 0, 0, 0, 4), Bytes(4)),
       "larger than the announced screen"},
      {"RawSizeBeyondTheScreen", CompressionMode::kNone, 1, 1,
       OneBlock(Header(1, 0, 0, 0, 2000000, 4), Bytes(4)), "larger than the announced screen"},
      {"RawSizeGrows", CompressionMode::kNone, 1, 1,
       OneBlock(Header(1, 0, 0, 0, raw + 4, cellSize + 4), Bytes(raw + 4)),
       "larger than its first block"},
      {"NegativeLength", CompressionMode::kNone, 1, 1, OneBlock(Header(1, 0, 0, 0, raw, -5), {}),
       "block longer"},
      {"LengthBeyondAnyCell", CompressionMode::kNone, 1, 1,
       OneBlock(Header(1, 0, 0, 0, raw, 100000000), {}), "block longer"},
      {"OffsetPastTheCell", CompressionMode::kNone, 1, 1,
       OneBlock(Header(1, 0, 0, std::int32_t(raw) - 8, 16, 16), Bytes(16)), "outside its cell"},
      {"DataRunsPastTheCell", CompressionMode::kNone, 1, 1,
       OneBlock(Header(1, 0, 0, 4, raw, cellSize), Bytes(raw)), "outside its cell"},
      {"NegativeOffset", CompressionMode::kNone, 1, 1,
       OneBlock(Header(1, 0, 0, -4, 16, 16), Bytes(16)), "outside its cell"},
      {"HuffmanOutputBeyondTheCell", CompressionMode::kHuffman, 1, 1,
       OneBlock(Header(1, 0, 0, 0, raw, 0), {}),  // replaced below
       "does not decode"},
      {"HuffmanTableNamesAMissingNode", CompressionMode::kHuffman, 1, 1,
       OneBlock(Header(1, 0, 0, 0, raw, 16),
                {4, 0, 0, 0, 3, 0, 1, 1, 0x61, 0, 0x2C, 1, 0, 0, 0, 0}),
       "missing node"},
      {"HuffmanLengthZero", CompressionMode::kHuffman, 1, 1,
       OneBlock(Header(1, 0, 0, 0, raw, 16),
                {0, 0, 0, 0, 3, 0, 1, 1, 0x61, 0, 0x62, 0, 0, 0, 0, 0}),
       "length 0"},
      {"ZeroPasses", CompressionMode::kMultiPassHuffman, 1, 1,
       OneBlock(Header(0, 0, 0, 0, raw, 16), Bytes(16)), "0 Huffman passes"},
      {"PassCountAbsurd", CompressionMode::kMultiPassHuffman, 1, 1,
       OneBlock(Header(2000000000, 0, 0, 0, raw, 16), Bytes(16)), "Huffman passes"},
      {"InnerStreamTooLong", CompressionMode::kRunLengthHuffman, 1, 1,
       OneBlock(Header(1, 0, 0, 0, raw, 16),
                {0xFF, 0xFF, 0xFF, 0x7F, 3, 0, 1, 1, 1, 0, 2, 0, 0, 0, 0, 0}),
       "inner stream"},
      {"RunPastTheEnd", CompressionMode::kRunLength, 1, 1,
       // A run of 100 bytes of 0x61 in a stream of 8.
       OneBlock(Header(1, 0, 0, 0, raw, 8), {8, 0, 0, 0, 0x00, 0x20, 0x8C, 0x0C}), "run longer"},
      // Differences to the good cell's header: colours used 0 -> 5, bit count 4 -> 24,
      // compression 0 -> 2, height 8 -> 9, header size 40 -> 40 + 0x7F00.
      {"PartialColourTable", CompressionMode::kNone, 1, 1, PatchedCell([](Bytes& b) { b[32] = 5; }),
       "colour table"},
      {"TwentyFourBitCell", CompressionMode::kNone, 1, 1, PatchedCell([](Bytes& b) { b[14] = 20; }),
       "colour depth"},
      {"CompressedBitmap", CompressionMode::kNone, 1, 1, PatchedCell([](Bytes& b) { b[16] = 2; }),
       "compressed"},
      {"RowsPastTheCell", CompressionMode::kNone, 1, 1, PatchedCell([](Bytes& b) { b[8] = 1; }),
       "beyond the end"},
      {"HeaderSizeBeyondTheCell", CompressionMode::kNone, 1, 1,
       PatchedCell([](Bytes& b) { b[1] = 0x7F; }), "wrong size"},
      {"NoCountButClosed", CompressionMode::kNone, 1, 1, [](FakePeer& peer) { peer.Close(); },
       "NO DATA or SOCKET ERROR"},
      {"ClosedMidBlock", CompressionMode::kNone, 1, 1,
       [&](FakePeer& peer) {
         peer.Send("1");
         if (!peer.Expect(RequestKind::kOk)) return;
         peer.Send(Header(1, 0, 0, 0, raw, cellSize));
         if (!peer.Expect(RequestKind::kOk)) return;
         peer.SendBytes(Bytes(raw / 2));
         peer.Close();
       },
       "closed the connection in the middle of a block"},
      {"SilentMidBlock", CompressionMode::kNone, 1, 1,
       [&](FakePeer& peer) {
         peer.Send("1");
         if (!peer.Expect(RequestKind::kOk)) return;
         peer.Send(Header(1, 0, 0, 0, raw, cellSize));
         if (!peer.Expect(RequestKind::kOk)) return;
         peer.SendBytes(Bytes(raw / 2));
       },
       "stopped sending"},
  };
  (void)cellBytes;
  for (Hostile h : cases) {
    if (std::string_view(h.name) == "HuffmanOutputBeyondTheCell") {
      const Bytes big = screenserver::HuffmanEncode(Bytes(raw + 100, 7));
      h.broken = OneBlock(Header(1, 0, 0, 0, raw, std::int64_t(big.size())), big);
    }
    RunHostile(h, std::chrono::milliseconds(400));
  }
}

TEST(HostileServer, ABadResolutionIsRefusedAtConnection) {
  for (const auto& [width, height] : std::vector<std::pair<std::string, std::string>>{
           {"16385", "10"}, {"10", "99999999999"}, {"abc", "10"}, {"-4", "10"}, {"10", "0"}}) {
    SCOPED_TRACE(width + " x " + height);
    FakeServer server([&](FakePeer& peer) {
      (void)peer.Expect(RequestKind::kResolution);
      peer.Send(width);
      (void)peer.Expect(RequestKind::kOk);
      peer.Send(height);
      (void)peer.Expect(RequestKind::kOk);
      peer.AwaitClose();
    });
    testing::MessageLog log;
    ViewerConnection viewer(testing::TestConnectionOptions(server.Port()), log.Sink());
    EXPECT_EQ(viewer.ConnectToServer("127.0.0.1"), 1);
    EXPECT_FALSE(viewer.Connected());
    EXPECT_NE(log.All().find("screen size outside"), std::string::npos) << log.All();
  }
}

TEST(HostileServer, AServerThatAnswersNothingDoesNotHangTheConnection) {
  FakeServer server([](FakePeer& peer) {
    (void)peer.Expect(RequestKind::kResolution);
    peer.AwaitClose();
  });
  testing::MessageLog log;
  ViewerConnection viewer(
      testing::TestConnectionOptions(server.Port(), std::chrono::milliseconds(300)), log.Sink());
  EXPECT_EQ(viewer.ConnectToServer("127.0.0.1"), 1);
  EXPECT_EQ(log.All(), "[Client] NO DATA or SOCKET ERROR\n");
}

// The protocol's quieter edges, which are not faults.
TEST(ServerEdges, HeaderWithoutFieldsRepeatsThePreviousOne) {
  FakeServer server([](FakePeer& peer) {
    if (!peer.Handshake("16", "8")) return;
    const Bytes cell = GoodCell();
    const auto n = std::int64_t(cell.size());
    peer.SendUpdate(
        {{Header(1, 0, 0, 0, cell.size(), n), Bytes(cell.size(), 0)}, {"same again", cell}});
    peer.AwaitClose();
  });
  testing::MessageLog log;
  ViewerConnection viewer(testing::TestConnectionOptions(server.Port()), log.Sink());
  viewer.Settings().mode = CompressionMode::kNone;
  ASSERT_EQ(viewer.ConnectToServer("127.0.0.1"), 0) << log.All();
  EXPECT_EQ(viewer.Canvas().Pixel(3, 3), 0xFFFF0000u);
}

TEST(HostileServer, AFirstHeaderWithoutFieldsHasNothingToRepeat) {
  FakeServer server([](FakePeer& peer) {
    if (!peer.Handshake("16", "8")) return;
    peer.Send("1");
    if (!peer.Expect(RequestKind::kOk)) return;
    peer.Send("no fields");
    peer.AwaitClose();
  });
  testing::MessageLog log;
  ViewerConnection viewer(testing::TestConnectionOptions(server.Port()), log.Sink());
  EXPECT_EQ(viewer.ConnectToServer("127.0.0.1"), 1);
  EXPECT_NE(log.All().find("six fields (no earlier block)"), std::string::npos) << log.All();
  EXPECT_FALSE(viewer.ImagePresent());
}

TEST(ServerEdges, IncrementalWordsAddModulo2To32AndTailBytesAreIgnored) {
  const Bytes cell = GoodCell();
  const std::size_t word = 40 + 64;  // the first pixel word
  FakeServer server([&](FakePeer& peer) {
    if (!peer.Handshake("16", "8")) return;
    Bytes first = cell;
    SetLe32(first, word, 0xFFFFFFFFu);
    SetLe32(first, word + 4, 0x01020304u);
    if (!peer.SendUpdate({{Header(1, 0, 0, 0, first.size(), std::int64_t(first.size())), first}}))
      return;
    if (!peer.Expect(RequestKind::kRefresh)) return;
    // Mode 0: raw size is the stretch's length; 1, 0 and a tail of two bytes.
    Bytes diff{1, 0, 0, 0, 0, 0, 0, 0, 0x55, 0x55};
    peer.SendUpdate({{Header(1, 0, 0, std::int32_t(word), diff.size(), 10), diff}});
    if (!peer.Expect(RequestKind::kRefresh)) return;
    peer.Send("0");
    (void)peer.Expect(RequestKind::kOk);  // a count of 0 still gets its "OK"
    peer.AwaitClose();
  });
  testing::MessageLog log;
  ViewerConnection viewer(testing::TestConnectionOptions(server.Port()), log.Sink());
  viewer.Settings().mode = CompressionMode::kNone;
  ASSERT_EQ(viewer.ConnectToServer("127.0.0.1"), 0) << log.All();
  ASSERT_EQ(viewer.RefreshScreen(UpdateKind::kIncremental), UpdateOutcome::kUpdated) << log.All();
  const Bytes& pixels = viewer.Grid().Cells()[0].pixels;
  EXPECT_EQ(Bytes(pixels.begin() + word, pixels.begin() + word + 12),
            (Bytes{0, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, cell[word + 8], cell[word + 9],
                   cell[word + 10], cell[word + 11]}));
  EXPECT_EQ(viewer.RefreshScreen(UpdateKind::kIncremental), UpdateOutcome::kNothing);
  viewer.Disconnect();
  EXPECT_TRUE(server.Finish().empty());
}

}  // namespace
}  // namespace harnvik
