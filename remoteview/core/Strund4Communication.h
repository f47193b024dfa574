#pragma once
// The control channel: another program on the workstation tells the viewer when to connect and
// when to let go by sending short text datagrams to a local UDP port. A receive thread of its
// own (`_DataRecvThread`) queues each datagram under a lock and sets the "REMOTEDESKTOP" event;
// the main thread takes them one at a time.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "ManualResetEvent.h"

namespace harnvik {

inline constexpr std::uint16_t kDefaultControlPort = 55069;
inline constexpr std::size_t kControlMessageBytes = 2046;
inline constexpr std::string_view kQuitMessage = "<<QUIT>>";

class Strund4Communication {
 public:
  Strund4Communication();
  // Sends "<<QUIT>>" to its own port so the receive thread leaves, then waits for it.
  ~Strund4Communication();
  Strund4Communication(const Strund4Communication&) = delete;
  Strund4Communication& operator=(const Strund4Communication&) = delete;

  // Stores port and event, resets the event and starts the receive thread. Port 0 lets the
  // system choose one (kept across socket re-creation). Returns 1.
  int StartReceiving(std::uint16_t port, ManualResetEvent& event);

  // The oldest queued message, removed from the queue; the event is reset, under the same lock,
  // when this left the queue empty (so a message pushed meanwhile is never stranded).
  [[nodiscard]] std::optional<std::string> PopMessage();

  // Sends `text`, its terminating zero and zero bytes up to 2046 bytes as one datagram to a
  // dotted IPv4 address. Returns 1 on success; 0 when the text is longer than 2046 bytes, the
  // address is malformed or the send fails; -1 when the socket cannot be made or connected.
  [[nodiscard]] static int SendDatagram(std::string_view text, std::string_view address,
                                        std::uint16_t port);

  // The port the receive thread listens on, once it does (for a port chosen by the system);
  // nothing if the thread could not bind within `timeout`.
  [[nodiscard]] std::optional<std::uint16_t> WaitUntilListening(std::chrono::milliseconds timeout);
  // The receive thread's exit code once it has ended: 0 after "<<QUIT>>", -1 when it could not
  // make or bind its socket.
  [[nodiscard]] std::optional<int> ReceiveThreadExit() const;

  [[nodiscard]] std::size_t QueuedCount();

 private:
  void DataRecvThread();  // `_DataRecvThread`
  void Push(std::string message, bool signal);

  char receiveTransport_[20] = "UDP";
  char sendTransport_[20] = "UDP";
  std::uint16_t port_ = 0;
  ManualResetEvent* event_ = nullptr;
  std::mutex queueLock_;
  std::deque<std::string> queue_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> listeningPort_{-1};
  std::atomic<int> exitCode_{1};  // 1 while running
  std::mutex stateLock_;
  std::condition_variable stateChanged_;
};

}  // namespace harnvik
