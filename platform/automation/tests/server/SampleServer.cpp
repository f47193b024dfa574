// A small in-process server: what a library does to be created by ProgID in other programs.
// Two classes, declared once in TelvinorInprocServer() at the end.
//
// TelvinorSample.Echo
//   Greeting      property, the default member (dispatch id 0), "Hello" at first
//   Echo(text)    returns Greeting + ", " + text and raises Echoed(text)
//   Twice(n)      doubles n, passed by reference, in the caller's variable
// TelvinorSample.Counter
//   Value         property, the default member
//   Increment([by = 1]) adds to Value and returns it

#include "automation/Conversions.h"
#include "automation/EventSource.h"
#include "automation/InprocServer.h"

namespace {

using namespace telvinor::automation;

class Echo : public AutomationObject<Echo>, public EventSource {
 public:
  static constexpr DispId kEchoed = 1;

  static const ClassInfo& Class() {
    static const ClassInfo info =
        ClassBuilder<Echo>(u"Echo")
            .ProgId(u"TelvinorSample.Echo")
            .ClassId("{33b0df4f-a984-4530-ac31-3691314ee6c8}")
            .InterfaceId("{b4477437-1748-4607-b75b-f76c331584ba}")
            .EventInterfaceId("{a8acb144-5f1c-4885-a2fb-6a018e9b5710}")
            .Property(
                u"Greeting", kDispIdValue, VarType::String,
                [](Echo& e) { return Variant(e.greeting_); },
                [](Echo& e, const Variant& v) { e.greeting_ = v.AsString(); })
            .Method(
                u"Echo", 0x60030001, {Param(u"text", VarType::String)},
                [](Echo& e, std::span<Variant> a) {
                  Variant reply(e.greeting_ + u", " + std::u16string(a[0].AsString()));
                  e.Fire(kEchoed, a.first(1));
                  return reply;
                },
                VarType::String)
            .Method(u"Twice", 0x60030002, {Param(u"n", VarType::Long, Pass::ByRef)},
                    [](Echo&, std::span<Variant> a) {
                      a[0] = Variant(ToLong(Variant(ToDouble(a[0]) * 2)));
                    })
            .Event(u"Echoed", kEchoed, {Param(u"text", VarType::String)})
            .Build();
    return info;
  }

 private:
  std::u16string greeting_ = u"Hello";
};

class Counter : public AutomationObject<Counter> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info =
        ClassBuilder<Counter>(u"Counter")
            .ProgId(u"TelvinorSample.Counter")
            .ClassId("{71deac0f-2f2c-4102-a72c-87ef2f14b19f}")
            .Property(
                u"Value", kDispIdValue, VarType::Long, [](Counter& c) { return c.value_; },
                [](Counter& c, const Variant& v) { c.value_ = v.AsLong(); })
            .Method(
                u"Increment", 0x60030001, {OptionalParam(u"by", VarType::Long, 1)},
                [](Counter& c, std::span<Variant> a) {
                  c.value_ = ToLong(Variant(static_cast<double>(c.value_) + a[0].AsLong()));
                  return c.value_;
                },
                VarType::Long)
            .Build();
    return info;
  }

 private:
  std::int32_t value_ = 0;
};

}  // namespace

const InprocServer& TelvinorInprocServer() {
  static const InprocServer server{ServedClass::Of<Echo>(), ServedClass::Of<Counter>()};
  return server;
}
