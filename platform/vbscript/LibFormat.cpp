// Number formatting: FormatNumber, FormatPercent, FormatCurrency, in the installation's
// locale, Chinese (PRC): "." for decimals, "," between groups of three, two decimals by
// default, "¥" before amounts, "-" before negative numbers ("¥-1,234.50").

#include <cmath>
#include <cstdio>
#include <string>

#include "automation/Conversions.h"
#include "vbscript/Builtins.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {
namespace {

using namespace lib;

constexpr std::int32_t kTriStateDefault = -2;
constexpr int kDefaultDecimals = 2;

struct NumberStyle {
  int decimals = kDefaultDecimals;
  bool leadingDigit = true;
  bool parentheses = false;
  bool groups = true;
};

bool TriState(std::span<Variant> a, std::size_t i, bool otherwise) {
  if (!Given(a, i)) return otherwise;
  std::int32_t v = automation::ToLong(a[i]);
  if (v == kTriStateDefault) return otherwise;
  return v != 0;
}

NumberStyle StyleOf(std::span<Variant> a, bool parenthesesDefault) {
  NumberStyle s;
  std::int32_t d = LongArg(a, 1, -1);
  if (d < -1 || d > 255) ThrowRuntime(err::kInvalidProcedureCall);
  if (d >= 0) s.decimals = d;
  s.leadingDigit = TriState(a, 2, true);
  s.parentheses = TriState(a, 3, parenthesesDefault);
  s.groups = TriState(a, 4, true);
  return s;
}

// The magnitude of x with its digits grouped, rounded half away from zero as display
// formats round.
std::string Digits(double x, const NumberStyle& s) {
  double scale = std::pow(10.0, s.decimals > 15 ? 15 : s.decimals);
  double rounded = std::round(std::fabs(x) * scale) / scale;
  std::string text(400, '\0');
  int n = std::snprintf(text.data(), text.size(), "%.*f", s.decimals, rounded);
  if (n < 0) ThrowRuntime(err::kOverflow);
  text.resize(static_cast<std::size_t>(n));
  std::size_t point = text.find('.');
  std::string whole = text.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : text.substr(point);
  if (whole == "0" && !s.leadingDigit && !fraction.empty()) whole.clear();
  if (s.groups) {
    for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3)
      whole.insert(static_cast<std::size_t>(i), ",");
  }
  return whole + fraction;
}

std::u16string Wide(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

bool IsNegative(double x, const NumberStyle& s) {
  double scale = std::pow(10.0, s.decimals > 15 ? 15 : s.decimals);
  return x < 0 && std::round(std::fabs(x) * scale) != 0;
}

Variant FormatNumber(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  double x = automation::ToDouble(Value(a[0]));
  NumberStyle s = StyleOf(a, false);
  std::string d = Digits(x, s);
  if (!IsNegative(x, s)) return Variant(Wide(d));
  return Variant(Wide(s.parentheses ? "(" + d + ")" : "-" + d));
}

Variant FormatPercent(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  double x = automation::ToDouble(Value(a[0])) * 100.0;
  NumberStyle s = StyleOf(a, false);
  std::string d = Digits(x, s) + "%";
  if (!IsNegative(x, s)) return Variant(Wide(d));
  return Variant(Wide(s.parentheses ? "(" + d + ")" : "-" + d));
}

Variant FormatCurrency(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  double x = automation::ToDouble(Value(a[0]));
  NumberStyle s = StyleOf(a, false);
  std::u16string d = Wide(Digits(x, s));
  if (!IsNegative(x, s)) return Variant(u"¥" + d);
  return Variant(s.parentheses ? u"(¥" + d + u")" : u"¥-" + d);
}

constexpr Builtin kFunctions[] = {
    {u"FormatNumber", FormatNumber, 1, 5},
    {u"FormatPercent", FormatPercent, 1, 5},
    {u"FormatCurrency", FormatCurrency, 1, 5},
};

}  // namespace

std::span<const Builtin> FormatFunctions() {
  return kFunctions;
}

}  // namespace telvinor::vbscript
