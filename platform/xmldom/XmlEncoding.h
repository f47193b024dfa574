#pragma once
// The character encoding of an XML document's bytes, and transcoding to and from UTF-8, the
// text the parser works in (XML 1.0 section 4.3.3 and appendix F):
// - a byte-order mark decides (UTF-8, UTF-16 either order, UTF-32 either order);
// - without one, "<?xml" in UTF-16 order means UTF-16;
// - otherwise the encoding the XML declaration names (GBK, GB2312, GB18030, ISO-8859-1,
//   Windows-1252, Big5, ... anything the C library's iconv knows);
// - no declaration, or none naming an encoding, means UTF-8.
// Pure functions over memory; iconv does the table work.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace telvinor::xmldom {

enum class DecodeProblem : std::uint8_t { None, UnsupportedEncoding, InvalidBytes };

struct DecodedXml {
  DecodeProblem problem = DecodeProblem::None;
  std::string encoding;  // the encoding found (a declared label as written, or "UTF-8" ...)
  // The UTF-8 text: a view into the input when it was UTF-8 already, else into `converted`.
  // With InvalidBytes it is the text decoded before the first invalid byte.
  std::string_view text;
  std::string converted;
};

[[nodiscard]] DecodedXml DecodeXml(std::span<const std::uint8_t> bytes);

// The encoding named by an XML declaration at the start of ASCII-compatible text, or "".
[[nodiscard]] std::string DeclaredEncoding(std::string_view start);

// The iconv name for an encoding label (case-insensitive; "GB2312" and "GBK" both give the
// Windows code page 936), or nothing when the label names no encoding iconv has.
[[nodiscard]] std::optional<std::string> IconvNameFor(std::string_view label);

// UTF-8 text in the encoding a label names: UTF-16 gets a byte-order mark; a character the
// encoding cannot hold becomes a character reference ("&#27700;"). Nothing when the label
// names no encoding iconv has. An empty label means UTF-8.
[[nodiscard]] std::optional<std::string> EncodeXml(std::string_view utf8, std::string_view label);

}  // namespace telvinor::xmldom
