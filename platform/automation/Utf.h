#pragma once
// UTF-8 <-> UTF-16 for the places where automation text meets a UTF-8 world (terminal output,
// log lines, test messages). Text in the ANSI code page goes through platform/text instead.
// Invalid input never throws: an ill-formed UTF-8 sequence or a lone surrogate becomes U+FFFD.

#include <string>
#include <string_view>

namespace telvinor::automation {

[[nodiscard]] std::string ToUtf8(std::u16string_view text);
[[nodiscard]] std::u16string FromUtf8(std::string_view text);

}  // namespace telvinor::automation
