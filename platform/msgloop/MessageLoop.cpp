#include "msgloop/MessageLoop.h"

#include <algorithm>

#include "msgloop/LoopCore.h"

namespace telvinor::msgloop {

MessageLoop::MessageLoop() : core_(std::make_shared<detail::LoopCore>()) {}

// The core stays alive while objects created on this loop still hold it; they then simply
// hear nothing more.
MessageLoop::~MessageLoop() = default;

MessageLoop& MessageLoop::ForCurrentThread() {
  thread_local MessageLoop loop;
  return loop;
}

void MessageLoop::Run() {
  while (!quitRequested_) core_->WaitAndDispatch(-1);
  quitRequested_ = false;
}

RunEnd MessageLoop::RunFor(std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  while (!quitRequested_) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return RunEnd::kTimedOut;
    // epoll_wait takes an int; a longer wait is simply cut into several.
    core_->WaitAndDispatch(
        static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), 1 << 30)));
  }
  quitRequested_ = false;
  return RunEnd::kQuit;
}

std::size_t MessageLoop::Pump() {
  return core_->WaitAndDispatch(0);
}

int MessageLoop::WatchFd() const noexcept {
  return core_->EpollFd();
}

void MessageLoop::PostCall(std::function<void()> call) {
  core_->Post(std::move(call));
}

void MessageLoop::SetExceptionHook(ExceptionHook hook) {
  core_->SetExceptionHook(std::move(hook));
}

}  // namespace telvinor::msgloop
