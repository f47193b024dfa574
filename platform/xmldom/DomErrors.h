#pragma once
// The errors of the XML DOM, each listed once with its number and text (DomErrors.cpp).
//
// Two families:
// - faults of a document being loaded: load and loadXML never raise, they return false and
//   describe the fault through the parse error object (errorCode, reason, line, column);
// - faults of DOM operations (a node inserted where it cannot go, an invalid XPath
//   expression, a name that is not an XML name): raised as automation errors with a
//   description, so a script's On Error handler or Err object sees what went wrong.

#include <cstdint>
#include <string>
#include <string_view>

namespace telvinor::xmldom {

enum class ParseFault : std::uint8_t {
  None,
  // The source itself.
  FileNotFound,
  ReadFailed,
  TooLarge,
  UnsupportedSource,
  UnsupportedEncoding,
  InvalidCharacter,
  OutOfMemory,
  // Markup, as the parser finds it.
  UnrecognizedMarkup,
  BadProcessingInstruction,
  BadComment,
  BadCData,
  BadDocType,
  BadText,
  BadStartTag,
  BadAttribute,
  BadEndTag,
  EndTagMismatch,
  UnclosedElement,
  // The rules of a whole document that the parser leaves to us.
  NoRootElement,
  MultipleRootElements,
  TextAtTopLevel,
  MisplacedDeclaration,
  MisplacedDocType,
  DuplicateAttribute,
  LessThanInAttribute,
  CDataEndInText,
  UndefinedEntity,
  BadCharacterReference,
  InternalError,
};

// The parse error object's errorCode and reason for a fault; `detail` (a name, an encoding)
// takes the place of "%1" in the reason.
[[nodiscard]] std::int32_t ParseFaultCode(ParseFault fault) noexcept;
[[nodiscard]] std::u16string ParseFaultReason(ParseFault fault, std::u16string_view detail = {});

enum class DomFault : std::uint8_t {
  WrongNodeType,  // %1: the node type
  NotAChild,
  HierarchyRequest,
  NotAllowedHere,  // %1: the node type
  OnlyOneRoot,
  DeclarationNotFirst,
  InvalidName,  // %1: the name
  AttributeInUse,
  NotANode,
  InvalidXPath,  // %1: the parser's description
  NotANodeSet,
  UnsupportedEncoding,  // %1: the encoding
  InvalidDeclaration,
  UnsupportedSource,
};

// The automation error source of every DOM error.
inline constexpr std::u16string_view kDomErrorSource = u"XMLDOM";

[[nodiscard]] std::int32_t DomFaultNumber(DomFault fault) noexcept;
[[nodiscard]] std::u16string DomFaultDescription(DomFault fault, std::u16string_view detail = {});
// Throws the fault as an AutomationError.
[[noreturn]] void ThrowDomError(DomFault fault, std::u16string_view detail = {});

}  // namespace telvinor::xmldom
