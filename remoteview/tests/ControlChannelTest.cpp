// The control channel with real datagrams on loopback: the receive thread, the queue and the
// "REMOTEDESKTOP" event, and the main loop that takes one message a pass.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "ControlCommand.h"
#include "MainLoop.h"
#include "Strund4Communication.h"

namespace harnvik {
namespace {

using namespace std::chrono_literals;

struct RecordingTarget : ControlTarget {
  std::vector<std::string> calls;
  void StartCommand(std::string_view address) override {
    calls.push_back("start " + std::string(address));
  }
  void StopCommand() override { calls.push_back("stop"); }
};

struct CountingPump : WindowPump {
  int passes = 0;
  std::optional<int> Pump(std::chrono::milliseconds) override {
    ++passes;
    return std::nullopt;
  }
};

// Sends one datagram from a socket of its own, as an outside program would.
void SendTo(std::uint16_t port, std::string_view text) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(
      sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&peer), sizeof peer),
      static_cast<ssize_t>(text.size()));
  close(fd);
}

class ControlChannel : public ::testing::Test {
 protected:
  void SetUp() override {
    channel_.StartReceiving(0, event_);
    const auto port = channel_.WaitUntilListening(2s);
    ASSERT_TRUE(port);
    port_ = *port;
  }

  // Waits until `count` messages are queued (the thread runs on its own).
  void AwaitQueued(std::size_t count) {
    for (int i = 0; i < 400 && channel_.QueuedCount() < count; ++i)
      std::this_thread::sleep_for(5ms);
    ASSERT_EQ(channel_.QueuedCount(), count);
  }

  // Sends each text and runs one pass per text; returns what the target was asked to do.
  std::vector<std::string> Handle(const std::vector<std::string>& texts) {
    for (const auto& text : texts) SendTo(port_, text);
    AwaitQueued(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) (void)loop_.RunPass();
    return target_.calls;
  }

  ManualResetEvent event_{kRemoteDesktopEventName, EventState::kSignalled};
  Strund4Communication channel_;
  std::uint16_t port_ = 0;
  RecordingTarget target_;
  CountingPump pump_;
  MainLoop loop_{channel_, event_, target_, pump_};
};

TEST_F(ControlChannel, CommandsFromDatagrams) {
  struct Case {
    std::string datagram;
    std::string call;
  };
  const std::vector<Case> cases{
      {"STOP", "stop"},
      {"START:127.0.0.1", "start 127.0.0.1"},
      // Only exactly "STOP" stops; anything else starts with its text from the 7th character.
      {"stop", "start "},
      {"STOP ", "start "},
      {"START:", "start "},
      {"HELLO:10.1.2.3", "start 10.1.2.3"},
      {"x", "start "},
      // A zero byte ends the text.
      {std::string("START:1.2.3.4\0garbage", 21), "start 1.2.3.4"},
      // The address keeps at most 31 characters.
      {"START:" + std::string(40, '7'), "start " + std::string(31, '7')},
  };
  std::vector<std::string> texts;
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    texts.push_back(c.datagram);
    expected.push_back(c.call);
  }
  EXPECT_EQ(Handle(texts), expected);
  EXPECT_FALSE(event_.IsSet());
}

TEST_F(ControlChannel, SeveralDatagramsAreHandledOnePerPassOldestFirst) {
  for (const char* text : {"START:1.1.1.1", "STOP", "START:2.2.2.2"}) SendTo(port_, text);
  AwaitQueued(3);
  EXPECT_TRUE(event_.IsSet());
  (void)loop_.RunPass();
  EXPECT_EQ(target_.calls, std::vector<std::string>{"start 1.1.1.1"});
  EXPECT_TRUE(event_.IsSet());  // messages remain, so the event stays signalled
  (void)loop_.RunPass();
  (void)loop_.RunPass();
  EXPECT_EQ(target_.calls, (std::vector<std::string>{"start 1.1.1.1", "stop", "start 2.2.2.2"}));
  EXPECT_FALSE(event_.IsSet());
  // With nothing queued a pass only waits and pumps the window.
  (void)loop_.RunPass();
  EXPECT_EQ(target_.calls.size(), 3u);
  EXPECT_EQ(pump_.passes, 4);
}

TEST_F(ControlChannel, QuitFromAnySenderEndsTheReceiveThreadOnly) {
  SendTo(port_, "START:3.3.3.3");
  AwaitQueued(1);
  SendTo(port_, "<<QUIT>>and more");
  for (int i = 0; i < 400 && !channel_.ReceiveThreadExit(); ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(channel_.ReceiveThreadExit(), 0);
  // Later datagrams are no longer received.
  SendTo(port_, "STOP");
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(channel_.QueuedCount(), 2u);
  // The quit message stays queued behind the start; it is not taken for a start command.
  (void)loop_.RunPass();
  (void)loop_.RunPass();
  EXPECT_EQ(target_.calls, std::vector<std::string>{"start 3.3.3.3"});
  EXPECT_EQ(channel_.QueuedCount(), 0u);
}

TEST_F(ControlChannel, EmptyAndOversizedDatagramsKeepTheChannelWorking) {
  SendTo(port_, "");  // the thread re-creates its socket on the same port
  std::this_thread::sleep_for(50ms);
  const std::string huge = "START:9.9.9.9" + std::string(5000, ' ');
  EXPECT_EQ(Handle({huge, "STOP"}),
            (std::vector<std::string>{"start 9.9.9.9" + std::string(24, ' '), "stop"}));
  EXPECT_FALSE(channel_.ReceiveThreadExit());
}

TEST_F(ControlChannel, ASecondCopyCannotBindThePort) {
  ManualResetEvent event(kRemoteDesktopEventName, EventState::kSignalled);
  Strund4Communication second;
  second.StartReceiving(port_, event);
  EXPECT_FALSE(second.WaitUntilListening(2s));
  EXPECT_EQ(second.ReceiveThreadExit(), -1);
  // The first copy still receives.
  EXPECT_EQ(Handle({"STOP"}), std::vector<std::string>{"stop"});
}

TEST(ControlSend, SendDatagramChecksTextAndAddress) {
  ManualResetEvent event(kRemoteDesktopEventName, EventState::kSignalled);
  std::uint16_t port = 0;
  {
    Strund4Communication channel;
    channel.StartReceiving(0, event);
    port = channel.WaitUntilListening(2s).value_or(0);
    ASSERT_NE(port, 0);
    EXPECT_EQ(Strund4Communication::SendDatagram("STOP", "127.0.0.1", port), 1);
    EXPECT_EQ(Strund4Communication::SendDatagram(std::string(2047, 'a'), "127.0.0.1", port), 0);
    for (const char* address :
         {"", "127.0.0", "127..0.1", "1.2.3.", "256.0.0.1", "a.b.c.d", "localhost"}) {
      EXPECT_EQ(Strund4Communication::SendDatagram("STOP", address, port), 0) << address;
    }
    for (int i = 0; i < 400 && channel.QueuedCount() < 1; ++i) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(channel.PopMessage(), "STOP");
    EXPECT_FALSE(channel.PopMessage());
  }
  // The destructor's "<<QUIT>>" ended the thread, so the port is free again.
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  close(fd);
}

}  // namespace
}  // namespace harnvik
