#include <gtest/gtest.h>

#include "ErrorOf.h"

#include "automation/AutomationError.h"
#include "automation/Conversions.h"
#include "automation/SafeArray.h"

namespace telvinor::automation {
namespace {

TEST(Variant, CopiesShareTextAndArraysCopyOnWrite) {
  Variant a(u"hello");
  Variant b = a;
  EXPECT_EQ(a.AsString().data(), b.AsString().data());  // one buffer

  Variant arr(SafeArray::FromValues({Variant(1), Variant(2)}));
  Variant copy = arr;
  copy.MutableArray().Store(0, Variant(9));
  EXPECT_EQ(arr.AsArray().At(0), Variant(1));   // VB arrays are values
  EXPECT_EQ(copy.AsArray().At(0), Variant(9));
}

TEST(Variant, ByRefReadsAndWritesTheTarget) {
  Variant x(5);
  Variant r = Variant::ByRef(x);
  Variant rr = Variant::ByRef(r);  // a reference to a reference is the variable itself
  EXPECT_EQ(r.Type(), VarType::Long);
  rr.Target() = Variant(u"changed");
  EXPECT_EQ(x, Variant(u"changed"));
}

TEST(SafeArray, BoundsRedimAndErrors) {
  SafeArray a(VarType::Variant, {{1, 3}, {0, 1}});
  std::int32_t idx[] = {3, 1};
  a.Store(idx, Variant(7));
  a.Redim({{1, 3}, {0, 4}}, /*preserve=*/true);
  EXPECT_EQ(a.At(idx), Variant(7));
  std::int32_t bad[] = {4, 0};
  EXPECT_EQ(ErrorOf([&] { (void)a.At(bad); }), errc::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { a.Redim({{1, 2}, {0, 4}}, true); }), errc::kSubscriptOutOfRange);
  a.SetFixed(true);
  EXPECT_EQ(ErrorOf([&] { a.Redim({{0, 1}}, false); }), errc::kArrayFixedOrLocked);

  SafeArray bytes(VarType::Byte, {{0, 1}});
  bytes.Store(0, Variant(u"200"));
  EXPECT_EQ(bytes.At(0), Variant(std::uint8_t{200}));
  EXPECT_EQ(ErrorOf([&] { bytes.Store(1, Variant(256)); }), errc::kOverflow);
}

struct ToStringCase {
  const char* name;
  Variant value;
  std::u16string text;
};

TEST(Conversions, ToStringFollowsVb) {
  const ToStringCase cases[] = {
      {"empty", Variant(), u""},
      {"true", Variant(true), u"True"},
      {"integer", Variant(std::int16_t{-7}), u"-7"},
      {"fraction", Variant(0.5), u"0.5"},
      {"fifteen digits", Variant(123456789012345.0), u"123456789012345"},
      {"exponent", Variant(1e15), u"1E+15"},
      {"rounded to 15", Variant(0.1 + 0.2), u"0.3"},
      {"small", Variant(0.00001), u"1E-05"},
      {"single", Variant(1.1f), u"1.1"},
      {"currency", Variant::Currency(-12345), u"-1.2345"},
      {"date and time", Variant::Date(46367.5), u"2026/12/11 12:00:00"},
      {"date only", Variant::Date(46367), u"2026/12/11"},
      {"time only", Variant::Date(0.25), u"6:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToString(c.value), c.text) << c.name;
  EXPECT_EQ(ErrorOf([] { (void)ToString(Variant::Null()); }), errc::kInvalidUseOfNull);
}

TEST(Conversions, NumbersRoundHalfToEvenAndOverflow) {
  EXPECT_EQ(ToLong(Variant(2.5)), 2);
  EXPECT_EQ(ToLong(Variant(3.5)), 4);
  EXPECT_EQ(ToLong(Variant(-2.5)), -2);
  EXPECT_EQ(ToInteger(Variant(u" 1,234 ")), 1234);
  EXPECT_EQ(ToLong(Variant(u"&HFFFF")), -1);
  EXPECT_EQ(ToLong(Variant(u"&H10000")), 65536);
  EXPECT_EQ(ToDouble(Variant(u"1.5e3")), 1500.0);
  EXPECT_EQ(ToLong(Variant(true)), -1);
  EXPECT_EQ(ErrorOf([] { (void)ToInteger(Variant(32768)); }), errc::kOverflow);
  EXPECT_EQ(ErrorOf([] { (void)ToLong(Variant(u"12abc")); }), errc::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { (void)ToDouble(Variant(u"")); }), errc::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { (void)ToDouble(Variant(u"1e999")); }), errc::kOverflow);
  EXPECT_TRUE(ToBoolean(Variant(u"tRuE")));
  EXPECT_FALSE(ToBoolean(Variant(u"0")));
  EXPECT_EQ(ToCurrency(Variant(1.23456)), 12346);
}

TEST(Conversions, DatesRoundTrip) {
  auto d = ParseDate(u"2026-12-11 15:04:05");
  ASSERT_TRUE(d);
  DateParts p = PartsOfDate(*d);
  EXPECT_EQ(p.year, 2026);
  EXPECT_EQ(p.month, 12);
  EXPECT_EQ(p.day, 11);
  EXPECT_EQ(p.hour, 15);
  EXPECT_EQ(p.second, 5);
  EXPECT_EQ(ParseDate(u"12/11/2026 3:04 PM"), ParseDate(u"2026/12/11 15:04:00"));
  EXPECT_EQ(PartsOfDate(-1.25).day, 29);
  EXPECT_EQ(PartsOfDate(-1.25).hour, 6);
  EXPECT_EQ(DateFromParts({2026, 14, 1}), DateFromParts({2027, 2, 1}));  // months carry over
  EXPECT_FALSE(ParseDate(u"2026/2/30"));
  EXPECT_FALSE(ParseDate(u"hello"));
}

}  // namespace
}  // namespace telvinor::automation
