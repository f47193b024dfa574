#pragma once
// Expanding environment references ("%TEMP%\agent") as Windows does for REG_EXPAND_SZ values.
//
// A name between two percent signs is replaced by the variable's value; a name that is not
// set is left as written, percent signs included, and its closing percent sign may open the
// next reference ("%NOPE%PATH%" keeps "%NOPE" and expands "%PATH%"). Variable names are
// matched exactly first and then without regard to case, since Windows' are case-blind.
// Values come from the process environment, read as UTF-8.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "registry/RegTypes.h"

namespace telvinor::registry {

using EnvironmentLookup = std::function<std::optional<std::u16string>(std::u16string_view name)>;

[[nodiscard]] std::u16string ExpandEnvironmentText(std::u16string_view text,
                                                   const EnvironmentLookup& lookup);
// The process environment as a lookup.
[[nodiscard]] std::optional<std::u16string> ProcessEnvironmentVariable(std::u16string_view name);

// The ANSI call: expands lpSrc into lpDst (nSize bytes) and returns the bytes the expansion
// needs, terminator included; when that is more than nSize, lpDst is left untouched. 0 when
// lpSrc is null.
[[nodiscard]] DWORD ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, DWORD nSize);

}  // namespace telvinor::registry
