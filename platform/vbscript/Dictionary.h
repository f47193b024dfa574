#pragma once
// Scripting.Dictionary: keys in insertion order, each with an item. Keys compare by kind and
// value: text (exactly, or without case when CompareMode is 1), numbers by value whatever
// their type (1 and 1.0 are one key), objects by identity. Reading the item of a missing
// key adds the key, as the original does.

#include <string>
#include <unordered_map>
#include <vector>

#include "automation/ClassInfo.h"
#include "vbscript/Engine.h"
#include "vbscript/VariantOps.h"

namespace telvinor::vbscript {

inline constexpr std::u16string_view kDictionaryProgId = u"Scripting.Dictionary";
inline constexpr std::string_view kDictionaryClassId = "{ee09b103-97e0-11cf-978f-00a02463e06f}";

class Dictionary : public automation::AutomationObject<Dictionary>, public EngineTracked {
 public:
  static const automation::ClassInfo& Class();

  Variant Invoke(automation::DispId id, automation::InvokeKind kind,
                 std::span<Variant> args) override;

  void Add(const Variant& key, const Variant& item);
  [[nodiscard]] bool Exists(const Variant& key) const;
  // The item of the key, added (Empty) when missing.
  Variant& Item(const Variant& key);
  void Remove(const Variant& key);
  void RemoveAll();
  void RenameKey(const Variant& key, const Variant& newKey);
  [[nodiscard]] std::size_t Count() const noexcept { return index_.size(); }
  [[nodiscard]] std::vector<Variant> Keys() const;
  [[nodiscard]] std::vector<Variant> Items() const;
  void SetCompareMode(CompareMode mode);
  [[nodiscard]] CompareMode Mode() const noexcept { return mode_; }

  void ClearForReset() noexcept override;
  [[nodiscard]] automation::Dispatch* AsDispatch() noexcept override { return this; }

 private:
  struct Entry {
    Variant key, item;
    bool live = true;
  };
  [[nodiscard]] std::u16string KeyOf(const Variant& key) const;
  void Compact();

  std::vector<Entry> entries_;
  std::unordered_map<std::u16string, std::size_t> index_;
  std::size_t dead_ = 0;
  CompareMode mode_ = CompareMode::Binary;
};

}  // namespace telvinor::vbscript
