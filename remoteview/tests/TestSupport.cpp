#include "TestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

#include "CellBitmapWriter.h"

namespace harnvik::testing {

using screenserver::Frame;

Frame PatternFrame(std::int32_t width, std::int32_t height, int variant) {
  Frame frame;
  frame.Resize(width, height);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint32_t r = static_cast<std::uint32_t>((x * 7 + variant * 40) & 0xFF);
      const std::uint32_t g = static_cast<std::uint32_t>((y * 5) & 0xFF);
      const std::uint32_t b = static_cast<std::uint32_t>(((x + y) * 3) & 0xFF);
      frame.At(x, y) = (r << 16) | (g << 8) | b;
    }
  }
  // A box that moves with the variant, so a changed frame changes only some cells.
  const std::int32_t left = (variant * 13) % std::max(width - 10, 1);
  for (std::int32_t y = height / 3; y < std::min(height / 3 + 10, height); ++y) {
    for (std::int32_t x = left; x < std::min(left + 10, width); ++x) frame.At(x, y) = 0xFFFFFF;
  }
  return frame;
}

std::vector<std::uint32_t> ExpectedCanvas(const Frame& frame, const CellGrid& grid,
                                          screenserver::ColourDepth depth) {
  const screenserver::Palette palette(depth);
  std::vector<std::uint32_t> canvas(static_cast<std::size_t>(frame.width) * frame.height,
                                    kCanvasBlack);
  for (const GridCell& cell : grid.Cells()) {
    for (std::int32_t y = cell.y0; y < std::min(cell.y1, frame.height); ++y) {
      for (std::int32_t x = cell.x0; x < std::min(cell.x1, frame.width); ++x) {
        canvas[static_cast<std::size_t>(y) * frame.width + x] =
            kCanvasBlack | palette.Colour(palette.Index(frame.At(x, y)));
      }
    }
  }
  return canvas;
}

ServedScreen::ServedScreen(Frame frame, screenserver::SessionOptions options)
    : source_(std::move(frame)) {
  screenserver::ServerOptions serverOptions;
  serverOptions.port = 0;
  serverOptions.session = options;
  server_ = std::make_unique<screenserver::ScreenServer>(serverOptions, source_);
  std::string error;
  if (!server_->Start(error)) throw std::runtime_error(error);
}

ServedScreen::~ServedScreen() {
  server_->Stop();
}

std::vector<std::string> ServedScreen::Requests() {
  std::vector<std::string> lines = server_->Transcript();
  lines.erase(std::remove(lines.begin(), lines.end(), "OK"), lines.end());
  return lines;
}

ConnectionOptions TestConnectionOptions(std::uint16_t port,
                                        std::chrono::milliseconds receiveTimeout) {
  ConnectionOptions options;
  options.serverPort = port;
  options.connectTimeout = std::chrono::milliseconds(2000);
  options.receiveTimeout = receiveTimeout;
  return options;
}

std::optional<screenserver::Request> FakePeer::Expect(screenserver::RequestKind kind) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    screenserver::Request request;
    std::size_t consumed = 0;
    const auto scan = screenserver::ParseRequest(pending_, request, consumed);
    if (scan == screenserver::RequestScan::kComplete) {
      pending_.erase(0, consumed);
      if (request.kind != kind) {
        failures_.push_back("unexpected request " + request.text);
        return std::nullopt;
      }
      return request;
    }
    if (scan == screenserver::RequestScan::kNotProtocol) {
      failures_.push_back("not protocol: " + pending_);
      return std::nullopt;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd waiter{socket_, POLLIN, 0};
    if (left.count() <= 0 || poll(&waiter, 1, static_cast<int>(left.count())) <= 0) {
      failures_.push_back("no request in time");
      return std::nullopt;
    }
    char buffer[256];
    const ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      failures_.push_back("viewer closed the connection");
      return std::nullopt;
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

void FakePeer::SendBytes(const std::vector<std::uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

void FakePeer::Send(std::string_view text) {
  SendBytes(std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool FakePeer::Handshake(const std::string& width, const std::string& height) {
  using screenserver::RequestKind;
  if (!Expect(RequestKind::kResolution)) return false;
  Send(width);
  if (!Expect(RequestKind::kOk)) return false;
  Send(height);
  return Expect(RequestKind::kOk) && Expect(RequestKind::kGrid) &&
         Expect(RequestKind::kCompression) && Expect(RequestKind::kRefresh);
}

bool FakePeer::SendUpdate(
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& blocks) {
  using screenserver::RequestKind;
  Send(std::to_string(blocks.size()));
  if (!Expect(RequestKind::kOk)) return false;
  for (const auto& [header, data] : blocks) {
    Send(header);
    if (!Expect(RequestKind::kOk)) return false;
    SendBytes(data);
    if (!Expect(RequestKind::kOk)) return false;
  }
  return true;
}

void FakePeer::AwaitClose(std::chrono::milliseconds limit) {
  if (socket_ < 0) return;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buffer[256];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd waiter{socket_, POLLIN, 0};
    if (left.count() <= 0 || poll(&waiter, 1, static_cast<int>(left.count())) <= 0) return;
    if (recv(socket_, buffer, sizeof buffer, 0) <= 0) return;
  }
}

void FakePeer::Close() {
  if (socket_ >= 0) close(socket_);
  socket_ = -1;
}

FakeServer::FakeServer(Script script) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      listen(listener_, 1) != 0) {
    throw std::runtime_error("fake server cannot listen");
  }
  socklen_t size = sizeof local;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&local), &size);
  port_ = ntohs(local.sin_port);
  thread_ = std::thread([this, script = std::move(script)] {
    pollfd waiter{listener_, POLLIN, 0};
    if (poll(&waiter, 1, 10000) <= 0) {
      failures_.push_back("no viewer connected");
      return;
    }
    const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    const int on = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    FakePeer peer(client);
    script(peer);
    peer.Close();
    failures_ = peer.Failures();
  });
}

std::vector<std::string> FakeServer::Finish() {
  if (thread_.joinable()) thread_.join();
  return failures_;
}

FakeServer::~FakeServer() {
  Finish();
  close(listener_);
}

std::vector<std::uint8_t> SolidCellBitmap(std::int32_t width, std::int32_t height,
                                          std::uint32_t rgb, screenserver::ColourDepth depth) {
  Frame frame;
  frame.Resize(width, height);
  std::fill(frame.pixels.begin(), frame.pixels.end(), rgb);
  std::vector<std::uint8_t> bitmap;
  screenserver::WriteCellBitmap(frame, 0, 0, width, height, screenserver::Palette(depth), bitmap);
  return bitmap;
}

std::string Header(std::int32_t passes, std::int32_t column, std::int32_t row, std::int32_t offset,
                   std::uint64_t rawSize, std::int64_t length) {
  char text[96];
  std::snprintf(text, sizeof text, "%d;%d;%d;%d;%llu;%lld;", passes, column, row, offset,
                static_cast<unsigned long long>(rawSize), static_cast<long long>(length));
  return text;
}

}  // namespace harnvik::testing
