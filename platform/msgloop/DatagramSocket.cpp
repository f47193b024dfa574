#include "msgloop/DatagramSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "msgloop/MessageLoop.h"

namespace telvinor::msgloop {
namespace {

// Room for a burst of datagrams while the loop's thread is busy in a handler (the kernel
// caps it at net.core.rmem_max).
constexpr int kReceiveBuffer = 1 << 20;

// How often a call retries after the socket reported a queued delivery error instead of
// doing its work. Each report clears one error, so a few tries always get through.
constexpr int kErrorRetries = 8;

// Errors that report the fate of an earlier datagram (ICMP, RFC 1122 4.1.3.3), not of the
// current call. A sender that does not care about delivery must not see them.
bool IsDeliveryReport(int error) {
  return error == ECONNREFUSED || error == EHOSTUNREACH || error == ENETUNREACH;
}

std::error_code LastError() {
  return {errno, std::generic_category()};
}

Endpoint ToEndpoint(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return {text, ntohs(address.sin_port)};
}

}  // namespace

std::string Endpoint::ToString() const {
  return address + ":" + std::to_string(port);
}

DatagramSocket::DatagramSocket(MessageLoop& loop, ArrivalHandler onArrival)
    : core_(loop.core_), onArrival_(std::make_shared<ArrivalHandler>(std::move(onArrival))) {}

DatagramSocket::~DatagramSocket() {
  Close();
}

void DatagramSocket::SetArrivalHandler(ArrivalHandler onArrival) {
  onArrival_ = std::make_shared<ArrivalHandler>(std::move(onArrival));
}

std::error_code DatagramSocket::Open() {
  if (fd_.Valid()) return {};
  UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) return LastError();
  // Best effort: a smaller buffer only means an earlier drop under a burst.
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
  try {
    source_ = core_->Watch(fd.Get(), [this] { OnReady(); });
  } catch (const std::system_error& e) {
    return e.code();
  }
  fd_ = std::move(fd);
  announced_ = false;
  return {};
}

void DatagramSocket::Close() noexcept {
  if (!fd_.Valid()) return;
  core_->Unwatch(source_);
  fd_.Reset();
  announced_ = false;
}

std::error_code DatagramSocket::Bind(std::string_view localAddress, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (::inet_pton(AF_INET, std::string(localAddress).c_str(), &address.sin_addr) != 1) {
    return SocketError::kInvalidAddress;
  }
  const bool openedHere = !fd_.Valid();
  if (auto error = Open()) return error;
  if (::bind(fd_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    auto error = LastError();
    if (openedHere) Close();
    return error;
  }
  return {};
}

std::error_code DatagramSocket::Resolve(std::string_view host, std::uint32_t& address) {
  if (!resolvedHost_.empty() && host == resolvedHost_) {
    address = resolvedAddress_;
    return {};
  }
  std::string name(host);
  in_addr numeric{};
  if (::inet_pton(AF_INET, name.c_str(), &numeric) == 1) {
    address = numeric.s_addr;
  } else {
    if (name.empty()) return SocketError::kHostNotFound;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) {
      return SocketError::kHostNotFound;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
  }
  resolvedHost_ = std::move(name);
  resolvedAddress_ = address;
  return {};
}

std::error_code DatagramSocket::SendTo(std::string_view host, std::uint16_t port,
                                       std::string_view payload) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (auto error = Resolve(host, to.sin_addr.s_addr)) return error;
  if (auto error = Open()) return error;
  for (int attempt = 0; attempt < kErrorRetries; ++attempt) {
    auto sent = ::sendto(fd_.Get(), payload.data(), payload.size(), MSG_NOSIGNAL,
                         reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent >= 0) return {};
    if (errno != EINTR && !IsDeliveryReport(errno)) return LastError();
  }
  // Still only reports about earlier datagrams: this one counts as sent and lost.
  return {};
}

std::optional<std::size_t> DatagramSocket::PeekSize() {
  if (!fd_.Valid()) return std::nullopt;
  for (int attempt = 0; attempt < kErrorRetries; ++attempt) {
    char probe = 0;
    // MSG_TRUNC makes a peek return the datagram's real length (udp(7)).
    auto size = ::recv(fd_.Get(), &probe, sizeof probe, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (size >= 0) return static_cast<std::size_t>(size);
    if (errno != EINTR && !IsDeliveryReport(errno)) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<Datagram> DatagramSocket::Read() {
  auto size = PeekSize();
  if (!size) return std::nullopt;
  Datagram datagram;
  datagram.bytes.resize(*size);
  sockaddr_in from{};
  socklen_t fromLength = sizeof from;
  // A one-byte buffer still takes a zero-length datagram off the queue.
  char empty = 0;
  char* buffer = *size ? datagram.bytes.data() : &empty;
  auto got = ::recvfrom(fd_.Get(), buffer, *size ? *size : 1, MSG_DONTWAIT,
                        reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (got < 0) return std::nullopt;
  datagram.bytes.resize(std::min(static_cast<std::size_t>(got), *size));
  datagram.from = ToEndpoint(from);
  announced_ = false;
  return datagram;
}

std::optional<Endpoint> DatagramSocket::LocalEndpoint() const {
  if (!fd_.Valid()) return std::nullopt;
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (::getsockname(fd_.Get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
    return std::nullopt;
  return ToEndpoint(local);
}

void DatagramSocket::OnReady() {
  auto size = PeekSize();
  if (!size) return;  // taken by a nested pump, or only a delivery report was waiting
  std::weak_ptr<int> alive = life_;
  announced_ = true;
  std::shared_ptr<ArrivalHandler> onArrival = onArrival_;
  if (*onArrival) {
    const std::size_t byteCount = *size;
    core_->Guarded([&] { (*onArrival)(byteCount); });
  }
  if (alive.expired()) return;  // the handler destroyed the socket
  if (announced_) {
    char probe = 0;
    [[maybe_unused]] auto dropped = ::recv(fd_.Get(), &probe, sizeof probe, MSG_DONTWAIT);
    announced_ = false;
  }
}

}  // namespace telvinor::msgloop
