#pragma once
// A UDP socket on a message loop, behaving as a window's datagram socket control does:
// - SendTo() sends one datagram to a host and port, fire-and-forget: a datagram to a port
//   where nobody listens is lost without an error, and the ICMP "port unreachable" that the
//   kernel may hold on the socket afterwards never shows as a failure of a later call;
// - Bind() gives the socket a local port to receive on (optional: a sending socket gets a
//   port from the system on its first send);
// - each arriving datagram is announced to the arrival handler with its byte count, and the
//   handler reads it whole with Read(). A datagram the handler leaves unread is dropped when
//   the handler returns, so every datagram is announced exactly once and the next one gets
//   its own announcement.
//
// IPv4 only, as the control was. Payload bytes are passed through untouched: converting text
// to and from the ANSI code page is the caller's business.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "msgloop/LoopCore.h"
#include "msgloop/SocketError.h"
#include "msgloop/UniqueFd.h"

namespace telvinor::msgloop {

class MessageLoop;

struct Endpoint {
  std::string address;  // dotted IPv4
  std::uint16_t port = 0;

  [[nodiscard]] std::string ToString() const;  // "127.0.0.1:33334"
  bool operator==(const Endpoint&) const = default;
};

struct Datagram {
  std::string bytes;  // exactly as sent
  Endpoint from;

  bool operator==(const Datagram&) const = default;
};

class DatagramSocket {
 public:
  using ArrivalHandler = std::function<void(std::size_t byteCount)>;

  // The largest UDP payload over IPv4: 65,535 less the IP (20) and UDP (8) headers (RFC 768).
  static constexpr std::size_t kMaxPayload = 65507;

  explicit DatagramSocket(MessageLoop& loop, ArrivalHandler onArrival = {});
  ~DatagramSocket();
  DatagramSocket(const DatagramSocket&) = delete;
  DatagramSocket& operator=(const DatagramSocket&) = delete;

  void SetArrivalHandler(ArrivalHandler onArrival);

  // Binds to a dotted IPv4 address ("127.0.0.1", or "0.0.0.0" for every interface) and a
  // port (0: any free port; LocalEndpoint() tells which). Opens the socket if needed.
  [[nodiscard]] std::error_code Bind(std::string_view localAddress, std::uint16_t port);

  // Sends `payload` as one datagram to host:port. The host is a dotted address or a name
  // (resolved with the system resolver, which may block; the last result is remembered).
  // Errors: SocketError::kHostNotFound, EMSGSIZE above kMaxPayload, or the system's errno.
  [[nodiscard]] std::error_code SendTo(std::string_view host, std::uint16_t port,
                                       std::string_view payload);

  // The announced datagram inside the arrival handler; elsewhere the next waiting datagram.
  // Nothing when no datagram is waiting. Never blocks.
  [[nodiscard]] std::optional<Datagram> Read();

  [[nodiscard]] std::optional<Endpoint> LocalEndpoint() const;
  [[nodiscard]] bool IsOpen() const noexcept { return fd_.Valid(); }

  // Closes the socket; waiting datagrams are lost. A later Bind() or SendTo() opens a new one.
  void Close() noexcept;

 private:
  [[nodiscard]] std::error_code Open();
  [[nodiscard]] std::error_code Resolve(std::string_view host, std::uint32_t& address);
  [[nodiscard]] std::optional<std::size_t> PeekSize();
  void OnReady();

  std::shared_ptr<detail::LoopCore> core_;
  UniqueFd fd_;
  detail::SourceId source_ = 0;
  std::shared_ptr<ArrivalHandler> onArrival_;
  bool announced_ = false;  // a datagram was announced to the handler and is still unread
  std::string resolvedHost_;
  std::uint32_t resolvedAddress_ = 0;  // network byte order
  // Expires with the object: lets OnReady tell whether its handler destroyed the socket.
  std::shared_ptr<int> life_ = std::make_shared<int>(0);
};

}  // namespace telvinor::msgloop
