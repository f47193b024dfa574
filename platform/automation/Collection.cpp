#include "automation/Collection.h"

#include "automation/Conversions.h"

namespace telvinor::automation {

const ClassInfo& Collection::Class() {
  static const ClassInfo info =
      ClassBuilder<Collection>(u"Collection")
          .Method(u"Item", kDispIdValue, {Param(u"Index")},
                  [](Collection& c, std::span<Variant> a) { return c.Item(a[0]); })
          .Method(u"Add", 1,
                  {Param(u"Item"), OptionalParam(u"Key", VarType::Variant),
                   OptionalParam(u"Before", VarType::Variant),
                   OptionalParam(u"After", VarType::Variant)},
                  [](Collection& c, std::span<Variant> a) { c.Add(a[0], a[1], a[2], a[3]); })
          .Method(
              u"Count", 2, {}, [](Collection& c, std::span<Variant>) { return c.Count(); },
              VarType::Long)
          .Method(u"Remove", 3, {Param(u"Index")},
                  [](Collection& c, std::span<Variant> a) { c.Remove(a[0]); })
          .Method(u"_NewEnum", kDispIdNewEnum, {},
                  [](Collection& c, std::span<Variant>) { return Variant(c.NewEnum()); })
          .Build();
  return info;
}

std::size_t Collection::PlaceOf(const Variant& index) const {
  Variant value = DefaultValue(index);
  if (value.IsString()) {
    auto it = byKey_.find(FoldCase(value.AsString()));
    if (it == byKey_.end()) ThrowError(errc::kInvalidProcedureCall);
    return it->second;
  }
  std::int32_t position = ToLong(value);
  if (position < 1 || position > Count()) ThrowError(errc::kSubscriptOutOfRange);
  return static_cast<std::size_t>(position - 1);
}

void Collection::Reindex(std::size_t from) {
  for (std::size_t i = from; i < entries_.size(); ++i) {
    if (entries_[i].key) byKey_[FoldCase(*entries_[i].key)] = i;
  }
}

void Collection::Add(const Variant& item, const Variant& key, const Variant& before,
                     const Variant& after) {
  std::optional<std::u16string> text;
  if (!key.IsMissing()) {
    Variant k = DefaultValue(key);
    if (!k.IsString()) ThrowError(errc::kTypeMismatch);
    text = std::u16string(k.AsString());
    if (byKey_.count(FoldCase(*text))) ThrowError(errc::kDuplicateKey);
  }
  std::size_t place = entries_.size();
  if (!before.IsMissing() && !after.IsMissing()) ThrowError(errc::kInvalidProcedureCall);
  // A Before or After that names no item is an invalid argument, whether key or position.
  auto placeOf = [this](const Variant& index) {
    try {
      return PlaceOf(index);
    } catch (const AutomationError& e) {
      if (e.Number() == errc::kSubscriptOutOfRange) ThrowError(errc::kInvalidProcedureCall);
      throw;
    }
  };
  if (!before.IsMissing()) place = placeOf(before);
  if (!after.IsMissing()) place = placeOf(after) + 1;
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(place), Entry{item.Deref(), text});
  if (text) byKey_[FoldCase(*text)] = place;
  Reindex(place);
}

const Variant& Collection::Item(const Variant& index) const {
  return entries_[PlaceOf(index)].item;
}

const Variant& Collection::Item(std::int32_t position) const {
  return Item(Variant(position));
}

const Variant* Collection::Find(std::u16string_view key) const {
  auto it = byKey_.find(FoldCase(key));
  return it == byKey_.end() ? nullptr : &entries_[it->second].item;
}

void Collection::Remove(const Variant& index) {
  std::size_t place = PlaceOf(index);
  if (entries_[place].key) byKey_.erase(FoldCase(*entries_[place].key));
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(place));
  Reindex(place);
}

Ref<Enumerator> Collection::NewEnum() const {
  std::vector<Variant> items;
  items.reserve(entries_.size());
  for (const auto& e : entries_) items.push_back(e.item);
  return MakeRef<ValueEnumerator>(std::move(items));
}

}  // namespace telvinor::automation
