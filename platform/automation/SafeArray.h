#pragma once
// SafeArray: VB's array (COM's SAFEARRAY): one or more dimensions, each with its own lower and
// upper bound, elements stored with the first index varying fastest, as COM lays them out
// (so ReDim Preserve of the last dimension keeps every element in place).
//
// Elements are Variants whatever the element type; a typed array (bytes from the registry,
// the text array filled by an enumeration) converts what is stored into it to its type.

#include <cstdint>
#include <span>
#include <vector>

#include "automation/Variant.h"

namespace telvinor::automation {

class SafeArray : public RefCounted {
 public:
  struct Bound {
    std::int32_t lower = 0;
    std::int32_t upper = -1;  // upper < lower: the dimension is empty
    [[nodiscard]] std::size_t Count() const noexcept {
      return upper < lower ? 0 : static_cast<std::size_t>(static_cast<std::int64_t>(upper) - lower + 1);
    }
  };

  // Throws error 7 (out of memory) when the element count does not fit.
  SafeArray(VarType elementType, std::vector<Bound> bounds);
  // A one-dimensional array with bounds 0 .. values.size() - 1.
  [[nodiscard]] static Ref<SafeArray> FromValues(std::vector<Variant> values,
                                                 VarType elementType = VarType::Variant);
  [[nodiscard]] static Ref<SafeArray> FromBytes(std::span<const std::uint8_t> bytes);

  [[nodiscard]] VarType ElementType() const noexcept { return elementType_; }
  [[nodiscard]] std::size_t Dimensions() const noexcept { return bounds_.size(); }
  // Bounds of dimension `dim`, counted from 1 as VB's LBound/UBound do; error 9 when out of range.
  [[nodiscard]] std::int32_t LowerBound(std::size_t dim = 1) const;
  [[nodiscard]] std::int32_t UpperBound(std::size_t dim = 1) const;
  [[nodiscard]] const std::vector<Bound>& Bounds() const noexcept { return bounds_; }
  [[nodiscard]] std::size_t Size() const noexcept { return elements_.size(); }

  // The element at these indices (one per dimension); error 9 when any is out of its bounds
  // or the count of indices is wrong.
  [[nodiscard]] const Variant& At(std::span<const std::int32_t> indices) const;
  [[nodiscard]] Variant& At(std::span<const std::int32_t> indices);
  [[nodiscard]] const Variant& At(std::int32_t index) const { return At(std::span(&index, 1)); }
  [[nodiscard]] Variant& At(std::int32_t index) { return At(std::span(&index, 1)); }
  // Stores a value, converted to the element type of a typed array.
  void Store(std::span<const std::int32_t> indices, const Variant& value);
  void Store(std::int32_t index, const Variant& value) { Store(std::span(&index, 1), value); }

  // All elements in storage order.
  [[nodiscard]] std::span<const Variant> Elements() const noexcept { return elements_; }
  [[nodiscard]] std::span<Variant> Elements() noexcept { return elements_; }

  // A fixed array (declared with its size, as `Dim a(5)`) refuses ReDim with error 10.
  void SetFixed(bool fixed) noexcept { fixed_ = fixed; }
  [[nodiscard]] bool IsFixed() const noexcept { return fixed_; }

  // ReDim: new bounds; with preserve only the upper bound of the last dimension may change
  // (error 9 otherwise) and the elements that still fit are kept.
  void Redim(std::vector<Bound> bounds, bool preserve);
  // Erase: every element back to its initial value (Empty, 0 or "" by element type).
  void Clear();

  [[nodiscard]] Ref<SafeArray> Clone() const;

 private:
  [[nodiscard]] std::size_t Offset(std::span<const std::int32_t> indices) const;
  [[nodiscard]] Variant InitialElement() const;

  VarType elementType_;
  std::vector<Bound> bounds_;
  std::vector<Variant> elements_;
  bool fixed_ = false;
};

inline const SafeArray& Variant::AsArray() const noexcept {
  return *static_cast<const SafeArray*>(Deref().counted_);
}

}  // namespace telvinor::automation
