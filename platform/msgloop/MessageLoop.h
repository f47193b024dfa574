#pragma once
// The per-thread message loop that a Windows host thread gives its windows for free: timers,
// datagram socket arrivals and posted calls are delivered on the thread that owns the loop,
// one at a time, between the host's own calls.
//
// A host drives it in one of two ways:
// - Run() until a handler calls Quit() (a console host, a test);
// - a host with its own loop (a Qt program) watches WatchFd() and calls Pump() whenever it is
//   readable; Pump() never blocks:
//
//     QSocketNotifier notifier(loop.WatchFd(), QSocketNotifier::Read);
//     QObject::connect(&notifier, &QSocketNotifier::activated, [&] { loop.Pump(); });
//
// Delivery rules:
// - One notification at a time: a handler is never entered while another handler runs,
//   unless that handler pumps the loop itself (Pump() or Run() from inside a handler, as a
//   modal dialog would). Even then an object's notification never re-enters that same
//   object's running handler; it waits until the handler returns.
// - A handler that throws does not stop the loop: the exception goes to the exception hook
//   (by default a line on standard error) and delivery goes on.
// - Objects (Timer, DatagramSocket) belong to whoever created them and may be destroyed at
//   any time on the loop's thread, including from inside their own handler.
//
// Everything here is for the loop's own thread except PostCall(), which any thread may call.
// To stop the loop from another thread, post the Quit: loop.PostCall([&] { loop.Quit(); }).
// Never destroy a loop from inside one of its own handlers.

#include <chrono>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>

namespace telvinor::msgloop {

namespace detail {
class LoopCore;
}

enum class RunEnd { kQuit, kTimedOut };

class MessageLoop {
 public:
  using ExceptionHook = std::function<void(std::exception_ptr)>;

  MessageLoop();  // throws std::system_error when the kernel refuses the descriptors it needs
  ~MessageLoop();
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // The calling thread's own loop, created on first use and destroyed with the thread: what a
  // component created on a host's thread attaches its hidden objects to.
  [[nodiscard]] static MessageLoop& ForCurrentThread();

  // Delivers notifications until Quit(). A Quit() made while the loop was not running makes
  // the next Run() return at once, as a quit message waiting in a Windows queue would.
  void Run();
  // The same, but gives up after `limit`.
  [[nodiscard]] RunEnd RunFor(std::chrono::milliseconds limit);
  // Ends the innermost Run()/RunFor() once the running handler returns.
  void Quit() noexcept { quitRequested_ = true; }

  // Delivers whatever is due now, without waiting. Returns how many ready sources it served
  // (all calls posted so far count as one source); 0 means nothing was due. It serves a
  // bounded batch, so a host calls it again while WatchFd() stays readable.
  std::size_t Pump();

  // Readable exactly while Pump() has something to deliver (an epoll descriptor).
  [[nodiscard]] int WatchFd() const noexcept;

  // Queues `call` to run on the loop's thread, in posting order. Safe from any thread; the
  // loop object must outlive the call to PostCall itself.
  void PostCall(std::function<void()> call);

  // Where exceptions thrown by handlers and posted calls go. An empty hook restores the default.
  void SetExceptionHook(ExceptionHook hook);

 private:
  friend class Timer;
  friend class DatagramSocket;

  std::shared_ptr<detail::LoopCore> core_;
  bool quitRequested_ = false;
};

}  // namespace telvinor::msgloop
