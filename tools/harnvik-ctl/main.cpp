// harnvik-ctl: sends the remote desktop viewer its control datagrams, as the workstation's
// agent program does.
//   harnvik-ctl [--host ADDRESS] [--port PORT] start SERVER-ADDRESS
//   harnvik-ctl [--host ADDRESS] [--port PORT] stop
//   harnvik-ctl [--host ADDRESS] [--port PORT] quit      (ends the viewer's receive thread)
//   harnvik-ctl [--host ADDRESS] [--port PORT] send TEXT
// Exit status: 0 sent, 1 the datagram could not be sent, 2 usage.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t kControlMessageBytes = 2046;

int Usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "harnvik-ctl: %s\n", problem);
  std::fputs(
      "usage: harnvik-ctl [--host ADDRESS] [--port PORT] start SERVER-ADDRESS | stop | quit |"
      " send TEXT\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string host = "127.0.0.1";
  long port = 55069;
  int i = 1;
  for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
    if (std::strcmp(argv[i], "--host") == 0) {
      host = argv[i + 1];
    } else if (std::strcmp(argv[i], "--port") == 0) {
      char* end = nullptr;
      port = std::strtol(argv[i + 1], &end, 10);
      if (*end != '\0' || port < 1 || port > 65535) return Usage("--port needs 1..65535");
    } else {
      return Usage("unknown option");
    }
  }
  if (i >= argc) return Usage(nullptr);
  const std::string command = argv[i];
  std::string text;
  if (command == "start" && i + 2 == argc) {
    text = std::string("START:") + argv[i + 1];
  } else if (command == "stop" && i + 1 == argc) {
    text = "STOP";
  } else if (command == "quit" && i + 1 == argc) {
    text = "<<QUIT>>";
  } else if (command == "send" && i + 2 == argc) {
    text = argv[i + 1];
  } else {
    return Usage("unknown command or wrong number of arguments");
  }
  if (text.size() > kControlMessageBytes) return Usage("the text is longer than 2046 bytes");

  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<std::uint16_t>(port));
  if (inet_pton(AF_INET, host.c_str(), &peer.sin_addr) != 1) {
    return Usage("--host needs a dotted IPv4 address");
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const ssize_t sent = fd < 0 ? -1
                              : sendto(fd, text.data(), text.size(), 0,
                                       reinterpret_cast<sockaddr*>(&peer), sizeof peer);
  if (fd >= 0) close(fd);
  if (sent != static_cast<ssize_t>(text.size())) {
    std::fprintf(stderr, "harnvik-ctl: cannot send: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}
