#include "vbscript/Dictionary.h"

#include <cstring>

#include "automation/Conversions.h"
#include "automation/SafeArray.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {

using automation::ClassBuilder;
using automation::ClassInfo;
using automation::DispId;
using automation::InvokeKind;
using automation::OptionalParam;
using automation::Param;
using automation::SafeArray;
using automation::VarType;

namespace {
constexpr DispId kItem = automation::kDispIdValue;
constexpr DispId kKey = 5;
}  // namespace

std::u16string Dictionary::KeyOf(const Variant& in) const {
  const Variant& key = in.Deref();
  switch (key.Type()) {
    case VarType::String: {
      std::u16string k = u"s";
      if (mode_ == CompareMode::Text) {
        for (char16_t c : key.AsString()) k += FoldChar(c);
      } else {
        k += key.AsString();
      }
      return k;
    }
    case VarType::Empty:
      return u"e";
    case VarType::Null:
      return u"z";
    case VarType::Object: {
      auto p = reinterpret_cast<std::uintptr_t>(key.AsObject());
      std::u16string k = u"o";
      for (int i = 0; i < 4; ++i) k += static_cast<char16_t>((p >> (16 * i)) & 0xFFFF);
      return k;
    }
    case VarType::Error:
      ThrowRuntime(err::kTypeMismatch);
    default: {
      if (key.IsArray()) ThrowRuntime(err::kTypeMismatch);
      double d = automation::ToDouble(key);
      if (d == 0) d = 0;  // -0 and 0 are one key
      std::uint64_t bits;
      std::memcpy(&bits, &d, sizeof bits);
      std::u16string k = key.Type() == VarType::Date ? u"d" : u"n";
      for (int i = 0; i < 4; ++i) k += static_cast<char16_t>((bits >> (16 * i)) & 0xFFFF);
      return k;
    }
  }
}

void Dictionary::Add(const Variant& key, const Variant& item) {
  std::u16string k = KeyOf(key);
  if (index_.count(k)) ThrowRuntime(err::kDuplicateKey);
  index_.emplace(std::move(k), entries_.size());
  entries_.push_back(Entry{key.Deref(), item.Deref(), true});
}

bool Dictionary::Exists(const Variant& key) const {
  return index_.count(KeyOf(key)) != 0;
}

Variant& Dictionary::Item(const Variant& key) {
  std::u16string k = KeyOf(key);
  auto it = index_.find(k);
  if (it != index_.end()) return entries_[it->second].item;
  index_.emplace(std::move(k), entries_.size());
  entries_.push_back(Entry{key.Deref(), Variant(), true});
  return entries_.back().item;
}

void Dictionary::Remove(const Variant& key) {
  auto it = index_.find(KeyOf(key));
  if (it == index_.end()) ThrowRuntime(err::kElementNotFound);
  Entry& e = entries_[it->second];
  index_.erase(it);
  e.live = false;
  Variant key0 = std::move(e.key), item0 = std::move(e.item);  // released after the bookkeeping
  ++dead_;
  if (dead_ > 16 && dead_ > entries_.size() / 2) Compact();
}

void Dictionary::Compact() {
  std::vector<Entry> kept;
  kept.reserve(index_.size());
  for (auto& e : entries_) {
    if (e.live) kept.push_back(std::move(e));
  }
  entries_ = std::move(kept);
  index_.clear();
  for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(KeyOf(entries_[i].key), i);
  dead_ = 0;
}

void Dictionary::RemoveAll() {
  std::vector<Entry> old;
  old.swap(entries_);
  index_.clear();
  dead_ = 0;
}

void Dictionary::RenameKey(const Variant& key, const Variant& newKey) {
  auto it = index_.find(KeyOf(key));
  if (it == index_.end()) ThrowRuntime(err::kElementNotFound);
  std::u16string k = KeyOf(newKey);
  if (index_.count(k)) ThrowRuntime(err::kDuplicateKey);
  std::size_t i = it->second;
  index_.erase(it);
  index_.emplace(std::move(k), i);
  entries_[i].key = newKey.Deref();
}

std::vector<Variant> Dictionary::Keys() const {
  std::vector<Variant> out;
  out.reserve(index_.size());
  for (const auto& e : entries_) {
    if (e.live) out.push_back(e.key);
  }
  return out;
}

std::vector<Variant> Dictionary::Items() const {
  std::vector<Variant> out;
  out.reserve(index_.size());
  for (const auto& e : entries_) {
    if (e.live) out.push_back(e.item);
  }
  return out;
}

void Dictionary::SetCompareMode(CompareMode mode) {
  if (!index_.empty()) ThrowRuntime(err::kInvalidProcedureCall);
  mode_ = mode;
}

void Dictionary::ClearForReset() noexcept {
  RemoveAll();
}

Variant Dictionary::Invoke(DispId id, InvokeKind kind, std::span<Variant> args) {
  bool put = automation::Has(kind, InvokeKind::PropertyPut) ||
             automation::Has(kind, InvokeKind::PropertyPutRef);
  if (put && id == kItem) {
    // d(key) = item: replaces the item or adds the key.
    if (args.size() != 2) ThrowRuntime(err::kWrongNumberOfArguments);
    Variant value = args[1].Deref();
    if (automation::Has(kind, InvokeKind::PropertyPut) &&
        !automation::Has(kind, InvokeKind::PropertyPutRef) && value.IsObject())
      value = automation::DefaultValue(value);
    Item(args[0]) = std::move(value);
    return Variant();
  }
  if (put && id == kKey) {
    if (args.size() != 2) ThrowRuntime(err::kWrongNumberOfArguments);
    RenameKey(args[0], args[1]);
    return Variant();
  }
  return AutomationObject::Invoke(id, kind, args);
}

const ClassInfo& Dictionary::Class() {
  static const ClassInfo info =
      ClassBuilder<Dictionary>(u"Dictionary")
          .ProgId(std::u16string(kDictionaryProgId))
          .ClassId(kDictionaryClassId)
          .IndexedGet(u"Item", kItem, {Param(u"Key")}, VarType::Variant,
                      [](Dictionary& d, std::span<Variant> a) { return d.Item(a[0]); })
          .Method(u"Add", 1, {Param(u"Key"), Param(u"Item")},
                  [](Dictionary& d, std::span<Variant> a) { d.Add(a[0], a[1]); })
          .Get(u"Count", 2, VarType::Long,
               [](Dictionary& d) { return static_cast<std::int32_t>(d.Count()); })
          .Method(u"Exists", 3, {Param(u"Key")},
                  [](Dictionary& d, std::span<Variant> a) { return d.Exists(a[0]); })
          .Method(u"Items", 4, {},
                  [](Dictionary& d, std::span<Variant>) {
                    return Variant(SafeArray::FromValues(d.Items()));
                  })
          .Let(u"Key", kKey, VarType::Variant,
               [](Dictionary&, const Variant&) { ThrowRuntime(err::kWrongNumberOfArguments); })
          .Method(u"Remove", 6, {Param(u"Key")},
                  [](Dictionary& d, std::span<Variant> a) { d.Remove(a[0]); })
          .Method(u"RemoveAll", 7, {}, [](Dictionary& d, std::span<Variant>) { d.RemoveAll(); })
          .Property(
              u"CompareMode", 8, VarType::Long,
              [](Dictionary& d) { return static_cast<std::int32_t>(d.Mode()); },
              [](Dictionary& d, const Variant& v) {
                if (v.AsLong() < 0) ThrowRuntime(err::kInvalidProcedureCall);
                d.SetCompareMode(v.AsLong() == 0 ? CompareMode::Binary : CompareMode::Text);
              })
          .Method(u"Keys", 10, {},
                  [](Dictionary& d, std::span<Variant>) {
                    return Variant(SafeArray::FromValues(d.Keys()));
                  })
          .Method(u"_NewEnum", automation::kDispIdNewEnum, {},
                  [](Dictionary& d, std::span<Variant>) {
                    return Variant(automation::MakeRef<automation::ValueEnumerator>(d.Keys()));
                  })
          .Build();
  return info;
}

}  // namespace telvinor::vbscript
