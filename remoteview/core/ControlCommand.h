#pragma once
// What a control message asks for. Exactly "STOP" stops; a message that begins with "<<QUIT>>"
// only ended the receive thread; anything else is a start command whose address is the text
// from its seventh character on (what follows "START:"; the prefix itself is not checked).

#include <cstdint>
#include <string>
#include <string_view>

namespace harnvik {

// The main loop keeps the address in a 32-byte buffer: at most 31 characters.
inline constexpr std::size_t kMaxServerAddressChars = 31;
inline constexpr std::size_t kStartPrefixChars = 6;  // "START:"

enum class ControlKind : std::uint8_t { kStop, kStart, kQuit };

struct ControlCommand {
  ControlKind kind = ControlKind::kStop;
  std::string address;  // for kStart
  bool operator==(const ControlCommand&) const = default;
};

[[nodiscard]] ControlCommand InterpretControlMessage(std::string_view message);

}  // namespace harnvik
