#include "automation/Variant.h"

#include <cmath>
#include <cstdio>

#include "automation/AutomationError.h"
#include "automation/SafeArray.h"
#include "automation/Utf.h"

namespace telvinor::automation {

Variant::Variant(const Ref<SafeArray>& array) noexcept
    : type_(array ? VarType::Array | array->ElementType() : VarType::Array | VarType::Variant),
      byref_(false),
      counted_(array.get()) {
  if (counted_) counted_->AddRef();
}

Variant Variant::Currency(std::int64_t scaledBy10000) noexcept {
  Variant v;
  v.type_ = VarType::Currency;
  v.i8_ = scaledBy10000;
  return v;
}

Variant Variant::Date(double days) noexcept {
  Variant v;
  v.type_ = VarType::Date;
  v.r8_ = days;
  return v;
}

Variant Variant::Error(std::int32_t scode) noexcept {
  Variant v;
  v.type_ = VarType::Error;
  v.i4_ = scode;
  return v;
}

Variant Variant::ByRef(Variant& target) noexcept {
  Variant v;
  v.byref_ = true;
  // A reference to a reference points at the final variable, so writes land in one place.
  v.ref_ = &target.Deref();
  return v;
}

void Variant::AddRefPayload() const noexcept {
  if (byref_) return;
  if (type_ == VarType::String) {
    if (str_) ++str_->refs;
  } else if (type_ == VarType::Object || IsArrayType(type_)) {
    if (counted_) counted_->AddRef();
  }
}

void Variant::ReleasePayload() noexcept {
  if (byref_) return;
  if (type_ == VarType::String) {
    BString s;
    s.rep_ = str_;  // the BString's destructor drops the reference
  } else if (type_ == VarType::Object || IsArrayType(type_)) {
    if (counted_) counted_->Release();
  }
}

std::u16string_view Variant::AsString() const noexcept {
  const Variant& v = Deref();
  return v.str_ ? std::u16string_view(v.str_->data, v.str_->length) : std::u16string_view();
}

BString Variant::AsBString() const noexcept {
  BString s;
  const Variant& v = Deref();
  s.rep_ = v.str_;
  if (s.rep_) ++s.rep_->refs;
  return s;
}

SafeArray& Variant::MutableArray() {
  Variant& v = Deref();
  auto* array = static_cast<SafeArray*>(v.counted_);
  if (array->RefCount() > 1) {
    Ref<SafeArray> copy = array->Clone();
    array->Release();
    v.counted_ = copy.release();
    array = static_cast<SafeArray*>(v.counted_);
  }
  return *array;
}

void Variant::AppendText(std::u16string_view tail) {
  Variant& v = Deref();
  BString::AppendTo(v.str_, tail);
}

bool operator==(const Variant& x, const Variant& y) noexcept {
  const Variant& a = x.Deref();
  const Variant& b = y.Deref();
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case VarType::Empty:
    case VarType::Null: return true;
    case VarType::Integer: return a.i2_ == b.i2_;
    case VarType::Long:
    case VarType::Error: return a.i4_ == b.i4_;
    case VarType::Single: return a.r4_ == b.r4_ || (std::isnan(a.r4_) && std::isnan(b.r4_));
    case VarType::Double:
    case VarType::Date: return a.r8_ == b.r8_ || (std::isnan(a.r8_) && std::isnan(b.r8_));
    case VarType::Currency: return a.i8_ == b.i8_;
    case VarType::Boolean: return a.b_ == b.b_;
    case VarType::Byte: return a.u1_ == b.u1_;
    case VarType::String: return a.AsString() == b.AsString();
    case VarType::Object: return a.counted_ == b.counted_;
    default:
      if (IsArrayType(a.type_)) {
        if (a.counted_ == b.counted_) return true;
        if (!a.counted_ || !b.counted_) return false;
        const auto& aa = a.AsArray();
        const auto& bb = b.AsArray();
        if (aa.Bounds().size() != bb.Bounds().size()) return false;
        for (std::size_t d = 0; d < aa.Bounds().size(); ++d) {
          if (aa.Bounds()[d].lower != bb.Bounds()[d].lower || aa.Bounds()[d].upper != bb.Bounds()[d].upper)
            return false;
        }
        auto ea = aa.Elements();
        auto eb = bb.Elements();
        for (std::size_t i = 0; i < ea.size(); ++i) {
          if (!(ea[i] == eb[i])) return false;
        }
        return true;
      }
      return false;
  }
}

std::string Variant::DebugString() const {
  const Variant& v = Deref();
  char buf[64];
  std::string prefix = byref_ ? "ByRef " : "";
  switch (v.type_) {
    case VarType::Empty: return prefix + "Empty";
    case VarType::Null: return prefix + "Null";
    case VarType::Integer: return prefix + "Integer " + std::to_string(v.i2_);
    case VarType::Long: return prefix + "Long " + std::to_string(v.i4_);
    case VarType::Single: std::snprintf(buf, sizeof buf, "Single %.9g", v.r4_); return prefix + buf;
    case VarType::Double: std::snprintf(buf, sizeof buf, "Double %.17g", v.r8_); return prefix + buf;
    case VarType::Date: std::snprintf(buf, sizeof buf, "Date %.17g", v.r8_); return prefix + buf;
    case VarType::Currency: return prefix + "Currency " + std::to_string(v.i8_) + "/10000";
    case VarType::Error: return prefix + "Error " + std::to_string(v.i4_);
    case VarType::Boolean: return prefix + (v.b_ ? "Boolean True" : "Boolean False");
    case VarType::Byte: return prefix + "Byte " + std::to_string(v.u1_);
    case VarType::String: return prefix + "String \"" + ToUtf8(v.AsString()) + "\"";
    case VarType::Object:
      return prefix + (v.counted_ ? "Object " + ToUtf8(v.AsObject()->TypeName()) : "Nothing");
    default:
      if (IsArrayType(v.type_)) {
        std::string s = prefix + "Array(";
        if (v.counted_) {
          bool first = true;
          for (const auto& e : v.AsArray().Elements()) {
            s += (first ? "" : ", ") + e.DebugString();
            first = false;
          }
        }
        return s + ")";
      }
      return prefix + "VarType " + std::to_string(static_cast<int>(v.type_));
  }
}

std::u16string_view TypeNameOf(VarType t) noexcept {
  switch (t) {
    case VarType::Empty: return u"Empty";
    case VarType::Null: return u"Null";
    case VarType::Integer: return u"Integer";
    case VarType::Long: return u"Long";
    case VarType::Single: return u"Single";
    case VarType::Double: return u"Double";
    case VarType::Currency: return u"Currency";
    case VarType::Date: return u"Date";
    case VarType::String: return u"String";
    case VarType::Object: return u"Object";
    case VarType::Error: return u"Error";
    case VarType::Boolean: return u"Boolean";
    case VarType::Variant: return u"Variant";
    case VarType::Byte: return u"Byte";
    default: return IsArrayType(t) ? std::u16string_view(u"Variant()") : std::u16string_view(u"Unknown");
  }
}

Variant Enumerator::Invoke(DispId, InvokeKind, std::span<Variant>) {
  throw AutomationError(errc::kObjectDoesNotSupportMember);
}

}  // namespace telvinor::automation
