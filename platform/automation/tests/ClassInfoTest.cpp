#include <gtest/gtest.h>

#include "ErrorOf.h"

#include "automation/ClassInfo.h"
#include "automation/Conversions.h"
#include "automation/EventSource.h"
#include "automation/SafeArray.h"

namespace telvinor::automation {
namespace {

// A small class that exercises every kind of member the table supports.
class Counter : public AutomationObject<Counter>, public EventSource {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info =
        ClassBuilder<Counter>(u"Counter")
            .ProgId(u"Test.Counter")
            .Property(u"Value", kDispIdValue, VarType::Long,
                      [](Counter& c) { return c.value; },
                      [](Counter& c, const Variant& v) { c.value = v.AsLong(); })
            .Method(u"Add", 1, {Param(u"n", VarType::Long), OptionalParam(u"times", VarType::Integer, 1)},
                    [](Counter& c, std::span<Variant> a) {
                      c.value += a[0].AsLong() * a[1].AsInteger();
                      return c.value;
                    })
            .Method(u"Swap", 2, {Param(u"text", VarType::String, Pass::ByRef)},
                    [](Counter& c, std::span<Variant> a) {
                      a[0] = Variant(ToString(Variant(c.value)) + u"!");
                    })
            .Method(u"Sum", 3, {ParamArray(u"items")},
                    [](Counter&, std::span<Variant> a) {
                      double s = 0;
                      for (const auto& e : a[0].AsArray().Elements()) s += ToDouble(e);
                      return s;
                    })
            .Get(u"Digits", 4, VarType::Variant,
                 [](Counter&) { return Variant(SafeArray::FromValues({Variant(4), Variant(2)})); })
            .Method(u"Ping", 5, {}, [](Counter& c, std::span<Variant>) {
              Variant arg(u"pong");
              c.Fire(7, std::span(&arg, 1));
            })
            .Event(u"Ponged", 7, {Param(u"what", VarType::String)})
            .Build();
    return info;
  }
  std::int32_t value = 0;
};

TEST(ClassInfo, CallsByNameAndIdWithDefaultsAndConversions) {
  auto c = MakeRef<Counter>();
  EXPECT_EQ(c->GetIdOfName(u"aDD"), 1);
  EXPECT_EQ(c->GetIdOfName(u"nope"), kDispIdUnknown);
  Variant args[] = {Variant(u"5")};
  EXPECT_EQ(c->Invoke(1, InvokeKind::Method, args), Variant(5));  // text converted, times = 1
  Variant two[] = {Variant(2.0), Variant(3)};
  EXPECT_EQ(CallByName(*c, u"add", InvokeKind::Method, two), Variant(11));
  Variant put[] = {Variant(std::int16_t{40})};
  c->Invoke(kDispIdValue, InvokeKind::PropertyPut, put);
  EXPECT_EQ(c->value, 40);
}

TEST(ClassInfo, ByRefArgumentsWriteBackToTheCallersVariable) {
  auto c = MakeRef<Counter>();
  c->value = 3;
  Variant callers;  // Empty, converted to text on the way in
  Variant args[] = {Variant::ByRef(callers)};
  c->Invoke(2, InvokeKind::Method, args);
  EXPECT_EQ(callers, Variant(u"3!"));
  // Passed by value (an expression), nothing is written anywhere.
  Variant byValue[] = {Variant(u"x")};
  c->Invoke(2, InvokeKind::Method, byValue);
  EXPECT_EQ(byValue[0], Variant(u"x"));
}

TEST(ClassInfo, ParamArrayMissingArgumentsAndErrors) {
  auto c = MakeRef<Counter>();
  Variant items[] = {Variant(1), Variant(u"2"), Variant(0.5)};
  EXPECT_EQ(c->Invoke(3, InvokeKind::Method, items), Variant(3.5));
  EXPECT_EQ(c->Invoke(3, InvokeKind::Method, {}), Variant(0.0));
  Variant missing[] = {Variant::Missing(), Variant(1)};
  EXPECT_EQ(ErrorOf([&] { c->Invoke(1, InvokeKind::Method, missing); }), errc::kArgumentNotOptional);
  Variant tooMany[] = {Variant(1), Variant(1), Variant(1)};
  EXPECT_EQ(ErrorOf([&] { c->Invoke(1, InvokeKind::Method, tooMany); }), errc::kWrongNumberOfArguments);
  EXPECT_EQ(ErrorOf([&] { c->Invoke(99, InvokeKind::Method, {}); }), errc::kObjectDoesNotSupportMember);
  Variant bad[] = {Variant(u"x")};
  EXPECT_EQ(ErrorOf([&] { c->Invoke(1, InvokeKind::Method, bad); }), errc::kTypeMismatch);
  Variant put[] = {Variant(1)};
  EXPECT_EQ(ErrorOf([&] { c->Invoke(4, InvokeKind::PropertyPut, put); }), errc::kWrongNumberOfArguments);
}

TEST(ClassInfo, ArgumentsToAMemberWithoutParametersIndexItsResult) {
  auto c = MakeRef<Counter>();
  Variant index[] = {Variant(1)};
  EXPECT_EQ(c->Invoke(4, InvokeKind::Method | InvokeKind::PropertyGet, index), Variant(2));
}

TEST(EventSource, SinksReceiveEventsUntilDisconnected) {
  auto c = MakeRef<Counter>();
  std::vector<std::u16string> seen;
  auto sink = MakeRef<FunctionSink>([&](DispId id, std::span<Variant> a) {
    seen.push_back(std::u16string(Counter::Class().FindEvent(id)->name) + u":" + ToString(a[0]));
  });
  EventSource* source = EventSourceOf(*c);
  ASSERT_NE(source, nullptr);
  int cookie = source->Advise(sink);
  CallByName(*c, u"Ping", InvokeKind::Method, {});
  EXPECT_TRUE(source->Unadvise(cookie));
  CallByName(*c, u"Ping", InvokeKind::Method, {});
  EXPECT_EQ(seen, std::vector<std::u16string>{u"Ponged:pong"});
}

}  // namespace
}  // namespace telvinor::automation
