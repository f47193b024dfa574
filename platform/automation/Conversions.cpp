#include "automation/Conversions.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "automation/AutomationError.h"
#include "automation/SafeArray.h"

namespace telvinor::automation {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

// A value that is not a scalar (an object) is replaced by its default member's value first.
Variant Scalar(const Variant& v) {
  const Variant& d = v.Deref();
  if (d.Type() != VarType::Object) return d;
  Variant value = DefaultValue(d);
  if (value.IsObject() || value.IsArray()) ThrowError(errc::kTypeMismatch);
  return value;
}

double CheckedDouble(double x) {
  if (!std::isfinite(x)) ThrowError(errc::kOverflow);
  return x;
}

template <class Int>
Int RoundToInt(double x) {
  if (!std::isfinite(x)) ThrowError(errc::kOverflow);
  double r = RoundHalfEven(x);
  if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
      r > static_cast<double>(std::numeric_limits<Int>::max()))
    ThrowError(errc::kOverflow);
  return static_cast<Int>(r);
}

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

const std::int64_t kDayZero = DaysFromCivil(1899, 12, 30);

constexpr std::array<std::u16string_view, 12> kMonthNames{
    u"january", u"february", u"march", u"april", u"may", u"june",
    u"july", u"august", u"september", u"october", u"november", u"december"};

}  // namespace

Variant DefaultValue(const Variant& v) {
  const Variant& d = v.Deref();
  if (d.Type() != VarType::Object) return d;
  Dispatch* object = d.AsObject();
  if (!object) ThrowError(errc::kObjectVariableNotSet);
  return object->Invoke(kDispIdValue, InvokeKind::Method | InvokeKind::PropertyGet, {});
}

double RoundHalfEven(double x) noexcept {
  double r = std::nearbyint(x);  // the default rounding mode is to nearest, ties to even
  return r;
}

std::optional<double> ParseNumber(std::u16string_view text) {
  std::u16string_view s = Trim(text);
  if (s.empty()) return std::nullopt;
  if (s[0] == u'&') {
    // &H and &O forms: up to 4 hex digits are a 16-bit value, more a 32-bit one (as literals).
    std::size_t i = 1;
    int base = 8;
    if (i < s.size() && (s[i] == u'H' || s[i] == u'h')) { base = 16; ++i; }
    else if (i < s.size() && (s[i] == u'O' || s[i] == u'o')) { ++i; }
    if (i >= s.size()) return std::nullopt;
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; i < s.size(); ++i, ++digits) {
      char16_t c = s[i];
      int dv = c >= u'0' && c <= u'9' ? c - u'0'
             : base == 16 && Lower(c) >= u'a' && Lower(c) <= u'f' ? Lower(c) - u'a' + 10 : -1;
      if (dv < 0 || dv >= base) return std::nullopt;
      value = value * base + dv;
      if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    bool small = base == 16 ? digits <= 4 : value <= 0xFFFF;
    if (small) return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)));
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
  }
  std::string ascii;
  ascii.reserve(s.size());
  std::size_t i = 0;
  if (s[i] == u'+' || s[i] == u'-') ascii += static_cast<char>(s[i++]);
  // The locale's currency sign may lead an amount ("¥12.50", "-¥3"), as the locale's parser
  // accepts it.
  if (i < s.size() && (s[i] == u'\u00A5' || s[i] == u'\uFFE5')) {
    ++i;
    if (ascii.empty() && i < s.size() && (s[i] == u'+' || s[i] == u'-')) ascii += static_cast<char>(s[i++]);
  }
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c >= u'0' && c <= u'9') { ascii += static_cast<char>(c); digits = true; }
    else if (c == u',' && !point && digits) { /* group separator */ }
    else if (c == u'.' && !point) { ascii += '.'; point = true; }
    else break;
  }
  if (!digits) return std::nullopt;
  if (i < s.size() && (Lower(s[i]) == u'e' || Lower(s[i]) == u'd')) {
    ascii += 'e';
    ++i;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ascii += static_cast<char>(s[i++]);
    bool expDigits = false;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
      ascii += static_cast<char>(s[i]);
      expDigits = true;
    }
    if (!expDigits) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  return std::strtod(ascii.c_str(), nullptr);
}

std::u16string FormatDouble(double x, int significantDigits) {
  if (x == 0) return u"0";
  if (std::isnan(x)) return u"-1.#IND";
  if (std::isinf(x)) return x > 0 ? u"1.#INF" : u"-1.#INF";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*E", significantDigits - 1, x);
  // buf: [-]d.ddddE[+-]xx
  std::string s(buf);
  std::size_t e = s.find('E');
  int exponent = std::atoi(s.c_str() + e + 1);
  std::string mantissa = s.substr(0, e);
  bool negative = mantissa[0] == '-';
  if (negative) mantissa.erase(0, 1);
  std::string digitsOnly;
  for (char c : mantissa) {
    if (c != '.') digitsOnly += c;
  }
  while (digitsOnly.size() > 1 && digitsOnly.back() == '0') digitsOnly.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent < -4 || exponent >= significantDigits) {
    out += digitsOnly[0];
    if (digitsOnly.size() > 1) out += "." + digitsOnly.substr(1);
    char expBuf[16];
    std::snprintf(expBuf, sizeof expBuf, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    out += expBuf;
  } else if (exponent < 0) {
    out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digitsOnly;
  } else {
    auto intDigits = static_cast<std::size_t>(exponent + 1);
    if (digitsOnly.size() <= intDigits) {
      out += digitsOnly + std::string(intDigits - digitsOnly.size(), '0');
    } else {
      out += digitsOnly.substr(0, intDigits) + "." + digitsOnly.substr(intDigits);
    }
  }
  return Ascii(out);
}

std::u16string FormatCurrency(std::int64_t v) {
  bool negative = v < 0;
  std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  std::string out = (negative ? "-" : "") + std::to_string(mag / 10000);
  std::uint64_t frac = mag % 10000;
  if (frac) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(frac));
    std::string f(buf);
    while (f.back() == '0') f.pop_back();
    out += "." + f;
  }
  return Ascii(out);
}

std::optional<double> DateFromParts(const DateParts& p) {
  std::int64_t month0 = static_cast<std::int64_t>(p.month) - 1;
  std::int64_t year = p.year + (month0 >= 0 ? month0 / 12 : (month0 - 11) / 12);
  month0 = ((month0 % 12) + 12) % 12;
  if (year < 100 || year > 9999) return std::nullopt;
  std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month0 + 1), 1) + (p.day - 1) - kDayZero;
  std::int64_t seconds = static_cast<std::int64_t>(p.hour) * 3600 + static_cast<std::int64_t>(p.minute) * 60 + p.second;
  days += seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  seconds = ((seconds % 86400) + 86400) % 86400;
  double frac = static_cast<double>(seconds) / 86400.0;
  if (days < DaysFromCivil(100, 1, 1) - kDayZero || days > DaysFromCivil(9999, 12, 31) - kDayZero)
    return std::nullopt;
  return days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
}

DateParts PartsOfDate(double date) {
  double whole = std::trunc(date);
  double frac = std::fabs(date - whole);
  auto days = static_cast<std::int64_t>(whole);
  auto seconds = static_cast<std::int64_t>(std::llround(frac * 86400.0));
  if (seconds >= 86400) {
    seconds -= 86400;
    ++days;
  }
  DateParts p;
  CivilFromDays(days + kDayZero, p.year, p.month, p.day);
  p.hour = static_cast<int>(seconds / 3600);
  p.minute = static_cast<int>(seconds / 60 % 60);
  p.second = static_cast<int>(seconds % 60);
  return p;
}

std::u16string FormatDate(double date) {
  DateParts p = PartsOfDate(date);
  char buf[64];
  std::string out;
  bool hasDate = std::trunc(date) != 0;
  bool hasTime = p.hour || p.minute || p.second;
  if (hasDate || !hasTime) {
    std::snprintf(buf, sizeof buf, "%d/%d/%d", p.year, p.month, p.day);
    out = buf;
  }
  if (hasTime) {
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", p.hour, p.minute, p.second);
    out += (out.empty() ? "" : " ") + std::string(buf);
  }
  return Ascii(out);
}

std::optional<double> ParseDate(std::u16string_view text) {
  // Tokens: numbers, month names, AM/PM, separated by / - . , blanks; a time is h:m[:s].
  std::u16string_view s = Trim(text);
  if (s.empty()) return std::nullopt;
  std::array<int, 3> dateNums{};
  int dateCount = 0, monthByName = 0;
  std::array<int, 3> timeNums{};
  int timeCount = 0;
  int ampm = 0;  // 1 AM, 2 PM
  bool yearFirst = false;
  std::size_t i = 0;
  while (i < s.size()) {
    char16_t c = s[i];
    // 年 月 日 separate the parts of the locale's long date ("2026年12月11日").
    if (IsBlank(c) || c == u'/' || c == u'-' || c == u',' || c == u'.' || c == u'\u5E74' || c == u'\u6708' ||
        c == u'\u65E5') {
      ++i;
      continue;
    }
    if (c >= u'0' && c <= u'9') {
      std::size_t start = i;
      long value = 0;
      while (i < s.size() && s[i] >= u'0' && s[i] <= u'9' && value < 100000) value = value * 10 + (s[i++] - u'0');
      if (i < s.size() && s[i] >= u'0' && s[i] <= u'9') return std::nullopt;
      if (i < s.size() && s[i] == u':') {
        if (timeCount) return std::nullopt;
        timeNums[timeCount++] = static_cast<int>(value);
        while (i < s.size() && s[i] == u':' && timeCount < 3) {
          ++i;
          long part = 0;
          std::size_t ds = i;
          while (i < s.size() && s[i] >= u'0' && s[i] <= u'9' && part < 1000) part = part * 10 + (s[i++] - u'0');
          if (i == ds) return std::nullopt;
          timeNums[timeCount++] = static_cast<int>(part);
        }
        continue;
      }
      if (dateCount == 3) return std::nullopt;
      if (dateCount == 0 && i - start >= 3) yearFirst = true;
      dateNums[dateCount++] = static_cast<int>(value);
      continue;
    }
    std::size_t start = i;
    while (i < s.size() && ((Lower(s[i]) >= u'a' && Lower(s[i]) <= u'z'))) ++i;
    if (i == start) return std::nullopt;
    std::u16string_view word = s.substr(start, i - start);
    if (EqualsNoCase(word, u"am") || EqualsNoCase(word, u"a")) { ampm = 1; continue; }
    if (EqualsNoCase(word, u"pm") || EqualsNoCase(word, u"p")) { ampm = 2; continue; }
    bool found = false;
    for (std::size_t m = 0; m < kMonthNames.size(); ++m) {
      std::u16string_view name = kMonthNames[m];
      if (word.size() >= 3 && word.size() <= name.size() && EqualsNoCase(word, name.substr(0, word.size()))) {
        monthByName = static_cast<int>(m) + 1;
        found = true;
        break;
      }
    }
    if (!found || dateCount == 3) return std::nullopt;
  }
  DateParts p;
  bool hasDate = dateCount > 0 || monthByName;
  if (hasDate) {
    int y = 0, m = 0, d = 0;
    if (monthByName) {
      if (dateCount != 2) return std::nullopt;
      m = monthByName;
      // "Dec 11 2026", "11 December 2026"
      if (dateNums[0] > 31) { y = dateNums[0]; d = dateNums[1]; } else { d = dateNums[0]; y = dateNums[1]; }
    } else if (dateCount == 3) {
      if (yearFirst || dateNums[0] > 31) { y = dateNums[0]; m = dateNums[1]; d = dateNums[2]; }
      else { m = dateNums[0]; d = dateNums[1]; y = dateNums[2]; }
    } else {
      return std::nullopt;
    }
    if (y < 100) y += y < 30 ? 2000 : 1900;
    if (m < 1 || m > 12 || d < 1) return std::nullopt;
    int daysInMonth = static_cast<int>(DaysFromCivil(m == 12 ? y + 1 : y, m == 12 ? 1 : m + 1, 1) - DaysFromCivil(y, m, 1));
    if (d > daysInMonth) return std::nullopt;
    p.year = y;
    p.month = m;
    p.day = d;
  }
  if (timeCount) {
    int h = timeNums[0];
    if (ampm) {
      if (h < 1 || h > 12) return std::nullopt;
      h = h % 12 + (ampm == 2 ? 12 : 0);
    }
    if (h > 23 || timeNums[1] > 59 || timeNums[2] > 59) return std::nullopt;
    p.hour = h;
    p.minute = timeNums[1];
    p.second = timeNums[2];
  } else if (ampm || !hasDate) {
    return std::nullopt;
  }
  return DateFromParts(p);
}

double ToDouble(const Variant& in) {
  Variant v = Scalar(in);
  switch (v.Type()) {
    case VarType::Empty: return 0;
    case VarType::Null: ThrowError(errc::kInvalidUseOfNull);
    case VarType::Integer: return v.AsInteger();
    case VarType::Long: return v.AsLong();
    case VarType::Single: return v.AsSingle();
    case VarType::Double: return v.AsDouble();
    case VarType::Date: return v.AsDate();
    case VarType::Currency: return static_cast<double>(v.AsCurrency()) / 10000.0;
    case VarType::Boolean: return v.AsBoolean() ? -1 : 0;
    case VarType::Byte: return v.AsByte();
    case VarType::String: {
      auto n = ParseNumber(v.AsString());
      if (!n) ThrowError(errc::kTypeMismatch);
      return CheckedDouble(*n);
    }
    default: ThrowError(errc::kTypeMismatch);
  }
}

float ToSingle(const Variant& v) {
  double d = ToDouble(v);
  if (std::fabs(d) > std::numeric_limits<float>::max()) ThrowError(errc::kOverflow);
  return static_cast<float>(d);
}

std::int32_t ToLong(const Variant& in) {
  const Variant& v = in.Deref();
  switch (v.Type()) {
    case VarType::Long: return v.AsLong();
    case VarType::Integer: return v.AsInteger();
    case VarType::Byte: return v.AsByte();
    case VarType::Boolean: return v.AsBoolean() ? -1 : 0;
    case VarType::Currency: return RoundToInt<std::int32_t>(static_cast<double>(v.AsCurrency()) / 10000.0);
    default: return RoundToInt<std::int32_t>(ToDouble(v));
  }
}

std::int16_t ToInteger(const Variant& v) {
  std::int32_t n = v.Type() == VarType::Integer ? v.AsInteger() : ToLong(v);
  if (n < -32768 || n > 32767) ThrowError(errc::kOverflow);
  return static_cast<std::int16_t>(n);
}

std::uint8_t ToByte(const Variant& v) {
  std::int32_t n = ToLong(v);
  if (n < 0 || n > 255) ThrowError(errc::kOverflow);
  return static_cast<std::uint8_t>(n);
}

bool ToBoolean(const Variant& in) {
  Variant v = Scalar(in);
  switch (v.Type()) {
    case VarType::Boolean: return v.AsBoolean();
    case VarType::String: {
      std::u16string_view s = Trim(v.AsString());
      if (EqualsNoCase(s, u"true")) return true;
      if (EqualsNoCase(s, u"false")) return false;
      auto n = ParseNumber(s);
      if (!n) ThrowError(errc::kTypeMismatch);
      return *n != 0;
    }
    default: return ToDouble(v) != 0;
  }
}

std::int64_t ToCurrency(const Variant& in) {
  const Variant& v = in.Deref();
  if (v.Type() == VarType::Currency) return v.AsCurrency();
  double scaled = RoundHalfEven(ToDouble(v) * 10000.0);
  if (!(scaled >= -9.2233720368547758e18 && scaled < 9.2233720368547758e18)) ThrowError(errc::kOverflow);
  return static_cast<std::int64_t>(scaled);
}

double ToDate(const Variant& in) {
  Variant v = Scalar(in);
  if (v.Type() == VarType::Date) return v.AsDate();
  if (v.Type() == VarType::String) {
    auto d = ParseDate(v.AsString());
    if (!d) ThrowError(errc::kTypeMismatch);
    return *d;
  }
  double d = ToDouble(v);
  // Dates run from 100-01-01 (-657434) to 9999-12-31 (2958465).
  if (d < -657434.0 || d >= 2958466.0) ThrowError(errc::kOverflow);
  return d;
}

BString ToBString(const Variant& in) {
  Variant v = Scalar(in);
  switch (v.Type()) {
    case VarType::String: return v.AsBString();
    case VarType::Empty: return BString();
    case VarType::Null: ThrowError(errc::kInvalidUseOfNull);
    case VarType::Boolean: return BString(v.AsBoolean() ? u"True" : u"False");
    case VarType::Integer: return BString(Ascii(std::to_string(v.AsInteger())));
    case VarType::Long: return BString(Ascii(std::to_string(v.AsLong())));
    case VarType::Byte: return BString(Ascii(std::to_string(v.AsByte())));
    case VarType::Single: return BString(FormatDouble(v.AsSingle(), 7));
    case VarType::Double: return BString(FormatDouble(v.AsDouble(), 15));
    case VarType::Currency: return BString(FormatCurrency(v.AsCurrency()));
    case VarType::Date: return BString(FormatDate(v.AsDate()));
    case VarType::Error: return BString(u"Error " + Ascii(std::to_string(v.AsErrorCode())));
    default: ThrowError(errc::kTypeMismatch);
  }
}

std::u16string ToString(const Variant& v) { return ToBString(v).str(); }

Variant ChangeType(const Variant& v, VarType type) {
  switch (type) {
    case VarType::Variant: return v.Deref();
    case VarType::Empty: return Variant();
    case VarType::Null: return Variant::Null();
    case VarType::Integer: return Variant(ToInteger(v));
    case VarType::Long: return Variant(ToLong(v));
    case VarType::Single: return Variant(ToSingle(v));
    case VarType::Double: return Variant(ToDouble(v));
    case VarType::Currency: return Variant::Currency(ToCurrency(v));
    case VarType::Date: return Variant::Date(ToDate(v));
    case VarType::String: return Variant(ToBString(v));
    case VarType::Boolean: return Variant(ToBoolean(v));
    case VarType::Byte: return Variant(ToByte(v));
    case VarType::Object:
      if (!v.IsObject()) ThrowError(errc::kObjectRequired);
      return v.Deref();
    case VarType::Error:
      if (v.Type() != VarType::Error) ThrowError(errc::kTypeMismatch);
      return v.Deref();
    default:
      if (IsArrayType(type)) {
        if (!v.IsArray()) ThrowError(errc::kTypeMismatch);
        if (ElementTypeOf(type) == VarType::Variant || ElementTypeOf(v.Type()) == ElementTypeOf(type))
          return v.Deref();
        // A typed array parameter given another array: convert every element.
        const SafeArray& source = v.AsArray();
        auto copy = MakeRef<SafeArray>(ElementTypeOf(type), source.Bounds());
        auto from = source.Elements();
        auto to = copy->Elements();
        for (std::size_t i = 0; i < from.size(); ++i) to[i] = ChangeType(from[i], ElementTypeOf(type));
        return Variant(copy);
      }
      ThrowError(errc::kTypeMismatch);
  }
}

}  // namespace telvinor::automation
