#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "automation/AutomationError.h"
#include "msgloop/DatagramSocket.h"
#include "msgloop/MessageLoop.h"
#include "msgloop/Timer.h"

namespace telvinor::msgloop {
namespace {

using namespace std::chrono_literals;

// A generous limit for the loop to reach a state the test waits for; reaching it is a failure.
constexpr auto kPatience = 5s;

bool Readable(int fd, std::chrono::milliseconds wait) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(wait.count())) == 1 && (p.revents & POLLIN);
}

TEST(MessageLoop, PostedCallsFromOtherThreadsRunOnTheLoopThreadInPostingOrder) {
  MessageLoop loop;
  constexpr int kThreads = 4;
  constexpr int kCallsEach = 250;
  std::vector<std::vector<int>> seen(kThreads);
  int total = 0;
  bool allOnLoopThread = true;
  const auto loopThread = std::this_thread::get_id();

  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kCallsEach; ++i) {
        loop.PostCall([&, t, i] {
          allOnLoopThread = allOnLoopThread && std::this_thread::get_id() == loopThread;
          seen[static_cast<std::size_t>(t)].push_back(i);
          if (++total == kThreads * kCallsEach) loop.Quit();
        });
      }
    });
  }
  EXPECT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
  for (auto& poster : posters) poster.join();

  EXPECT_TRUE(allOnLoopThread);
  std::vector<int> expected(kCallsEach);
  for (int i = 0; i < kCallsEach; ++i) expected[static_cast<std::size_t>(i)] = i;
  for (const auto& calls : seen) EXPECT_EQ(calls, expected);
}

TEST(MessageLoop, QuitAndTimeouts) {
  MessageLoop loop;
  EXPECT_EQ(loop.RunFor(30ms), RunEnd::kTimedOut) << "nothing to do, nothing quits";
  // A quit asked for while no loop runs ends the next run at once, as a waiting quit message.
  loop.Quit();
  EXPECT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_EQ(loop.RunFor(10ms), RunEnd::kTimedOut) << "the quit was used up";
  loop.PostCall([&] { loop.Quit(); });
  loop.Run();  // returns, or the test hangs
}

TEST(MessageLoop, PumpDeliversWhatTheWatchFdAnnouncesAndNeverBlocks) {
  MessageLoop loop;
  EXPECT_FALSE(Readable(loop.WatchFd(), 0ms));
  EXPECT_EQ(loop.Pump(), 0u);

  bool called = false;
  std::thread([&] { loop.PostCall([&] { called = true; }); }).join();
  ASSERT_TRUE(Readable(loop.WatchFd(), kPatience));
  EXPECT_EQ(loop.Pump(), 1u);
  EXPECT_TRUE(called);
  EXPECT_FALSE(Readable(loop.WatchFd(), 0ms));

  int ticks = 0;
  Timer timer(loop, [&] { ++ticks; });
  timer.SetInterval(20);
  // The way a host with its own loop works: wait on the fd, then pump.
  while (ticks < 2 && Readable(loop.WatchFd(), kPatience)) loop.Pump();
  EXPECT_EQ(ticks, 2);

  DatagramSocket receiver(loop);
  std::string got;
  receiver.SetArrivalHandler(
      [&](std::size_t) { got = receiver.Read().value_or(Datagram{}).bytes; });
  ASSERT_FALSE(receiver.Bind("127.0.0.1", 0));
  timer.SetEnabled(TimerState::kDisabled);
  DatagramSocket sender(loop);
  ASSERT_FALSE(sender.SendTo("127.0.0.1", receiver.LocalEndpoint()->port, "ping"));
  while (got.empty() && Readable(loop.WatchFd(), kPatience)) loop.Pump();
  EXPECT_EQ(got, "ping");
}

TEST(MessageLoop, ThrowingHandlersAreReportedAndTheLoopGoesOn) {
  MessageLoop loop;
  std::vector<std::string> reports;
  loop.SetExceptionHook([&](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      reports.emplace_back(e.what());
    } catch (...) {
      reports.emplace_back("?");
    }
  });

  int ticks = 0;
  Timer timer(loop, [&] {
    if (++ticks == 1) automation::ThrowError(automation::errc::kDivisionByZero);
    loop.Quit();
  });
  DatagramSocket receiver(loop, [](std::size_t) { throw 42; });
  ASSERT_FALSE(receiver.Bind("127.0.0.1", 0));
  DatagramSocket sender(loop);
  ASSERT_FALSE(sender.SendTo("127.0.0.1", receiver.LocalEndpoint()->port, "x"));
  loop.PostCall([] { throw std::runtime_error("posted call failed"); });

  timer.SetInterval(30);
  EXPECT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_EQ(ticks, 2) << "the timer keeps ticking after its handler threw";
  EXPECT_THAT(reports,
              testing::UnorderedElementsAre("posted call failed", "11: Division by zero", "?"));
  EXPECT_EQ(receiver.Read(), std::nullopt) << "the datagram of the failed handler was dropped";

  // A hook that throws itself is swallowed.
  loop.SetExceptionHook([](std::exception_ptr) { throw std::logic_error("hook"); });
  bool after = false;
  loop.PostCall([] { throw std::runtime_error("again"); });
  loop.PostCall([&] { after = true; });
  while (!after && Readable(loop.WatchFd(), kPatience)) loop.Pump();
  EXPECT_TRUE(after);
}

TEST(MessageLoop, NotificationsAreDeliveredOneAtATime) {
  MessageLoop loop;
  bool inTimerHandler = false;
  bool overlapped = false;
  int arrivals = 0;
  int posted = 0;
  DatagramSocket receiver(loop, [&](std::size_t) {
    overlapped = overlapped || inTimerHandler;
    ++arrivals;
  });
  ASSERT_FALSE(receiver.Bind("127.0.0.1", 0));
  DatagramSocket sender(loop);
  Timer timer(loop);
  timer.SetTickHandler([&] {
    inTimerHandler = true;
    // Work for the loop arrives while this handler runs; none of it may run inside it.
    ASSERT_FALSE(sender.SendTo("127.0.0.1", receiver.LocalEndpoint()->port, "during"));
    std::thread([&] {
      loop.PostCall([&] {
        overlapped = overlapped || inTimerHandler;
        if (++posted == 3) loop.Quit();
      });
    }).join();
    std::this_thread::sleep_for(10ms);
    inTimerHandler = false;
  });
  timer.SetInterval(15);
  EXPECT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_FALSE(overlapped);
  EXPECT_GE(arrivals, 2);
}

TEST(MessageLoop, AHandlerThatPumpsLetsOthersRunButIsNotReentered) {
  MessageLoop loop;
  int depthA = 0;
  int maxDepthA = 0;
  int ticksB = 0;
  Timer b(loop);
  Timer a(loop, [&] {
    maxDepthA = std::max(maxDepthA, ++depthA);
    if (depthA == 1 && ticksB == 0) {
      // As a modal message box would: a loop of its own inside the handler, long enough for
      // A to fall due again several times.
      b.SetInterval(20);
      EXPECT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
      b.SetEnabled(TimerState::kDisabled);
      loop.PostCall([&] { loop.Quit(); });
    }
    --depthA;
  });
  b.SetTickHandler([&] {
    if (++ticksB == 4) loop.Quit();  // ends the nested loop
  });
  a.SetInterval(10);
  EXPECT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_EQ(ticksB, 4);
  EXPECT_EQ(maxDepthA, 1);
}

TEST(MessageLoop, EachThreadHasItsOwnLoop) {
  MessageLoop* mine = &MessageLoop::ForCurrentThread();
  EXPECT_EQ(mine, &MessageLoop::ForCurrentThread());
  MessageLoop* theirs = nullptr;
  std::thread([&] {
    theirs = &MessageLoop::ForCurrentThread();
    // Usable on that thread like any other.
    theirs->PostCall([&] { theirs->Quit(); });
    theirs->Run();
  }).join();
  EXPECT_NE(mine, theirs);
}

}  // namespace
}  // namespace telvinor::msgloop
