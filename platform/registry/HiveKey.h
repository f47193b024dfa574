#pragma once
// One key of the hive: its name as first written, its subkeys and its values.
//
// Subkeys are kept in the order Windows enumerates them (by upper-cased name); values in the
// order they were first set, which is how Windows enumerates a key's values in practice.

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegValue.h"

namespace telvinor::registry {

class HiveKey {
 public:
  explicit HiveKey(std::u16string name);
  HiveKey(const HiveKey&) = delete;
  HiveKey& operator=(const HiveKey&) = delete;

  [[nodiscard]] const std::u16string& Name() const noexcept { return name_; }

  [[nodiscard]] HiveKey* Child(std::u16string_view name) noexcept;
  [[nodiscard]] const HiveKey* Child(std::u16string_view name) const noexcept;
  // The subkey of that name, made when missing; `created` tells which.
  HiveKey& CreateChild(std::u16string_view name, bool& created);
  // Removes a subkey and everything below it; false when there is none.
  bool RemoveChild(std::u16string_view name);
  [[nodiscard]] std::span<const std::unique_ptr<HiveKey>> Children() const noexcept {
    return children_;
  }

  [[nodiscard]] const RegValue* Value(std::u16string_view name) const noexcept;
  // Sets a value; an existing value of that name keeps its name and its place.
  void SetValue(std::u16string_view name, DWORD type, std::vector<BYTE> data);
  bool RemoveValue(std::u16string_view name);
  void ClearValues() noexcept { values_.clear(); }
  [[nodiscard]] std::span<const RegValue> Values() const noexcept { return values_; }

  // Same names, values and subkeys, recursively (for tests and round trips).
  [[nodiscard]] bool SameContent(const HiveKey& other) const;

 private:
  [[nodiscard]] std::size_t LowerBound(const std::u16string& key) const noexcept;

  std::u16string name_;
  std::u16string key_;  // NameKey(name_)
  std::vector<std::unique_ptr<HiveKey>> children_;
  std::vector<RegValue> values_;
};

}  // namespace telvinor::registry
