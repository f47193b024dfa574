#include "automation/EventSource.h"

#include <algorithm>

namespace telvinor::automation {

int EventSource::Advise(Ref<Dispatch> sink) {
  int cookie = nextCookie_++;
  sinks_.emplace_back(cookie, std::move(sink));
  return cookie;
}

bool EventSource::Unadvise(int cookie) {
  auto it = std::find_if(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s.first == cookie; });
  if (it == sinks_.end()) return false;
  sinks_.erase(it);
  return true;
}

void EventSource::Fire(DispId id, std::span<Variant> args) {
  // A snapshot, so a sink that disconnects itself does not disturb the walk.
  auto sinks = sinks_;
  for (auto& [cookie, sink] : sinks) sink->Invoke(id, InvokeKind::Method, args);
}

EventSource* EventSourceOf(Dispatch& object) noexcept { return dynamic_cast<EventSource*>(&object); }

Variant FunctionSink::Invoke(DispId id, InvokeKind, std::span<Variant> args) {
  handler_(id, args);
  return Variant();
}

}  // namespace telvinor::automation
