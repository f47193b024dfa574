// VB's conversion rules as the script engine and typed parameters rely on them.

#include <gtest/gtest.h>

#include "ErrorOf.h"

#include <cmath>

#include "automation/AutomationError.h"
#include "automation/Conversions.h"

namespace telvinor::automation {
namespace {

TEST(Conversions, TextToNumber) {
  struct Row {
    const char16_t* text;
    std::optional<double> value;
  };
  const Row rows[] = {
      {u"12", 12},
      {u"  -3.5 ", -3.5},
      {u"1,234.5", 1234.5},
      {u"1e3", 1000},
      {u"2.5D2", 250},
      {u".5", 0.5},
      {u"5.", 5},
      {u"&HFF", 255},
      {u"&HFFFF", -1},
      {u"&H10000", 65536},
      {u"&O17", 15},
      {u"\u00A512.50", 12.5},
      {u"-\u00A53", -3},
      {u"", std::nullopt},
      {u" ", std::nullopt},
      {u"1 2", std::nullopt},
      {u"12a", std::nullopt},
      {u"1e", std::nullopt},
      {u".", std::nullopt},
      {u"-", std::nullopt},
      {u"&H", std::nullopt},
      {u"&HG", std::nullopt},
      {u"1.2.3", std::nullopt},
      {u"True", std::nullopt},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << (&r - rows));
    EXPECT_EQ(ParseNumber(r.text), r.value);
  }
}

TEST(Conversions, NumbersPrintAsVbPrintsThem) {
  struct Row {
    double value;
    const char16_t* text;
  };
  const Row rows[] = {
      {0, u"0"},
      {1.5, u"1.5"},
      {-0.5, u"-0.5"},
      {0.1 + 0.2, u"0.3"},
      {1e15, u"1E+15"},
      {123456789012345, u"123456789012345"},
      {1e-5, u"1E-05"},
      {0.0001, u"0.0001"},
      {1.0 / 3, u"0.333333333333333"},
      {-1.5e-7, u"-1.5E-07"},
      {2.5e300, u"2.5E+300"},
  };
  for (const auto& r : rows) EXPECT_EQ(FormatDouble(r.value), r.text) << r.value;
  EXPECT_EQ(ToString(Variant(1.1f)), u"1.1");
  EXPECT_EQ(ToString(Variant::Currency(12345678)), u"1234.5678");
  EXPECT_EQ(ToString(Variant::Currency(-50000)), u"-5");
  EXPECT_EQ(ToString(Variant(true)), u"True");
}

TEST(Conversions, WholeNumbersRoundHalfToEvenAndCheckRange) {
  EXPECT_EQ(ToLong(Variant(2.5)), 2);
  EXPECT_EQ(ToLong(Variant(3.5)), 4);
  EXPECT_EQ(ToLong(Variant(-2.5)), -2);
  EXPECT_EQ(ToLong(Variant(u" 7 ")), 7);
  EXPECT_EQ(ToInteger(Variant(32767.4)), 32767);
  EXPECT_EQ(ErrorOf([] { (void)ToInteger(Variant(32767.5)); }), errc::kOverflow);
  EXPECT_EQ(ErrorOf([] { (void)ToByte(Variant(-1)); }), errc::kOverflow);
  EXPECT_EQ(ErrorOf([] { (void)ToLong(Variant(3e9)); }), errc::kOverflow);
  EXPECT_EQ(ErrorOf([] { (void)ToLong(Variant(u"x")); }), errc::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { (void)ToLong(Variant::Null()); }), errc::kInvalidUseOfNull);
  EXPECT_EQ(ToCurrency(Variant(1.23456)), 12346);
}

TEST(Conversions, BooleansAndEmpty) {
  EXPECT_TRUE(ToBoolean(Variant(u"TRUE")));
  EXPECT_FALSE(ToBoolean(Variant(u" false ")));
  EXPECT_TRUE(ToBoolean(Variant(u"-1")));
  EXPECT_FALSE(ToBoolean(Variant()));
  EXPECT_EQ(ErrorOf([] { (void)ToBoolean(Variant(u"yes")); }), errc::kTypeMismatch);
  EXPECT_EQ(ToDouble(Variant(true)), -1);
  EXPECT_EQ(ToString(Variant()), u"");
  EXPECT_EQ(ToDouble(Variant()), 0);
}

TEST(Conversions, Dates) {
  auto date = [](int y, int m, int d, int h = 0, int n = 0, int s = 0) {
    return *DateFromParts(DateParts{y, m, d, h, n, s});
  };
  EXPECT_EQ(date(1899, 12, 30), 0);
  EXPECT_EQ(date(1900, 1, 1), 2);
  EXPECT_EQ(date(2026, 13, 1), date(2027, 1, 1));  // months carry over
  EXPECT_EQ(FormatDate(date(2026, 12, 11)), u"2026/12/11");
  EXPECT_EQ(FormatDate(date(2026, 12, 11, 13, 5, 9)), u"2026/12/11 13:05:09");
  EXPECT_EQ(FormatDate(date(1899, 12, 30, 8, 0, 0)), u"8:00:00");
  EXPECT_EQ(FormatDate(-1.25), u"1899/12/29 6:00:00");
  EXPECT_EQ(ParseDate(u"2026-12-11"), date(2026, 12, 11));
  EXPECT_EQ(ParseDate(u"2026年12月11日"), date(2026, 12, 11));
  EXPECT_EQ(ParseDate(u"12/11/2026 1:05 PM"), date(2026, 12, 11, 13, 5));
  EXPECT_EQ(ParseDate(u"Dec 11, 2026"), date(2026, 12, 11));
  EXPECT_EQ(ParseDate(u"13:30"), date(1899, 12, 30, 13, 30));
  EXPECT_FALSE(ParseDate(u"2026/2/30"));
  EXPECT_FALSE(ParseDate(u"25:00"));
  EXPECT_FALSE(ParseDate(u"hello"));
  EXPECT_FALSE(DateFromParts(DateParts{10000, 1, 1}));
  DateParts p = PartsOfDate(date(2024, 2, 29, 23, 59, 59));
  EXPECT_EQ(p.year, 2024);
  EXPECT_EQ(p.day, 29);
  EXPECT_EQ(p.second, 59);
  EXPECT_EQ(ErrorOf([] { (void)ToDate(Variant(1e9)); }), errc::kOverflow);
}

}  // namespace
}  // namespace telvinor::automation
