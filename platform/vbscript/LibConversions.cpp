// Conversions (CStr, CInt, CLng, CSng, CDbl, CBool, CByte, CCur, CDate) and the tests on
// values (IsNumeric, IsDate, IsEmpty, IsNull, IsObject, IsArray, TypeName, VarType). The rules
// themselves are automation's (Conversions.h), shared with every component.

#include <cmath>

#include "automation/Conversions.h"
#include "automation/SafeArray.h"
#include "vbscript/Builtins.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {
namespace {

using automation::VarType;
using namespace lib;

template <VarType T>
Variant Convert(CallContext&, std::span<Variant> a) {
  if (a[0].IsNull()) ThrowRuntime(err::kInvalidUseOfNull);
  return automation::ChangeType(a[0], T);
}

Variant IsNumeric(CallContext&, std::span<Variant> a) {
  Variant v;
  try {
    v = Value(a[0]);
  } catch (const automation::AutomationError&) {
    return Variant(false);
  }
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
      return Variant(true);
    case VarType::String: {
      auto n = automation::ParseNumber(v.AsString());
      return Variant(n.has_value() && std::isfinite(*n));
    }
    default:
      return Variant(false);
  }
}

Variant IsDate(CallContext&, std::span<Variant> a) {
  const Variant& v = a[0].Deref();
  if (v.Type() == VarType::Date) return Variant(true);
  if (v.Type() == VarType::String) return Variant(automation::ParseDate(v.AsString()).has_value());
  return Variant(false);
}

Variant IsEmpty(CallContext&, std::span<Variant> a) {
  return Variant(a[0].IsEmpty());
}
Variant IsNull(CallContext&, std::span<Variant> a) {
  return Variant(a[0].IsNull());
}
Variant IsObject(CallContext&, std::span<Variant> a) {
  return Variant(a[0].IsObject());
}
Variant IsArray(CallContext&, std::span<Variant> a) {
  return Variant(a[0].IsArray());
}

Variant TypeName(CallContext&, std::span<Variant> a) {
  const Variant& v = a[0].Deref();
  if (v.IsObject()) {
    if (!v.AsObject()) return Variant(u"Nothing");
    return Variant(std::u16string(v.AsObject()->TypeName()));
  }
  if (v.IsArray()) {
    VarType e = automation::ElementTypeOf(v.Type());
    return Variant(std::u16string(automation::TypeNameOf(e)) + u"()");
  }
  return Variant(std::u16string(automation::TypeNameOf(v.Type())));
}

Variant VarTypeOf(CallContext&, std::span<Variant> a) {
  const Variant& v = a[0].Deref();
  return Variant(static_cast<std::int16_t>(static_cast<std::uint16_t>(v.Type())));
}

constexpr Builtin kFunctions[] = {
    {u"CStr", Convert<VarType::String>, 1, 1},
    {u"CInt", Convert<VarType::Integer>, 1, 1},
    {u"CLng", Convert<VarType::Long>, 1, 1},
    {u"CSng", Convert<VarType::Single>, 1, 1},
    {u"CDbl", Convert<VarType::Double>, 1, 1},
    {u"CBool", Convert<VarType::Boolean>, 1, 1},
    {u"CByte", Convert<VarType::Byte>, 1, 1},
    {u"CCur", Convert<VarType::Currency>, 1, 1},
    {u"CDate", Convert<VarType::Date>, 1, 1},
    {u"IsNumeric", IsNumeric, 1, 1},
    {u"IsDate", IsDate, 1, 1},
    {u"IsEmpty", IsEmpty, 1, 1},
    {u"IsNull", IsNull, 1, 1},
    {u"IsObject", IsObject, 1, 1},
    {u"IsArray", IsArray, 1, 1},
    {u"TypeName", TypeName, 1, 1},
    {u"VarType", VarTypeOf, 1, 1},
};

}  // namespace

std::span<const Builtin> ConversionFunctions() {
  return kFunctions;
}

}  // namespace telvinor::vbscript
