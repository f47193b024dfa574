#include "Strund4Communication.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "TextNumber.h"

namespace harnvik {
namespace {

// The thread's debug trace: on standard error when HARNVIK_TRACE is set, nowhere otherwise.
void DebugTrace(const char* text) {
  if (std::getenv("HARNVIK_TRACE") != nullptr) std::fputs(text, stderr);
}

// The control port is bound on every local address: the outside program that drives the
// viewer may run on this machine or another.
int BindDatagramSocket(std::uint16_t port, std::uint16_t& bound) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(port);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    close(fd);
    return -1;
  }
  socklen_t size = sizeof local;
  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size);
  bound = ntohs(local.sin_port);
  return fd;
}

// Dotted IPv4 text: four decimal parts 0..255, the first three each followed by a dot.
std::optional<in_addr> ParseDottedAddress(std::string_view text) {
  std::uint32_t value = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = part < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos || dot == 0 || dot > 3) return std::nullopt;
    const std::string_view digits = text.substr(0, dot);
    for (char c : digits) {
      if (c < '0' || c > '9') return std::nullopt;
    }
    const std::int64_t number = ReadLeadingNumber(digits);
    if (number > 255) return std::nullopt;
    value = (value << 8) | static_cast<std::uint32_t>(number);
    text.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  in_addr address{};
  address.s_addr = htonl(value);
  return address;
}

}  // namespace

Strund4Communication::Strund4Communication() = default;

Strund4Communication::~Strund4Communication() {
  if (thread_.joinable()) {
    if (std::strcmp(receiveTransport_, "UDP") == 0 && std::strcmp(sendTransport_, "UDP") == 0) {
      const int port = listeningPort_.load();
      if (port > 0) (void)SendDatagram(kQuitMessage, "127.0.0.1", static_cast<std::uint16_t>(port));
    }
    // Should the datagram not arrive (another program took the port between two sockets),
    // the thread still notices within one poll period.
    stopping_ = true;
    thread_.join();
  }
}

int Strund4Communication::StartReceiving(std::uint16_t port, ManualResetEvent& event) {
  port_ = port;
  event_ = &event;
  event.Reset();
  thread_ = std::thread([this] { DataRecvThread(); });
  return 1;
}

void Strund4Communication::Push(std::string message, bool signal) {
  std::lock_guard lock(queueLock_);
  queue_.push_back(std::move(message));
  if (signal) event_->Set();
}

std::optional<std::string> Strund4Communication::PopMessage() {
  std::lock_guard lock(queueLock_);
  if (queue_.empty()) {
    event_->Reset();
    return std::nullopt;
  }
  std::string message = std::move(queue_.front());
  queue_.pop_front();
  if (queue_.empty()) event_->Reset();
  return message;
}

std::size_t Strund4Communication::QueuedCount() {
  std::lock_guard lock(queueLock_);
  return queue_.size();
}

std::optional<std::uint16_t> Strund4Communication::WaitUntilListening(
    std::chrono::milliseconds timeout) {
  std::unique_lock lock(stateLock_);
  stateChanged_.wait_for(lock, timeout, [this] { return listeningPort_ >= 0 || exitCode_ != 1; });
  if (listeningPort_ < 0) return std::nullopt;
  return static_cast<std::uint16_t>(listeningPort_.load());
}

std::optional<int> Strund4Communication::ReceiveThreadExit() const {
  const int code = exitCode_.load();
  if (code == 1) return std::nullopt;
  return code;
}

void Strund4Communication::DataRecvThread() {
  event_->Reset();
  auto finish = [this](int code) {
    std::lock_guard lock(stateLock_);
    exitCode_ = code;
    stateChanged_.notify_all();
  };
  std::uint16_t port = port_;
  std::vector<char> buffer(kControlMessageBytes);
  for (;;) {
    std::uint16_t bound = 0;
    const int fd = BindDatagramSocket(port, bound);
    if (fd < 0) {
      finish(-1);
      return;
    }
    port = bound;  // a system-chosen port stays the same for the re-created socket
    {
      std::lock_guard lock(stateLock_);
      listeningPort_ = bound;
      stateChanged_.notify_all();
    }
    for (;;) {
      pollfd waiter{fd, POLLIN, 0};
      const int ready = poll(&waiter, 1, 200);
      if (stopping_) {
        close(fd);
        finish(0);
        return;
      }
      if (ready <= 0) continue;
      std::fill(buffer.begin(), buffer.end(), '\0');
      const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
      if (n <= 0) {
        // An empty datagram or a failed receive: start again with a new socket on the port.
        close(fd);
        break;
      }
      // The message is the datagram's text up to its first zero byte; a datagram longer than
      // the buffer was cut to it by the receive.
      std::string message(buffer.data(), strnlen(buffer.data(), static_cast<std::size_t>(n)));
      const bool quit = std::memcmp(buffer.data(), kQuitMessage.data(), kQuitMessage.size()) == 0;
      // "<<QUIT>>" stays queued but does not set the event: it only ends this thread.
      Push(std::move(message), !quit);
      if (quit) {
        DebugTrace("\nStrund4Communication _DataRecvThread Exit\n");
        close(fd);
        finish(0);
        return;
      }
    }
  }
}

int Strund4Communication::SendDatagram(std::string_view text, std::string_view address,
                                       std::uint16_t port) {
  const auto destination = ParseDottedAddress(address);
  if (!destination) return 0;
  // Outgoing datagrams of every instance go one at a time.
  static std::mutex sendLock;
  std::lock_guard lock(sendLock);
  if (text.size() > kControlMessageBytes) return 0;
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr = *destination;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    close(fd);
    return -1;
  }
  std::vector<char> datagram(kControlMessageBytes, '\0');
  std::memcpy(datagram.data(), text.data(), text.size());
  const ssize_t sent = send(fd, datagram.data(), datagram.size(), 0);
  close(fd);
  return sent == static_cast<ssize_t>(datagram.size()) ? 1 : 0;
}

}  // namespace harnvik
