// Dates and times: Now, Date, Time, Timer, Year .. Second, Weekday, DateAdd, DateDiff,
// DatePart, DateSerial, TimeSerial, DateValue, TimeValue, FormatDateTime, MonthName,
// WeekdayName. Names and long formats follow the installation's locale, Chinese (PRC):
// "2026年12月11日", "十二月", "星期五".

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "automation/ClassInfo.h"
#include "automation/Conversions.h"
#include "automation/Utf.h"
#include "vbscript/Builtins.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {
namespace {

using automation::DateParts;
using automation::VarType;
using namespace lib;

constexpr std::array<std::u16string_view, 12> kMonthNames{u"一月", u"二月", u"三月",   u"四月",
                                                          u"五月", u"六月", u"七月",   u"八月",
                                                          u"九月", u"十月", u"十一月", u"十二月"};
constexpr std::array<std::u16string_view, 12> kMonthAbbrev{u"1月", u"2月",  u"3月",  u"4月",
                                                           u"5月", u"6月",  u"7月",  u"8月",
                                                           u"9月", u"10月", u"11月", u"12月"};
constexpr std::array<std::u16string_view, 7> kDayNames{u"星期日", u"星期一", u"星期二", u"星期三",
                                                       u"星期四", u"星期五", u"星期六"};
constexpr std::array<std::u16string_view, 7> kDayAbbrev{u"周日", u"周一", u"周二", u"周三",
                                                        u"周四", u"周五", u"周六"};

double NowValue() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  DateParts p{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
              local.tm_hour,        local.tm_min,     local.tm_sec};
  return automation::DateFromParts(p).value_or(0);
}

double DateArg(const Variant& v) {
  return automation::ToDate(Value(v));
}

Variant MakeDate(std::optional<double> d) {
  if (!d) ThrowRuntime(err::kInvalidProcedureCall);
  return Variant::Date(*d);
}

Variant Now(CallContext&, std::span<Variant>) {
  return Variant::Date(NowValue());
}
Variant Today(CallContext&, std::span<Variant>) {
  return Variant::Date(std::floor(NowValue()));
}
Variant TimeNow(CallContext&, std::span<Variant>) {
  double n = NowValue();
  return Variant::Date(n - std::floor(n));
}

Variant Timer(CallContext&, std::span<Variant>) {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() %
      1000000;
  double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                   static_cast<double>(micros) / 1e6;
  return Variant(static_cast<float>(seconds));
}

enum class Part : std::uint8_t { Year, Month, Day, Hour, Minute, Second };

template <Part P>
Variant PartOf(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) return Variant::Null();
  DateParts p = automation::PartsOfDate(DateArg(a[0]));
  int v = P == Part::Year     ? p.year
          : P == Part::Month  ? p.month
          : P == Part::Day    ? p.day
          : P == Part::Hour   ? p.hour
          : P == Part::Minute ? p.minute
                              : p.second;
  return Variant(static_cast<std::int16_t>(v));
}

// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(double date) {
  auto days = static_cast<std::int64_t>(std::floor(date));
  // 1899-12-30 (day 0) was a Saturday.
  return static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
}

int FirstDayArg(std::span<Variant> a, std::size_t i) {
  int first = LongArg(a, i, 1);
  if (first == 0) first = 1;  // the system's first day: Sunday in this locale
  if (first < 1 || first > 7) ThrowRuntime(err::kInvalidProcedureCall);
  return first;
}

Variant Weekday(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) return Variant::Null();
  int first = FirstDayArg(a, 1);
  int d = DayOfWeek(DateArg(a[0]));
  return Variant(static_cast<std::int16_t>((d - first + 7) % 7 + 1));
}

enum class Interval : std::uint8_t {
  Year,
  Quarter,
  Month,
  DayOfYear,
  Day,
  Weekday,
  Week,
  Hour,
  Minute,
  Second
};

Interval IntervalArg(const Variant& v) {
  std::u16string s = automation::FoldCase(TextArg(v).view());
  if (s == u"yyyy") return Interval::Year;
  if (s == u"q") return Interval::Quarter;
  if (s == u"m") return Interval::Month;
  if (s == u"y") return Interval::DayOfYear;
  if (s == u"d") return Interval::Day;
  if (s == u"w") return Interval::Weekday;
  if (s == u"ww") return Interval::Week;
  if (s == u"h") return Interval::Hour;
  if (s == u"n") return Interval::Minute;
  if (s == u"s") return Interval::Second;
  ThrowRuntime(err::kInvalidProcedureCall);
}

int DaysInMonth(int year, int month) {
  DateParts a{year, month, 1};
  DateParts b{year, month + 1, 1};
  auto x = automation::DateFromParts(a), y = automation::DateFromParts(b);
  return x && y ? static_cast<int>(*y - *x) : 31;
}

Variant DateAdd(CallContext&, std::span<Variant> a) {
  if (a[1].IsNull() || a[2].IsNull()) return Variant::Null();
  Interval in = IntervalArg(a[0]);
  double n = std::trunc(automation::ToDouble(Value(a[1])));
  double d = DateArg(a[2]);
  switch (in) {
    case Interval::Year:
    case Interval::Quarter:
    case Interval::Month: {
      DateParts p = automation::PartsOfDate(d);
      double months = in == Interval::Year ? n * 12 : in == Interval::Quarter ? n * 3 : n;
      if (std::fabs(months) > 120000) ThrowRuntime(err::kInvalidProcedureCall);
      std::int64_t total = static_cast<std::int64_t>(p.year) * 12 + (p.month - 1) +
                           static_cast<std::int64_t>(months);
      DateParts q = p;
      q.year = static_cast<int>(total / 12);
      q.month = static_cast<int>(total % 12) + 1;
      if (q.year < 100 || q.year > 9999) ThrowRuntime(err::kInvalidProcedureCall);
      q.day = std::min(p.day, DaysInMonth(q.year, q.month));  // Jan 31 + 1 month is Feb 28/29
      return MakeDate(automation::DateFromParts(q));
    }
    default:
      break;
  }
  double seconds = in == Interval::Hour     ? 3600
                   : in == Interval::Minute ? 60
                   : in == Interval::Second ? 1
                                            : 86400;
  if (in == Interval::Week) seconds = 7 * 86400;
  // Move in whole seconds on the time line (dates before 1899 count their fraction forwards).
  DateParts p = automation::PartsOfDate(d);
  double day = std::floor(d);
  double secondOfDay = p.hour * 3600.0 + p.minute * 60.0 + p.second;
  double total = day * 86400 + secondOfDay + n * seconds;
  if (!std::isfinite(total) || std::fabs(total) > 1e12) ThrowRuntime(err::kInvalidProcedureCall);
  double newDay = std::floor(total / 86400);
  double rest = total - newDay * 86400;
  DateParts q{1899, 12, 30, 0, 0, static_cast<int>(rest)};
  auto base = automation::DateFromParts(q);
  if (!base) ThrowRuntime(err::kInvalidProcedureCall);
  double frac = *base;
  double result = newDay >= 0 ? newDay + frac : newDay - frac;
  if (result < -657434.0 || result >= 2958466.0) ThrowRuntime(err::kInvalidProcedureCall);
  return Variant::Date(result);
}

std::int64_t SecondsOf(double d) {
  DateParts p = automation::PartsOfDate(d);
  return static_cast<std::int64_t>(std::floor(d)) * 86400 + p.hour * 3600 + p.minute * 60 +
         p.second;
}

// Week number within the year for DatePart("ww"), counting from the week holding Jan 1.
int WeekOfYear(double d, int firstDay) {
  DateParts p = automation::PartsOfDate(d);
  DateParts jan1{p.year, 1, 1};
  double start = automation::DateFromParts(jan1).value_or(0);
  int offset = (DayOfWeek(start) - firstDay + 7) % 7;
  return static_cast<int>((std::floor(d) - start + offset) / 7) + 1;
}

Variant DateDiff(CallContext&, std::span<Variant> a) {
  if (a[1].IsNull() || a[2].IsNull()) return Variant::Null();
  Interval in = IntervalArg(a[0]);
  double d1 = DateArg(a[1]), d2 = DateArg(a[2]);
  int firstDay = FirstDayArg(a, 3);
  DateParts p1 = automation::PartsOfDate(d1), p2 = automation::PartsOfDate(d2);
  std::int64_t r = 0;
  switch (in) {
    case Interval::Year:
      r = p2.year - p1.year;
      break;
    case Interval::Quarter:
      r = (p2.year * 4 + (p2.month - 1) / 3) - (p1.year * 4 + (p1.month - 1) / 3);
      break;
    case Interval::Month:
      r = (p2.year * 12 + p2.month) - (p1.year * 12 + p1.month);
      break;
    case Interval::DayOfYear:
    case Interval::Day:
      r = static_cast<std::int64_t>(std::floor(d2)) - static_cast<std::int64_t>(std::floor(d1));
      break;
    case Interval::Weekday:
      r = (static_cast<std::int64_t>(std::floor(d2)) - static_cast<std::int64_t>(std::floor(d1))) /
          7;
      break;
    case Interval::Week: {
      // Calendar weeks: how many first days of the week lie between the two dates.
      auto weekStart = [&](double d) {
        auto day = static_cast<std::int64_t>(std::floor(d));
        return day - (DayOfWeek(d) - firstDay + 7) % 7;
      };
      r = (weekStart(d2) - weekStart(d1)) / 7;
      break;
    }
    case Interval::Hour:
      r = SecondsOf(d2) / 3600 - SecondsOf(d1) / 3600;
      break;
    case Interval::Minute:
      r = SecondsOf(d2) / 60 - SecondsOf(d1) / 60;
      break;
    case Interval::Second:
      r = SecondsOf(d2) - SecondsOf(d1);
      break;
  }
  if (r < INT32_MIN || r > INT32_MAX) ThrowRuntime(err::kOverflow);
  return Variant(static_cast<std::int32_t>(r));
}

Variant DatePart(CallContext&, std::span<Variant> a) {
  if (a[1].IsNull()) return Variant::Null();
  Interval in = IntervalArg(a[0]);
  double d = DateArg(a[1]);
  int firstDay = FirstDayArg(a, 2);
  DateParts p = automation::PartsOfDate(d);
  int r = 0;
  switch (in) {
    case Interval::Year:
      r = p.year;
      break;
    case Interval::Quarter:
      r = (p.month - 1) / 3 + 1;
      break;
    case Interval::Month:
      r = p.month;
      break;
    case Interval::DayOfYear: {
      DateParts jan1{p.year, 1, 1};
      r = static_cast<int>(std::floor(d) - automation::DateFromParts(jan1).value_or(0)) + 1;
      break;
    }
    case Interval::Day:
      r = p.day;
      break;
    case Interval::Weekday:
      r = (DayOfWeek(d) - firstDay + 7) % 7 + 1;
      break;
    case Interval::Week:
      r = WeekOfYear(d, firstDay);
      break;
    case Interval::Hour:
      r = p.hour;
      break;
    case Interval::Minute:
      r = p.minute;
      break;
    case Interval::Second:
      r = p.second;
      break;
  }
  return Variant(static_cast<std::int32_t>(r));
}

Variant DateSerial(CallContext&, std::span<Variant> a) {
  if (AnyNull(a, 3)) ThrowRuntime(err::kInvalidUseOfNull);
  std::int32_t y = automation::ToInteger(Value(a[0]));
  std::int32_t m = automation::ToInteger(Value(a[1]));
  std::int32_t d = automation::ToInteger(Value(a[2]));
  if (y >= 0 && y < 30)
    y += 2000;
  else if (y >= 30 && y < 100)
    y += 1900;
  return MakeDate(automation::DateFromParts(DateParts{y, m, d}));
}

Variant TimeSerial(CallContext&, std::span<Variant> a) {
  if (AnyNull(a, 3)) ThrowRuntime(err::kInvalidUseOfNull);
  std::int32_t h = automation::ToInteger(Value(a[0]));
  std::int32_t m = automation::ToInteger(Value(a[1]));
  std::int32_t s = automation::ToInteger(Value(a[2]));
  double seconds = h * 3600.0 + m * 60.0 + s;
  double day = std::floor(seconds / 86400);
  double rest = seconds - day * 86400;
  double frac = rest / 86400.0;
  return Variant::Date(day >= 0 ? day + frac : day - frac);
}

Variant DateValue(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  return Variant::Date(std::trunc(DateArg(a[0])));
}

Variant TimeValue(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  double d = DateArg(a[0]);
  return Variant::Date(std::fabs(d - std::trunc(d)));
}

std::u16string Ascii(const char* s) {
  return automation::FromUtf8(s);
}

Variant FormatDateTime(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  double d = DateArg(a[0]);
  std::int32_t format = LongArg(a, 1, 0);
  DateParts p = automation::PartsOfDate(d);
  char buf[64];
  switch (format) {
    case 0:
      return Variant(automation::FormatDate(d));
    case 1:
      std::snprintf(buf, sizeof buf, "%d年%d月%d日", p.year, p.month, p.day);
      return Variant(Ascii(buf));
    case 2:
      std::snprintf(buf, sizeof buf, "%d/%d/%d", p.year, p.month, p.day);
      return Variant(Ascii(buf));
    case 3:
      std::snprintf(buf, sizeof buf, "%d:%02d:%02d", p.hour, p.minute, p.second);
      return Variant(Ascii(buf));
    case 4:
      std::snprintf(buf, sizeof buf, "%02d:%02d", p.hour, p.minute);
      return Variant(Ascii(buf));
    default:
      ThrowRuntime(err::kInvalidProcedureCall);
  }
}

Variant MonthName(CallContext&, std::span<Variant> a) {
  std::int32_t m = automation::ToLong(Value(a[0]));
  if (m < 1 || m > 12) ThrowRuntime(err::kInvalidProcedureCall);
  bool abbreviate = Given(a, 1) && automation::ToBoolean(a[1]);
  return Variant((abbreviate ? kMonthAbbrev : kMonthNames)[static_cast<std::size_t>(m - 1)]);
}

Variant WeekdayName(CallContext&, std::span<Variant> a) {
  std::int32_t w = automation::ToLong(Value(a[0]));
  if (w < 1 || w > 7) ThrowRuntime(err::kInvalidProcedureCall);
  bool abbreviate = Given(a, 1) && automation::ToBoolean(a[1]);
  int first = FirstDayArg(a, 2);
  int day = (w - 1 + first - 1) % 7;  // 0 = Sunday
  return Variant((abbreviate ? kDayAbbrev : kDayNames)[static_cast<std::size_t>(day)]);
}

constexpr Builtin kFunctions[] = {
    {u"Now", Now, 0, 0},
    {u"Date", Today, 0, 0},
    {u"Time", TimeNow, 0, 0},
    {u"Timer", Timer, 0, 0},
    {u"Year", PartOf<Part::Year>, 1, 1},
    {u"Month", PartOf<Part::Month>, 1, 1},
    {u"Day", PartOf<Part::Day>, 1, 1},
    {u"Hour", PartOf<Part::Hour>, 1, 1},
    {u"Minute", PartOf<Part::Minute>, 1, 1},
    {u"Second", PartOf<Part::Second>, 1, 1},
    {u"Weekday", Weekday, 1, 2},
    {u"DateAdd", DateAdd, 3, 3},
    {u"DateDiff", DateDiff, 3, 5},
    {u"DatePart", DatePart, 2, 4},
    {u"DateSerial", DateSerial, 3, 3},
    {u"TimeSerial", TimeSerial, 3, 3},
    {u"DateValue", DateValue, 1, 1},
    {u"TimeValue", TimeValue, 1, 1},
    {u"FormatDateTime", FormatDateTime, 1, 2},
    {u"MonthName", MonthName, 1, 2},
    {u"WeekdayName", WeekdayName, 1, 3},
};

}  // namespace

std::span<const Builtin> DateFunctions() {
  return kFunctions;
}

}  // namespace telvinor::vbscript
