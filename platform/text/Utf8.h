#pragma once
// UTF-8 <-> UTF-16 for the places where the toolkit's UTF-16 text meets a UTF-8 world (the
// registry hive file, terminal output, log lines, XML). Text in the ANSI code page goes
// through AnsiText.h instead. Invalid input never throws: an ill-formed UTF-8 sequence or a
// lone surrogate becomes U+FFFD.

#include <string>
#include <string_view>

namespace telvinor::text {

[[nodiscard]] std::string ToUtf8(std::u16string_view text);
[[nodiscard]] std::u16string FromUtf8(std::string_view text);
// Appends one code point (at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace telvinor::text
