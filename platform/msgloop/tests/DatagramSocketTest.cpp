#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "msgloop/DatagramSocket.h"
#include "msgloop/MessageLoop.h"
#include "text/AnsiText.h"

namespace telvinor::msgloop {

// Readable failure messages.
void PrintTo(const Endpoint& endpoint, std::ostream* out) {
  *out << endpoint.ToString();
}
void PrintTo(const Datagram& datagram, std::ostream* out) {
  *out << datagram.bytes.size() << " bytes from " << datagram.from.ToString();
}

namespace {

using namespace std::chrono_literals;

constexpr auto kPatience = 5s;

// A receiving socket on a free loopback port, recording each announcement and what Read()
// returned for it.
class DatagramSocketTest : public testing::Test {
 protected:
  struct Arrival {
    std::size_t byteCount;
    Datagram datagram;
  };

  void SetUp() override {
    receiver_.SetArrivalHandler([this](std::size_t byteCount) {
      arrivals_.push_back({byteCount, receiver_.Read().value_or(Datagram{})});
      if (arrivals_.size() == expected_) loop_.Quit();
    });
    ASSERT_FALSE(receiver_.Bind("127.0.0.1", 0));
    port_ = receiver_.LocalEndpoint().value().port;
    ASSERT_NE(port_, 0);
  }

  // Runs the loop until `count` datagrams have arrived in all.
  void ReceiveUntil(std::size_t count) {
    expected_ = count;
    if (arrivals_.size() < count) {
      EXPECT_EQ(loop_.RunFor(kPatience), RunEnd::kQuit);
    }
    ASSERT_EQ(arrivals_.size(), count);
  }

  MessageLoop loop_;
  DatagramSocket receiver_{loop_};
  DatagramSocket sender_{loop_};
  std::uint16_t port_ = 0;
  std::vector<Arrival> arrivals_;
  std::size_t expected_ = 0;
};

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

struct PayloadCase {
  const char* name;
  std::string bytes;
  std::size_t byteCount;
};

const PayloadCase kPayloads[] = {
    {"Ascii", "Info:ScriptRootDir is C:\\Agent", 30},
    {"Empty", "", 0},
    {"EmbeddedNuls", std::string("a\0b\0", 4), 4},
    // Text the caller turned into the Chinese code page: two bytes for each character.
    {"ChineseInCodePage936", text::ToAnsi(u"Info:AgentRun 主脚本加载错误！", 936), 14 + 2 * 8},
    {"LargestIpv4Datagram", Pattern(DatagramSocket::kMaxPayload), DatagramSocket::kMaxPayload},
};

void PrintTo(const PayloadCase& c, std::ostream* out) {
  *out << c.name;
}

class DatagramPayload : public DatagramSocketTest,
                        public testing::WithParamInterface<PayloadCase> {};

TEST_P(DatagramPayload, ArrivesWholeWithItsByteCountAndSender) {
  const PayloadCase& c = GetParam();
  ASSERT_EQ(c.bytes.size(), c.byteCount);
  ASSERT_FALSE(sender_.SendTo("127.0.0.1", port_, c.bytes));
  ReceiveUntil(1);
  EXPECT_EQ(arrivals_[0].byteCount, c.byteCount);
  EXPECT_TRUE(arrivals_[0].datagram.bytes == c.bytes);
  // The sender has no address of its own (it sends from every interface) but a port.
  EXPECT_EQ(arrivals_[0].datagram.from,
            (Endpoint{"127.0.0.1", sender_.LocalEndpoint().value().port}));
}

INSTANTIATE_TEST_SUITE_P(Cases, DatagramPayload, testing::ValuesIn(kPayloads),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DatagramSocketTest, ABurstArrivesCompleteAndInOrder) {
  constexpr int kCount = 200;
  for (int i = 0; i < kCount; ++i) {
    ASSERT_FALSE(
        sender_.SendTo("localhost", port_, "line " + std::to_string(i) + std::string(90, '.')));
  }
  ReceiveUntil(kCount);
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(arrivals_[static_cast<std::size_t>(i)].datagram.bytes,
              "line " + std::to_string(i) + std::string(90, '.'));
  }
}

TEST_F(DatagramSocketTest, SendFailuresAreReportedAndLeaveTheSocketUsable) {
  EXPECT_EQ(sender_.SendTo("127.0.0.1", port_, Pattern(DatagramSocket::kMaxPayload + 1)),
            std::error_code(EMSGSIZE, std::generic_category()));
  EXPECT_EQ(sender_.SendTo("", port_, "x"), SocketError::kHostNotFound);
  ASSERT_FALSE(sender_.SendTo("127.0.0.1", port_, "still fine"));
  ReceiveUntil(1);
  EXPECT_EQ(arrivals_[0].datagram.bytes, "still fine");
}

TEST_F(DatagramSocketTest, BindFailures) {
  DatagramSocket other(loop_);
  EXPECT_EQ(other.Bind("127.0.0.1", port_), std::error_code(EADDRINUSE, std::generic_category()));
  EXPECT_FALSE(other.IsOpen()) << "a failed bind leaves no half-open socket";
  EXPECT_EQ(other.Bind("localhost", 0), SocketError::kInvalidAddress);
  EXPECT_EQ(receiver_.Bind("127.0.0.1", 0), std::error_code(EINVAL, std::generic_category()))
      << "already bound";
}

TEST_F(DatagramSocketTest, SendingToAPortWithNoListenerIsNotAnError) {
  std::uint16_t deadPort = 0;
  {
    DatagramSocket gone(loop_);
    ASSERT_FALSE(gone.Bind("127.0.0.1", 0));
    deadPort = gone.LocalEndpoint()->port;
  }
  // Fire-and-forget: each send succeeds although every datagram is lost, and whatever the
  // kernel learns about the lost ones never shows up as a failure of the next call.
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(sender_.SendTo("127.0.0.1", deadPort, "lost")) << i;
    EXPECT_EQ(loop_.Pump(), 0u) << "nothing arrives for the sender";
  }
  ASSERT_FALSE(sender_.SendTo("127.0.0.1", port_, "kept"));
  ReceiveUntil(1);
  EXPECT_EQ(arrivals_[0].datagram.bytes, "kept");
  // The sender still receives what is sent to it.
  ASSERT_FALSE(receiver_.SendTo("127.0.0.1", sender_.LocalEndpoint()->port, "back"));
  std::string back;
  sender_.SetArrivalHandler([&](std::size_t) {
    back = sender_.Read().value_or(Datagram{}).bytes;
    loop_.Quit();
  });
  EXPECT_EQ(loop_.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_EQ(back, "back");
}

TEST_F(DatagramSocketTest, ADatagramTheHandlerDoesNotReadIsDroppedAndTheNextIsAnnounced) {
  std::vector<std::size_t> counts;
  receiver_.SetArrivalHandler([&](std::size_t byteCount) {
    counts.push_back(byteCount);
    if (counts.size() == 2) loop_.Quit();
  });
  ASSERT_FALSE(sender_.SendTo("127.0.0.1", port_, "first"));
  ASSERT_FALSE(sender_.SendTo("127.0.0.1", port_, "second!"));
  EXPECT_EQ(loop_.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_EQ(counts, (std::vector<std::size_t>{5, 7}));
  EXPECT_EQ(receiver_.Read(), std::nullopt);
}

TEST_F(DatagramSocketTest, AHandlerMayDestroyOrCloseItsSocket) {
  auto doomed = std::make_unique<DatagramSocket>(loop_);
  int announced = 0;
  doomed->SetArrivalHandler([&](std::size_t) {
    ++announced;
    doomed.reset();
    loop_.PostCall([&] { loop_.Quit(); });
  });
  ASSERT_FALSE(doomed->Bind("127.0.0.1", 0));
  const auto doomedPort = doomed->LocalEndpoint()->port;
  ASSERT_FALSE(sender_.SendTo("127.0.0.1", doomedPort, "one"));
  ASSERT_FALSE(sender_.SendTo("127.0.0.1", doomedPort, "two"));
  EXPECT_EQ(loop_.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(doomed, nullptr);

  // Closing from inside the handler, then sending from the same object: a new socket.
  receiver_.SetArrivalHandler([&](std::size_t) {
    receiver_.Close();
    EXPECT_FALSE(receiver_.SendTo("127.0.0.1", sender_.LocalEndpoint()->port, "reopened"));
  });
  std::string reply;
  sender_.SetArrivalHandler([&](std::size_t) {
    reply = sender_.Read().value_or(Datagram{}).bytes;
    loop_.Quit();
  });
  ASSERT_FALSE(sender_.SendTo("127.0.0.1", port_, "close yourself"));
  EXPECT_EQ(loop_.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_EQ(reply, "reopened");
  EXPECT_TRUE(receiver_.IsOpen());
  EXPECT_NE(receiver_.LocalEndpoint()->port, port_);
}

TEST_F(DatagramSocketTest, ReadOutsideAHandlerTakesTheNextWaitingDatagram) {
  EXPECT_EQ(receiver_.Read(), std::nullopt);
  ASSERT_FALSE(sender_.SendTo("127.0.0.1", port_, "polled"));
  // Loopback delivery is immediate, but give the kernel a moment without depending on it.
  std::optional<Datagram> got;
  for (int i = 0; i < 100 && !got; ++i) {
    got = receiver_.Read();
    if (!got) std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(got);
  EXPECT_EQ(got->bytes, "polled");
  EXPECT_EQ(loop_.Pump(), 0u) << "nothing left to announce";
}

}  // namespace
}  // namespace telvinor::msgloop
