// screenserver: serves a screen to the remote desktop viewer over TCP (port 5150 by default).
//   screenserver [--port PORT] [--bind ADDRESS] [--display :N | --image FILE | --size WxH]
//                [--max-block BYTES] [--quit-after SECONDS]
// Without --display or --image it serves a built-in moving test scene.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "ImageFile.h"
#include "ScreenServer.h"
#include "TestScene.h"
#ifdef SCREENSERVER_WITH_XCB
#include "XDisplaySource.h"
#endif

namespace {

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) {
  gStop = 1;
}

constexpr const char* kUsage =
    "usage: screenserver [--port PORT] [--bind ADDRESS] [--display :N | --image FILE |"
    " --size WxH]\n"
    "                    [--max-block BYTES] [--quit-after SECONDS]\n";

int Usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "screenserver: %s\n", problem);
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace screenserver;
  ServerOptions options;
  std::string display;
  std::string image;
  long width = 1024;
  long height = 768;
  double quitAfter = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (name == "--help" || name == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (value == nullptr) return Usage(("missing value for " + name).c_str());
    ++i;
    char* end = nullptr;
    if (name == "--port") {
      const long port = std::strtol(value, &end, 10);
      if (*end != '\0' || port < 0 || port > 65535) return Usage("--port needs 0..65535");
      options.port = static_cast<std::uint16_t>(port);
    } else if (name == "--bind") {
      options.bindAddress = value;
    } else if (name == "--display") {
      display = value;
    } else if (name == "--image") {
      image = value;
    } else if (name == "--size") {
      if (std::sscanf(value, "%ldx%ld", &width, &height) != 2 || width < 1 || height < 1 ||
          width > 16384 || height > 16384) {
        return Usage("--size needs WIDTHxHEIGHT, each 1..16384");
      }
    } else if (name == "--max-block") {
      const long bytes = std::strtol(value, &end, 10);
      if (*end != '\0' || bytes < 4) return Usage("--max-block needs at least 4 bytes");
      options.session.maxBlockBytes = static_cast<std::size_t>(bytes);
    } else if (name == "--quit-after") {
      quitAfter = std::strtod(value, &end);
      if (*end != '\0' || quitAfter <= 0) return Usage("--quit-after needs seconds");
    } else {
      return Usage(("unknown option " + name).c_str());
    }
  }
  if (!display.empty() && !image.empty()) return Usage("--display and --image exclude each other");

  std::unique_ptr<ScreenSource> source;
  std::string error;
  if (!display.empty()) {
#ifdef SCREENSERVER_WITH_XCB
    source = XDisplaySource::Open(display, error);
#else
    error = "this build cannot capture X displays";
#endif
  } else if (!image.empty()) {
    if (auto frame = LoadImageFile(image, error)) {
      source = std::make_unique<StillSource>(std::move(*frame), "picture " + image);
    }
  } else {
    source = std::make_unique<TestScene>(static_cast<std::int32_t>(width),
                                         static_cast<std::int32_t>(height));
  }
  if (!source) {
    std::fprintf(stderr, "screenserver: %s\n", error.c_str());
    return 1;
  }

  ScreenServer server(options, *source);
  if (!server.Start(error)) {
    std::fprintf(stderr, "screenserver: %s\n", error.c_str());
    return 1;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::printf("screenserver: serving %s, %d x %d, on %s port %u\n", source->Describe().c_str(),
              source->Width(), source->Height(), options.bindAddress.c_str(), server.Port());
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  while (gStop == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (quitAfter > 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >=
            quitAfter) {
      break;
    }
  }
  server.Stop();
  return 0;
}
