#pragma once
// Shared pieces of the viewer's tests: a real screen server on a free loopback port showing a
// picture the test controls, the picture the viewer should then show, a scripted fake server
// for hostile replies, and a collector for message boxes.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CellGrid.h"
#include "Frame.h"
#include "Palette.h"
#include "RequestParser.h"
#include "ScreenCanvas.h"
#include "ScreenServer.h"
#include "ViewerConnection.h"

namespace harnvik::testing {

// A picture with detail in every cell: diagonal colour ramps and a few solid boxes.
screenserver::Frame PatternFrame(std::int32_t width, std::int32_t height, int variant);

// The canvas the viewer should show for `frame` cut into `grid` at `depth` bits: each cell's
// rectangle in the palette colour the server picks, everything else black.
std::vector<std::uint32_t> ExpectedCanvas(const screenserver::Frame& frame, const CellGrid& grid,
                                          screenserver::ColourDepth depth);

// The real screen server, on 127.0.0.1 and a port the system picks.
class ServedScreen {
 public:
  explicit ServedScreen(screenserver::Frame frame, screenserver::SessionOptions options = {});
  ~ServedScreen();
  [[nodiscard]] std::uint16_t Port() const { return server_->Port(); }
  void Show(const screenserver::Frame& frame) { source_.SetFrame(frame); }
  [[nodiscard]] std::vector<std::string> Requests();  // transcript without the "OK"s
  void ClearTranscript() { server_->ClearTranscript(); }

 private:
  screenserver::StillSource source_;
  std::unique_ptr<screenserver::ScreenServer> server_;
};

struct MessageLog {
  std::mutex mutex;
  std::vector<ViewerMessage> messages;
  MessageSink Sink() {
    return [this](const ViewerMessage& m) {
      std::lock_guard lock(mutex);
      messages.push_back(m);
    };
  }
  [[nodiscard]] std::string All() {
    std::lock_guard lock(mutex);
    std::string all;
    for (const auto& m : messages) all += "[" + m.caption + "] " + m.text + "\n";
    return all;
  }
  [[nodiscard]] std::size_t Count() {
    std::lock_guard lock(mutex);
    return messages.size();
  }
};

ConnectionOptions TestConnectionOptions(
    std::uint16_t port, std::chrono::milliseconds receiveTimeout = std::chrono::milliseconds(3000));

// One connection of a scripted server. Every wait is bounded so a test never hangs.
class FakePeer {
 public:
  explicit FakePeer(int socket) : socket_(socket) {}
  // The next request; nothing (and a failure noted) when it is not of this kind.
  std::optional<screenserver::Request> Expect(screenserver::RequestKind kind);
  void Send(std::string_view text);
  void SendBytes(const std::vector<std::uint8_t>& bytes);
  // "RESOLUTION" .. "REFRESH" of a connection, answering width and height.
  bool Handshake(const std::string& width, const std::string& height);
  // Count, then each block's header and data, each acknowledged.
  bool SendUpdate(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& blocks);
  // Waits for the viewer to close the connection (at most `limit`).
  void AwaitClose(std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
  void Close();
  [[nodiscard]] const std::vector<std::string>& Failures() const { return failures_; }

 private:
  int socket_;
  std::string pending_;
  std::vector<std::string> failures_;
};

class FakeServer {
 public:
  using Script = std::function<void(FakePeer&)>;
  explicit FakeServer(Script script);
  ~FakeServer();
  [[nodiscard]] std::uint16_t Port() const { return port_; }
  // Waits for the script to end and returns what it found wrong.
  std::vector<std::string> Finish();

 private:
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::vector<std::string> failures_;
};

// A whole cell bitmap of a solid colour, as the server would write it.
std::vector<std::uint8_t> SolidCellBitmap(std::int32_t width, std::int32_t height,
                                          std::uint32_t rgb, screenserver::ColourDepth depth);

std::string Header(std::int32_t passes, std::int32_t column, std::int32_t row, std::int32_t offset,
                   std::uint64_t rawSize, std::int64_t length);

}  // namespace harnvik::testing
