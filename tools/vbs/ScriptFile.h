#pragma once
// Reading a script file: UTF-8 or UTF-16 when the file starts with a byte-order mark,
// otherwise text in the ANSI code page.

#include <optional>
#include <string>
#include <string_view>

namespace telvinor::vbs {

[[nodiscard]] std::u16string DecodeScript(std::string_view bytes);
// The file's text, or nothing when it cannot be read.
[[nodiscard]] std::optional<std::u16string> ReadScriptFile(const std::string& path);

}  // namespace telvinor::vbs
