#pragma once
// A periodic timer on a message loop, behaving as a window's timer control does:
// - a new timer is enabled with interval 0, so it does not tick until an interval is set;
// - it ticks every Interval() milliseconds while it is enabled and the interval is not 0;
// - setting the interval, or enabling a disabled timer, starts a fresh period: the next tick
//   comes one full interval later;
// - ticks do not pile up: a tick that falls due while the previous one is still being handled
//   (or while the loop is busy elsewhere) is delivered once, and the period keeps its
//   original rhythm.

#include <cstdint>
#include <functional>
#include <memory>

#include "msgloop/LoopCore.h"
#include "msgloop/UniqueFd.h"

namespace telvinor::msgloop {

class MessageLoop;

enum class TimerState { kDisabled, kEnabled };

class Timer {
 public:
  using TickHandler = std::function<void()>;

  // The interval range of a window's timer control, in milliseconds.
  static constexpr std::int64_t kMaxInterval = 65535;

  explicit Timer(MessageLoop& loop, TickHandler onTick = {});  // throws std::system_error
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void SetTickHandler(TickHandler onTick);

  // 0 stops the ticks; 1 to 65,535 ms ticks. Any other value throws AutomationError 380
  // ("Invalid property value") and leaves the interval as it was.
  void SetInterval(std::int64_t milliseconds);
  [[nodiscard]] std::int32_t Interval() const noexcept { return interval_; }

  void SetEnabled(TimerState state);
  [[nodiscard]] bool Enabled() const noexcept { return state_ == TimerState::kEnabled; }

 private:
  void Arm();  // programs the kernel timer from interval_ and state_
  void OnReady();

  std::shared_ptr<detail::LoopCore> core_;
  UniqueFd fd_;  // timerfd on the monotonic clock
  detail::SourceId source_ = 0;
  std::int32_t interval_ = 0;
  TimerState state_ = TimerState::kEnabled;
  std::shared_ptr<TickHandler> onTick_;
};

}  // namespace telvinor::msgloop
