#include "xmldom/DomErrors.h"

#include <array>

#include "automation/AutomationError.h"

namespace telvinor::xmldom {
namespace {

constexpr std::int32_t Code(std::uint32_t hresult) {
  return static_cast<std::int32_t>(hresult);
}

// The generic failure (E_FAIL) and bad-argument (E_INVALIDARG) results of automation calls.
constexpr std::int32_t kFail = Code(0x80004005u);
constexpr std::int32_t kInvalidArgument = Code(0x80070057u);
// "Object not found" as a failed load of a missing file reports it.
constexpr std::int32_t kObjectNotFound = Code(0x800C0006u);
// Parse faults are numbered from this base in the order of ParseFault.
constexpr std::uint32_t kParseFaultBase = 0xC00CE500u;

struct ParseFaultEntry {
  ParseFault fault;
  std::u16string_view reason;
};

constexpr std::array kParseFaults{
    ParseFaultEntry{ParseFault::None, u""},
    ParseFaultEntry{ParseFault::FileNotFound, u"The system cannot locate the object specified."},
    ParseFaultEntry{ParseFault::ReadFailed, u"The file could not be read."},
    ParseFaultEntry{ParseFault::TooLarge, u"The document is too large to be loaded."},
    ParseFaultEntry{ParseFault::UnsupportedSource,
                    u"Only local files and file: URLs can be loaded."},
    ParseFaultEntry{ParseFault::UnsupportedEncoding,
                    u"System does not support the specified encoding: '%1'."},
    ParseFaultEntry{ParseFault::InvalidCharacter,
                    u"An invalid character was found in text content."},
    ParseFaultEntry{ParseFault::OutOfMemory, u"Out of memory."},
    ParseFaultEntry{ParseFault::UnrecognizedMarkup,
                    u"Invalid character in a tag or unrecognized markup."},
    ParseFaultEntry{ParseFault::BadProcessingInstruction,
                    u"Invalid XML declaration or processing instruction."},
    ParseFaultEntry{ParseFault::BadComment, u"Invalid comment."},
    ParseFaultEntry{ParseFault::BadCData, u"Invalid CDATA section."},
    ParseFaultEntry{ParseFault::BadDocType, u"Invalid document type declaration."},
    ParseFaultEntry{ParseFault::BadText, u"Invalid text content."},
    ParseFaultEntry{ParseFault::BadStartTag, u"Invalid start tag."},
    ParseFaultEntry{ParseFault::BadAttribute, u"Invalid attribute."},
    ParseFaultEntry{ParseFault::BadEndTag, u"Invalid end tag."},
    ParseFaultEntry{ParseFault::EndTagMismatch, u"End tag does not match the start tag."},
    ParseFaultEntry{ParseFault::UnclosedElement,
                    u"The following tags were not closed before the end of the document."},
    ParseFaultEntry{ParseFault::NoRootElement, u"XML document must have a top level element."},
    ParseFaultEntry{ParseFault::MultipleRootElements,
                    u"Only one top level element is allowed in an XML document."},
    ParseFaultEntry{ParseFault::TextAtTopLevel, u"Invalid at the top level of the document."},
    ParseFaultEntry{ParseFault::MisplacedDeclaration,
                    u"The XML declaration must be the first thing in the document."},
    ParseFaultEntry{ParseFault::MisplacedDocType,
                    u"The document type declaration must come once, before the top level element."},
    ParseFaultEntry{ParseFault::DuplicateAttribute, u"Duplicate attribute."},
    ParseFaultEntry{ParseFault::LessThanInAttribute,
                    u"A '<' character cannot be used in an attribute value."},
    ParseFaultEntry{ParseFault::CDataEndInText,
                    u"The text ']]>' is not allowed in character data."},
    ParseFaultEntry{ParseFault::UndefinedEntity, u"Reference to undefined entity '%1'."},
    ParseFaultEntry{ParseFault::BadCharacterReference, u"Invalid character reference."},
    ParseFaultEntry{ParseFault::InternalError, u"The document could not be parsed."},
};

constexpr bool ParseFaultsInOrder() {
  for (std::size_t i = 0; i < kParseFaults.size(); ++i) {
    if (static_cast<std::size_t>(kParseFaults[i].fault) != i) return false;
  }
  return true;
}
static_assert(ParseFaultsInOrder(),
              "kParseFaults must list every fault in the order of ParseFault");

struct DomFaultEntry {
  DomFault fault;
  std::int32_t number;
  std::u16string_view description;
};

constexpr std::array kDomFaults{
    DomFaultEntry{DomFault::WrongNodeType, kFail,
                  u"This operation can not be performed with a node of type %1."},
    DomFaultEntry{DomFault::NotAChild, kFail, u"The parameter node is not a child of this node."},
    DomFaultEntry{DomFault::HierarchyRequest, kFail,
                  u"The node cannot be inserted below itself or one of its descendants."},
    DomFaultEntry{DomFault::NotAllowedHere, kFail, u"A node of type %1 cannot be inserted here."},
    DomFaultEntry{DomFault::OnlyOneRoot, kFail,
                  u"Only one top level element is allowed in an XML document."},
    DomFaultEntry{DomFault::DeclarationNotFirst, kFail,
                  u"The XML declaration must be the first node of the document."},
    DomFaultEntry{DomFault::InvalidName, kFail, u"'%1' is not a valid XML name."},
    DomFaultEntry{
        DomFault::AttributeInUse, kFail,
        u"The attribute already belongs to another element; remove it there or clone it first."},
    DomFaultEntry{DomFault::NotANode, kInvalidArgument,
                  u"The argument is not a node of an XML document."},
    DomFaultEntry{DomFault::InvalidXPath, kFail, u"Invalid XPath expression: %1"},
    DomFaultEntry{DomFault::NotANodeSet, kFail, u"Expression does not evaluate to a node-set."},
    DomFaultEntry{DomFault::UnsupportedEncoding, kFail,
                  u"System does not support the specified encoding: '%1'."},
    DomFaultEntry{
        DomFault::InvalidDeclaration, kFail,
        u"The data of an XML declaration must be pseudo-attributes such as version=\"1.0\"."},
    DomFaultEntry{DomFault::UnsupportedSource, kInvalidArgument,
                  u"Only local files and file: URLs can be used here."},
};

constexpr bool DomFaultsInOrder() {
  for (std::size_t i = 0; i < kDomFaults.size(); ++i) {
    if (static_cast<std::size_t>(kDomFaults[i].fault) != i) return false;
  }
  return true;
}
static_assert(DomFaultsInOrder(), "kDomFaults must list every fault in the order of DomFault");

std::u16string Fill(std::u16string_view text, std::u16string_view detail) {
  std::u16string out(text);
  if (auto at = out.find(u"%1"); at != std::u16string::npos) out.replace(at, 2, detail);
  return out;
}

}  // namespace

std::int32_t ParseFaultCode(ParseFault fault) noexcept {
  if (fault == ParseFault::None) return 0;
  if (fault == ParseFault::FileNotFound) return kObjectNotFound;
  return Code(kParseFaultBase + static_cast<std::uint32_t>(fault));
}

std::u16string ParseFaultReason(ParseFault fault, std::u16string_view detail) {
  return Fill(kParseFaults[static_cast<std::size_t>(fault)].reason, detail);
}

std::int32_t DomFaultNumber(DomFault fault) noexcept {
  return kDomFaults[static_cast<std::size_t>(fault)].number;
}

std::u16string DomFaultDescription(DomFault fault, std::u16string_view detail) {
  return Fill(kDomFaults[static_cast<std::size_t>(fault)].description, detail);
}

void ThrowDomError(DomFault fault, std::u16string_view detail) {
  throw automation::AutomationError(DomFaultNumber(fault), std::u16string(kDomErrorSource),
                                    DomFaultDescription(fault, detail));
}

}  // namespace telvinor::xmldom
