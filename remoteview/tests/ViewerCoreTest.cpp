// The viewer's small rules, as tables: header and number reading, the grid dialog's rule, the
// command line, control messages, scrolling, cell drawing; and the window's behaviour
// (ViewerController) against the real screen server with a recording stand-in for the window.

#include <gtest/gtest.h>

#include "BlockHeader.h"
#include "CellBitmap.h"
#include "ControlCommand.h"
#include "GridInput.h"
#include "ScrollState.h"
#include "TestSupport.h"
#include "TextNumber.h"
#include "ViewerController.h"
#include "ViewerOptions.h"

namespace harnvik {
namespace {

TEST(TextNumber, ReadsTheLeadingDecimalNumber) {
  const std::vector<std::pair<const char*, std::int64_t>> cases{
      {"1024", 1024}, {"  768", 768}, {"\t-5x", -5}, {"+7;", 7},
      {"12abc", 12},  {"", 0},        {"abc", 0},    {"- 3", 0}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ReadLeadingNumber(text), value) << text;
  // Too many digits saturate instead of wrapping round to a small number.
  EXPECT_GT(ReadLeadingNumber("99999999999999999999999"), std::int64_t{1} << 59);
  EXPECT_LT(ReadLeadingNumber("-99999999999999999999999"), -(std::int64_t{1} << 59));
}

TEST(BlockHeader, ParsesSixFields) {
  struct Case {
    const char* text;
    HeaderParse status;
    BlockHeader header;
  };
  const std::vector<Case> cases{
      {"1;2;3;4;5;6;", HeaderParse::kFields, {1, 2, 3, 4, 5, 6}},
      {"2;0;1;40;4294967295;-1;tail", HeaderParse::kFields, {2, 0, 1, 40, 4294967295u, -1}},
      {" 1; 2;x;;5;6;", HeaderParse::kFields, {1, 2, 0, 0, 5, 6}},
      {"no semicolon", HeaderParse::kNoFields, {}},
      {"", HeaderParse::kNoFields, {}},
      {"1;2;3;4;5;", HeaderParse::kWrongFieldCount, {}},
      {"1;2;3;4;5;6;7;", HeaderParse::kWrongFieldCount, {}},
      {"1;2;3;4;-1;6;", HeaderParse::kOutOfRange, {}},
      {"1;2;3;4;4294967296;6;", HeaderParse::kOutOfRange, {}},
      {"2147483648;2;3;4;5;6;", HeaderParse::kOutOfRange, {}},
  };
  for (const Case& c : cases) {
    const ParsedHeader parsed = ParseBlockHeader(c.text);
    EXPECT_EQ(parsed.status, c.status) << c.text;
    if (c.status == HeaderParse::kFields) {
      EXPECT_EQ(parsed.header, c.header) << c.text;
    }
  }
}

TEST(GridInput, TheDialogsRule) {
  struct Case {
    const char* columns;
    const char* rows;
    std::optional<GridCounts> result;
  };
  const std::vector<Case> cases{
      {"8", "4", GridCounts{8, 4}},
      {"20", "20", GridCounts{20, 20}},
      {"0", "3", GridCounts{0, 3}},
      {"5", "0", GridCounts{5, 0}},
      {"21", "1", std::nullopt},
      {"1", "21", std::nullopt},
      {"0", "0", std::nullopt},
      {"", "4", std::nullopt},
      {"4", "", std::nullopt},
      {"0000000002", "1", GridCounts{0, 1}},  // 9 characters read
      {"1234567890", "1", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ValidateGridInput(c.columns, c.rows), c.result) << c.columns << " " << c.rows;
  }
}

TEST(ViewerOptions, DefaultsAndOverrides) {
  const OptionsResult defaults = ParseViewerOptions({});
  ASSERT_TRUE(defaults.options);
  EXPECT_EQ(defaults.options->controlPort, 55069);
  EXPECT_EQ(defaults.options->connection.serverPort, 5150);
  EXPECT_EQ(defaults.options->settings.mode, CompressionMode::kHuffman);
  EXPECT_EQ(defaults.options->settings.columns, 8);
  EXPECT_EQ(defaults.options->settings.rows, 4);
  EXPECT_EQ(defaults.options->settings.colourDepth, 4);

  const std::vector<std::string_view> all{
      "--control-port", "6000", "--server-port", "6001",  "--mode",       "13", "--grid", "0", "3",
      "--colors",       "8",    "--grab",        "x.png", "--quit-after", "1.5"};
  const OptionsResult set = ParseViewerOptions(all);
  ASSERT_TRUE(set.options) << set.error;
  EXPECT_EQ(set.options->controlPort, 6000);
  EXPECT_EQ(set.options->connection.serverPort, 6001);
  EXPECT_EQ(set.options->settings.mode, CompressionMode::kRunLengthHuffman);
  EXPECT_EQ(set.options->settings.columns, 0);
  EXPECT_EQ(set.options->settings.rows, 3);
  EXPECT_EQ(set.options->settings.colourDepth, 8);
  EXPECT_EQ(set.options->grabFile, "x.png");
  EXPECT_EQ(set.options->quitAfterSeconds, 1.5);

  const std::vector<std::vector<std::string_view>> wrong{
      {"--mode", "7"},        {"--mode"},
      {"--grid", "0", "0"},   {"--grid", "21", "1"},
      {"--grid", "x", "1"},   {"--colors", "16"},
      {"--server-port", "0"}, {"--control-port", "70000"},
      {"--quit-after", "0"},  {"--what"}};
  for (const auto& arguments : wrong) {
    const OptionsResult r = ParseViewerOptions(arguments);
    EXPECT_FALSE(r.options);
    EXPECT_FALSE(r.error.empty()) << arguments[0];
  }
  const std::vector<std::string_view> help{"--help"};
  EXPECT_TRUE(ParseViewerOptions(help).error.empty());
}

TEST(ControlCommand, InterpretsMessages) {
  using K = ControlKind;
  const std::vector<std::pair<std::string, ControlCommand>> cases{
      {"STOP", {K::kStop, ""}},
      {"START:10.0.0.1", {K::kStart, "10.0.0.1"}},
      {"STOPX", {K::kStart, ""}},
      {"START:", {K::kStart, ""}},
      {"", {K::kStart, ""}},
      {"<<QUIT>>", {K::kQuit, ""}},
      {"START:" + std::string(31, '1') + "2", {K::kStart, std::string(31, '1')}},
  };
  for (const auto& [message, command] : cases) {
    EXPECT_EQ(InterpretControlMessage(message), command) << message;
  }
}

TEST(ScrollState, RequestsAndTheClampingOrder) {
  struct Case {
    const char* name;
    ScrollAxis axis;
    std::int32_t start;
    ScrollRequest request;
    std::int32_t thumb;
    std::int32_t expected;
  };
  using A = ScrollAxis;
  using R = ScrollRequest;
  // Canvas 1000 x 800 in a 600 x 500 client: ranges 0..400 and 0..300.
  const std::vector<Case> cases{
      {"LineDown", A::kVertical, 10, R::kLineForward, 0, 11},
      {"LineUp", A::kVertical, 10, R::kLineBack, 0, 9},
      {"LineUpAtTop", A::kVertical, 0, R::kLineBack, 0, 0},
      {"PageDown", A::kVertical, 10, R::kPageForward, 0, 74},
      {"PageUp", A::kVertical, 100, R::kPageBack, 0, 36},
      {"PageRight", A::kHorizontal, 10, R::kPageForward, 0, 58},
      {"PageLeft", A::kHorizontal, 100, R::kPageBack, 0, 52},
      {"PageDownAtBottom", A::kVertical, 290, R::kPageForward, 0, 300},
      {"Thumb", A::kHorizontal, 0, R::kThumbTrack, 123, 123},
      {"ThumbPastTheEnd", A::kHorizontal, 0, R::kThumbPosition, 999, 400},
      {"Other", A::kHorizontal, 77, R::kOther, 0, 77},
  };
  for (const Case& c : cases) {
    ScrollState scroll;
    scroll.SetCanvas(1000, 800);
    scroll.SetClient(600, 500);
    scroll.Apply(c.axis, R::kThumbPosition, c.start);
    scroll.Apply(c.axis, c.request, c.thumb);
    EXPECT_EQ(scroll.Offset(c.axis), c.expected) << c.name;
  }
  // A window wider than the canvas: any request ends at canvas minus client, below 0.
  ScrollState narrow;
  narrow.SetCanvas(300, 800);
  narrow.SetClient(640, 480);
  narrow.Apply(ScrollAxis::kHorizontal, ScrollRequest::kLineBack);
  EXPECT_EQ(narrow.Offset(ScrollAxis::kHorizontal), -340);
  EXPECT_EQ(narrow.RangeMax(ScrollAxis::kHorizontal), -340);
}

TEST(CellBitmap, FourBitRowsAreDrawnBottomUpHighNibbleFirst) {
  // 3 x 2 pixels, 4 bits: rows of 4 bytes, the bottom row first.
  std::vector<std::uint8_t> bitmap(40 + 64 + 8, 0);
  bitmap[0] = 40;
  bitmap[4] = 3;
  bitmap[8] = 2;
  bitmap[12] = 1;
  bitmap[14] = 4;
  auto setColour = [&](int index, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    bitmap[40 + 4 * index] = b;
    bitmap[41 + 4 * index] = g;
    bitmap[42 + 4 * index] = r;
  };
  setColour(1, 0xFF, 0, 0);
  setColour(2, 0, 0xFF, 0);
  setColour(3, 0, 0, 0xFF);
  bitmap[104] = 0x12;  // bottom row: 1 2 3
  bitmap[105] = 0x30;
  bitmap[108] = 0x33;  // top row: 3 3 1
  bitmap[109] = 0x10;
  const BitmapCheck check = InspectCellBitmap(bitmap);
  ASSERT_EQ(check.fault, BitmapFault::kNone);
  ScreenCanvas canvas;
  canvas.Reset(5, 3);
  RenderCellBitmap(bitmap, check.info, canvas, 1, 1);
  EXPECT_EQ(canvas.Pixel(0, 0), kCanvasBlack);
  EXPECT_EQ(canvas.Pixel(1, 1), 0xFF0000FFu);
  EXPECT_EQ(canvas.Pixel(3, 1), 0xFFFF0000u);
  EXPECT_EQ(canvas.Pixel(1, 2), 0xFFFF0000u);
  EXPECT_EQ(canvas.Pixel(2, 2), 0xFF00FF00u);
  EXPECT_EQ(canvas.Pixel(3, 2), 0xFF0000FFu);
  // Drawn partly outside the canvas: clipped, nothing written out of bounds.
  RenderCellBitmap(bitmap, check.info, canvas, 4, 2);
  RenderCellBitmap(bitmap, check.info, canvas, -2, -1);
  EXPECT_EQ(canvas.Pixel(4, 2), 0xFF0000FFu);
  EXPECT_EQ(canvas.Pixel(0, 0), 0xFF0000FFu);  // bottom row, third pixel
}

// Records what the controller asks of its window.
struct RecordingView : ViewerView {
  bool timerRunning = false;
  int repaints = 0;
  int quitCode = -1;
  testing::MessageLog log;
  void StartRefreshTimer(std::chrono::milliseconds period) override {
    EXPECT_EQ(period.count(), 398);
    timerRunning = true;
  }
  void StopRefreshTimer() override { timerRunning = false; }
  void CommandsChanged() override {}
  void Repaint() override { ++repaints; }
  void ScrollBarsChanged() override {}
  void ReadClientSize(std::int32_t& width, std::int32_t& height) override {
    width = 100;
    height = 50;
  }
  void ShowMessage(const ViewerMessage& message) override { log.Sink()(message); }
  void PostQuit(int code) override { quitCode = code; }
};

TEST(ViewerController, StartStopAndCommandEnabling) {
  testing::ServedScreen served(testing::PatternFrame(160, 120, 0));
  RecordingView view;
  ViewerController controller(testing::TestConnectionOptions(served.Port()), {}, view);
  // Before the first image: disconnect and colour greyed, no timer, scrolling does nothing.
  EXPECT_TRUE(controller.CommandEnabled(CommandId::kConnect));
  EXPECT_FALSE(controller.CommandEnabled(CommandId::kDisconnect));
  EXPECT_FALSE(controller.CommandEnabled(CommandId::kColour));
  controller.Scroll(ScrollAxis::kVertical, ScrollRequest::kPageForward, 0);
  EXPECT_EQ(controller.ScrollPosition().Offset(ScrollAxis::kVertical), 0);
  controller.StopCommand();  // "STOP" while disconnected does nothing
  EXPECT_TRUE(served.Requests().empty());

  controller.StartCommand("127.0.0.1");
  ASSERT_TRUE(controller.Connected()) << view.log.All();
  EXPECT_TRUE(view.timerRunning);
  EXPECT_FALSE(controller.CommandEnabled(CommandId::kConnect));
  EXPECT_TRUE(controller.CommandEnabled(CommandId::kDisconnect));
  EXPECT_TRUE(controller.CommandEnabled(CommandId::kColour));
  EXPECT_EQ(controller.LastAddress(), "127.0.0.1");

  controller.TimerTick();
  controller.Scroll(ScrollAxis::kVertical, ScrollRequest::kPageForward, 0);
  EXPECT_EQ(controller.ScrollPosition().Offset(ScrollAxis::kVertical), 64);

  // Gridding lines alone send nothing.
  served.ClearTranscript();
  controller.ApplyGrid({8, 4, true, true});
  EXPECT_TRUE(served.Requests().empty());
  EXPECT_TRUE(controller.Grid().showColumnLines);

  controller.StopCommand();
  EXPECT_FALSE(controller.Connected());
  EXPECT_FALSE(view.timerRunning);
  EXPECT_TRUE(controller.CommandEnabled(CommandId::kConnect));
  EXPECT_FALSE(controller.CommandEnabled(CommandId::kDisconnect));
  // The picture stays and still scrolls.
  EXPECT_TRUE(controller.ImagePresent());
  controller.Scroll(ScrollAxis::kVertical, ScrollRequest::kLineForward, 0);
  EXPECT_EQ(controller.ScrollPosition().Offset(ScrollAxis::kVertical), 65);

  // Connect again (40002) reuses the last address; exit (40001) disconnects and quits with 0.
  served.ClearTranscript();
  controller.Command(CommandId::kConnect);
  EXPECT_TRUE(controller.Connected());
  controller.Command(CommandId::kExit);
  EXPECT_FALSE(controller.Connected());
  EXPECT_EQ(view.quitCode, 0);
  EXPECT_EQ(view.log.Count(), 0u) << view.log.All();
}

TEST(ViewerController, AFailedConnectionLeavesTheCommandsAsTheyWere) {
  RecordingView view;
  ViewerController controller(testing::TestConnectionOptions(1), {}, view);
  controller.StartCommand("");  // "START:" with nothing
  EXPECT_FALSE(controller.Connected());
  EXPECT_TRUE(controller.CommandEnabled(CommandId::kConnect));
  EXPECT_FALSE(controller.CommandEnabled(CommandId::kDisconnect));
  EXPECT_EQ(view.log.All(), "[Client Socket Error] Connect() failed: 99\n");
}

TEST(ViewerController, AServerThatGoesAwayDisconnectsTheWindow) {
  auto served = std::make_unique<testing::ServedScreen>(testing::PatternFrame(64, 64, 0));
  RecordingView view;
  ViewerController controller(testing::TestConnectionOptions(served->Port()), {}, view);
  controller.StartCommand("127.0.0.1");
  ASSERT_TRUE(controller.Connected());
  served.reset();  // the server stops and closes the connection
  controller.TimerTick();
  EXPECT_FALSE(controller.Connected());
  EXPECT_FALSE(view.timerRunning);
  EXPECT_TRUE(controller.CommandEnabled(CommandId::kConnect));
  EXPECT_FALSE(controller.CommandEnabled(CommandId::kColour));
  EXPECT_EQ(view.log.Count(), 1u);
  EXPECT_TRUE(controller.ImagePresent());
}

}  // namespace
}  // namespace harnvik
