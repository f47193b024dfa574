// Arrays: Array, UBound, LBound (Erase, ReDim and Dim are statements; Split, Join and Filter
// are with the strings).

#include "automation/Conversions.h"
#include "automation/SafeArray.h"
#include "vbscript/Builtins.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {
namespace {

using automation::SafeArray;
using namespace lib;

Variant ArrayOf(CallContext&, std::span<Variant> a) {
  std::vector<Variant> values;
  values.reserve(a.size());
  for (auto& v : a) values.push_back(v.Deref());
  return Variant(SafeArray::FromValues(std::move(values)));
}

template <bool Upper>
Variant Bound(CallContext&, std::span<Variant> a) {
  if (!a[0].IsArray()) ThrowRuntime(err::kTypeMismatch);
  std::int32_t dim = LongArg(a, 1, 1);
  const SafeArray& array = a[0].AsArray();
  if (dim < 1 || static_cast<std::size_t>(dim) > array.Dimensions())
    ThrowRuntime(err::kSubscriptOutOfRange);
  return Variant(Upper ? array.UpperBound(static_cast<std::size_t>(dim))
                       : array.LowerBound(static_cast<std::size_t>(dim)));
}

constexpr Builtin kFunctions[] = {
    {u"Array", ArrayOf, 0, 255},
    {u"UBound", Bound<true>, 1, 2},
    {u"LBound", Bound<false>, 1, 2},
};

}  // namespace

std::span<const Builtin> ArrayFunctions() {
  return kFunctions;
}

}  // namespace telvinor::vbscript
