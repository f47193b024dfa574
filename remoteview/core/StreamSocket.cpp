#include "StreamSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace harnvik {

int StreamSocket::Connect(std::string_view address, std::uint16_t port,
                          std::chrono::milliseconds timeout) {
  Close();
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  if (inet_pton(AF_INET, std::string(address).c_str(), &peer.sin_addr) != 1) {
    return EADDRNOTAVAIL;
  }
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd_ < 0) return errno;

  // Connect without blocking so an address that never answers fails after `timeout` instead of
  // the system's minutes of retries; the window waits on this call.
  int error = 0;
  if (connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      pollfd waiter{fd_, POLLOUT, 0};
      const int ready = poll(&waiter, 1, static_cast<int>(timeout.count()));
      socklen_t size = sizeof error;
      if (ready == 0) {
        error = ETIMEDOUT;
      } else if (ready < 0 || getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        error = errno;
      }
    }
  }
  if (error != 0) {
    Close();
    return error;
  }
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  // Requests are a few bytes each and strictly answered; sending them at once saves a delay.
  const int on = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return 0;
}

void StreamSocket::SetReceiveTimeout(std::chrono::milliseconds timeout) {
  if (fd_ < 0) return;
  timeval limit{};
  limit.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  limit.tv_usec = static_cast<suseconds_t>(timeout.count() % 1000 * 1000);
  setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

ssize_t StreamSocket::Send(std::span<const std::uint8_t> data) {
  if (fd_ < 0) {
    errno = ENOTCONN;
    return -1;
  }
  std::size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    sent += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(sent);
}

ssize_t StreamSocket::Send(std::string_view text) {
  return Send(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

ssize_t StreamSocket::ReceiveSome(std::span<std::uint8_t> buffer) {
  if (fd_ < 0) {
    errno = ENOTCONN;
    return -1;
  }
  for (;;) {
    const ssize_t n = recv(fd_, buffer.data(), buffer.size(), 0);
    if (n >= 0 || errno != EINTR) return n;
  }
}

void StreamSocket::Close() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
}

}  // namespace harnvik
