#include "vbscript/VariantOps.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "automation/Conversions.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {

using automation::VarType;
namespace conv = automation;

namespace {

// The numeric kinds an arithmetic operand reduces to.
enum class Num : std::uint8_t { Byte, Integer, Long, Single, Double, Currency, Date, Null };

// An operand reduced to a scalar: objects give their default value; arrays are a mismatch.
Variant Scalar(const Variant& v) {
  const Variant& d = v.Deref();
  if (d.Type() == VarType::Object) {
    Variant value = conv::DefaultValue(d);
    if (value.IsObject() || value.IsArray()) ThrowRuntime(err::kTypeMismatch);
    return value;
  }
  if (d.IsArray()) ThrowRuntime(err::kTypeMismatch);
  return d;
}

Num KindOf(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
      return Num::Integer;
    case VarType::Null:
      return Num::Null;
    case VarType::Boolean:
      return Num::Integer;
    case VarType::Byte:
      return Num::Byte;
    case VarType::Integer:
      return Num::Integer;
    case VarType::Long:
      return Num::Long;
    case VarType::Single:
      return Num::Single;
    case VarType::Double:
      return Num::Double;
    case VarType::Currency:
      return Num::Currency;
    case VarType::Date:
      return Num::Date;
    case VarType::String:
      return Num::Double;
    case VarType::Error:
      ThrowRuntime(err::kTypeMismatch);
    default:
      ThrowRuntime(err::kTypeMismatch);
  }
}

bool IsIntegral(Num k) {
  return k == Num::Byte || k == Num::Integer || k == Num::Long;
}

std::int64_t IntegralValue(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
      return 0;
    case VarType::Boolean:
      return v.AsBoolean() ? -1 : 0;
    case VarType::Byte:
      return v.AsByte();
    case VarType::Integer:
      return v.AsInteger();
    case VarType::Long:
      return v.AsLong();
    default:
      return 0;
  }
}

// The smallest type of at least `k` that holds n, or Double past Long.
Variant IntegralResult(std::int64_t n, Num k) {
  if (k == Num::Byte && n >= 0 && n <= 255) return Variant(static_cast<std::uint8_t>(n));
  if ((k == Num::Byte || k == Num::Integer) && n >= -32768 && n <= 32767)
    return Variant(static_cast<std::int16_t>(n));
  if (n >= std::numeric_limits<std::int32_t>::min() &&
      n <= std::numeric_limits<std::int32_t>::max())
    return Variant(static_cast<std::int32_t>(n));
  return Variant(static_cast<double>(n));
}

Num Wider(Num a, Num b) {
  if (a == Num::Null || b == Num::Null) return Num::Null;
  if (a == Num::Date || b == Num::Date) return Num::Date;
  if (a == Num::Double || b == Num::Double) return Num::Double;
  if (a == Num::Currency || b == Num::Currency) {
    if (a == Num::Single || b == Num::Single) return Num::Double;
    return Num::Currency;
  }
  if (a == Num::Single || b == Num::Single) {
    if (a == Num::Long || b == Num::Long) return Num::Double;
    return Num::Single;
  }
  return a > b ? a : b;
}

double CheckedResult(double r) {
  if (!std::isfinite(r)) ThrowRuntime(err::kOverflow);
  return r;
}

Variant FloatResult(double r, Num k) {
  CheckedResult(r);
  if (k == Num::Single) {
    if (std::fabs(r) > std::numeric_limits<float>::max()) ThrowRuntime(err::kOverflow);
    return Variant(static_cast<float>(r));
  }
  return Variant(r);
}

Variant DateResult(double r) {
  if (!std::isfinite(r) || r < -657434.0 || r >= 2958466.0) ThrowRuntime(err::kOverflow);
  return Variant::Date(r);
}

Variant CurrencyResult(double scaled) {
  if (!(scaled >= -9.2233720368547758e18 && scaled < 9.2233720368547758e18))
    ThrowRuntime(err::kOverflow);
  return Variant::Currency(static_cast<std::int64_t>(std::nearbyint(scaled)));
}

enum class Arith : std::uint8_t { Add, Subtract, Multiply };

Variant Arithmetic(Arith op, const Variant& x, const Variant& y) {
  Variant a = Scalar(x), b = Scalar(y);
  Num ka = KindOf(a), kb = KindOf(b);
  Num k = Wider(ka, kb);
  if (k == Num::Null) return Variant::Null();
  if (IsIntegral(k)) {
    std::int64_t p = IntegralValue(a), q = IntegralValue(b);
    std::int64_t r = op == Arith::Add ? p + q : op == Arith::Subtract ? p - q : p * q;
    return IntegralResult(r, k);
  }
  if (k == Num::Currency) {
    double p = a.Type() == VarType::Currency ? static_cast<double>(a.AsCurrency())
                                             : conv::ToDouble(a) * 10000.0;
    double q = b.Type() == VarType::Currency ? static_cast<double>(b.AsCurrency())
                                             : conv::ToDouble(b) * 10000.0;
    if (op == Arith::Add) return CurrencyResult(p + q);
    if (op == Arith::Subtract) return CurrencyResult(p - q);
    return CurrencyResult(p * q / 10000.0);
  }
  double p = conv::ToDouble(a), q = conv::ToDouble(b);
  double r = op == Arith::Add ? p + q : op == Arith::Subtract ? p - q : p * q;
  if (k == Num::Date) {
    if (op == Arith::Multiply) return FloatResult(r, Num::Double);
    // Date - Date is a number of days; Date +/- number is a Date.
    if (op == Arith::Subtract && ka == Num::Date && kb == Num::Date)
      return FloatResult(r, Num::Double);
    return DateResult(r);
  }
  return FloatResult(r, k);
}

// Whole-number operands of \ and Mod: rounded half to even, range-checked.
std::int64_t WholeOperand(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
      return IntegralValue(v);
    default:
      return conv::ToLong(v);
  }
}

Num WholeKind(const Variant& a, const Variant& b) {
  auto kind = [](const Variant& v) {
    switch (v.Type()) {
      case VarType::Byte:
        return Num::Byte;
      case VarType::Empty:
      case VarType::Boolean:
      case VarType::Integer:
        return Num::Integer;
      default:
        return Num::Long;
    }
  };
  Num x = kind(a), y = kind(b);
  return x > y ? x : y;
}

bool IsNumericType(VarType t) {
  switch (t) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date:
      return true;
    default:
      return false;
  }
}

int CompareNumbers(const Variant& a, const Variant& b) {
  VarType ta = a.Type(), tb = b.Type();
  if ((ta == VarType::Integer || ta == VarType::Long) &&
      (tb == VarType::Integer || tb == VarType::Long)) {
    std::int32_t p = ta == VarType::Integer ? a.AsInteger() : a.AsLong();
    std::int32_t q = tb == VarType::Integer ? b.AsInteger() : b.AsLong();
    return p < q ? -1 : p > q ? 1 : 0;
  }
  if (ta == VarType::Currency && tb == VarType::Currency) {
    return a.AsCurrency() < b.AsCurrency() ? -1 : a.AsCurrency() > b.AsCurrency() ? 1 : 0;
  }
  double p = conv::ToDouble(a), q = conv::ToDouble(b);
  return p < q ? -1 : p > q ? 1 : 0;
}

bool Holds(BinaryOp op, int c) {
  switch (op) {
    case BinaryOp::Equal:
      return c == 0;
    case BinaryOp::NotEqual:
      return c != 0;
    case BinaryOp::Less:
      return c < 0;
    case BinaryOp::Greater:
      return c > 0;
    case BinaryOp::LessEqual:
      return c <= 0;
    case BinaryOp::GreaterEqual:
      return c >= 0;
    default:
      return false;
  }
}

}  // namespace

char16_t FoldChar(char16_t c) noexcept {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c < 0xC0) return c;
  if (c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 32);  // full-width Latin
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<char16_t>(c + 32);  // Greek
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);                // Cyrillic
  return c;
}

int CompareText(std::u16string_view a, std::u16string_view b, CompareMode mode) noexcept {
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    char16_t x = a[i], y = b[i];
    if (mode == CompareMode::Text) {
      x = FoldChar(x);
      y = FoldChar(y);
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

Variant OpAdd(const Variant& x, const Variant& y) {
  const Variant& a = x.Deref();
  const Variant& b = y.Deref();
  if (a.Type() == VarType::String && b.Type() == VarType::String)
    return Variant(automation::BString::Concat(a.AsString(), b.AsString()));
  // String + Empty is the string, as VB joins them.
  if (a.Type() == VarType::String && b.Type() == VarType::Empty) return a;
  if (b.Type() == VarType::String && a.Type() == VarType::Empty) return b;
  return Arithmetic(Arith::Add, a, b);
}
Variant OpSubtract(const Variant& a, const Variant& b) {
  return Arithmetic(Arith::Subtract, a, b);
}
Variant OpMultiply(const Variant& a, const Variant& b) {
  return Arithmetic(Arith::Multiply, a, b);
}

Variant OpDivide(const Variant& x, const Variant& y) {
  Variant a = Scalar(x), b = Scalar(y);
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  double p = conv::ToDouble(a), q = conv::ToDouble(b);
  if (q == 0) ThrowRuntime(p == 0 ? err::kOverflow : err::kDivisionByZero);
  Num k = Wider(KindOf(a), KindOf(b));
  return FloatResult(p / q, k == Num::Single ? Num::Single : Num::Double);
}

Variant OpIntDivide(const Variant& x, const Variant& y) {
  Variant a = Scalar(x), b = Scalar(y);
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  std::int64_t p = WholeOperand(a), q = WholeOperand(b);
  if (q == 0) ThrowRuntime(err::kDivisionByZero);
  return IntegralResult(p / q, WholeKind(a, b));
}

Variant OpMod(const Variant& x, const Variant& y) {
  Variant a = Scalar(x), b = Scalar(y);
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  std::int64_t p = WholeOperand(a), q = WholeOperand(b);
  if (q == 0) ThrowRuntime(err::kDivisionByZero);
  return IntegralResult(p % q, WholeKind(a, b));
}

Variant OpPower(const Variant& x, const Variant& y) {
  Variant a = Scalar(x), b = Scalar(y);
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  double p = conv::ToDouble(a), q = conv::ToDouble(b);
  if (p == 0 && q < 0) ThrowRuntime(err::kInvalidProcedureCall);
  double r = std::pow(p, q);
  if (std::isnan(r)) ThrowRuntime(err::kInvalidProcedureCall);
  return FloatResult(r, Num::Double);
}

Variant OpConcat(const Variant& x, const Variant& y) {
  Variant a = Scalar(x), b = Scalar(y);
  if (a.IsNull() && b.IsNull()) return Variant::Null();
  if (a.IsNull()) return b.IsString() ? b : Variant(conv::ToBString(b));
  if (b.IsNull()) return a.IsString() ? a : Variant(conv::ToBString(a));
  if (a.IsString() && b.IsString())
    return Variant(automation::BString::Concat(a.AsString(), b.AsString()));
  automation::BString sa = conv::ToBString(a);
  automation::BString sb = conv::ToBString(b);
  return Variant(automation::BString::Concat(sa, sb));
}

Variant OpNegate(const Variant& x) {
  Variant a = Scalar(x);
  switch (a.Type()) {
    case VarType::Null:
      return a;
    case VarType::Empty:
      return Variant(std::int16_t{0});
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
      return IntegralResult(-IntegralValue(a),
                            a.Type() == VarType::Long ? Num::Long : Num::Integer);
    case VarType::Single:
      return Variant(-a.AsSingle());
    case VarType::Double:
      return Variant(-a.AsDouble());
    case VarType::Currency:
      if (a.AsCurrency() == std::numeric_limits<std::int64_t>::min()) ThrowRuntime(err::kOverflow);
      return Variant::Currency(-a.AsCurrency());
    case VarType::Date:
      return DateResult(-a.AsDate());
    case VarType::String:
      return Variant(-conv::ToDouble(a));
    default:
      ThrowRuntime(err::kTypeMismatch);
  }
}

Variant OpNot(const Variant& x) {
  Variant a = Scalar(x);
  switch (a.Type()) {
    case VarType::Null:
      return a;
    case VarType::Boolean:
      return Variant(!a.AsBoolean());
    case VarType::Empty:
      return Variant(std::int16_t{-1});
    case VarType::Byte:
      return Variant(static_cast<std::uint8_t>(~a.AsByte()));
    case VarType::Integer:
      return Variant(static_cast<std::int16_t>(~a.AsInteger()));
    default:
      return Variant(~conv::ToLong(a));
  }
}

Variant OpLogical(BinaryOp op, const Variant& x, const Variant& y) {
  Variant a = Scalar(x), b = Scalar(y);
  bool an = a.IsNull(), bn = b.IsNull();
  auto bits = [](const Variant& v) -> std::int32_t {
    if (v.Type() == VarType::String) {
      std::u16string_view s = v.AsString();
      if (CompareText(s, u"true", CompareMode::Text) == 0) return -1;
      if (CompareText(s, u"false", CompareMode::Text) == 0) return 0;
    }
    return conv::ToLong(v);
  };
  bool bothBoolean = a.Type() == VarType::Boolean && b.Type() == VarType::Boolean;
  auto typed = [&](std::int32_t r, const Variant& p, const Variant& q) -> Variant {
    VarType tp = p.Type(), tq = q.Type();
    bool pb = tp == VarType::Boolean || tp == VarType::Null,
         qb = tq == VarType::Boolean || tq == VarType::Null;
    if (pb && qb) return Variant(r != 0);
    if ((tp == VarType::Byte || tp == VarType::Null) &&
        (tq == VarType::Byte || tq == VarType::Null))
      return Variant(static_cast<std::uint8_t>(r));
    auto small = [](VarType t) {
      return t == VarType::Empty || t == VarType::Boolean || t == VarType::Byte ||
             t == VarType::Integer || t == VarType::Null;
    };
    if (small(tp) && small(tq)) return Variant(static_cast<std::int16_t>(r));
    return Variant(r);
  };
  if (an || bn) {
    if (an && bn) return Variant::Null();
    const Variant& other = an ? b : a;
    std::int32_t v = bits(other);
    switch (op) {
      case BinaryOp::And:
        if (v == 0) return typed(0, other, other);
        return Variant::Null();
      case BinaryOp::Or:
        if (v == -1) return typed(-1, other, other);
        return Variant::Null();
      case BinaryOp::Imp:
        // Null Imp True is True; False Imp Null is True.
        if (an && v == -1) return typed(-1, other, other);
        if (bn && v == 0) return typed(-1, other, other);
        return Variant::Null();
      default:
        return Variant::Null();
    }
  }
  std::int32_t p = bits(a), q = bits(b), r = 0;
  switch (op) {
    case BinaryOp::And:
      r = p & q;
      break;
    case BinaryOp::Or:
      r = p | q;
      break;
    case BinaryOp::Xor:
      r = p ^ q;
      break;
    case BinaryOp::Eqv:
      r = ~(p ^ q);
      break;
    case BinaryOp::Imp:
      r = ~p | q;
      break;
    default:
      break;
  }
  if (bothBoolean) return Variant(r != 0);
  return typed(r, a, b);
}

Variant OpCompare(BinaryOp op, const Variant& x, const Variant& y, bool aLiteral, bool bLiteral) {
  Variant a = Scalar(x), b = Scalar(y);
  VarType ta = a.Type(), tb = b.Type();
  if (ta == VarType::Null || tb == VarType::Null) return Variant::Null();
  int c;
  if (ta == VarType::String && tb == VarType::String) {
    c = CompareText(a.AsString(), b.AsString(), CompareMode::Binary);
  } else if (IsNumericType(ta) && IsNumericType(tb)) {
    c = CompareNumbers(a, b);
  } else if (ta == VarType::String || tb == VarType::String) {
    bool aString = ta == VarType::String;
    const Variant& s = aString ? a : b;
    const Variant& n = aString ? b : a;
    bool numberIsLiteral = aString ? bLiteral : aLiteral;
    bool stringIsLiteral = aString ? aLiteral : bLiteral;
    if (n.Type() == VarType::Empty) {
      c = CompareText(s.AsString(), u"", CompareMode::Binary);
      if (!aString) c = -c;
    } else if (auto number = numberIsLiteral ? conv::ParseNumber(s.AsString()) : std::nullopt) {
      // A variable holding text against a number written in the code: compared as numbers
      // when the text is one.
      c = CompareNumbers(Variant(*number), n);
      if (!aString) c = -c;
    } else if (stringIsLiteral) {
      // A variable holding a number against text written in the code: compared as text.
      c = CompareText(s.AsString(), conv::ToBString(n).view(), CompareMode::Binary);
      if (!aString) c = -c;
    } else {
      c = aString ? 1 : -1;  // a number is less than a string
    }
  } else {
    ThrowRuntime(err::kTypeMismatch);
  }
  return Variant(Holds(op, c));
}

bool OpIs(const Variant& x, const Variant& y) {
  const Variant& a = x.Deref();
  const Variant& b = y.Deref();
  if (!a.IsObject() || !b.IsObject()) ThrowRuntime(err::kObjectRequired);
  return a.AsObject() == b.AsObject();
}

Variant ApplyBinary(BinaryOp op, const Variant& a, const Variant& b) {
  switch (op) {
    case BinaryOp::Add:
      return OpAdd(a, b);
    case BinaryOp::Subtract:
      return OpSubtract(a, b);
    case BinaryOp::Multiply:
      return OpMultiply(a, b);
    case BinaryOp::Divide:
      return OpDivide(a, b);
    case BinaryOp::IntDivide:
      return OpIntDivide(a, b);
    case BinaryOp::Mod:
      return OpMod(a, b);
    case BinaryOp::Power:
      return OpPower(a, b);
    case BinaryOp::Concat:
      return OpConcat(a, b);
    case BinaryOp::Is:
      return Variant(OpIs(a, b));
    case BinaryOp::And:
    case BinaryOp::Or:
    case BinaryOp::Xor:
    case BinaryOp::Eqv:
    case BinaryOp::Imp:
      return OpLogical(op, a, b);
    default:
      return OpCompare(op, a, b);
  }
}

bool IsTrue(const Variant& v) {
  const Variant& d = v.Deref();
  switch (d.Type()) {
    case VarType::Boolean:
      return d.AsBoolean();
    case VarType::Null:
    case VarType::Empty:
      return false;
    case VarType::Integer:
      return d.AsInteger() != 0;
    case VarType::Long:
      return d.AsLong() != 0;
    default:
      return conv::ToBoolean(Scalar(d));
  }
}

}  // namespace telvinor::vbscript
