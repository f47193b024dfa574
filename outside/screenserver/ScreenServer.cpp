#include "ScreenServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace screenserver {

ScreenServer::ScreenServer(ServerOptions options, ScreenSource& source)
    : options_(std::move(options)), source_(source) {}

ScreenServer::~ScreenServer() {
  Stop();
}

bool ScreenServer::Start(std::string& error) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(options_.port);
  if (inet_pton(AF_INET, options_.bindAddress.c_str(), &local.sin_addr) != 1) {
    error = "not a dotted IPv4 address: " + options_.bindAddress;
    return false;
  }
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      listen(listener_, 8) != 0) {
    error = std::string("cannot listen: ") + std::strerror(errno);
    if (listener_ >= 0) close(listener_);
    listener_ = -1;
    return false;
  }
  socklen_t size = sizeof local;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&local), &size);
  port_ = ntohs(local.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void ScreenServer::AcceptLoop() {
  while (!stopping_) {
    pollfd waiter{listener_, POLLIN, 0};
    if (poll(&waiter, 1, 100) <= 0) continue;
    const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const int on = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::lock_guard lock(mutex_);
    ReapFinished();
    sockets_.push_back(client);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([this, client, finished] {
      ServerSession session(client, source_, options_.session, [this](const std::string& line) {
        std::lock_guard lock(mutex_);
        transcript_.push_back(line);
      });
      session.Run();
      std::lock_guard lock(mutex_);
      shutdown(client, SHUT_RDWR);
      sockets_.erase(std::remove(sockets_.begin(), sockets_.end(), client), sockets_.end());
      close(client);
      *finished = true;
    });
    sessions_.push_back({std::move(thread), std::move(finished)});
  }
}

void ScreenServer::ReapFinished() {
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    if (*it->finished) {
      it->thread.join();
      it = sessions_.erase(it);
    } else {
      ++it;
    }
  }
}

void ScreenServer::Stop() {
  if (listener_ < 0) return;
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<Session> sessions;
  {
    std::lock_guard lock(mutex_);
    for (int client : sockets_) shutdown(client, SHUT_RDWR);
    sessions.swap(sessions_);
  }
  for (auto& session : sessions) session.thread.join();
  close(listener_);
  listener_ = -1;
}

std::vector<std::string> ScreenServer::Transcript() {
  std::lock_guard lock(mutex_);
  return transcript_;
}

void ScreenServer::ClearTranscript() {
  std::lock_guard lock(mutex_);
  transcript_.clear();
}

}  // namespace screenserver
