#pragma once
// What a host program may ask of the interpreter beyond its automation members: that the
// hidden window's receiving socket listen on a port, so that each datagram arriving there is
// one message for DataArrive, as if the host had passed it to SendCmd.
//
// A host that created the interpreter by ProgID reaches this through a cast of the object it
// got (the object crosses the library boundary as a C++ object):
//
//   if (auto* binding = dynamic_cast<interpreter::ReceiverBinding*>(object.get()))
//     if (auto error = binding->ListenForMessages("127.0.0.1", 40000)) report(error);
//
// This header is all a host needs; it links nothing of the interpreter.

#include <cstdint>
#include <optional>
#include <string_view>
#include <system_error>

#include "msgloop/DatagramSocket.h"

namespace telvinor::interpreter {

class ReceiverBinding {
 public:
  // Binds the receiving socket to a dotted IPv4 address and a port (0: any free port). The
  // request is kept: every later Load binds the new window's socket the same way (and traces
  // an "Err:" line if that fails). Called before Load, it only records the request.
  [[nodiscard]] virtual std::error_code ListenForMessages(std::string_view address,
                                                          std::uint16_t port) = 0;
  // Where the receiving socket listens now, or nothing.
  [[nodiscard]] virtual std::optional<msgloop::Endpoint> MessageEndpoint() const = 0;

 protected:
  ~ReceiverBinding() = default;
};

}  // namespace telvinor::interpreter
