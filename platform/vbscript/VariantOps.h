#pragma once
// The operators of the language over Variants, with VB's rules:
// - Null in an arithmetic or comparison operand gives Null; "&" treats Null as "" unless both
//   are Null; And/Or/Imp give a definite answer where the other operand decides it
//   (Null And False is False, Null Or True is True).
// - Empty is 0 to numbers and "" to text.
// - Integral results keep the wider operand type and widen on overflow (Integer to Long to
//   Double); "/" and "^" give Double; "\" and Mod round their operands to whole numbers
//   (half to even) and give Integer or Long; Date +/- a number stays a Date.
// - "+" of two strings joins them; a string with a number is added as a number.
// - Comparisons: numbers numerically, strings by code unit (or without case in text
//   comparison); a number is less than a string, except against a literal of the other kind,
//   which converts the variable to the literal's kind.
// - Objects take part through their default member's value.

#include "automation/Variant.h"
#include "vbscript/Ast.h"

namespace telvinor::vbscript {

enum class CompareMode : std::uint8_t { Binary = 0, Text = 1 };

[[nodiscard]] Variant OpAdd(const Variant& a, const Variant& b);
[[nodiscard]] Variant OpSubtract(const Variant& a, const Variant& b);
[[nodiscard]] Variant OpMultiply(const Variant& a, const Variant& b);
[[nodiscard]] Variant OpDivide(const Variant& a, const Variant& b);
[[nodiscard]] Variant OpIntDivide(const Variant& a, const Variant& b);
[[nodiscard]] Variant OpMod(const Variant& a, const Variant& b);
[[nodiscard]] Variant OpPower(const Variant& a, const Variant& b);
[[nodiscard]] Variant OpConcat(const Variant& a, const Variant& b);
[[nodiscard]] Variant OpNegate(const Variant& a);
[[nodiscard]] Variant OpNot(const Variant& a);
[[nodiscard]] Variant OpLogical(BinaryOp op, const Variant& a,
                                const Variant& b);  // And Or Xor Eqv Imp
// = <> < > <= >=: Boolean, or Null when either side is Null.
[[nodiscard]] Variant OpCompare(BinaryOp op, const Variant& a, const Variant& b,
                                bool aLiteral = false, bool bLiteral = false);
[[nodiscard]] bool OpIs(const Variant& a, const Variant& b);

// Any binary operator but Is.
[[nodiscard]] Variant ApplyBinary(BinaryOp op, const Variant& a, const Variant& b);

// -1, 0 or 1 for two texts under a comparison mode (StrComp, InStr, Dictionary keys).
[[nodiscard]] int CompareText(std::u16string_view a, std::u16string_view b,
                              CompareMode mode) noexcept;
[[nodiscard]] char16_t FoldChar(char16_t c) noexcept;

// The truth of a condition (If, While, Until): Null counts as False.
[[nodiscard]] bool IsTrue(const Variant& v);

}  // namespace telvinor::vbscript
