#pragma once
// Dispatch: an automation object that is called by name or by dispatch id, as IDispatch is.
//
// Callers (the VBScript engine, hosts, other objects) look a name up once with GetIdOfName and
// then call Invoke with the id. Arguments are in call order (not reversed as in COM); an
// argument passed by reference is a Variant::ByRef to the caller's variable, and the callee
// writes the new value through it. Errors are thrown as AutomationError.
//
// Most classes do not implement this interface by hand: they describe their members in a
// ClassInfo table and derive from AutomationObject<T> (ClassInfo.h). Objects whose members are
// only known at run time (script classes, the script control's global object) implement the
// two virtual functions themselves.

#include <cstdint>
#include <span>
#include <string_view>

#include "automation/RefCounted.h"

namespace telvinor::automation {

class Variant;
struct ClassInfo;

using DispId = std::int32_t;
inline constexpr DispId kDispIdValue = 0;       // the default member: obj(x) means obj.Item(x)
inline constexpr DispId kDispIdUnknown = -1;    // GetIdOfName found nothing
inline constexpr DispId kDispIdNewEnum = -4;    // returns an Enumerator: For Each works on it
inline constexpr DispId kDispIdEvaluate = -5;

// How a member is invoked; a caller that cannot tell a method call from a property read
// (VB's `x = obj.Name`) passes Method | PropertyGet.
enum class InvokeKind : std::uint8_t {
  Method = 1,
  PropertyGet = 2,
  PropertyPut = 4,     // Let: assign a value
  PropertyPutRef = 8,  // Set: assign an object reference
};
[[nodiscard]] constexpr InvokeKind operator|(InvokeKind a, InvokeKind b) {
  return static_cast<InvokeKind>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}
[[nodiscard]] constexpr bool Has(InvokeKind set, InvokeKind k) {
  return (static_cast<std::uint8_t>(set) & static_cast<std::uint8_t>(k)) != 0;
}

class Dispatch : public RefCounted {
 public:
  // The dispatch id of a member, names compared without regard to case; kDispIdUnknown when
  // the object has no such member (the caller decides whether that is error 438).
  [[nodiscard]] virtual DispId GetIdOfName(std::u16string_view name) const = 0;

  // Calls the member. For PropertyPut / PropertyPutRef the value is the last argument.
  virtual Variant Invoke(DispId id, InvokeKind kind, std::span<Variant> args) = 0;

  // What VB's TypeName() says of this object ("DOMDocument", "Dictionary", "clsInterpretor").
  [[nodiscard]] virtual std::u16string_view TypeName() const = 0;

  // The member table of a table-driven class, or null.
  [[nodiscard]] virtual const ClassInfo* Info() const noexcept { return nullptr; }
};

// An enumerator, what kDispIdNewEnum returns: For Each asks it for one item after another.
class Enumerator : public Dispatch {
 public:
  // Stores the next item and returns true, or returns false at the end.
  virtual bool Next(Variant& item) = 0;
  virtual void Reset() = 0;

  [[nodiscard]] DispId GetIdOfName(std::u16string_view) const override { return kDispIdUnknown; }
  Variant Invoke(DispId id, InvokeKind kind, std::span<Variant> args) override;
  [[nodiscard]] std::u16string_view TypeName() const override { return u"Object"; }
};

}  // namespace telvinor::automation
