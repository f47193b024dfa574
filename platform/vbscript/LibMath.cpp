// Maths: Abs, Int, Fix, Round (half to even), Sgn, Sqr, Exp, Log, Sin, Cos, Tan, Atn, Rnd,
// Randomize. Whole-number types keep their type where VB keeps it.

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include "automation/Conversions.h"
#include "vbscript/Builtins.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {
namespace {

using automation::VarType;
using namespace lib;

double Checked(double r) {
  if (!std::isfinite(r)) ThrowRuntime(err::kOverflow);
  return r;
}

// Applies f to a number keeping the whole-number types (Int, Fix, Abs).
template <class F>
Variant KeepType(const Variant& in, F f) {
  Variant v = Value(in);
  switch (v.Type()) {
    case VarType::Null:
      return v;
    case VarType::Empty:
      return Variant(std::int16_t{0});
    case VarType::Boolean:
    case VarType::Integer: {
      double r = f(static_cast<double>(v.Type() == VarType::Boolean ? (v.AsBoolean() ? -1 : 0)
                                                                    : v.AsInteger()));
      if (r > 32767) return Variant(static_cast<std::int32_t>(r));
      return Variant(static_cast<std::int16_t>(r));
    }
    case VarType::Byte:
      return Variant(static_cast<std::uint8_t>(f(v.AsByte())));
    case VarType::Long: {
      double r = f(static_cast<double>(v.AsLong()));
      if (r > std::numeric_limits<std::int32_t>::max()) return Variant(r);
      return Variant(static_cast<std::int32_t>(r));
    }
    case VarType::Single:
      return Variant(static_cast<float>(f(v.AsSingle())));
    case VarType::Currency:
      return Variant::Currency(
          static_cast<std::int64_t>(f(static_cast<double>(v.AsCurrency()) / 10000.0) * 10000.0));
    case VarType::Date:
      return Variant::Date(f(v.AsDate()));
    default:
      return Variant(Checked(f(automation::ToDouble(v))));
  }
}

Variant Abs(CallContext&, std::span<Variant> a) {
  return KeepType(a[0], [](double x) { return std::fabs(x); });
}
Variant Int(CallContext&, std::span<Variant> a) {
  return KeepType(a[0], [](double x) { return std::floor(x); });
}
Variant Fix(CallContext&, std::span<Variant> a) {
  return KeepType(a[0], [](double x) { return std::trunc(x); });
}

Variant Round(CallContext&, std::span<Variant> a) {
  Variant v = Value(a[0]);
  if (v.IsNull()) return v;
  std::int32_t places = LongArg(a, 1, 0);
  if (places < 0) ThrowRuntime(err::kInvalidProcedureCall);
  switch (v.Type()) {
    case VarType::Empty:
      return Variant(std::int16_t{0});
    case VarType::Boolean:
      return Variant(static_cast<std::int16_t>(v.AsBoolean() ? -1 : 0));
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
      return v;
    default:
      break;
  }
  double x = automation::ToDouble(v);
  double r;
  if (places == 0) {
    r = std::nearbyint(x);
  } else if (places > 15) {
    r = x;
  } else {
    double scale = std::pow(10.0, places);
    double scaled = x * scale;
    // Ties are decided on the decimal value the number prints as (2.5 rounds to 2, 0.125 to 0.12).
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", scaled);
    double printed = std::strtod(buf, nullptr);
    r = std::nearbyint(printed) / scale;
  }
  if (v.Type() == VarType::Single) return Variant(static_cast<float>(r));
  if (v.Type() == VarType::Currency)
    return Variant::Currency(static_cast<std::int64_t>(std::nearbyint(r * 10000.0)));
  if (v.Type() == VarType::Date) return Variant::Date(r);
  return Variant(r);
}

Variant Sgn(CallContext&, std::span<Variant> a) {
  double x = automation::ToDouble(Value(a[0]));
  return Variant(static_cast<std::int16_t>(x > 0 ? 1 : x < 0 ? -1 : 0));
}

Variant Sqr(CallContext&, std::span<Variant> a) {
  double x = automation::ToDouble(Value(a[0]));
  if (x < 0) ThrowRuntime(err::kInvalidProcedureCall);
  return Variant(std::sqrt(x));
}

Variant Exp(CallContext&, std::span<Variant> a) {
  return Variant(Checked(std::exp(automation::ToDouble(Value(a[0])))));
}

Variant Log(CallContext&, std::span<Variant> a) {
  double x = automation::ToDouble(Value(a[0]));
  if (x <= 0) ThrowRuntime(err::kInvalidProcedureCall);
  return Variant(std::log(x));
}

Variant Sin(CallContext&, std::span<Variant> a) {
  return Variant(std::sin(automation::ToDouble(Value(a[0]))));
}
Variant Cos(CallContext&, std::span<Variant> a) {
  return Variant(std::cos(automation::ToDouble(Value(a[0]))));
}
Variant Tan(CallContext&, std::span<Variant> a) {
  return Variant(Checked(std::tan(automation::ToDouble(Value(a[0])))));
}
Variant Atn(CallContext&, std::span<Variant> a) {
  return Variant(std::atan(automation::ToDouble(Value(a[0]))));
}

// VB's generator: a 24-bit linear congruential sequence, x' = (x * 1140671485 + 12820163) mod 2^24,
// starting from 327680, so an unseeded script sees the same numbers each run.
thread_local std::uint32_t rndSeed = 327680;
thread_local float rndLast = 0;

float NextRnd() {
  rndSeed = static_cast<std::uint32_t>(
      (static_cast<std::uint64_t>(rndSeed) * 1140671485u + 12820163u) & 0xFFFFFFu);
  rndLast = static_cast<float>(rndSeed) / 16777216.0f;
  return rndLast;
}

Variant Rnd(CallContext&, std::span<Variant> a) {
  if (!Given(a, 0)) return Variant(NextRnd());
  double x = automation::ToDouble(Value(a[0]));
  if (x == 0) return Variant(rndLast);
  if (x < 0) {
    // A negative argument restarts the sequence from a starting value made of the number's bits.
    float f = static_cast<float>(x);
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    rndSeed = (bits + (bits >> 24)) & 0xFFFFFFu;
  }
  return Variant(NextRnd());
}

Variant Randomize(CallContext&, std::span<Variant> a) {
  double x;
  if (Given(a, 0)) {
    x = automation::ToDouble(Value(a[0]));
  } else {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    x = static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(now).count() %
                            86400000000LL) /
        1e6;
  }
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  std::uint32_t mixed = static_cast<std::uint32_t>(bits >> 32) ^ static_cast<std::uint32_t>(bits);
  mixed = ((mixed & 0xFFFFu) ^ (mixed >> 16)) << 8;
  rndSeed = (rndSeed & 0xFFu) | (mixed & 0xFFFF00u);
  return Variant();
}

constexpr Builtin kFunctions[] = {
    {u"Abs", Abs, 1, 1}, {u"Int", Int, 1, 1},
    {u"Fix", Fix, 1, 1}, {u"Round", Round, 1, 2},
    {u"Sgn", Sgn, 1, 1}, {u"Sqr", Sqr, 1, 1},
    {u"Exp", Exp, 1, 1}, {u"Log", Log, 1, 1},
    {u"Sin", Sin, 1, 1}, {u"Cos", Cos, 1, 1},
    {u"Tan", Tan, 1, 1}, {u"Atn", Atn, 1, 1},
    {u"Rnd", Rnd, 0, 1}, {u"Randomize", Randomize, 0, 1},
};

}  // namespace

std::span<const Builtin> MathFunctions() {
  return kFunctions;
}

}  // namespace telvinor::vbscript
