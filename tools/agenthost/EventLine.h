#pragma once
// How agenthost writes an event: one line, the event's name and then each argument, separated
// by tabs, in UTF-8. Inside an argument a tab, CR, LF and backslash are written \t, \r, \n and
// \\, so a line is always one event and a reader can split it on tabs and undo the escapes.

#include <span>
#include <string>
#include <string_view>

#include "automation/Variant.h"

namespace telvinor::agenthost {

[[nodiscard]] std::string EscapeField(std::u16string_view text);
// The line, ending in "\n".
[[nodiscard]] std::string EventLine(std::u16string_view name,
                                    std::span<const automation::Variant> args);

}  // namespace telvinor::agenthost
