#pragma once
// The automation members of the DOM classes (internal to the DOM library): the dispatch ids,
// listed once, and the members every node has, shared by the node tables (DomNode.cpp) and
// the document's table (DomDocument.cpp). The handlers call the C++ API; there is one
// implementation of each operation.

#include <cstdint>
#include <span>

#include "automation/ClassInfo.h"
#include "automation/Conversions.h"
#include "automation/Utf.h"
#include "xmldom/DomDocument.h"
#include "xmldom/DomErrors.h"
#include "xmldom/DomNamedNodeMap.h"
#include "xmldom/DomNode.h"
#include "xmldom/DomNodeList.h"
#include "xmldom/XmlChars.h"

namespace telvinor::xmldom::dispid {

using automation::DispId;

// Node.
inline constexpr DispId kNodeName = 2;
inline constexpr DispId kNodeValue = 3;
inline constexpr DispId kNodeType = 4;
inline constexpr DispId kParentNode = 6;
inline constexpr DispId kChildNodes = 7;
inline constexpr DispId kFirstChild = 8;
inline constexpr DispId kLastChild = 9;
inline constexpr DispId kPreviousSibling = 10;
inline constexpr DispId kNextSibling = 11;
inline constexpr DispId kAttributes = 12;
inline constexpr DispId kInsertBefore = 13;
inline constexpr DispId kReplaceChild = 14;
inline constexpr DispId kRemoveChild = 15;
inline constexpr DispId kAppendChild = 16;
inline constexpr DispId kHasChildNodes = 17;
inline constexpr DispId kOwnerDocument = 18;
inline constexpr DispId kCloneNode = 19;
inline constexpr DispId kNodeTypeString = 21;
inline constexpr DispId kSpecified = 22;
inline constexpr DispId kText = 24;
inline constexpr DispId kNodeTypedValue = 25;
inline constexpr DispId kXml = 27;
inline constexpr DispId kSelectNodes = 29;
inline constexpr DispId kSelectSingleNode = 30;
inline constexpr DispId kParsed = 31;
inline constexpr DispId kNamespaceUri = 32;
inline constexpr DispId kPrefix = 33;
inline constexpr DispId kBaseName = 34;
// Document.
inline constexpr DispId kDoctype = 38;
inline constexpr DispId kDocumentElement = 40;
inline constexpr DispId kCreateElement = 41;
inline constexpr DispId kCreateTextNode = 43;
inline constexpr DispId kCreateComment = 44;
inline constexpr DispId kCreateCDataSection = 45;
inline constexpr DispId kCreateProcessingInstruction = 46;
inline constexpr DispId kCreateAttribute = 47;
inline constexpr DispId kDocumentGetElementsByTagName = 50;
inline constexpr DispId kCreateNode = 54;
inline constexpr DispId kLoad = 58;
inline constexpr DispId kParseError = 59;
inline constexpr DispId kUrl = 60;
inline constexpr DispId kAsync = 61;
inline constexpr DispId kAbort = 62;
inline constexpr DispId kLoadXml = 63;
inline constexpr DispId kSave = 64;
inline constexpr DispId kValidateOnParse = 65;
inline constexpr DispId kResolveExternals = 66;
inline constexpr DispId kPreserveWhiteSpace = 67;
inline constexpr DispId kSetProperty = 201;
inline constexpr DispId kGetProperty = 202;
inline constexpr DispId kReadyState = -525;
// Node list and named node map (item is the default member, _newEnum makes For Each work).
inline constexpr DispId kItem = automation::kDispIdValue;
inline constexpr DispId kNewEnum = automation::kDispIdNewEnum;
inline constexpr DispId kLength = 74;
inline constexpr DispId kNextNode = 76;
inline constexpr DispId kReset = 77;
inline constexpr DispId kGetNamedItem = 83;
inline constexpr DispId kSetNamedItem = 84;
inline constexpr DispId kRemoveNamedItem = 85;
// Element.
inline constexpr DispId kTagName = 97;
inline constexpr DispId kGetAttribute = 99;
inline constexpr DispId kSetAttribute = 100;
inline constexpr DispId kRemoveAttribute = 101;
inline constexpr DispId kGetAttributeNode = 102;
inline constexpr DispId kSetAttributeNode = 103;
inline constexpr DispId kRemoveAttributeNode = 104;
inline constexpr DispId kGetElementsByTagName = 105;
// Character data (text, CDATA, comment).
inline constexpr DispId kData = 109;
inline constexpr DispId kDataLength = 110;
inline constexpr DispId kSubstringData = 111;
inline constexpr DispId kAppendData = 112;
// Attribute.
inline constexpr DispId kAttributeName = 118;
inline constexpr DispId kAttributeValue = 120;
// Processing instruction.
inline constexpr DispId kTarget = 127;
inline constexpr DispId kPiData = 128;
// Document type.
inline constexpr DispId kDocTypeName = 131;
// Parse error (errorCode is the default member).
inline constexpr DispId kErrorCode = automation::kDispIdValue;
inline constexpr DispId kErrorUrl = 179;
inline constexpr DispId kReason = 180;
inline constexpr DispId kSrcText = 181;
inline constexpr DispId kLine = 182;
inline constexpr DispId kLinePos = 183;
inline constexpr DispId kFilePos = 184;

}  // namespace telvinor::xmldom::dispid

namespace telvinor::xmldom {

// A name for a new element, attribute or processing instruction, in UTF-8; throws unless it is
// an XML name (a name that is not would make the document unreadable once saved).
[[nodiscard]] inline std::string CheckedName(std::u16string_view name) {
  if (!IsXmlName(name)) ThrowDomError(DomFault::InvalidName, name);
  return automation::ToUtf8(name);
}

// A node argument: an object that is a node of some document.
[[nodiscard]] inline DomNode& NodeArg(const automation::Variant& value) {
  auto* node = value.IsObject() ? dynamic_cast<DomNode*>(value.AsObject()) : nullptr;
  if (!node) ThrowDomError(DomFault::NotANode);
  return *node;
}

// An optional node argument: left out, Empty, Null or Nothing give null.
[[nodiscard]] inline DomNode* OptionalNodeArg(const automation::Variant& value) {
  if (value.IsMissing() || value.IsEmpty() || value.IsNull() || value.IsNothing()) return nullptr;
  return &NodeArg(value);
}

// A value given as node text: Null and Empty are "", anything else as CStr gives it.
[[nodiscard]] inline std::u16string ValueText(const automation::Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return {};
  return automation::ToString(value);
}

[[nodiscard]] inline automation::Variant TextOrNull(const std::optional<std::u16string>& text) {
  return text ? automation::Variant(*text) : automation::Variant::Null();
}

// The members of every node, for a table of T (DomNode or DomDocument).
template <class T>
void AddNodeMembers(automation::ClassBuilder<T>& b) {
  using automation::OptionalParam;
  using automation::Param;
  using automation::Variant;
  using automation::VarType;
  using Args = std::span<Variant>;
  b.Get(u"nodeName", dispid::kNodeName, VarType::String, [](T& n) { return n.NodeName(); })
      .Get(u"nodeValue", dispid::kNodeValue, VarType::Variant,
           [](T& n) { return TextOrNull(n.NodeValue()); })
      .Let(u"nodeValue", dispid::kNodeValue, VarType::Variant,
           [](T& n, const Variant& v) { n.SetNodeValue(ValueText(v)); })
      .Get(u"nodeType", dispid::kNodeType, VarType::Long,
           [](T& n) { return static_cast<std::int32_t>(n.NodeType()); })
      .Get(u"parentNode", dispid::kParentNode, VarType::Object, [](T& n) { return n.ParentNode(); })
      .Get(u"childNodes", dispid::kChildNodes, VarType::Object, [](T& n) { return n.ChildNodes(); })
      .Get(u"firstChild", dispid::kFirstChild, VarType::Object, [](T& n) { return n.FirstChild(); })
      .Get(u"lastChild", dispid::kLastChild, VarType::Object, [](T& n) { return n.LastChild(); })
      .Get(u"previousSibling", dispid::kPreviousSibling, VarType::Object,
           [](T& n) { return n.PreviousSibling(); })
      .Get(u"nextSibling", dispid::kNextSibling, VarType::Object,
           [](T& n) { return n.NextSibling(); })
      .Get(u"attributes", dispid::kAttributes, VarType::Object, [](T& n) { return n.Attributes(); })
      .Method(u"insertBefore", dispid::kInsertBefore,
              {Param(u"newChild"), OptionalParam(u"refChild", VarType::Variant)},
              [](T& n, Args a) { return n.InsertBefore(NodeArg(a[0]), OptionalNodeArg(a[1])); })
      .Method(u"replaceChild", dispid::kReplaceChild, {Param(u"newChild"), Param(u"oldChild")},
              [](T& n, Args a) { return n.ReplaceChild(NodeArg(a[0]), NodeArg(a[1])); })
      .Method(u"removeChild", dispid::kRemoveChild, {Param(u"childNode")},
              [](T& n, Args a) { return n.RemoveChild(NodeArg(a[0])); })
      .Method(u"appendChild", dispid::kAppendChild, {Param(u"newChild")},
              [](T& n, Args a) { return n.AppendChild(NodeArg(a[0])); })
      .Method(
          u"hasChildNodes", dispid::kHasChildNodes, {},
          [](T& n, Args) { return n.HasChildNodes(); }, VarType::Boolean)
      .Get(u"ownerDocument", dispid::kOwnerDocument, VarType::Object,
           [](T& n) { return n.OwnerDocument(); })
      .Method(u"cloneNode", dispid::kCloneNode, {Param(u"deep", VarType::Boolean)},
              [](T& n, Args a) {
                return n.CloneNode(a[0].AsBoolean() ? CloneDepth::Deep : CloneDepth::Shallow);
              })
      .Get(u"nodeTypeString", dispid::kNodeTypeString, VarType::String,
           [](T& n) { return n.NodeTypeString(); })
      .Get(u"specified", dispid::kSpecified, VarType::Boolean, [](T&) { return true; })
      .Get(u"text", dispid::kText, VarType::String, [](T& n) { return n.Text(); })
      .Let(u"text", dispid::kText, VarType::String,
           [](T& n, const Variant& v) { n.SetText(v.AsString()); })
      .Get(u"nodeTypedValue", dispid::kNodeTypedValue, VarType::Variant,
           [](T& n) { return n.NodeValue() ? TextOrNull(n.NodeValue()) : Variant(n.Text()); })
      .Get(u"xml", dispid::kXml, VarType::String, [](T& n) { return n.Xml(); })
      .Method(u"selectNodes", dispid::kSelectNodes, {Param(u"queryString", VarType::String)},
              [](T& n, Args a) { return n.SelectNodes(a[0].AsString()); })
      .Method(u"selectSingleNode", dispid::kSelectSingleNode,
              {Param(u"queryString", VarType::String)},
              [](T& n, Args a) { return n.SelectSingleNode(a[0].AsString()); })
      .Get(u"parsed", dispid::kParsed, VarType::Boolean, [](T&) { return true; })
      .Get(u"namespaceURI", dispid::kNamespaceUri, VarType::String,
           [](T& n) { return n.NamespaceUri(); })
      .Get(u"prefix", dispid::kPrefix, VarType::String, [](T& n) { return n.Prefix(); })
      .Get(u"baseName", dispid::kBaseName, VarType::String, [](T& n) { return n.BaseName(); });
}

}  // namespace telvinor::xmldom
