#pragma once
// A manual-reset event: stays signalled until reset, so every waiter sees it. The control
// channel's receive thread sets it while messages wait; the main loop waits on it.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace harnvik {

inline constexpr const char* kRemoteDesktopEventName = "REMOTEDESKTOP";

enum class EventState : bool { kReset, kSignalled };

class ManualResetEvent {
 public:
  ManualResetEvent(std::string name, EventState initial)
      : name_(std::move(name)), signalled_(initial == EventState::kSignalled) {}

  void Set();
  void Reset();
  // True when the event is (or becomes) signalled within `timeout`.
  [[nodiscard]] bool Wait(std::chrono::milliseconds timeout);
  [[nodiscard]] bool IsSet();
  [[nodiscard]] const std::string& Name() const { return name_; }

 private:
  std::string name_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;
};

}  // namespace harnvik
