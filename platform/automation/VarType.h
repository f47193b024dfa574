#pragma once
// Variant type codes: the numbers VB's VarType() returns and COM's VARTYPE uses.

#include <cstdint>
#include <string_view>

namespace telvinor::automation {

enum class VarType : std::uint16_t {
  Empty = 0,
  Null = 1,
  Integer = 2,   // 16-bit signed
  Long = 3,      // 32-bit signed
  Single = 4,    // IEEE single
  Double = 5,    // IEEE double
  Currency = 6,  // 64-bit integer scaled by 10,000
  Date = 7,      // days since 1899-12-30 as a double; the fraction is the time of day
  String = 8,
  Object = 9,
  Error = 10,    // an SCODE; a missing optional argument is Error with kParamNotFound
  Boolean = 11,
  Variant = 12,  // only as the element type of an array
  Byte = 17,
  Array = 0x2000,  // flag: an array whose element type is in the low bits
};

[[nodiscard]] constexpr VarType operator|(VarType a, VarType b) {
  return static_cast<VarType>(static_cast<std::uint16_t>(a) | static_cast<std::uint16_t>(b));
}
[[nodiscard]] constexpr VarType ElementTypeOf(VarType arrayType) {
  return static_cast<VarType>(static_cast<std::uint16_t>(arrayType) & 0x0FFF);
}
[[nodiscard]] constexpr bool IsArrayType(VarType t) {
  return (static_cast<std::uint16_t>(t) & static_cast<std::uint16_t>(VarType::Array)) != 0;
}

// The scode of a missing optional argument (DISP_E_PARAMNOTFOUND).
inline constexpr std::int32_t kParamNotFound = static_cast<std::int32_t>(0x80020004u);

// VB's TypeName() for a scalar type ("Integer", "String", "Nothing" is the caller's business).
[[nodiscard]] std::u16string_view TypeNameOf(VarType t) noexcept;

}  // namespace telvinor::automation
