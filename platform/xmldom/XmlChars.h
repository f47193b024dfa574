#pragma once
// Character-level rules of XML 1.0 (fifth edition) that pugixml leaves to its caller: which
// characters a document may hold (production [2] Char), what makes a name ([4], [4a], [5]),
// the references of section 4.1, the pseudo-attributes of an XML declaration ([23]-[32]), and
// where a byte offset falls as line and column. Pure functions over memory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace telvinor::xmldom {

inline constexpr std::size_t kNoFault = static_cast<std::size_t>(-1);

// The byte offset of the first sequence that is not well-formed UTF-8 or not an XML Char
// (control characters, U+FFFE, U+FFFF), or kNoFault.
[[nodiscard]] std::size_t FindInvalidXmlChar(std::string_view utf8) noexcept;

// Whether the text is an XML Name (UTF-16; a surrogate pair counts as one character).
[[nodiscard]] bool IsXmlName(std::u16string_view name) noexcept;

// Whether every character is XML white space (space, tab, CR, LF); true for "".
[[nodiscard]] bool IsXmlWhiteSpace(std::string_view text) noexcept;

// The code point of the UTF-8 sequence at text[at] and its length in bytes; U+FFFD with
// length 1 for a malformed sequence.
[[nodiscard]] std::pair<char32_t, std::size_t> DecodeUtf8At(std::string_view text,
                                                            std::size_t at) noexcept;

struct TextPosition {
  std::int32_t line = 1;        // from 1
  std::int32_t column = 1;      // from 1, in UTF-16 units, as the caller's text counts them
  std::int32_t charOffset = 0;  // from 0, in UTF-16 units
  std::u16string lineText;      // the line's text, at most kMaxLineText units
};
inline constexpr std::size_t kMaxLineText = 1024;

// Where a byte offset into UTF-8 text falls (an offset past the end means the end).
[[nodiscard]] TextPosition PositionOf(std::string_view utf8, std::size_t offset);

// The references of XML 1.0 section 4.1 in markup-free text: the five predefined entities
// and character references. Anything else is a fault, reported with the offset of its "&".
enum class ReferenceFault : std::uint8_t { None, UndefinedEntity, BadCharacterReference };
struct UnescapeResult {
  ReferenceFault fault = ReferenceFault::None;
  std::size_t offset = 0;
  std::string_view entity;  // the undefined entity's name
};
[[nodiscard]] UnescapeResult Unescape(std::string_view raw, std::string& out);

// Appends text escaped for a double-quoted attribute value.
void AppendAttributeValue(std::string& out, std::string_view value);

// The pseudo-attributes of an XML declaration's data ("version="1.0" encoding='GBK'"), in
// order; nothing when the data is not a sequence of name="value" pairs.
[[nodiscard]] std::optional<std::vector<std::pair<std::string, std::string>>> ParsePseudoAttributes(
    std::string_view data);

}  // namespace telvinor::xmldom
