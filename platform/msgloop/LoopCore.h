#pragma once
// The machinery behind MessageLoop, shared with the objects that live on the loop (Timer,
// DatagramSocket). Not for use outside this library.
//
// One epoll set holds every descriptor the loop watches. Each object descriptor is watched
// "one-shot": once the loop reports it ready, the kernel stops reporting it until the loop
// re-arms it after the object's handler has returned. That is what keeps a notification from
// being delivered into its own object again while its handler runs, even when the handler
// pumps the loop (as a modal message box would); other objects still get theirs.
//
// Posted calls travel through a queue under a mutex and an eventfd that wakes the loop; Post()
// is the only member that may be called from another thread.
//
// The objects hold a shared reference to the core, so an object that outlives its
// MessageLoop can still be destroyed safely (it just never hears from the loop again).

#include <sys/epoll.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "msgloop/UniqueFd.h"

namespace telvinor::msgloop::detail {

// Names one watched descriptor. Never reused within a core, so a stale id (an object that was
// destroyed while its readiness was waiting in a batch) simply finds nothing.
using SourceId = std::uint64_t;

class LoopCore : public std::enable_shared_from_this<LoopCore> {
 public:
  using ReadyHandler = std::function<void()>;
  using ExceptionHook = std::function<void(std::exception_ptr)>;

  LoopCore();  // throws std::system_error when the kernel refuses an epoll set or an eventfd
  LoopCore(const LoopCore&) = delete;
  LoopCore& operator=(const LoopCore&) = delete;

  // Watches fd for input. The handler runs on the loop's thread once per readiness report; it
  // must find out for itself whether there is still work (a nested pump may have done it).
  [[nodiscard]] SourceId Watch(int fd, ReadyHandler handler);
  // Stops watching. Safe from inside the source's own handler; the caller closes the fd after.
  void Unwatch(SourceId id) noexcept;

  // Any thread.
  void Post(std::function<void()> call);

  // Waits up to timeoutMs (-1: no limit, 0: do not wait) and delivers one batch of ready
  // sources, one at a time. Returns how many sources were delivered.
  std::size_t WaitAndDispatch(int timeoutMs);

  // Runs fn; an exception it throws goes to the exception hook and stops there.
  void Guarded(const std::function<void()>& fn) noexcept;
  void SetExceptionHook(ExceptionHook hook);

  [[nodiscard]] int EpollFd() const noexcept { return epoll_.Get(); }

 private:
  struct Source {
    int fd;
    std::shared_ptr<ReadyHandler> handler;
  };

  void Dispatch(SourceId id);
  void RunPostedCalls();
  void Wake() noexcept;

  UniqueFd epoll_;
  UniqueFd wake_;  // eventfd: readable while posted calls wait
  std::unordered_map<SourceId, Source> sources_;
  SourceId nextId_ = 1;  // 0 stands for the posted-call queue
  ExceptionHook exceptionHook_;

  std::mutex postedMutex_;
  std::deque<std::function<void()>> posted_;
};

}  // namespace telvinor::msgloop::detail
