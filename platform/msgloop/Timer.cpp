#include "msgloop/Timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "automation/AutomationError.h"
#include "msgloop/MessageLoop.h"

namespace telvinor::msgloop {

Timer::Timer(MessageLoop& loop, TickHandler onTick)
    : core_(loop.core_),
      fd_(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)),
      onTick_(std::make_shared<TickHandler>(std::move(onTick))) {
  if (!fd_.Valid()) throw std::system_error(errno, std::generic_category(), "timerfd_create");
  source_ = core_->Watch(fd_.Get(), [this] { OnReady(); });
}

Timer::~Timer() {
  core_->Unwatch(source_);
}

void Timer::SetTickHandler(TickHandler onTick) {
  // A handler running now keeps its own reference, so replacing it from inside is safe.
  onTick_ = std::make_shared<TickHandler>(std::move(onTick));
}

void Timer::SetInterval(std::int64_t milliseconds) {
  if (milliseconds < 0 || milliseconds > kMaxInterval) {
    automation::ThrowError(automation::errc::kInvalidPropertyValue);
  }
  interval_ = static_cast<std::int32_t>(milliseconds);
  Arm();
}

void Timer::SetEnabled(TimerState state) {
  if (state == state_) return;
  state_ = state;
  Arm();
}

void Timer::Arm() {
  itimerspec timing{};  // all zero: disarmed, and any expiry not yet read is discarded
  if (state_ == TimerState::kEnabled && interval_ > 0) {
    timing.it_interval.tv_sec = interval_ / 1000;
    timing.it_interval.tv_nsec = static_cast<long>(interval_ % 1000) * 1'000'000;
    timing.it_value = timing.it_interval;
  }
  // Cannot fail for a valid timerfd and a normalised, non-negative time.
  ::timerfd_settime(fd_.Get(), 0, &timing, nullptr);
}

void Timer::OnReady() {
  std::uint64_t expirations = 0;
  // Nothing to read: the timer was disarmed or re-armed since the kernel reported it.
  if (::read(fd_.Get(), &expirations, sizeof expirations) != sizeof expirations) return;
  // The handler may destroy this timer; only the local reference is used from here on.
  std::shared_ptr<TickHandler> onTick = onTick_;
  core_->Guarded(*onTick);
}

}  // namespace telvinor::msgloop
