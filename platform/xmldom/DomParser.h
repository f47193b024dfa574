#pragma once
// Parsing UTF-8 text into a pugixml tree as a DOM document needs it (internal to the DOM
// library).
//
// pugixml is lenient where XML 1.0 is not: it accepts several root elements, text and a
// declaration anywhere at the top level, duplicate attributes, "<" in attribute values, "]]>"
// in text and "--" in comments, and it leaves unknown entity references as text. A document
// that breaks those rules is not well-formed, so ParseXml checks them after pugixml has built
// the tree, and replaces the references itself (XmlChars.h), refusing any entity but the five
// predefined ones.

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "xmldom/DomErrors.h"

namespace telvinor::xmldom {

enum class WhiteSpace : std::uint8_t { Drop, Preserve };

struct ParseOutcome {
  ParseFault fault = ParseFault::None;
  std::size_t offset = 0;  // byte offset into the text where the fault is
  std::u16string detail;   // for the reason's "%1"
};

[[nodiscard]] ParseOutcome ParseXml(std::string_view utf8, WhiteSpace whiteSpace,
                                    pugi::xml_document& into);

}  // namespace telvinor::xmldom
