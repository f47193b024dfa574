#pragma once
// frmFunc: the interpreter's hidden window. It exists to own a timer and two datagram sockets
// and to hear their notifications on the host's thread, through that thread's message loop:
//   m_Timer     periodic; each tick runs the workflow's OnTimeOut (parent->Timer_Out())
//   wsReceive   receives messages, one datagram each, for parent->DataArrive(); it listens only
//               when the host asks (ReceiverBinding)
//   ws          sends the trace datagrams
// A new window's timer is enabled with interval 0, so it ticks only once a script sets an
// interval. Destroying the window is its unload: the sockets close and the ticks stop.
//
// `parent` is a plain pointer, not a reference count: the interpreter owns the window and
// destroys it before it goes itself, so the pointer is valid for the window's whole life, and
// the pair is freed even when a host releases the interpreter without calling UnInit.

#include <cstdint>
#include <string_view>

#include "msgloop/DatagramSocket.h"
#include "msgloop/MessageLoop.h"
#include "msgloop/Timer.h"

namespace telvinor::interpreter {

class clsInterpretor;

class frmFunc {
 public:
  static constexpr std::u16string_view kCaption = u"Form1";  // never shown

  frmFunc(msgloop::MessageLoop& loop, clsInterpretor& owner);
  ~frmFunc();
  frmFunc(const frmFunc&) = delete;
  frmFunc& operator=(const frmFunc&) = delete;

  // One trace line as one datagram to host:port; fire-and-forget, as the socket control's
  // sends are: a send that fails loses the line and reports nothing.
  void SendTrace(std::u16string_view host, std::int32_t port, std::u16string_view text);

  clsInterpretor* const parent;
  msgloop::Timer m_Timer;
  msgloop::DatagramSocket wsReceive;
  msgloop::DatagramSocket ws;

 private:
  void OnTimer();
  void OnDataArrival(std::size_t byteCount);
};

}  // namespace telvinor::interpreter
