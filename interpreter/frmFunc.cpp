#include "frmFunc.h"

#include <exception>
#include <new>

#include "TraceText.h"
#include "automation/AutomationError.h"
#include "automation/Utf.h"
#include "clsInterpretor.h"
#include "text/AnsiText.h"

namespace telvinor::interpreter {

using automation::Ref;

frmFunc::frmFunc(msgloop::MessageLoop& loop, clsInterpretor& owner)
    : parent(&owner),
      m_Timer(loop, [this] { OnTimer(); }),
      wsReceive(loop, [this](std::size_t byteCount) { OnDataArrival(byteCount); }),
      ws(loop) {}

frmFunc::~frmFunc() {
  wsReceive.Close();
}

void frmFunc::SendTrace(std::u16string_view host, std::int32_t port, std::u16string_view text) {
  if (port < 0 || port > 0xFFFF) return;
  (void)ws.SendTo(automation::ToUtf8(host), static_cast<std::uint16_t>(port), TraceDatagram(text));
}

void frmFunc::OnTimer() {
  // The tick may replace or close this window (a script calling Load or UnInit); nothing
  // below touches the window after the call.
  Ref<clsInterpretor> owner(parent);
  owner->Timer_Out();
}

void frmFunc::OnDataArrival(std::size_t) {
  auto datagram = wsReceive.Read();
  if (!datagram) return;
  Ref<clsInterpretor> owner(parent);
  // A datagram has no caller to take an error, so an error becomes a trace line and the
  // window goes on receiving.
  try {
    owner->DataArrive(text::FromAnsi(datagram->bytes));
  } catch (const automation::AutomationError& e) {
    owner->Trace(std::u16string(trace::kErrTag) + e.Description());
  } catch (const std::bad_alloc&) {
    owner->Trace(std::u16string(trace::kErrTag) +
                 std::u16string(automation::StandardErrorText(automation::errc::kOutOfMemory)));
  }
}

}  // namespace telvinor::interpreter
