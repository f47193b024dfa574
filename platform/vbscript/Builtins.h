#pragma once
// The library of the language: functions and constants, looked up by name when a name is not
// a script's own. Each area's functions are a table in its own file (LibStrings.cpp,
// LibMath.cpp, LibDates.cpp, LibConversions.cpp, LibArrays.cpp, LibFormat.cpp,
// LibGlobal.cpp); Builtins.cpp joins them into one index with the constants.

#include <cstdint>
#include <span>
#include <string_view>

#include "automation/Variant.h"
#include "vbscript/Interpreter.h"

namespace telvinor::vbscript {

// Arguments arrive evaluated (objects as objects); a left-out argument is Variant::Missing().
using BuiltinFn = Variant (*)(CallContext& ctx, std::span<Variant> args);

struct Builtin {
  std::u16string_view name;
  BuiltinFn fn = nullptr;
  std::uint8_t minArgs = 0, maxArgs = 0;
  bool isConstant = false;
  const Variant* constant = nullptr;
};

// By folded (lower-case) name.
[[nodiscard]] const Builtin* FindBuiltin(std::u16string_view folded);
[[nodiscard]] const Variant* FindBuiltinConstant(std::u16string_view folded);

std::span<const Builtin> StringFunctions();
std::span<const Builtin> MathFunctions();
std::span<const Builtin> DateFunctions();
std::span<const Builtin> ConversionFunctions();
std::span<const Builtin> ArrayFunctions();
std::span<const Builtin> FormatFunctions();
std::span<const Builtin> GlobalFunctions();

// Helpers for the library files.
namespace lib {
[[nodiscard]] inline bool Given(const Variant& v) {
  return !v.IsMissing();
}
[[nodiscard]] inline bool Given(std::span<Variant> a, std::size_t i) {
  return i < a.size() && !a[i].IsMissing();
}
[[nodiscard]] bool AnyNull(std::span<Variant> a, std::size_t count);
[[nodiscard]] std::int32_t LongArg(std::span<Variant> a, std::size_t i, std::int32_t otherwise);
// A whole number argument that must not be Null (94) and must not be negative (5).
[[nodiscard]] std::int32_t CountArg(const Variant& v);
[[nodiscard]] automation::BString TextArg(const Variant& v);
// The value of an object's default member; other values unchanged.
[[nodiscard]] Variant Value(const Variant& v);
}  // namespace lib

}  // namespace telvinor::vbscript
