#include "ManualResetEvent.h"

namespace harnvik {

void ManualResetEvent::Set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  changed_.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool ManualResetEvent::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return signalled_; });
}

bool ManualResetEvent::IsSet() {
  std::lock_guard lock(mutex_);
  return signalled_;
}

}  // namespace harnvik
