#pragma once
// The screen server: listens on a TCP port (5150 unless told otherwise) and serves each viewer
// that connects on a thread of its own.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ScreenSource.h"
#include "ServerSession.h"

namespace screenserver {

inline constexpr std::uint16_t kDefaultServerPort = 5150;

struct ServerOptions {
  std::string bindAddress = "127.0.0.1";
  std::uint16_t port = kDefaultServerPort;  // 0: the system chooses
  SessionOptions session;
};

class ScreenServer {
 public:
  ScreenServer(ServerOptions options, ScreenSource& source);
  ~ScreenServer();
  ScreenServer(const ScreenServer&) = delete;
  ScreenServer& operator=(const ScreenServer&) = delete;

  // Binds, listens and starts accepting; false with the reason in `error`.
  [[nodiscard]] bool Start(std::string& error);
  // Closes the listener and every session, and waits for their threads.
  void Stop();
  [[nodiscard]] std::uint16_t Port() const { return port_; }

  // Every request received and every update sent, in order, over all sessions.
  [[nodiscard]] std::vector<std::string> Transcript();
  void ClearTranscript();

 private:
  void AcceptLoop();

  ServerOptions options_;
  ScreenSource& source_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  struct Session {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };
  // Joins the threads of sessions that have ended (call with mutex_ held).
  void ReapFinished();

  std::mutex mutex_;
  std::vector<Session> sessions_;
  std::vector<int> sockets_;
  std::vector<std::string> transcript_;
};

}  // namespace screenserver
