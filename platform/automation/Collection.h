#pragma once
// VB's Collection: an ordered list of items, each with an optional text key.
//
// - Positions count from 1. Keys are compared without regard to case (FoldCase) and must be
//   unique: adding a key that is already there raises 457.
// - An index that is text is a key, any other value a position: a missing key raises 5
//   "Invalid procedure call or argument", a position outside 1..Count raises 9 "Subscript out
//   of range", as VB does.
// - Item is the default member (dispatch id 0), so `c("Main")` is `c.Item("Main")`; For Each
//   walks the items through dispatch id -4 (a snapshot taken when the walk starts).
// Dispatch ids are those of VB's own Collection: Item 0, Add 1, Count 2, Remove 3.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/ClassInfo.h"

namespace telvinor::automation {

class Collection : public AutomationObject<Collection> {
 public:
  static const ClassInfo& Class();

  // VB's Add: `key`, `before` and `after` may be Variant::Missing(). A key must be text
  // (13 otherwise); before and after, a key or a position, may not both be given (5).
  void Add(const Variant& item, const Variant& key = Variant::Missing(),
           const Variant& before = Variant::Missing(), const Variant& after = Variant::Missing());

  [[nodiscard]] std::int32_t Count() const noexcept {
    return static_cast<std::int32_t>(entries_.size());
  }
  // The item at a position (1-based) or under a key, by VB's rules above.
  [[nodiscard]] const Variant& Item(const Variant& index) const;
  [[nodiscard]] const Variant& Item(std::int32_t position) const;
  // The item under a key, or null: a lookup that does not raise.
  [[nodiscard]] const Variant* Find(std::u16string_view key) const;
  [[nodiscard]] bool Contains(std::u16string_view key) const { return Find(key) != nullptr; }
  void Remove(const Variant& index);

  [[nodiscard]] Ref<Enumerator> NewEnum() const;

 private:
  struct Entry {
    Variant item;
    std::optional<std::u16string> key;  // as given
  };

  // The 0-based place that an index names; raises as Item does.
  [[nodiscard]] std::size_t PlaceOf(const Variant& index) const;
  void Reindex(std::size_t from);

  std::vector<Entry> entries_;
  std::unordered_map<std::u16string, std::size_t> byKey_;  // FoldCase(key) -> place
};

}  // namespace telvinor::automation
