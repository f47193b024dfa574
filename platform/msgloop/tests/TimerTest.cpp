#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>

#include "automation/AutomationError.h"
#include "msgloop/MessageLoop.h"
#include "msgloop/Timer.h"

namespace telvinor::msgloop {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = 5s;

TEST(Timer, ANewTimerIsEnabledWithIntervalZeroAndDoesNotTick) {
  MessageLoop loop;
  int ticks = 0;
  Timer timer(loop, [&] { ++ticks; });
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 0);
  EXPECT_EQ(loop.RunFor(100ms), RunEnd::kTimedOut);
  EXPECT_EQ(ticks, 0);
}

TEST(Timer, TicksEveryIntervalThroughTheLoop) {
  MessageLoop loop;
  int ticks = 0;
  Timer timer(loop, [&] {
    if (++ticks == 3) loop.Quit();
  });
  timer.SetInterval(20);
  EXPECT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_EQ(ticks, 3);
}

// Ways a handler can stop its own timer, and how to start it again.
struct StopCase {
  const char* name;
  void (*stop)(Timer&);
  void (*restart)(Timer&);
};

const StopCase kStopCases[] = {
    {"Disable", [](Timer& t) { t.SetEnabled(TimerState::kDisabled); },
     [](Timer& t) { t.SetEnabled(TimerState::kEnabled); }},
    {"ZeroInterval", [](Timer& t) { t.SetInterval(0); }, [](Timer& t) { t.SetInterval(20); }},
};

class TimerStop : public testing::TestWithParam<StopCase> {};

TEST_P(TimerStop, StopsTheTicksUntilStartedAgain) {
  MessageLoop loop;
  int ticks = 0;
  Timer timer(loop);
  timer.SetTickHandler([&] {
    if (++ticks == 2) {
      GetParam().stop(timer);
      loop.Quit();
    }
  });
  timer.SetInterval(20);
  EXPECT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_EQ(loop.RunFor(150ms), RunEnd::kTimedOut);
  EXPECT_EQ(ticks, 2);

  timer.SetTickHandler([&] {
    if (++ticks == 4) loop.Quit();
  });
  GetParam().restart(timer);
  EXPECT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
}

INSTANTIATE_TEST_SUITE_P(Cases, TimerStop, testing::ValuesIn(kStopCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Timer, IntervalOutsideTheControlsRangeIsInvalidPropertyValueAndChangesNothing) {
  MessageLoop loop;
  Timer timer(loop);
  timer.SetInterval(5000);
  for (std::int64_t bad :
       {std::int64_t{-1}, std::int64_t{-1000}, std::int64_t{65536}, std::int64_t{66000},
        std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()}) {
    try {
      timer.SetInterval(bad);
      ADD_FAILURE() << bad << " was accepted";
    } catch (const automation::AutomationError& e) {
      EXPECT_EQ(e.Number(), 380) << bad;
      EXPECT_EQ(e.Description(), u"Invalid property value");
    }
    EXPECT_EQ(timer.Interval(), 5000) << bad;
  }
  for (std::int64_t good : {0, 1, 65000, 65535}) {
    timer.SetInterval(good);
    EXPECT_EQ(timer.Interval(), good);
  }
}

TEST(Timer, SettingTheIntervalStartsAFullPeriod) {
  // Lower bounds only: a timer may be late on a busy machine but is never early.
  MessageLoop loop;
  Clock::time_point changed;
  Clock::time_point ticked;
  Timer slow(loop, [&] {
    ticked = Clock::now();
    loop.Quit();
  });
  Timer changer(loop);
  changer.SetTickHandler([&] {
    // Halfway through slow's first period, set the same interval again.
    changed = Clock::now();
    slow.SetInterval(300);
    changer.SetEnabled(TimerState::kDisabled);
  });
  slow.SetInterval(300);
  changer.SetInterval(150);
  ASSERT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_GE(ticked - changed, 300ms);

  // Enabling a disabled timer also starts a fresh period.
  slow.SetEnabled(TimerState::kDisabled);
  slow.SetInterval(100);
  changed = Clock::now();
  slow.SetEnabled(TimerState::kEnabled);
  ASSERT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_GE(ticked - changed, 100ms);
}

TEST(Timer, AHandlerMayDestroyItsOwnTimer) {
  MessageLoop loop;
  int ticks = 0;
  auto timer = std::make_unique<Timer>(loop);
  timer->SetTickHandler([&] {
    ++ticks;
    timer.reset();
    loop.Quit();
  });
  timer->SetInterval(10);
  EXPECT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_EQ(loop.RunFor(60ms), RunEnd::kTimedOut);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(timer, nullptr);
}

TEST(Timer, AHandlerMayDestroyATimerWhoseTickIsAlreadyWaiting) {
  // Two timers due at the same moment land in one batch; whichever runs first destroys the
  // other, whose waiting tick must then vanish.
  MessageLoop loop;
  std::unique_ptr<Timer> timers[2];
  int ticks[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    timers[i] = std::make_unique<Timer>(loop, [&, i] {
      timers[1 - i].reset();
      if (++ticks[i] == 3) loop.Quit();
    });
  }
  timers[0]->SetInterval(20);
  timers[1]->SetInterval(20);
  EXPECT_EQ(loop.RunFor(kPatience), RunEnd::kQuit);
  EXPECT_TRUE((ticks[0] == 0) != (ticks[1] == 0)) << ticks[0] << " " << ticks[1];
}

TEST(Timer, ATimerMayOutliveItsLoop) {
  auto loop = std::make_unique<MessageLoop>();
  Timer timer(*loop, [] {});
  timer.SetInterval(10);
  loop.reset();
  timer.SetInterval(20);
  timer.SetEnabled(TimerState::kDisabled);
  EXPECT_EQ(timer.Interval(), 20);
}

}  // namespace
}  // namespace telvinor::msgloop
