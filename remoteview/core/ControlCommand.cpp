#include "ControlCommand.h"

#include "Strund4Communication.h"

namespace harnvik {

ControlCommand InterpretControlMessage(std::string_view message) {
  if (message == "STOP") return {ControlKind::kStop, {}};
  // A quit message that was still queued behind others when its thread ended: it is no start
  // command, and taking it for one would connect to ">>".
  if (message.starts_with(kQuitMessage)) return {ControlKind::kQuit, {}};
  std::string_view address =
      message.size() > kStartPrefixChars ? message.substr(kStartPrefixChars) : std::string_view{};
  return {ControlKind::kStart, std::string(address.substr(0, kMaxServerAddressChars))};
}

}  // namespace harnvik
