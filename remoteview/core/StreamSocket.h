#pragma once
// A TCP stream socket over the POSIX socket calls: the one edge where the viewer's connection
// meets the network.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <string_view>

namespace harnvik {

class StreamSocket {
 public:
  StreamSocket() = default;
  ~StreamSocket() { Close(); }
  StreamSocket(const StreamSocket&) = delete;
  StreamSocket& operator=(const StreamSocket&) = delete;

  // Connects to port `port` of a dotted IPv4 address (no name look-up). Returns 0, or the error
  // number: EADDRNOTAVAIL for text that is not a dotted IPv4 address, ETIMEDOUT when no answer
  // came within `timeout`.
  [[nodiscard]] int Connect(std::string_view address, std::uint16_t port,
                            std::chrono::milliseconds timeout);

  // A receive that gets nothing for this long fails with EAGAIN; zero waits for ever.
  void SetReceiveTimeout(std::chrono::milliseconds timeout);

  // One send call (the whole buffer on a stream socket unless it fails); -1 with errno set.
  [[nodiscard]] ssize_t Send(std::span<const std::uint8_t> data);
  [[nodiscard]] ssize_t Send(std::string_view text);
  // One receive call; 0 when the peer closed, -1 with errno set on failure.
  [[nodiscard]] ssize_t ReceiveSome(std::span<std::uint8_t> buffer);

  void Close();
  [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace harnvik
