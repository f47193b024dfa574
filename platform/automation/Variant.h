#pragma once
// Variant: the value of VB and of automation calls (COM's VARIANT), 16 bytes.
//
// Strings are shared immutable BStrings, objects and arrays are counted references, so copying
// a Variant never copies text or elements. Arrays have value semantics as in VB: a copy shares
// the elements until one side changes them (MutableArray() then copies).
//
// A ByRef Variant points at another Variant (a caller's variable passed by reference). Reading
// through it (Type(), As...()) reads the target; assigning to the ByRef Variant itself replaces
// the reference, so write through Target() to change the caller's variable.
//
// The conversions of VB (CStr, CLng, CDate, ...) are in Conversions.h.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "automation/BString.h"
#include "automation/Dispatch.h"
#include "automation/VarType.h"

namespace telvinor::automation {

class SafeArray;

class Variant {
 public:
  Variant() noexcept : type_(VarType::Empty), byref_(false), i8_(0) {}
  Variant(std::int16_t v) noexcept : type_(VarType::Integer), byref_(false), i8_(0) { i2_ = v; }
  Variant(std::int32_t v) noexcept : type_(VarType::Long), byref_(false), i8_(0) { i4_ = v; }
  Variant(float v) noexcept : type_(VarType::Single), byref_(false), i8_(0) { r4_ = v; }
  Variant(double v) noexcept : type_(VarType::Double), byref_(false), r8_(v) {}
  Variant(bool v) noexcept : type_(VarType::Boolean), byref_(false), i8_(0) { b_ = v; }
  Variant(std::uint8_t v) noexcept : type_(VarType::Byte), byref_(false), i8_(0) { u1_ = v; }
  Variant(BString s) noexcept : type_(VarType::String), byref_(false), str_(std::exchange(s.rep_, nullptr)) {}
  Variant(std::u16string_view s) : Variant(BString(s)) {}
  Variant(const std::u16string& s) : Variant(BString(s)) {}
  Variant(const char16_t* s) : Variant(BString(s)) {}
  // An object reference; a null pointer is Nothing.
  Variant(Dispatch* object) noexcept : type_(VarType::Object), byref_(false), counted_(object) {
    if (object) object->AddRef();
  }
  template <class T>
  Variant(const Ref<T>& object) noexcept : Variant(static_cast<Dispatch*>(object.get())) {}
  explicit Variant(const Ref<SafeArray>& array) noexcept;
  // Other pointer types would silently become Boolean; refuse them.
  Variant(const void*) = delete;

  [[nodiscard]] static Variant Null() noexcept { Variant v; v.type_ = VarType::Null; return v; }
  [[nodiscard]] static Variant Nothing() noexcept { return Variant(static_cast<Dispatch*>(nullptr)); }
  [[nodiscard]] static Variant Currency(std::int64_t scaledBy10000) noexcept;
  [[nodiscard]] static Variant Date(double days) noexcept;
  [[nodiscard]] static Variant Error(std::int32_t scode) noexcept;
  // The argument a caller leaves out (an optional parameter takes its default).
  [[nodiscard]] static Variant Missing() noexcept { return Error(kParamNotFound); }
  [[nodiscard]] static Variant ByRef(Variant& target) noexcept;

  Variant(const Variant& o) noexcept : type_(o.type_), byref_(o.byref_), i8_(o.i8_) {
    if (HasCountedPayload()) AddRefPayload();
  }
  Variant(Variant&& o) noexcept : type_(o.type_), byref_(o.byref_), i8_(o.i8_) {
    o.type_ = VarType::Empty;
    o.byref_ = false;
    o.i8_ = 0;
  }
  Variant& operator=(const Variant& o) noexcept {
    Variant tmp(o);
    Swap(tmp);
    return *this;
  }
  Variant& operator=(Variant&& o) noexcept {
    Variant tmp(std::move(o));
    Swap(tmp);
    return *this;
  }
  ~Variant() {
    if (HasCountedPayload()) ReleasePayload();
  }
  void Swap(Variant& o) noexcept {
    std::swap(type_, o.type_);
    std::swap(byref_, o.byref_);
    std::swap(i8_, o.i8_);
  }

  // The value's type, read through a reference. An array reports Array | element type.
  [[nodiscard]] VarType Type() const noexcept { return Deref().type_; }
  [[nodiscard]] bool IsByRef() const noexcept { return byref_; }
  [[nodiscard]] bool IsEmpty() const noexcept { return Type() == VarType::Empty; }
  [[nodiscard]] bool IsNull() const noexcept { return Type() == VarType::Null; }
  [[nodiscard]] bool IsString() const noexcept { return Type() == VarType::String; }
  [[nodiscard]] bool IsObject() const noexcept { return Type() == VarType::Object; }
  [[nodiscard]] bool IsNothing() const noexcept { return IsObject() && !Deref().counted_; }
  [[nodiscard]] bool IsArray() const noexcept { return IsArrayType(Type()); }
  [[nodiscard]] bool IsMissing() const noexcept {
    return Type() == VarType::Error && Deref().i4_ == kParamNotFound;
  }

  // The referenced variable (for a ByRef variant) or this variant itself.
  [[nodiscard]] const Variant& Deref() const noexcept { return byref_ ? *ref_ : *this; }
  [[nodiscard]] Variant& Deref() noexcept { return byref_ ? *ref_ : *this; }
  // The caller's variable behind a ByRef variant; this variant when it is not one.
  [[nodiscard]] Variant& Target() noexcept { return Deref(); }

  // Raw accessors: the value must have that exact type (checked in debug builds).
  [[nodiscard]] std::int16_t AsInteger() const noexcept { return Deref().i2_; }
  [[nodiscard]] std::int32_t AsLong() const noexcept { return Deref().i4_; }
  [[nodiscard]] float AsSingle() const noexcept { return Deref().r4_; }
  [[nodiscard]] double AsDouble() const noexcept { return Deref().r8_; }
  [[nodiscard]] std::int64_t AsCurrency() const noexcept { return Deref().i8_; }
  [[nodiscard]] double AsDate() const noexcept { return Deref().r8_; }
  [[nodiscard]] bool AsBoolean() const noexcept { return Deref().b_; }
  [[nodiscard]] std::uint8_t AsByte() const noexcept { return Deref().u1_; }
  [[nodiscard]] std::int32_t AsErrorCode() const noexcept { return Deref().i4_; }
  [[nodiscard]] std::u16string_view AsString() const noexcept;
  [[nodiscard]] BString AsBString() const noexcept;
  // The object, or null for Nothing.
  [[nodiscard]] Dispatch* AsObject() const noexcept { return static_cast<Dispatch*>(Deref().counted_); }
  [[nodiscard]] const SafeArray& AsArray() const noexcept;
  // The array for changing: copied first when another variant shares it.
  [[nodiscard]] SafeArray& MutableArray();
  // Appends text to a String value (read through a reference), in place when the text is not
  // shared; see BString::Append.
  void AppendText(std::u16string_view tail);

  // Same type and same value (text compared exactly, objects by identity, arrays element by
  // element). This is not VB's "=" operator, which converts; it is for tests and tables.
  friend bool operator==(const Variant& a, const Variant& b) noexcept;

  // A short description for logs and test messages: "Long 5", "String \"abc\"".
  [[nodiscard]] std::string DebugString() const;

 private:
  // Numbers, dates, booleans and references hold nothing counted: copying and destroying
  // them is inline and branch-cheap, which the script engine's arithmetic relies on.
  [[nodiscard]] bool HasCountedPayload() const noexcept {
    return !byref_ && (type_ == VarType::String || type_ == VarType::Object || IsArrayType(type_));
  }
  void AddRefPayload() const noexcept;
  void ReleasePayload() noexcept;

  VarType type_;
  bool byref_;
  union {
    std::int16_t i2_;
    std::int32_t i4_;
    float r4_;
    double r8_;
    std::int64_t i8_;  // Currency; also the whole payload for copying
    bool b_;
    std::uint8_t u1_;
    BString::Rep* str_;
    RefCounted* counted_;  // Object (a Dispatch) or Array (a SafeArray)
    Variant* ref_;
  };
};

static_assert(sizeof(Variant) == 16);

}  // namespace telvinor::automation
