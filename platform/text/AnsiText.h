#pragma once
// The system's ANSI code page, where text meets files, sockets, the registry and narrow
// platform calls. Inside the automation components text is UTF-16; here it becomes the
// installation's single- or double-byte code page and back.
//
// The code page is 936 (the double-byte Chinese page, as on the target machines) unless the
// environment variable TELVINOR_CODEPAGE names another one: a Windows code page number such
// as 936, 950, 932, 1252, or 65001 for UTF-8. The value is read once, at first use.
//
// Conversion never fails and is the same every time:
// - a UTF-16 character the code page cannot represent (or a lone surrogate) becomes "?"
//   (0x3F), as Windows writes its default character;
// - bytes that are not valid in the code page (a stray lead byte, a truncated double-byte
//   character at the end) become U+FFFD, one for each byte that could not be decoded.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace telvinor::text {

inline constexpr int kDefaultCodePage = 936;
inline constexpr int kUtf8CodePage = 65001;

// The code page in use (TELVINOR_CODEPAGE or 936). An unknown number falls back to 936.
[[nodiscard]] int ActiveCodePage();

// The iconv name of a Windows code page ("CP936", "UTF-8"), or nothing when unsupported.
[[nodiscard]] std::optional<std::string> IconvName(int codePage);

[[nodiscard]] std::string ToAnsi(std::u16string_view text, int codePage = ActiveCodePage());
[[nodiscard]] std::u16string FromAnsi(std::string_view bytes, int codePage = ActiveCodePage());

// The number of bytes the text takes in the code page (no terminator).
[[nodiscard]] std::size_t AnsiLength(std::u16string_view text, int codePage = ActiveCodePage());

// VB's Asc: the code of one character in the code page: 0 to 255 for a single-byte character,
// lead * 256 + trail for a double-byte one (returned as an unsigned 16-bit value; VB shows it
// as a negative Integer). "?" for a character the page cannot represent.
[[nodiscard]] std::uint16_t AnsiCodeOf(char16_t c, int codePage = ActiveCodePage());
// VB's Chr: the character for such a code (0 to 255, or a double-byte code up to 65535);
// nothing when the code stands for no character of the page.
[[nodiscard]] std::optional<char16_t> CharOfAnsiCode(std::uint32_t code, int codePage = ActiveCodePage());

}  // namespace telvinor::text
