#include "automation/SafeArray.h"

#include <limits>

#include "automation/AutomationError.h"
#include "automation/Conversions.h"

namespace telvinor::automation {
namespace {

std::size_t CountOf(const std::vector<SafeArray::Bound>& bounds) {
  std::size_t total = bounds.empty() ? 0 : 1;
  for (const auto& b : bounds) {
    std::size_t n = b.Count();
    if (n != 0 && total > std::numeric_limits<std::int32_t>::max() / n) ThrowError(errc::kOutOfMemory);
    total *= n;
  }
  return total;
}

}  // namespace

SafeArray::SafeArray(VarType elementType, std::vector<Bound> bounds)
    : elementType_(elementType), bounds_(std::move(bounds)) {
  elements_.assign(CountOf(bounds_), InitialElement());
}

Ref<SafeArray> SafeArray::FromValues(std::vector<Variant> values, VarType elementType) {
  auto array = MakeRef<SafeArray>(elementType, std::vector<Bound>{});
  array->bounds_ = {Bound{0, static_cast<std::int32_t>(values.size()) - 1}};
  array->elements_ = std::move(values);
  return array;
}

Ref<SafeArray> SafeArray::FromBytes(std::span<const std::uint8_t> bytes) {
  std::vector<Variant> values(bytes.begin(), bytes.end());
  return FromValues(std::move(values), VarType::Byte);
}

Variant SafeArray::InitialElement() const {
  switch (elementType_) {
    case VarType::Integer: return Variant(std::int16_t{0});
    case VarType::Long: return Variant(std::int32_t{0});
    case VarType::Single: return Variant(0.0f);
    case VarType::Double: return Variant(0.0);
    case VarType::Currency: return Variant::Currency(0);
    case VarType::Date: return Variant::Date(0);
    case VarType::String: return Variant(BString());
    case VarType::Object: return Variant::Nothing();
    case VarType::Boolean: return Variant(false);
    case VarType::Byte: return Variant(std::uint8_t{0});
    default: return Variant();
  }
}

std::int32_t SafeArray::LowerBound(std::size_t dim) const {
  if (dim < 1 || dim > bounds_.size()) ThrowError(errc::kSubscriptOutOfRange);
  return bounds_[dim - 1].lower;
}

std::int32_t SafeArray::UpperBound(std::size_t dim) const {
  if (dim < 1 || dim > bounds_.size()) ThrowError(errc::kSubscriptOutOfRange);
  return bounds_[dim - 1].upper;
}

std::size_t SafeArray::Offset(std::span<const std::int32_t> indices) const {
  if (indices.size() != bounds_.size()) ThrowError(errc::kSubscriptOutOfRange);
  std::size_t offset = 0, stride = 1;
  for (std::size_t d = 0; d < bounds_.size(); ++d) {
    const Bound& b = bounds_[d];
    if (indices[d] < b.lower || indices[d] > b.upper) ThrowError(errc::kSubscriptOutOfRange);
    offset += static_cast<std::size_t>(static_cast<std::int64_t>(indices[d]) - b.lower) * stride;
    stride *= b.Count();
  }
  return offset;
}

const Variant& SafeArray::At(std::span<const std::int32_t> indices) const {
  return elements_[Offset(indices)];
}

Variant& SafeArray::At(std::span<const std::int32_t> indices) { return elements_[Offset(indices)]; }

void SafeArray::Store(std::span<const std::int32_t> indices, const Variant& value) {
  Variant& slot = At(indices);
  if (elementType_ == VarType::Variant) {
    slot = value.Deref();
  } else {
    slot = ChangeType(value, elementType_);
  }
}

void SafeArray::Redim(std::vector<Bound> bounds, bool preserve) {
  if (fixed_) ThrowError(errc::kArrayFixedOrLocked);
  if (!preserve) {
    std::size_t count = CountOf(bounds);
    bounds_ = std::move(bounds);
    elements_.assign(count, InitialElement());
    return;
  }
  if (bounds.size() != bounds_.size()) ThrowError(errc::kSubscriptOutOfRange);
  for (std::size_t d = 0; d + 1 < bounds.size(); ++d) {
    if (bounds[d].lower != bounds_[d].lower || bounds[d].upper != bounds_[d].upper)
      ThrowError(errc::kSubscriptOutOfRange);
  }
  if (!bounds.empty() && bounds.back().lower != bounds_.back().lower) ThrowError(errc::kSubscriptOutOfRange);
  // First index varies fastest: changing the last dimension only adds or drops a tail.
  std::size_t count = CountOf(bounds);
  bounds_ = std::move(bounds);
  elements_.resize(count, InitialElement());
}

void SafeArray::Clear() {
  for (auto& e : elements_) e = InitialElement();
}

Ref<SafeArray> SafeArray::Clone() const {
  auto copy = MakeRef<SafeArray>(elementType_, std::vector<Bound>{});
  copy->bounds_ = bounds_;
  copy->elements_ = elements_;
  copy->fixed_ = fixed_;
  return copy;
}

}  // namespace telvinor::automation
