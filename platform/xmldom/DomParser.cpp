#include "xmldom/DomParser.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "automation/Utf.h"
#include "xmldom/XmlChars.h"

namespace telvinor::xmldom {
namespace {

// Comments, processing instructions, the declaration and the document type become nodes.
// Escapes are left to CheckContent, which refuses what pugixml would keep as text; the
// fragment flag keeps top-level text, so that CheckTopLevel can refuse it.
constexpr unsigned kParseOptions = (pugi::parse_default & ~pugi::parse_escapes) |
                                   pugi::parse_declaration | pugi::parse_pi | pugi::parse_comments |
                                   pugi::parse_doctype | pugi::parse_fragment;

struct StatusFault {
  pugi::xml_parse_status status;
  ParseFault fault;
};

constexpr std::array kStatusFaults{
    StatusFault{pugi::status_file_not_found, ParseFault::FileNotFound},
    StatusFault{pugi::status_io_error, ParseFault::ReadFailed},
    StatusFault{pugi::status_out_of_memory, ParseFault::OutOfMemory},
    StatusFault{pugi::status_internal_error, ParseFault::InternalError},
    StatusFault{pugi::status_unrecognized_tag, ParseFault::UnrecognizedMarkup},
    StatusFault{pugi::status_bad_pi, ParseFault::BadProcessingInstruction},
    StatusFault{pugi::status_bad_comment, ParseFault::BadComment},
    StatusFault{pugi::status_bad_cdata, ParseFault::BadCData},
    StatusFault{pugi::status_bad_doctype, ParseFault::BadDocType},
    StatusFault{pugi::status_bad_pcdata, ParseFault::BadText},
    StatusFault{pugi::status_bad_start_element, ParseFault::BadStartTag},
    StatusFault{pugi::status_bad_attribute, ParseFault::BadAttribute},
    StatusFault{pugi::status_bad_end_element, ParseFault::BadEndTag},
    StatusFault{pugi::status_end_element_mismatch, ParseFault::EndTagMismatch},
    StatusFault{pugi::status_append_invalid_root, ParseFault::InternalError},
    StatusFault{pugi::status_no_document_element, ParseFault::NoRootElement},
};

std::size_t OffsetOf(pugi::xml_node node) {
  std::ptrdiff_t offset = node.offset_debug();
  return offset < 0 ? 0 : static_cast<std::size_t>(offset);
}

ParseOutcome FromStatus(const pugi::xml_parse_result& result, std::string_view text) {
  auto known = std::find_if(kStatusFaults.begin(), kStatusFaults.end(),
                            [&](const StatusFault& s) { return s.status == result.status; });
  ParseOutcome outcome{known == kStatusFaults.end() ? ParseFault::InternalError : known->fault,
                       result.offset < 0 ? 0 : static_cast<std::size_t>(result.offset),
                       {}};
  if (outcome.fault == ParseFault::EndTagMismatch) {
    // pugixml reports an element left open at the end the same way as a wrong end tag; the
    // markup before the offset tells them apart, and an open element is reported at the end.
    std::size_t tag = text.rfind('<', std::min(outcome.offset, text.size()));
    bool inEndTag = tag != std::string_view::npos && tag + 1 < text.size() && text[tag + 1] == '/';
    if (!inEndTag) outcome = {ParseFault::UnclosedElement, text.size(), {}};
  }
  return outcome;
}

// XML 1.0 production [1]: document ::= prolog element Misc*, with the declaration first.
ParseOutcome CheckTopLevel(pugi::xml_document& doc, std::size_t textSize) {
  int elements = 0;
  bool doctype = false;
  bool first = true;
  for (pugi::xml_node child = doc.first_child(); child;) {
    pugi::xml_node next = child.next_sibling();
    switch (child.type()) {
      case pugi::node_declaration:
        // Its name follows "<?" at the very start of the text.
        if (!first || child.offset_debug() != 2)
          return {ParseFault::MisplacedDeclaration, OffsetOf(child), {}};
        break;
      case pugi::node_doctype:
        if (doctype || elements) return {ParseFault::MisplacedDocType, OffsetOf(child), {}};
        doctype = true;
        break;
      case pugi::node_element:
        if (++elements > 1) return {ParseFault::MultipleRootElements, OffsetOf(child), {}};
        break;
      case pugi::node_pcdata:
        if (!IsXmlWhiteSpace(child.value()))
          return {ParseFault::TextAtTopLevel, OffsetOf(child), {}};
        // White space between top-level nodes is not content, even when it is preserved.
        doc.remove_child(child);
        child = next;
        continue;
      case pugi::node_cdata:
        return {ParseFault::TextAtTopLevel, OffsetOf(child), {}};
      default:
        break;
    }
    first = false;
    child = next;
  }
  if (!elements) return {ParseFault::NoRootElement, textSize, {}};
  return {};
}

ParseOutcome CheckAttributes(pugi::xml_node node, std::string& scratch) {
  // Production [40] and the Unique Att Spec constraint: no name twice in one tag. Few
  // attributes are compared pairwise, many by sorting.
  std::size_t count = 0;
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) ++count;
  bool duplicate = false;
  if (count <= 16) {
    for (pugi::xml_attribute a = node.first_attribute(); a && !duplicate; a = a.next_attribute()) {
      for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute()) {
        if (std::strcmp(a.name(), b.name()) == 0) {
          duplicate = true;
          break;
        }
      }
    }
  } else {
    std::vector<std::string_view> names;
    names.reserve(count);
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
      names.emplace_back(a.name());
    std::sort(names.begin(), names.end());
    duplicate = std::adjacent_find(names.begin(), names.end()) != names.end();
  }
  if (duplicate) return {ParseFault::DuplicateAttribute, OffsetOf(node), {}};

  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    std::string_view raw = a.value();
    // Production [10] AttValue excludes "<".
    if (raw.find('<') != std::string_view::npos)
      return {ParseFault::LessThanInAttribute, OffsetOf(node), {}};
    if (raw.find('&') == std::string_view::npos) continue;
    UnescapeResult r = Unescape(raw, scratch);
    if (r.fault == ReferenceFault::UndefinedEntity)
      return {ParseFault::UndefinedEntity, OffsetOf(node), automation::FromUtf8(r.entity)};
    if (r.fault == ReferenceFault::BadCharacterReference)
      return {ParseFault::BadCharacterReference, OffsetOf(node), {}};
    if (!a.set_value(scratch.c_str())) return {ParseFault::OutOfMemory, OffsetOf(node), {}};
  }
  return {};
}

// The rules inside the tree, and the references in text and attribute values. Iterative:
// documents may nest as deep as memory allows.
ParseOutcome CheckContent(pugi::xml_node root) {
  std::string scratch;
  pugi::xml_node node = root.first_child();
  while (node) {
    switch (node.type()) {
      case pugi::node_element:
      case pugi::node_declaration:
        if (ParseOutcome o = CheckAttributes(node, scratch); o.fault != ParseFault::None) return o;
        break;
      case pugi::node_pcdata: {
        std::string_view raw = node.value();
        std::size_t at = OffsetOf(node);
        // Production [14] CharData excludes "]]>".
        if (std::size_t end = raw.find("]]>"); end != std::string_view::npos)
          return {ParseFault::CDataEndInText, at + end, {}};
        if (raw.find('&') == std::string_view::npos) break;
        UnescapeResult r = Unescape(raw, scratch);
        if (r.fault == ReferenceFault::UndefinedEntity)
          return {ParseFault::UndefinedEntity, at + r.offset, automation::FromUtf8(r.entity)};
        if (r.fault == ReferenceFault::BadCharacterReference)
          return {ParseFault::BadCharacterReference, at + r.offset, {}};
        if (!node.set_value(scratch.c_str())) return {ParseFault::OutOfMemory, at, {}};
        break;
      }
      case pugi::node_comment: {
        // Production [15]: "--" must not occur inside a comment, nor may it end with "-".
        std::string_view text = node.value();
        if (text.find("--") != std::string_view::npos || (!text.empty() && text.back() == '-'))
          return {ParseFault::BadComment, OffsetOf(node), {}};
        break;
      }
      case pugi::node_pi:
        // An empty instruction prints as "<?p ?>" straight from the parser but as "<?p?>" once
        // copied; storing its empty data afresh makes it print the one way.
        if (!*node.value() && !node.set_value(""))
          return {ParseFault::OutOfMemory, OffsetOf(node), {}};
        break;
      default:
        break;
    }
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling())
      node = node.parent() == root ? pugi::xml_node() : node.parent();
    if (node) node = node.next_sibling();
  }
  return {};
}

}  // namespace

ParseOutcome ParseXml(std::string_view utf8, WhiteSpace whiteSpace, pugi::xml_document& into) {
  if (std::size_t bad = FindInvalidXmlChar(utf8); bad != kNoFault)
    return {ParseFault::InvalidCharacter, bad, {}};
  unsigned options =
      kParseOptions | (whiteSpace == WhiteSpace::Preserve ? pugi::parse_ws_pcdata : 0u);
  const char* data = utf8.empty() ? "" : utf8.data();
  pugi::xml_parse_result result = into.load_buffer(data, utf8.size(), options, pugi::encoding_utf8);
  if (!result) return FromStatus(result, utf8);
  if (ParseOutcome o = CheckTopLevel(into, utf8.size()); o.fault != ParseFault::None) return o;
  return CheckContent(into);
}

}  // namespace telvinor::xmldom
