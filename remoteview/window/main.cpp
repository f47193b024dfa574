// Harnvik, the remote desktop viewer. Waits for "START:address" and "STOP" datagrams on its
// control port, connects to the screen server at that address and shows its screen.

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

#include "MainLoop.h"
#include "ManualResetEvent.h"
#include "Strund4Communication.h"
#include "ViewerOptions.h"
#include "ViewerWindow.h"

// Fontconfig, under Qt's font handling, keeps its caches for the life of the process on
// purpose; a sanitizer build should not count them as the viewer's leaks.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n";
}

namespace {

std::atomic<bool> gTerminate{false};

void OnSignal(int) {
  gTerminate = true;
}

// Runs the window's events for a pass of the main loop. Every event that arrives is handled
// as it comes, so the window is never rationed to one message a pass.
class QtWindowPump : public harnvik::WindowPump {
 public:
  explicit QtWindowPump(harnvik::ViewerWindow& window) : window_(window) {
    window.SetQuitHook([this](int) {
      if (loop_ != nullptr) loop_->quit();
    });
  }

  std::optional<int> Pump(std::chrono::milliseconds period) override {
    if (gTerminate && !window_.QuitCode()) window_.close();
    if (const auto code = window_.QuitCode()) return code;
    QEventLoop loop;
    loop_ = &loop;
    QTimer::singleShot(period, &loop, &QEventLoop::quit);
    loop.exec();
    loop_ = nullptr;
    return window_.QuitCode();
  }

 private:
  harnvik::ViewerWindow& window_;
  QEventLoop* loop_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const harnvik::OptionsResult parsed = harnvik::ParseViewerOptions(arguments);
  if (!parsed.options) {
    if (!parsed.error.empty()) std::fprintf(stderr, "Harnvik: %s\n", parsed.error.c_str());
    std::fputs(harnvik::kViewerUsage.data(), parsed.error.empty() ? stdout : stderr);
    return parsed.error.empty() ? 0 : 2;
  }
  const harnvik::ViewerOptions& options = *parsed.options;

  harnvik::ViewerWindow window(options);
  window.show();

  harnvik::Strund4Communication channel;
  harnvik::ManualResetEvent event(harnvik::kRemoteDesktopEventName,
                                  harnvik::EventState::kSignalled);
  channel.StartReceiving(options.controlPort, event);
  if (const auto port = channel.WaitUntilListening(std::chrono::milliseconds(2000))) {
    std::printf("Harnvik: listening for control datagrams on UDP port %u\n", *port);
  } else {
    // Another copy holds the port: this one can only be driven through its window.
    std::fprintf(stderr, "Harnvik: control port %u is not available\n", options.controlPort);
  }
  std::fflush(stdout);

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  if (options.quitAfterSeconds) {
    QTimer::singleShot(static_cast<int>(*options.quitAfterSeconds * 1000), &window,
                       [&window] { window.Command(static_cast<int>(harnvik::CommandId::kExit)); });
  }

  QtWindowPump pump(window);
  harnvik::MainLoop loop(channel, event, window.Controller(), pump);
  const int code = loop.Run();
  if (!options.grabFile.empty() && !window.grab().save(QString::fromStdString(options.grabFile))) {
    std::fprintf(stderr, "Harnvik: cannot write %s\n", options.grabFile.c_str());
  }
  return code;
}
