#pragma once
// VB's conversion rules (CStr, CDbl, CLng, CInt, CByte, CSng, CCur, CBool, CDate), shared by
// the script engine, the automation dispatcher (typed parameters) and every component that
// takes a Variant.
//
// Rules, as VB applies them:
// - Empty converts to 0, "" or False; Null raises 94 "Invalid use of Null" for every target
//   but Variant; an object converts through its default member (dispatch id 0); Nothing
//   raises 91.
// - Text converts to a number when the whole text, without leading and trailing blanks, is a
//   number: sign, the locale's currency sign (¥), digits with "," group separators, one ".",
//   an exponent (E or D), or &H / &O forms; otherwise 13 "Type mismatch". "True" / "False" (any case) convert to Boolean only.
// - To integral types values round half to even (CInt(2.5) = 2, CInt(3.5) = 4); a result out
//   of the target's range raises 6 "Overflow".
// - True is -1 as a number; any non-zero number is True.
// - Numbers print with up to 15 significant digits (7 for Single), without trailing zeros,
//   switching to exponent form ("1E+15", "1.5E-07") for exponents >= 15 or < -4 (decimal
//   exponent of the leading digit), like C's %G; Currency prints with up to 4 decimals.
// - Dates print in the general date form of the installation's locale, the Chinese (PRC)
//   default: "yyyy/M/d H:mm:ss"; the date alone when the time is midnight, the time alone
//   when the date is day 0 (1899/12/30). Text dates are read with numbers as year/month/day
//   when the first has three or more digits (also "2026年12月11日"), else month/day/year.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/Variant.h"

namespace telvinor::automation {

[[nodiscard]] BString ToBString(const Variant& v);
[[nodiscard]] std::u16string ToString(const Variant& v);
[[nodiscard]] double ToDouble(const Variant& v);
[[nodiscard]] float ToSingle(const Variant& v);
[[nodiscard]] std::int32_t ToLong(const Variant& v);
[[nodiscard]] std::int16_t ToInteger(const Variant& v);
[[nodiscard]] std::uint8_t ToByte(const Variant& v);
[[nodiscard]] bool ToBoolean(const Variant& v);
[[nodiscard]] std::int64_t ToCurrency(const Variant& v);  // scaled by 10,000
[[nodiscard]] double ToDate(const Variant& v);
// The value converted to `type` (Variant leaves it as it is, read through a reference).
[[nodiscard]] Variant ChangeType(const Variant& v, VarType type);

// The value of an object's default member, or the value itself when it is not an object.
[[nodiscard]] Variant DefaultValue(const Variant& v);

// The number a text stands for under the rules above, or nothing.
[[nodiscard]] std::optional<double> ParseNumber(std::u16string_view text);
// Round half to even, as VB rounds to whole numbers.
[[nodiscard]] double RoundHalfEven(double x) noexcept;
// A double as VB prints it, with the given number of significant digits (15, or 7 for Single).
[[nodiscard]] std::u16string FormatDouble(double x, int significantDigits = 15);
[[nodiscard]] std::u16string FormatCurrency(std::int64_t scaledBy10000);

// Dates: a VB date is days since 1899-12-30 with the time of day as the fraction; for days
// before that, the fraction still counts forward from midnight (-1.25 is 1899-12-29 06:00).
struct DateParts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
// The date for these parts; months and days out of range carry over as DateSerial does.
// Nothing when the result falls outside the years 100 to 9999.
[[nodiscard]] std::optional<double> DateFromParts(const DateParts& parts);
[[nodiscard]] DateParts PartsOfDate(double date);
[[nodiscard]] std::optional<double> ParseDate(std::u16string_view text);
[[nodiscard]] std::u16string FormatDate(double date);

}  // namespace telvinor::automation
