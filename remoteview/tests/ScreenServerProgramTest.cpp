// The screenserver program as a person runs it: serving an X display (under Xvfb), a picture
// file, and the built-in scene, each checked through the viewer's connection.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <fstream>
#include <regex>

#include "TestSupport.h"

namespace harnvik {
namespace {

using screenserver::ColourDepth;
using screenserver::Frame;

// A child process whose standard output (or another descriptor) the test reads.
class Child {
 public:
  // `outputFd` is the descriptor in the child that the pipe is attached to.
  Child(std::vector<std::string> argv, int outputFd = STDOUT_FILENO) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipeFds[1], outputFd);
      if (outputFd != STDOUT_FILENO) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
      }
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDERR_FILENO);
      std::vector<char*> args;
      for (auto& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
    close(pipeFds[1]);
    output_ = pipeFds[0];
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    if (output_ >= 0) close(output_);
  }
  // Reads until the output matches `pattern` (at most five seconds); the first group.
  std::string Await(const std::regex& pattern) {
    std::string text;
    std::smatch match;
    for (int i = 0; i < 50; ++i) {
      pollfd waiter{output_, POLLIN, 0};
      if (poll(&waiter, 1, 100) > 0) {
        char buffer[256];
        const ssize_t n = read(output_, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
      }
      if (std::regex_search(text, match, pattern)) return match[1];
    }
    return {};
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

// The programs of this build (their folder is compiled in).
std::string Program(const char* name) {
  return std::string(HARNVIK_PROGRAM_DIR "/") + name;
}

bool OnPath(const char* name) {
  return std::system((std::string("command -v ") + name + " > /dev/null 2>&1").c_str()) == 0;
}

// Connects a viewer to the screenserver started with `options` and returns it.
std::unique_ptr<ViewerConnection> ConnectTo(Child& server, testing::MessageLog& log,
                                            std::int32_t columns, std::int32_t rows) {
  const std::string port = server.Await(std::regex("port ([0-9]+)\n"));
  if (port.empty()) return nullptr;
  auto viewer = std::make_unique<ViewerConnection>(
      testing::TestConnectionOptions(static_cast<std::uint16_t>(std::stoi(port))), log.Sink());
  viewer->Settings().columns = columns;
  viewer->Settings().rows = rows;
  if (viewer->ConnectToServer("127.0.0.1") != 0) return nullptr;
  return viewer;
}

std::vector<std::uint32_t> Canvas(const ViewerConnection& viewer) {
  const auto pixels = viewer.Canvas().Pixels();
  return {pixels.begin(), pixels.end()};
}

TEST(ScreenServerProgram, ServesAnXDisplay) {
  if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
  // Xvfb picks a free display number and writes it to descriptor 3; -noreset keeps what this
  // test draws when its drawing connection closes.
  Child xvfb({"Xvfb", "-displayfd", "3", "-screen", "0", "200x120x24", "-nolisten", "tcp", "-br",
              "-noreset"},
             3);
  const std::string number = xvfb.Await(std::regex("([0-9]+)\n"));
  ASSERT_FALSE(number.empty());
  const std::string display = ":" + number;

  // Paint the root window: three coloured boxes on black.
  xcb_connection_t* x = xcb_connect(display.c_str(), nullptr);
  ASSERT_EQ(xcb_connection_has_error(x), 0);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
  const xcb_gcontext_t gc = xcb_generate_id(x);
  xcb_create_gc(x, gc, screen->root, 0, nullptr);
  Frame expected;
  expected.Resize(200, 120);
  struct Box {
    std::int16_t x, y;
    std::uint16_t w, h;
    std::uint32_t rgb;
  };
  for (const Box& box : {Box{10, 10, 60, 40, 0xFF0000}, Box{90, 30, 100, 50, 0x00FF00},
                         Box{20, 70, 150, 40, 0x0000FF}}) {
    xcb_change_gc(x, gc, XCB_GC_FOREGROUND, &box.rgb);
    const xcb_rectangle_t rectangle{box.x, box.y, box.w, box.h};
    xcb_poly_fill_rectangle(x, screen->root, gc, 1, &rectangle);
    for (int y = box.y; y < box.y + box.h; ++y) {
      for (int px = box.x; px < box.x + box.w; ++px) expected.At(px, y) = box.rgb;
    }
  }
  free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));  // round trip: drawn
  xcb_disconnect(x);

  Child server({Program("screenserver"), "--port", "0", "--display", display});
  testing::MessageLog log;
  const auto viewer = ConnectTo(server, log, 4, 3);
  ASSERT_TRUE(viewer) << log.All();
  EXPECT_EQ(viewer->RemoteWidth(), 200);
  EXPECT_EQ(viewer->RemoteHeight(), 120);
  EXPECT_EQ(Canvas(*viewer),
            testing::ExpectedCanvas(expected, viewer->Grid(), ColourDepth::k4Bits));
  viewer->Disconnect();
}

TEST(ScreenServerProgram, ServesAPictureAndTheBuiltInScene) {
  const std::string path = ::testing::TempDir() + "harnvik-served.ppm";
  const Frame picture = testing::PatternFrame(90, 60, 4);
  {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n90 60\n255\n";
    for (std::uint32_t rgb : picture.pixels) {
      const char bytes[] = {char(rgb >> 16), char(rgb >> 8), char(rgb)};
      out.write(bytes, 3);
    }
  }
  {
    Child server({Program("screenserver"), "--port", "0", "--image", path});
    testing::MessageLog log;
    const auto viewer = ConnectTo(server, log, 3, 2);
    ASSERT_TRUE(viewer) << log.All();
    EXPECT_EQ(Canvas(*viewer),
              testing::ExpectedCanvas(picture, viewer->Grid(), ColourDepth::k4Bits));
  }
  {
    Child server({Program("screenserver"), "--port", "0", "--size", "120x80"});
    testing::MessageLog log;
    const auto viewer = ConnectTo(server, log, 8, 4);
    ASSERT_TRUE(viewer) << log.All();
    EXPECT_EQ(viewer->RemoteWidth(), 120);
    const auto pixels = Canvas(*viewer);
    EXPECT_GT(std::count_if(pixels.begin(), pixels.end(),
                            [](std::uint32_t p) { return p != kCanvasBlack; }),
              120 * 80 / 2);
    EXPECT_NE(viewer->RefreshScreen(UpdateKind::kIncremental), UpdateOutcome::kRefused);
  }
}

}  // namespace
}  // namespace harnvik
