// The viewer's connection against the real screen server on loopback: the request sequences,
// whole and incremental updates that reproduce the served picture exactly in every mode and
// depth, the reconfiguration sequences and the grid's edge cases.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "CellBitmap.h"
#include "TestSupport.h"

namespace harnvik {
namespace {

using screenserver::ColourDepth;
using screenserver::Frame;
using testing::ExpectedCanvas;
using testing::PatternFrame;
using testing::ServedScreen;

std::vector<std::uint32_t> CanvasPixels(const ViewerConnection& viewer) {
  const auto pixels = viewer.Canvas().Pixels();
  return {pixels.begin(), pixels.end()};
}

// Counts the pixels that differ, so a failure says how far off the picture is.
std::size_t Differences(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  if (a.size() != b.size()) return std::max(a.size(), b.size());
  std::size_t n = 0;
  for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

TEST(ViewerProtocol, ConnectionSequenceAndFirstFullUpdate) {
  ServedScreen served(PatternFrame(200, 120, 0));
  testing::MessageLog log;
  ViewerConnection viewer(testing::TestConnectionOptions(served.Port()), log.Sink());
  ASSERT_EQ(viewer.ConnectToServer("127.0.0.1"), 0) << log.All();
  EXPECT_TRUE(viewer.Connected());
  EXPECT_TRUE(viewer.ImagePresent());
  EXPECT_EQ(viewer.RemoteWidth(), 200);
  EXPECT_EQ(viewer.RemoteHeight(), 120);
  EXPECT_EQ(served.Requests(),
            (std::vector<std::string>{"RESOLUTION", "WM_GRID;8;4;0;0;", "WM_COMP;10;0;0;0;",
                                      "REFRESH", "<full 32>"}));
  ASSERT_EQ(viewer.Grid().Cells().size(), 32u);
  EXPECT_EQ(viewer.Grid().CellWidth(), 25);
  EXPECT_EQ(viewer.Grid().CellHeight(), 30);
  EXPECT_EQ(CanvasPixels(viewer),
            ExpectedCanvas(PatternFrame(200, 120, 0), viewer.Grid(), ColourDepth::k4Bits));
  viewer.Disconnect();
  EXPECT_FALSE(viewer.Connected());
  EXPECT_EQ(log.Count(), 0u) << log.All();
}

struct ModeCase {
  CompressionMode mode;
  std::uint16_t depth;
  std::size_t maxBlockBytes;
};

class UpdatesInEveryMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(UpdatesInEveryMode, FullThenIncrementalUpdatesReproduceTheServedPicture) {
  const ModeCase c = GetParam();
  screenserver::SessionOptions options;
  options.maxBlockBytes = c.maxBlockBytes;
  ServedScreen served(PatternFrame(163, 101, 0), options);
  testing::MessageLog log;
  ViewerConnection viewer(testing::TestConnectionOptions(served.Port()), log.Sink());
  viewer.Settings().mode = c.mode;
  viewer.Settings().colourDepth = c.depth;
  viewer.Settings().columns = 3;
  viewer.Settings().rows = 2;
  ASSERT_EQ(viewer.ConnectToServer("127.0.0.1"), 0) << log.All();
  const auto depth = static_cast<ColourDepth>(c.depth);
  EXPECT_EQ(Differences(CanvasPixels(viewer),
                        ExpectedCanvas(PatternFrame(163, 101, 0), viewer.Grid(), depth)),
            0u);

  for (int variant = 1; variant <= 3; ++variant) {
    served.ClearTranscript();
    served.Show(PatternFrame(163, 101, variant));
    ASSERT_EQ(viewer.RefreshScreen(UpdateKind::kIncremental), UpdateOutcome::kUpdated) << log.All();
    EXPECT_EQ(Differences(CanvasPixels(viewer),
                          ExpectedCanvas(PatternFrame(163, 101, variant), viewer.Grid(), depth)),
              0u)
        << "variant " << variant;
    // Only the cells the box moved through travel again.
    const auto requests = served.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "REFRESH");
    EXPECT_TRUE(requests[1].starts_with("<incremental ")) << requests[1];
  }
  // Nothing changed: the server sends no block and the picture stays.
  const auto before = CanvasPixels(viewer);
  EXPECT_EQ(viewer.RefreshScreen(UpdateKind::kIncremental), UpdateOutcome::kNothing);
  EXPECT_EQ(CanvasPixels(viewer), before);
  EXPECT_EQ(log.Count(), 0u) << log.All();
}

INSTANTIATE_TEST_SUITE_P(Modes, UpdatesInEveryMode,
                         ::testing::Values(ModeCase{CompressionMode::kNone, 4, 1 << 20},
                                           ModeCase{CompressionMode::kHuffman, 4, 1 << 20},
                                           ModeCase{CompressionMode::kMultiPassHuffman, 4, 1 << 20},
                                           ModeCase{CompressionMode::kRunLength, 4, 1 << 20},
                                           ModeCase{CompressionMode::kRunLengthHuffman, 4, 1 << 20},
                                           ModeCase{CompressionMode::kNone, 8, 1 << 20},
                                           ModeCase{CompressionMode::kHuffman, 8, 1 << 20},
                                           ModeCase{CompressionMode::kMultiPassHuffman, 8, 1 << 20},
                                           ModeCase{CompressionMode::kRunLength, 8, 1 << 20},
                                           ModeCase{CompressionMode::kRunLengthHuffman, 8, 1 << 20},
                                           // Cells split into many blocks at increasing offsets.
                                           ModeCase{CompressionMode::kHuffman, 8, 1000},
                                           ModeCase{CompressionMode::kRunLengthHuffman, 4, 256}),
                         [](const auto& info) {
                           return "Mode" + std::to_string(ModeNumber(info.param.mode)) + "Bits" +
                                  std::to_string(info.param.depth) + "Block" +
                                  std::to_string(info.param.maxBlockBytes);
                         });

TEST(ViewerProtocol, ReconfigurationFollowsTheSequences) {
  ServedScreen served(PatternFrame(160, 96, 2));
  testing::MessageLog log;
  ViewerConnection viewer(testing::TestConnectionOptions(served.Port()), log.Sink());
  ASSERT_EQ(viewer.ConnectToServer("127.0.0.1"), 0) << log.All();

  struct Step {
    const char* name;
    std::function<UpdateOutcome()> change;
    std::vector<std::string> requests;
    ColourDepth depth;
  };
  const std::vector<Step> steps{
      {"compression",
       [&] { return viewer.ChangeCompression(CompressionMode::kRunLength); },
       {"WM_COMP;12;0;0;0;", "WM_GRID;8;4;0;0;", "REFRESH", "<full 32>"},
       ColourDepth::k4Bits},
      {"colour",
       [&] { return viewer.ChangeColourDepth(8); },
       {"WM_CMOD;8;0;0;0;", "WM_GRID;8;4;0;0;", "REFRESH", "<full 32>"},
       ColourDepth::k8Bits},
      {"grid",
       [&] { return viewer.ChangeGrid(3, 2); },
       {"WM_GRID;3;2;0;0;", "REFRESH", "<full 6>"},
       ColourDepth::k8Bits},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    served.ClearTranscript();
    ASSERT_EQ(step.change(), UpdateOutcome::kUpdated) << log.All();
    EXPECT_EQ(served.Requests(), step.requests);
    EXPECT_EQ(Differences(CanvasPixels(viewer),
                          ExpectedCanvas(PatternFrame(160, 96, 2), viewer.Grid(), step.depth)),
              0u);
  }
  // The same counts again: nothing is sent.
  served.ClearTranscript();
  EXPECT_EQ(viewer.ChangeGrid(3, 2), UpdateOutcome::kSkipped);
  EXPECT_TRUE(served.Requests().empty());
}

TEST(ViewerProtocol, SettingsChosenWhileDisconnectedApplyToTheNextConnection) {
  ServedScreen served(PatternFrame(64, 48, 1));
  testing::MessageLog log;
  ViewerConnection viewer(testing::TestConnectionOptions(served.Port()), log.Sink());
  EXPECT_EQ(viewer.ChangeCompression(CompressionMode::kRunLengthHuffman), UpdateOutcome::kSkipped);
  EXPECT_EQ(viewer.ChangeColourDepth(8), UpdateOutcome::kSkipped);
  EXPECT_EQ(viewer.ChangeGrid(2, 2), UpdateOutcome::kSkipped);
  EXPECT_TRUE(served.Requests().empty());
  ASSERT_EQ(viewer.ConnectToServer("127.0.0.1"), 0) << log.All();
  // A depth other than the server's default is announced before the first update.
  EXPECT_EQ(served.Requests(),
            (std::vector<std::string>{"RESOLUTION", "WM_GRID;2;2;0;0;", "WM_COMP;13;0;0;0;",
                                      "WM_CMOD;8;0;0;0;", "REFRESH", "<full 4>"}));
  EXPECT_EQ(CanvasPixels(viewer),
            ExpectedCanvas(PatternFrame(64, 48, 1), viewer.Grid(), ColourDepth::k8Bits));
}

TEST(ViewerProtocol, GridEdgeCases) {
  struct GridCase {
    const char* name;
    std::int32_t width, height, columns, rows;
    std::size_t cells;
    std::int32_t cellWidth, cellHeight;
  };
  const std::vector<GridCase> cases{
      // No columns: one cell across, three rows each a third of the height.
      {"NoColumnsThreeRows", 90, 60, 0, 3, 3, 90, 20},
      {"TwoColumnsNoRows", 90, 60, 2, 0, 2, 45, 60},
      // 1024 over 3 columns: cells 341 wide, the last pixel column is in no cell.
      {"ThreeColumnsOf1024", 1024, 16, 3, 1, 3, 341, 16},
  };
  for (const GridCase& c : cases) {
    SCOPED_TRACE(c.name);
    ServedScreen served(PatternFrame(c.width, c.height, 3));
    testing::MessageLog log;
    ViewerConnection viewer(testing::TestConnectionOptions(served.Port()), log.Sink());
    viewer.Settings().columns = c.columns;
    viewer.Settings().rows = c.rows;
    ASSERT_EQ(viewer.ConnectToServer("127.0.0.1"), 0) << log.All();
    const auto& cells = viewer.Grid().Cells();
    ASSERT_EQ(cells.size(), c.cells);
    EXPECT_EQ(viewer.Grid().CellWidth(), c.cellWidth);
    EXPECT_EQ(viewer.Grid().CellHeight(), c.cellHeight);
    const bool bothPositive = c.columns > 0 && c.rows > 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const auto n = static_cast<std::int32_t>(i);
      EXPECT_EQ(cells[i].column, bothPositive ? n / c.rows : (c.columns > 0 ? n : 0));
      EXPECT_EQ(cells[i].row, bothPositive ? n % c.rows : (c.rows > 0 ? n : 0));
    }
    const auto expected =
        ExpectedCanvas(PatternFrame(c.width, c.height, 3), viewer.Grid(), ColourDepth::k4Bits);
    EXPECT_EQ(Differences(CanvasPixels(viewer), expected), 0u);
    if (c.width == 1024) {
      EXPECT_EQ(viewer.Canvas().Pixel(1023, 5), kCanvasBlack);
    }
  }
}

TEST(ViewerProtocol, ConnectFailuresAreReported) {
  // A port nobody listens on: bind one, then close it.
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  socklen_t size = sizeof local;
  getsockname(probe, reinterpret_cast<sockaddr*>(&local), &size);
  close(probe);

  struct FailCase {
    const char* address;
    const char* message;
  };
  for (const FailCase& c :
       {FailCase{"127.0.0.1", "Connect() failed: 111"}, FailCase{"", "Connect() failed: 99"},
        FailCase{"localhost", "Connect() failed: 99"}}) {
    SCOPED_TRACE(c.address);
    testing::MessageLog log;
    ViewerConnection viewer(testing::TestConnectionOptions(ntohs(local.sin_port)), log.Sink());
    EXPECT_EQ(viewer.ConnectToServer(c.address), 1);
    EXPECT_FALSE(viewer.Connected());
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.messages[0].text, c.message);
    EXPECT_EQ(log.messages[0].caption, "Client Socket Error");
  }
}

TEST(ViewerProtocol, ASecondConnectClosesTheFirstConnectionFirst) {
  ServedScreen served(PatternFrame(64, 32, 0));
  testing::MessageLog log;
  ViewerConnection viewer(testing::TestConnectionOptions(served.Port()), log.Sink());
  ASSERT_EQ(viewer.ConnectToServer("127.0.0.1"), 0);
  ASSERT_EQ(viewer.ConnectToServer("127.0.0.1"), 0);
  EXPECT_TRUE(viewer.Connected());
  // The first session heard "DISCONNECT" (sessions run on threads of their own: wait for it).
  std::vector<std::string> requests;
  for (int i = 0; i < 200; ++i) {
    requests = served.Requests();
    if (std::count(requests.begin(), requests.end(), "DISCONNECT") == 1) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(std::count(requests.begin(), requests.end(), "DISCONNECT"), 1);
  EXPECT_EQ(std::count(requests.begin(), requests.end(), "RESOLUTION"), 2);
}

}  // namespace
}  // namespace harnvik
