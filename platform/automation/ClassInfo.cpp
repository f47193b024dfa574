#include "automation/ClassInfo.h"

#include "automation/Conversions.h"
#include "automation/SafeArray.h"

namespace telvinor::automation {
namespace {

std::uint64_t Key(DispId id, MemberKind kind) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(id)) << 8) | static_cast<std::uint8_t>(kind);
}

Variant DefaultFor(const ParamInfo& p) {
  return std::visit(
      [](const auto& d) -> Variant {
        using D = std::decay_t<decltype(d)>;
        if constexpr (std::is_same_v<D, std::monostate>) return Variant::Missing();
        else return Variant(d);
      },
      p.defaultValue);
}

Variant Convert(const Variant& value, VarType type) {
  return type == VarType::Variant ? value.Deref() : ChangeType(value, type);
}

// Arguments given to a member that takes none apply to its result, as VB applies them:
// `obj.Items(2)` indexes the array Items returns, `obj.Child("x")` calls the child's default.
Variant ApplyToResult(Variant result, std::span<Variant> args) {
  if (result.IsArray()) {
    std::vector<std::int32_t> indices;
    indices.reserve(args.size());
    for (auto& a : args) indices.push_back(ToLong(a));
    return result.AsArray().At(indices);
  }
  if (result.IsObject()) {
    Dispatch* object = result.AsObject();
    if (!object) ThrowError(errc::kObjectVariableNotSet);
    return object->Invoke(kDispIdValue, InvokeKind::Method | InvokeKind::PropertyGet, args);
  }
  ThrowError(errc::kWrongNumberOfArguments);
}

}  // namespace

std::u16string FoldCase(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<char16_t>(c + 32);
  }
  return out;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  auto fold = [](char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? static_cast<char16_t>(c + 32) : c;
  };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

void ClassInfo::Index() {
  byName_.clear();
  byIdAndKind_.clear();
  for (std::size_t i = 0; i < members.size(); ++i) {
    byName_.emplace(FoldCase(members[i].name), members[i].id);  // the first of a name wins
    byIdAndKind_.emplace(Key(members[i].id, members[i].kind), i);
  }
}

DispId ClassInfo::IdOfName(std::u16string_view name) const {
  auto it = byName_.find(FoldCase(name));
  return it == byName_.end() ? kDispIdUnknown : it->second;
}

const MemberInfo* ClassInfo::Find(DispId id, MemberKind kind) const {
  auto it = byIdAndKind_.find(Key(id, kind));
  return it == byIdAndKind_.end() ? nullptr : &members[it->second];
}

std::u16string_view ClassInfo::NameOf(DispId id) const {
  for (const auto& m : members) {
    if (m.id == id) return m.name;
  }
  return {};
}

const EventInfo* ClassInfo::FindEvent(DispId id) const {
  for (const auto& e : events) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

const EventInfo* ClassInfo::FindEvent(std::u16string_view name) const {
  for (const auto& e : events) {
    if (EqualsIgnoringCase(e.name, name)) return &e;
  }
  return nullptr;
}

Variant ClassInfo::Invoke(Dispatch& self, DispId id, InvokeKind kind, std::span<Variant> args) const {
  const MemberInfo* m = nullptr;
  bool assigning = Has(kind, InvokeKind::PropertyPut) || Has(kind, InvokeKind::PropertyPutRef);
  if (Has(kind, InvokeKind::PropertyPutRef)) m = Find(id, MemberKind::Set);
  if (!m && Has(kind, InvokeKind::PropertyPut)) m = Find(id, MemberKind::Let);
  if (!assigning) {
    if (Has(kind, InvokeKind::Method)) m = Find(id, MemberKind::Method);
    if (!m) m = Find(id, MemberKind::Get);
    if (!m && Has(kind, InvokeKind::PropertyGet)) m = Find(id, MemberKind::Method);
  }
  if (!m) {
    bool known = false;
    for (const auto& member : members) known = known || member.id == id;
    ThrowError(known ? errc::kWrongNumberOfArguments : errc::kObjectDoesNotSupportMember);
  }

  std::span<Variant> given = args;
  Variant value;
  if (assigning) {
    if (args.empty()) ThrowError(errc::kWrongNumberOfArguments);
    value = args.back().Deref();
    given = args.first(args.size() - 1);
  }

  const auto& params = m->params;
  bool hasParamArray = !params.empty() && params.back().paramArray;
  std::size_t fixed = hasParamArray ? params.size() - 1 : params.size();
  if (!assigning && fixed == 0 && !hasParamArray && !given.empty()) {
    return ApplyToResult(m->handler(self, {}), given);
  }
  std::size_t required = 0;
  for (std::size_t i = 0; i < fixed; ++i) {
    if (!params[i].optional) required = i + 1;
  }
  if (given.size() < required || (!hasParamArray && given.size() > fixed))
    ThrowError(errc::kWrongNumberOfArguments);

  std::vector<Variant> prepared;
  prepared.reserve(params.size() + 1);
  for (std::size_t i = 0; i < fixed; ++i) {
    const ParamInfo& p = params[i];
    if (i < given.size() && !given[i].IsMissing()) {
      prepared.push_back(Convert(given[i], p.type));
    } else {
      if (!p.optional) ThrowError(errc::kArgumentNotOptional);
      prepared.push_back(DefaultFor(p));
    }
  }
  if (hasParamArray) {
    std::vector<Variant> rest;
    for (std::size_t i = fixed; i < given.size(); ++i) rest.push_back(given[i].Deref());
    prepared.push_back(Variant(SafeArray::FromValues(std::move(rest))));
  }
  if (assigning) {
    if (m->kind == MemberKind::Set) {
      if (!value.IsObject()) ThrowError(errc::kObjectRequired);
      prepared.push_back(value);
    } else {
      prepared.push_back(Convert(value, m->type));
    }
  }

  Variant result = m->handler(self, prepared);

  // By-reference parameters: the caller's variables take what the member left in them.
  for (std::size_t i = 0; i < fixed && i < given.size(); ++i) {
    if (params[i].pass == Pass::ByRef && given[i].IsByRef()) given[i].Target() = prepared[i];
  }
  return result;
}

Variant CallByName(Dispatch& object, std::u16string_view name, InvokeKind kind, std::span<Variant> args) {
  DispId id = object.GetIdOfName(name);
  if (id == kDispIdUnknown) ThrowError(errc::kObjectDoesNotSupportMember);
  return object.Invoke(id, kind, args);
}

Ref<Enumerator> EnumeratorOf(Dispatch& collection) {
  Variant e;
  try {
    e = collection.Invoke(kDispIdNewEnum, InvokeKind::Method | InvokeKind::PropertyGet, {});
  } catch (const AutomationError& error) {
    if (error.Number() == errc::kObjectDoesNotSupportMember) ThrowError(errc::kObjectNotACollection);
    throw;
  }
  auto* enumerator = e.IsObject() ? dynamic_cast<Enumerator*>(e.AsObject()) : nullptr;
  if (!enumerator) ThrowError(errc::kObjectNotACollection);
  return Ref<Enumerator>(enumerator);
}

bool ValueEnumerator::Next(Variant& item) {
  if (next_ >= items_.size()) return false;
  item = items_[next_++];
  return true;
}

}  // namespace telvinor::automation
