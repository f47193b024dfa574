#pragma once
// Events of an automation object (COM's connection points, VB's RaiseEvent).
//
// A host connects a sink, any Dispatch object; the source fires an event by its dispatch id
// and every connected sink's Invoke receives it as a method call with the event's arguments.
// FunctionSink turns a C++ callable into a sink.

#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "automation/Dispatch.h"
#include "automation/Variant.h"

namespace telvinor::automation {

class EventSource {
 public:
  // Connects a sink and returns the cookie that disconnects it.
  int Advise(Ref<Dispatch> sink);
  bool Unadvise(int cookie);
  [[nodiscard]] bool HasSinks() const noexcept { return !sinks_.empty(); }

  // Calls every sink in the order they connected; returns when they have returned. A sink
  // may disconnect (or connect another) while it runs. An error a sink throws reaches the
  // code that fired the event.
  void Fire(DispId id, std::span<Variant> args);

 protected:
  ~EventSource() = default;

 private:
  std::vector<std::pair<int, Ref<Dispatch>>> sinks_;
  int nextCookie_ = 1;
};

// The event source of an object, or null when the object raises no events.
[[nodiscard]] EventSource* EventSourceOf(Dispatch& object) noexcept;

class FunctionSink : public Dispatch {
 public:
  using Handler = std::function<void(DispId id, std::span<Variant> args)>;
  explicit FunctionSink(Handler handler) : handler_(std::move(handler)) {}

  [[nodiscard]] DispId GetIdOfName(std::u16string_view) const override { return kDispIdUnknown; }
  Variant Invoke(DispId id, InvokeKind kind, std::span<Variant> args) override;
  [[nodiscard]] std::u16string_view TypeName() const override { return u"EventSink"; }

 private:
  Handler handler_;
};

}  // namespace telvinor::automation
