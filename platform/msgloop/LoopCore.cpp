#include "msgloop/LoopCore.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <system_error>

namespace telvinor::msgloop::detail {
namespace {

constexpr SourceId kPostedCallsId = 0;
// Ready sources taken from the kernel per wait. A bound keeps one Pump() short for a host
// with its own loop; whatever is left stays ready and shows on the watch fd again.
constexpr int kBatchSize = 32;

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void ReportToStandardError(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "message loop: a callback threw: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "message loop: a callback threw a non-standard exception\n");
  }
}

}  // namespace

LoopCore::LoopCore()
    : epoll_(::epoll_create1(EPOLL_CLOEXEC)),
      wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      exceptionHook_(ReportToStandardError) {
  if (!epoll_.Valid()) ThrowErrno("epoll_create1");
  if (!wake_.Valid()) ThrowErrno("eventfd");
  // The posted-call queue is level-triggered: it is drained in order by whichever pump
  // (outer or nested) gets to it, so it needs no one-shot protection.
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kPostedCallsId;
  if (::epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, wake_.Get(), &event) != 0) ThrowErrno("epoll_ctl");
}

SourceId LoopCore::Watch(int fd, ReadyHandler handler) {
  SourceId id = nextId_++;
  epoll_event event{};
  event.events = EPOLLIN | EPOLLONESHOT;
  event.data.u64 = id;
  if (::epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &event) != 0) ThrowErrno("epoll_ctl");
  sources_.emplace(id, Source{fd, std::make_shared<ReadyHandler>(std::move(handler))});
  return id;
}

void LoopCore::Unwatch(SourceId id) noexcept {
  auto it = sources_.find(id);
  if (it == sources_.end()) return;
  ::epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, it->second.fd, nullptr);
  sources_.erase(it);
}

void LoopCore::Post(std::function<void()> call) {
  {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(call));
  }
  Wake();
}

void LoopCore::Wake() noexcept {
  std::uint64_t one = 1;
  // Fails only when the counter is about to overflow, which means it is readable anyway.
  [[maybe_unused]] auto written = ::write(wake_.Get(), &one, sizeof one);
}

std::size_t LoopCore::WaitAndDispatch(int timeoutMs) {
  // A handler may drop the last outside reference to this core (its object's); stay alive
  // until the batch is done.
  auto self = shared_from_this();
  std::array<epoll_event, kBatchSize> events{};
  int count = ::epoll_wait(epoll_.Get(), events.data(), kBatchSize, timeoutMs);
  if (count < 0) {
    if (errno == EINTR) return 0;
    ThrowErrno("epoll_wait");
  }
  for (int i = 0; i < count; ++i) Dispatch(events[static_cast<std::size_t>(i)].data.u64);
  return static_cast<std::size_t>(count);
}

void LoopCore::Dispatch(SourceId id) {
  if (id == kPostedCallsId) {
    RunPostedCalls();
    return;
  }
  auto it = sources_.find(id);
  if (it == sources_.end()) return;  // destroyed by an earlier handler of this batch
  // Hold the handler: the object may destroy itself (and its registration) while it runs.
  std::shared_ptr<ReadyHandler> handler = it->second.handler;
  Guarded(*handler);
  it = sources_.find(id);
  if (it == sources_.end()) return;
  epoll_event event{};
  event.events = EPOLLIN | EPOLLONESHOT;
  event.data.u64 = id;
  ::epoll_ctl(epoll_.Get(), EPOLL_CTL_MOD, it->second.fd, &event);
}

void LoopCore::RunPostedCalls() {
  std::uint64_t counter = 0;
  [[maybe_unused]] auto got = ::read(wake_.Get(), &counter, sizeof counter);
  // Run only what was queued when we started, so a call that posts another cannot keep the
  // loop here forever; each call is taken from the shared queue just before it runs, so a
  // nested pump continues in the same order.
  std::size_t budget;
  {
    std::lock_guard lock(postedMutex_);
    budget = posted_.size();
  }
  for (; budget > 0; --budget) {
    std::function<void()> call;
    {
      std::lock_guard lock(postedMutex_);
      if (posted_.empty()) return;
      call = std::move(posted_.front());
      posted_.pop_front();
    }
    Guarded(call);
  }
  std::lock_guard lock(postedMutex_);
  if (!posted_.empty()) Wake();
}

void LoopCore::Guarded(const std::function<void()>& fn) noexcept {
  if (!fn) return;
  try {
    fn();
  } catch (...) {
    auto error = std::current_exception();
    ExceptionHook hook = exceptionHook_;  // the hook may replace itself
    try {
      hook(error);
    } catch (...) {
      // A hook that throws has nowhere left to report to; the loop must keep running.
    }
  }
}

void LoopCore::SetExceptionHook(ExceptionHook hook) {
  exceptionHook_ = hook ? std::move(hook) : ExceptionHook(ReportToStandardError);
}

}  // namespace telvinor::msgloop::detail
