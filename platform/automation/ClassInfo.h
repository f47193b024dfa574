#pragma once
// Table-driven automation classes.
//
// A class describes its members once, in one ClassInfo table: name, dispatch id, kind (method,
// property get / let / set), parameters with their types, passing and defaults, and the
// handler. Name lookup (without regard to case), argument checks, defaults for optional
// parameters, conversion to the declared types, by-reference write-back and the trailing
// parameter array all follow from the table; a class writes no dispatch code of its own.
//
//   class Greeter : public AutomationObject<Greeter> {
//    public:
//     static const ClassInfo& Class() {
//       static const ClassInfo info = ClassBuilder<Greeter>(u"Greeter")
//           .ProgId(u"Demo.Greeter")
//           .Property(u"Name", 0x68030000, VarType::String,
//                     [](Greeter& g) { return Variant(g.name_); },
//                     [](Greeter& g, const Variant& v) { g.name_ = v.AsString(); })
//           .Method(u"Greet", 0x60030001, {{u"whom", VarType::String}},
//                   [](Greeter& g, std::span<Variant> a) { return Variant(u"Hi " + ...); })
//           .Build();
//       return info;
//     }
//   };

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "automation/AutomationError.h"
#include "automation/Guid.h"
#include "automation/Variant.h"

namespace telvinor::automation {

enum class Pass : std::uint8_t { ByVal, ByRef };

// The value an optional parameter takes when the caller leaves it out. A parameter that is
// optional without a default receives Variant::Missing(), as VB's IsMissing sees it.
using DefaultArg = std::variant<std::monostate, std::u16string, std::int32_t, bool, double>;

struct ParamInfo {
  std::u16string name;
  VarType type = VarType::Variant;  // Variant: passed as it comes
  Pass pass = Pass::ByVal;
  bool optional = false;
  DefaultArg defaultValue = {};
  bool paramArray = false;  // the last parameter collects every further argument into an array
};

// Shorthands for parameter lists.
[[nodiscard]] inline ParamInfo Param(std::u16string name, VarType type = VarType::Variant,
                                     Pass pass = Pass::ByVal) {
  return ParamInfo{std::move(name), type, pass};
}
[[nodiscard]] inline ParamInfo OptionalParam(std::u16string name, VarType type, DefaultArg def = {}) {
  return ParamInfo{std::move(name), type, Pass::ByVal, true, std::move(def)};
}
[[nodiscard]] inline ParamInfo ParamArray(std::u16string name) {
  return ParamInfo{std::move(name), VarType::Variant, Pass::ByVal, true, {}, true};
}

enum class MemberKind : std::uint8_t { Method, Get, Let, Set };

// Handlers see the arguments already checked and converted: one per declared parameter (the
// parameter array as one array argument), then, for Let and Set, the value. A handler may
// change an argument of a ByRef parameter; the change is written back to the caller.
using MemberHandler = std::function<Variant(Dispatch& self, std::span<Variant> args)>;

struct MemberInfo {
  std::u16string name;
  DispId id = kDispIdUnknown;
  MemberKind kind = MemberKind::Method;
  std::vector<ParamInfo> params;
  VarType type = VarType::Variant;  // result of Method/Get; value type of Let
  MemberHandler handler;
};

struct EventInfo {
  std::u16string name;
  DispId id = 0;
  std::vector<ParamInfo> params;
};

struct ClassInfo {
  std::u16string name;    // TypeName()
  std::u16string progId;  // empty for classes that cannot be created by name
  Guid classId, interfaceId, eventInterfaceId, typeLibId;
  std::vector<MemberInfo> members;  // in slot order
  std::vector<EventInfo> events;

  [[nodiscard]] DispId IdOfName(std::u16string_view name) const;
  [[nodiscard]] const MemberInfo* Find(DispId id, MemberKind kind) const;
  [[nodiscard]] std::u16string_view NameOf(DispId id) const;
  [[nodiscard]] const EventInfo* FindEvent(DispId id) const;
  [[nodiscard]] const EventInfo* FindEvent(std::u16string_view name) const;

  // Checks, converts and calls; throws 438 for an unknown id, 450 for a wrong argument count
  // or a property used the wrong way, 13 / 6 / 94 / 424 from conversions.
  Variant Invoke(Dispatch& self, DispId id, InvokeKind kind, std::span<Variant> args) const;

  // Built by ClassBuilder::Build().
  void Index();

 private:
  std::unordered_map<std::u16string, DispId> byName_;
  std::unordered_map<std::uint64_t, std::size_t> byIdAndKind_;
};

template <class T>
class ClassBuilder {
 public:
  explicit ClassBuilder(std::u16string typeName) { info_.name = std::move(typeName); }

  ClassBuilder& ProgId(std::u16string progId) { info_.progId = std::move(progId); return *this; }
  ClassBuilder& ClassId(std::string_view guid) { info_.classId = Guid::FromString(guid); return *this; }
  ClassBuilder& InterfaceId(std::string_view guid) { info_.interfaceId = Guid::FromString(guid); return *this; }
  ClassBuilder& EventInterfaceId(std::string_view guid) { info_.eventInterfaceId = Guid::FromString(guid); return *this; }
  ClassBuilder& TypeLibId(std::string_view guid) { info_.typeLibId = Guid::FromString(guid); return *this; }

  // fn: Variant(T&, std::span<Variant>) or void(T&, std::span<Variant>).
  template <class F>
  ClassBuilder& Method(std::u16string name, DispId id, std::vector<ParamInfo> params, F fn,
                       VarType result = VarType::Variant) {
    return Add(MemberKind::Method, std::move(name), id, std::move(params), result, Wrap(std::move(fn)));
  }
  // A property read with index parameters (fn as for Method).
  template <class F>
  ClassBuilder& IndexedGet(std::u16string name, DispId id, std::vector<ParamInfo> params, VarType type, F fn) {
    return Add(MemberKind::Get, std::move(name), id, std::move(params), type, Wrap(std::move(fn)));
  }
  // fn: Variant(T&) (or any type a Variant can be made from).
  template <class F>
  ClassBuilder& Get(std::u16string name, DispId id, VarType type, F fn) {
    return Add(MemberKind::Get, std::move(name), id, {}, type,
               [fn = std::move(fn)](Dispatch& self, std::span<Variant>) -> Variant {
                 return Variant(fn(static_cast<T&>(self)));
               });
  }
  // fn: void(T&, const Variant& value); the value arrives converted to `type`.
  template <class F>
  ClassBuilder& Let(std::u16string name, DispId id, VarType type, F fn) {
    return Add(MemberKind::Let, std::move(name), id, {}, type,
               [fn = std::move(fn)](Dispatch& self, std::span<Variant> a) -> Variant {
                 fn(static_cast<T&>(self), a.back());
                 return Variant();
               });
  }
  // fn: void(T&, const Variant& value); the value is an object reference or Nothing.
  template <class F>
  ClassBuilder& Set(std::u16string name, DispId id, F fn) {
    return Add(MemberKind::Set, std::move(name), id, {}, VarType::Object,
               [fn = std::move(fn)](Dispatch& self, std::span<Variant> a) -> Variant {
                 fn(static_cast<T&>(self), a.back());
                 return Variant();
               });
  }
  template <class G, class L>
  ClassBuilder& Property(std::u16string name, DispId id, VarType type, G get, L let) {
    Get(name, id, type, std::move(get));
    return Let(std::move(name), id, type, std::move(let));
  }
  ClassBuilder& Event(std::u16string name, DispId id, std::vector<ParamInfo> params = {}) {
    info_.events.push_back(EventInfo{std::move(name), id, std::move(params)});
    return *this;
  }

  [[nodiscard]] ClassInfo Build() {
    info_.Index();
    return std::move(info_);
  }

 private:
  template <class F>
  static MemberHandler Wrap(F fn) {
    return [fn = std::move(fn)](Dispatch& self, std::span<Variant> a) -> Variant {
      if constexpr (std::is_void_v<std::invoke_result_t<F&, T&, std::span<Variant>>>) {
        fn(static_cast<T&>(self), a);
        return Variant();
      } else {
        return Variant(fn(static_cast<T&>(self), a));
      }
    };
  }
  ClassBuilder& Add(MemberKind kind, std::u16string name, DispId id, std::vector<ParamInfo> params,
                    VarType type, MemberHandler handler) {
    info_.members.push_back(MemberInfo{std::move(name), id, kind, std::move(params), type, std::move(handler)});
    return *this;
  }

  ClassInfo info_;
};

// The base of a table-driven class T, which provides `static const ClassInfo& Class()`.
template <class T>
class AutomationObject : public Dispatch {
 public:
  [[nodiscard]] DispId GetIdOfName(std::u16string_view name) const override {
    return T::Class().IdOfName(name);
  }
  Variant Invoke(DispId id, InvokeKind kind, std::span<Variant> args) override {
    return T::Class().Invoke(*this, id, kind, args);
  }
  [[nodiscard]] std::u16string_view TypeName() const override { return T::Class().name; }
  [[nodiscard]] const ClassInfo* Info() const noexcept override { return &T::Class(); }
};

// Lower-cases the letters VB treats without regard to case (ASCII and Latin-1), the key used
// for every case-insensitive name and collection key in the toolkit.
[[nodiscard]] std::u16string FoldCase(std::u16string_view text);
[[nodiscard]] bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) noexcept;

// Calls a member by name: 438 when the object has no such member.
Variant CallByName(Dispatch& object, std::u16string_view name, InvokeKind kind, std::span<Variant> args);
// The enumerator of a collection (dispatch id -4): 451 "Object not a collection" when it has none.
[[nodiscard]] Ref<Enumerator> EnumeratorOf(Dispatch& collection);

// Enumerates a fixed list of values (arrays, snapshots of collections).
class ValueEnumerator : public Enumerator {
 public:
  explicit ValueEnumerator(std::vector<Variant> items) : items_(std::move(items)) {}
  bool Next(Variant& item) override;
  void Reset() override { next_ = 0; }

 private:
  std::vector<Variant> items_;
  std::size_t next_ = 0;
};

}  // namespace telvinor::automation
