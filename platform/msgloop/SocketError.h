#pragma once
// Socket failures that have no errno of their own. Everything else a socket operation reports
// is the system's errno in std::generic_category().

#include <string>
#include <system_error>

namespace telvinor::msgloop {

enum class SocketError {
  kHostNotFound = 1,  // the host name or address could not be resolved to an IPv4 address
  kInvalidAddress,    // a local address that is not a dotted IPv4 address
};

[[nodiscard]] const std::error_category& SocketCategory() noexcept;
[[nodiscard]] std::error_code make_error_code(SocketError error) noexcept;

}  // namespace telvinor::msgloop

template <>
struct std::is_error_code_enum<telvinor::msgloop::SocketError> : std::true_type {};
