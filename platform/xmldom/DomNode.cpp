#include "xmldom/DomNode.h"

#include <pugixml.hpp>

#include <array>
#include <cstring>
#include <new>

#include "automation/Utf.h"
#include "xmldom/DomMembers.h"
#include "xmldom/DomStore.h"
#include "xmldom/XmlChars.h"

namespace telvinor::xmldom {
namespace {

using automation::FromUtf8;
using automation::ToUtf8;
using automation::Variant;

struct NodeKind {
  DomNodeType type;
  std::u16string_view typeString;  // nodeTypeString
  std::u16string_view fixedName;   // nodeName of nodes without a name of their own
  std::u16string_view className;   // TypeName() as scripts see it
};

// Every node type, in the order of its number.
constexpr std::array kNodeKinds{
    NodeKind{DomNodeType::Element, u"element", u"", u"IXMLDOMElement"},
    NodeKind{DomNodeType::Attribute, u"attribute", u"", u"IXMLDOMAttribute"},
    NodeKind{DomNodeType::Text, u"text", u"#text", u"IXMLDOMText"},
    NodeKind{DomNodeType::CDataSection, u"cdatasection", u"#cdata-section", u"IXMLDOMCDATASection"},
    NodeKind{DomNodeType::EntityReference, u"entityreference", u"", u"IXMLDOMEntityReference"},
    NodeKind{DomNodeType::Entity, u"entity", u"", u"IXMLDOMEntity"},
    NodeKind{DomNodeType::ProcessingInstruction, u"processinginstruction", u"",
             u"IXMLDOMProcessingInstruction"},
    NodeKind{DomNodeType::Comment, u"comment", u"#comment", u"IXMLDOMComment"},
    NodeKind{DomNodeType::Document, u"document", u"#document", u"DOMDocument"},
    NodeKind{DomNodeType::DocumentType, u"documenttype", u"", u"IXMLDOMDocumentType"},
    NodeKind{DomNodeType::DocumentFragment, u"documentfragment", u"#document-fragment",
             u"IXMLDOMDocumentFragment"},
    NodeKind{DomNodeType::Notation, u"notation", u"", u"IXMLDOMNotation"},
};

constexpr const NodeKind& KindOf(DomNodeType type) {
  return kNodeKinds[static_cast<std::size_t>(type) - 1];
}

constexpr bool KindsInOrder() {
  for (std::size_t i = 0; i < kNodeKinds.size(); ++i) {
    if (static_cast<std::size_t>(kNodeKinds[i].type) != i + 1) return false;
  }
  return true;
}
static_assert(KindsInOrder(), "kNodeKinds must list the node types in the order of their numbers");

constexpr std::u16string_view kXmlNamespace = u"http://www.w3.org/XML/1998/namespace";
constexpr std::u16string_view kXmlnsNamespace = u"http://www.w3.org/2000/xmlns/";

struct StringWriter final : pugi::xml_writer {
  std::string out;
  void write(const void* data, std::size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
};

// pugixml writes a carriage return in text as it is, and a reader turns it into a line feed
// (XML 1.0 section 2.11), so text that came from "&#13;" would change on the way back. Outside
// markup it is written as that reference again; inside CDATA sections, comments and
// processing instructions XML has no way to keep it.
void EscapeCarriageReturns(std::string& text) {
  if (text.find('\r') == std::string::npos) return;
  static constexpr std::pair<std::string_view, std::string_view> kVerbatim[] = {
      {"<![CDATA[", "]]>"}, {"<!--", "-->"}, {"<?", "?>"}, {"<!DOCTYPE", ">"}};
  std::string out;
  out.reserve(text.size() + 16);
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '<') {
      std::string_view rest = std::string_view(text).substr(i);
      std::string_view close = ">";
      for (const auto& [open, end] : kVerbatim) {
        if (rest.starts_with(open)) close = end;
      }
      std::size_t end = text.find(close, i + 1);
      end = end == std::string::npos ? text.size() : end + close.size();
      out.append(text, i, end - i);
      i = end;
    } else if (text[i] == '\r') {
      out += "&#13;";
      ++i;
    } else {
      out += text[i++];
    }
  }
  text = std::move(out);
}

std::string PrintRaw(pugi::xml_node node) {
  StringWriter writer;
  node.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
  EscapeCarriageReturns(writer.out);
  return std::move(writer.out);
}

// The pseudo-attributes of a declaration as written: version="1.0" encoding="GBK".
std::string DeclarationText(pugi::xml_node declaration) {
  std::string out;
  for (pugi::xml_attribute a = declaration.first_attribute(); a; a = a.next_attribute()) {
    if (!out.empty()) out += ' ';
    out += a.name();
    out += "=\"";
    AppendAttributeValue(out, a.value());
    out += '"';
  }
  return out;
}

// The name a document type declares: its first word.
std::string_view DocTypeName(std::string_view value) {
  std::size_t end = value.find_first_of(" \t\r\n[");
  return value.substr(0, end);
}

std::string_view TrimXmlSpace(std::string_view text) {
  std::size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

// The top-level node of the tree holding `node` (the node itself at the top).
pugi::xml_node TopOf(pugi::xml_node node) {
  while (node.parent() && node.parent().type() != pugi::node_document) node = node.parent();
  return node;
}

pugi::xpath_query Compile(std::u16string_view expression) {
  std::string text = ToUtf8(expression);
  try {
    pugi::xpath_query query(text.c_str());
    if (query.return_type() != pugi::xpath_type_node_set) ThrowDomError(DomFault::NotANodeSet);
    return query;
  } catch (const pugi::xpath_exception& e) {
    std::u16string detail = FromUtf8(e.result().description());
    detail += u" at position " + FromUtf8(std::to_string(e.result().offset + 1)) + u" of \"";
    detail += expression;
    detail += u"\"";
    ThrowDomError(DomFault::InvalidXPath, detail);
  } catch (const std::bad_alloc&) {
    automation::ThrowError(automation::errc::kOutOfMemory);
  }
}

// The member tables of the node types: the members of every node, then those of the type.
automation::ClassInfo BuildNodeClass(const NodeKind& kind) {
  using automation::OptionalParam;
  using automation::Param;
  using automation::VarType;
  using Args = std::span<Variant>;
  automation::ClassBuilder<DomNode> b{std::u16string(kind.className)};
  AddNodeMembers(b);
  switch (kind.type) {
    case DomNodeType::Element:
      b.Get(u"tagName", dispid::kTagName, VarType::String, [](DomNode& n) { return n.NodeName(); })
          .Method(u"getAttribute", dispid::kGetAttribute, {Param(u"name", VarType::String)},
                  [](DomNode& n, Args a) { return TextOrNull(n.GetAttribute(a[0].AsString())); })
          .Method(u"setAttribute", dispid::kSetAttribute,
                  {Param(u"name", VarType::String), Param(u"value")},
                  [](DomNode& n, Args a) { n.SetAttribute(a[0].AsString(), ValueText(a[1])); })
          .Method(u"removeAttribute", dispid::kRemoveAttribute, {Param(u"name", VarType::String)},
                  [](DomNode& n, Args a) { n.RemoveAttribute(a[0].AsString()); })
          .Method(u"getAttributeNode", dispid::kGetAttributeNode, {Param(u"name", VarType::String)},
                  [](DomNode& n, Args a) { return n.GetAttributeNode(a[0].AsString()); })
          .Method(u"setAttributeNode", dispid::kSetAttributeNode, {Param(u"DOMAttribute")},
                  [](DomNode& n, Args a) { return n.SetAttributeNode(NodeArg(a[0])); })
          .Method(u"removeAttributeNode", dispid::kRemoveAttributeNode, {Param(u"DOMAttribute")},
                  [](DomNode& n, Args a) { return n.RemoveAttributeNode(NodeArg(a[0])); })
          .Method(u"getElementsByTagName", dispid::kGetElementsByTagName,
                  {Param(u"tagName", VarType::String)},
                  [](DomNode& n, Args a) { return n.GetElementsByTagName(a[0].AsString()); });
      break;
    case DomNodeType::Attribute:
      b.Get(u"name", dispid::kAttributeName, VarType::String,
            [](DomNode& n) { return n.NodeName(); })
          .Property(
              u"value", dispid::kAttributeValue, VarType::Variant,
              [](DomNode& n) { return TextOrNull(n.NodeValue()); },
              [](DomNode& n, const Variant& v) { n.SetNodeValue(ValueText(v)); });
      break;
    case DomNodeType::Text:
    case DomNodeType::CDataSection:
    case DomNodeType::Comment:
      b.Property(
           u"data", dispid::kData, VarType::String,
           [](DomNode& n) { return n.NodeValue().value_or(u""); },
           [](DomNode& n, const Variant& v) { n.SetNodeValue(v.AsString()); })
          .Get(u"length", dispid::kDataLength, VarType::Long,
               [](DomNode& n) {
                 return static_cast<std::int32_t>(n.NodeValue().value_or(u"").size());
               })
          .Method(u"substringData", dispid::kSubstringData,
                  {Param(u"offset", VarType::Long), Param(u"count", VarType::Long)},
                  [](DomNode& n, Args a) {
                    std::u16string data = n.NodeValue().value_or(u"");
                    std::int32_t offset = a[0].AsLong(), count = a[1].AsLong();
                    if (offset < 0 || count < 0 || static_cast<std::size_t>(offset) > data.size())
                      automation::ThrowError(automation::errc::kInvalidProcedureCall);
                    return data.substr(static_cast<std::size_t>(offset),
                                       static_cast<std::size_t>(count));
                  })
          .Method(u"appendData", dispid::kAppendData, {Param(u"data", VarType::String)},
                  [](DomNode& n, Args a) {
                    n.SetNodeValue(n.NodeValue().value_or(u"") + std::u16string(a[0].AsString()));
                  });
      break;
    case DomNodeType::ProcessingInstruction:
      b.Get(u"target", dispid::kTarget, VarType::String, [](DomNode& n) { return n.NodeName(); })
          .Property(
              u"data", dispid::kPiData, VarType::String,
              [](DomNode& n) { return n.NodeValue().value_or(u""); },
              [](DomNode& n, const Variant& v) { n.SetNodeValue(v.AsString()); });
      break;
    case DomNodeType::DocumentType:
      b.Get(u"name", dispid::kDocTypeName, VarType::String,
            [](DomNode& n) { return n.NodeName(); });
      break;
    default:
      break;
  }
  return b.Build();
}

}  // namespace

DomNode::DomNode(Ref<DomDocument> owner, pugi::xml_node_struct* node,
                 pugi::xml_attribute_struct* attribute) noexcept
    : owner_(std::move(owner)), node_(node), attribute_(attribute) {}

DomNode::~DomNode() {
  if (owner_) owner_->Store().Forget(Key());
}

const void* DomNode::Key() const noexcept {
  return attribute_ ? static_cast<const void*>(attribute_) : static_cast<const void*>(node_);
}

DomDocument& DomNode::Document() const noexcept {
  return owner_ ? *owner_ : static_cast<DomDocument&>(const_cast<DomNode&>(*this));
}

DomStore& DomNode::Store() const noexcept {
  return Document().Store();
}

DomNodeType DomNode::NodeType() const noexcept {
  if (attribute_) return DomNodeType::Attribute;
  switch (pugi::xml_node(node_).type()) {
    case pugi::node_document:
      return DomNodeType::Document;
    case pugi::node_pcdata:
      return DomNodeType::Text;
    case pugi::node_cdata:
      return DomNodeType::CDataSection;
    case pugi::node_comment:
      return DomNodeType::Comment;
    case pugi::node_pi:
    case pugi::node_declaration:
      return DomNodeType::ProcessingInstruction;
    case pugi::node_doctype:
      return DomNodeType::DocumentType;
    default:
      return DomNodeType::Element;
  }
}

std::u16string_view DomNode::NodeTypeString() const noexcept {
  return KindOf(NodeType()).typeString;
}

std::u16string DomNode::NodeName() const {
  pugi::xml_node node(node_);
  switch (NodeType()) {
    case DomNodeType::Element:
    case DomNodeType::ProcessingInstruction:
      return FromUtf8(node.name());
    case DomNodeType::Attribute:
      return FromUtf8(pugi::xml_attribute(attribute_).name());
    case DomNodeType::DocumentType:
      return FromUtf8(DocTypeName(node.value()));
    default:
      return std::u16string(KindOf(NodeType()).fixedName);
  }
}

std::u16string DomNode::Prefix() const {
  DomNodeType type = NodeType();
  if (type != DomNodeType::Element && type != DomNodeType::Attribute) return {};
  std::u16string name = NodeName();
  std::size_t colon = name.find(u':');
  return colon == std::u16string::npos ? std::u16string() : name.substr(0, colon);
}

std::u16string DomNode::BaseName() const {
  DomNodeType type = NodeType();
  if (type == DomNodeType::ProcessingInstruction) return NodeName();
  if (type != DomNodeType::Element && type != DomNodeType::Attribute) return {};
  std::u16string name = NodeName();
  std::size_t colon = name.find(u':');
  return colon == std::u16string::npos ? name : name.substr(colon + 1);
}

std::u16string DomNode::NamespaceUri() const {
  DomNodeType type = NodeType();
  if (type != DomNodeType::Element && type != DomNodeType::Attribute) return {};
  std::u16string prefix = Prefix();
  if (type == DomNodeType::Attribute) {
    if (prefix == u"xmlns" || NodeName() == u"xmlns") return std::u16string(kXmlnsNamespace);
    if (prefix.empty()) return {};  // an unprefixed attribute is in no namespace
  }
  if (prefix == u"xml") return std::u16string(kXmlNamespace);
  // The nearest declaration of the prefix (or of the default namespace) on the element or
  // its ancestors (Namespaces in XML 1.0, section 6.1).
  std::string declaration = prefix.empty() ? "xmlns" : "xmlns:" + ToUtf8(prefix);
  for (pugi::xml_node e(node_); e && e.type() == pugi::node_element && !Store().IsHolder(e);
       e = e.parent()) {
    if (pugi::xml_attribute a = e.attribute(declaration.c_str())) return FromUtf8(a.value());
  }
  return {};
}

std::optional<std::u16string> DomNode::NodeValue() const {
  pugi::xml_node node(node_);
  switch (NodeType()) {
    case DomNodeType::Attribute:
      return FromUtf8(pugi::xml_attribute(attribute_).value());
    case DomNodeType::Text:
    case DomNodeType::CDataSection:
    case DomNodeType::Comment:
      return FromUtf8(node.value());
    case DomNodeType::ProcessingInstruction:
      return node.type() == pugi::node_declaration ? FromUtf8(DeclarationText(node))
                                                   : FromUtf8(node.value());
    default:
      return std::nullopt;
  }
}

void DomNode::SetNodeValue(std::u16string_view value) {
  pugi::xml_node node(node_);
  std::string text = ToUtf8(value);
  bool stored = false;
  switch (NodeType()) {
    case DomNodeType::Attribute:
      stored = pugi::xml_attribute(attribute_).set_value(text.c_str());
      break;
    case DomNodeType::Text:
    case DomNodeType::CDataSection:
    case DomNodeType::Comment:
      stored = node.set_value(text.c_str());
      break;
    case DomNodeType::ProcessingInstruction:
      if (node.type() == pugi::node_declaration)
        ThrowDomError(DomFault::WrongNodeType, u"xml declaration");
      stored = node.set_value(text.c_str());
      break;
    default:
      ThrowDomError(DomFault::WrongNodeType, NodeTypeString());
  }
  if (!stored) automation::ThrowError(automation::errc::kOutOfMemory);
}

std::u16string DomNode::Text() const {
  DomNodeType type = NodeType();
  if (type == DomNodeType::DocumentType) return {};
  if (type != DomNodeType::Element && type != DomNodeType::Document)
    return NodeValue().value_or(u"");
  std::string text;
  pugi::xml_node top(node_);
  for (pugi::xml_node n = top.first_child(); n;) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n != top && !n.next_sibling()) n = n.parent();
    n = n == top ? pugi::xml_node() : n.next_sibling();
  }
  return FromUtf8(Document().PreserveWhiteSpace() ? std::string_view(text) : TrimXmlSpace(text));
}

void DomNode::SetText(std::u16string_view text) {
  switch (NodeType()) {
    case DomNodeType::Element: {
      pugi::xml_node node(node_);
      for (pugi::xml_node child = node.first_child(); child;) {
        pugi::xml_node next = child.next_sibling();
        Store().Detach(child);
        child = next;
      }
      Store().Touch();
      if (!text.empty() && !node.append_child(pugi::node_pcdata).set_value(ToUtf8(text).c_str()))
        automation::ThrowError(automation::errc::kOutOfMemory);
      break;
    }
    case DomNodeType::Document:
    case DomNodeType::DocumentType:
      ThrowDomError(DomFault::WrongNodeType, NodeTypeString());
    default:
      SetNodeValue(text);
  }
}

std::u16string DomNode::Xml() const {
  pugi::xml_node node(node_);
  switch (NodeType()) {
    case DomNodeType::Document: {
      // Each top-level node on a line of its own.
      std::string text;
      for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        text += PrintRaw(child);
        text += "\r\n";
      }
      return FromUtf8(text);
    }
    case DomNodeType::Attribute: {
      pugi::xml_attribute a(attribute_);
      std::string text = a.name();
      text += "=\"";
      AppendAttributeValue(text, a.value());
      text += '"';
      return FromUtf8(text);
    }
    default:
      return FromUtf8(PrintRaw(node));
  }
}

Ref<DomNamedNodeMap> DomNode::Attributes() {
  if (!HoldsAttributes()) return {};
  return Ref<DomNamedNodeMap>(new DomNamedNodeMap(Ref<DomNode>(this)));
}

Ref<DomNodeList> DomNode::ChildNodes() {
  return DomNodeList::ChildrenOf(Ref<DomNode>(this));
}

Ref<DomNode> DomNode::FirstChild() const {
  return attribute_ ? Ref<DomNode>() : Store().Wrap(pugi::xml_node(node_).first_child());
}

Ref<DomNode> DomNode::LastChild() const {
  return attribute_ ? Ref<DomNode>() : Store().Wrap(pugi::xml_node(node_).last_child());
}

Ref<DomNode> DomNode::NextSibling() const {
  pugi::xml_node node(node_);
  // Free top-level nodes are side by side in their tree but not siblings in the DOM.
  if (attribute_ ||
      (node.parent().type() == pugi::node_document && node.parent() != Store().MainRoot()))
    return {};
  return Store().Wrap(node.next_sibling());
}

Ref<DomNode> DomNode::PreviousSibling() const {
  pugi::xml_node node(node_);
  if (attribute_ ||
      (node.parent().type() == pugi::node_document && node.parent() != Store().MainRoot()))
    return {};
  return Store().Wrap(node.previous_sibling());
}

Ref<DomNode> DomNode::ParentNode() const {
  if (attribute_) return {};
  return Store().Wrap(pugi::xml_node(node_).parent());
}

Ref<DomDocument> DomNode::OwnerDocument() const {
  return owner_;
}

bool DomNode::HasChildNodes() const noexcept {
  return !attribute_ && pugi::xml_node(node_).first_child();
}

bool DomNode::HoldsAttributes() const noexcept {
  auto type = pugi::xml_node(node_).type();
  return !attribute_ && (type == pugi::node_element || type == pugi::node_declaration);
}

void DomNode::RequireAttributeHost() const {
  if (!HoldsAttributes()) ThrowDomError(DomFault::WrongNodeType, NodeTypeString());
}

std::optional<std::u16string> DomNode::GetAttribute(std::u16string_view name) const {
  if (!HoldsAttributes()) return std::nullopt;
  pugi::xml_attribute a = pugi::xml_node(node_).attribute(ToUtf8(name).c_str());
  if (!a) return std::nullopt;
  return FromUtf8(a.value());
}

void DomNode::SetAttribute(std::u16string_view name, std::u16string_view value) {
  RequireAttributeHost();
  std::string key = CheckedName(name);
  pugi::xml_node node(node_);
  pugi::xml_attribute a = node.attribute(key.c_str());
  if (!a) {
    a = node.append_attribute(key.c_str());
    Store().Touch();
  }
  if (!a || !a.set_value(ToUtf8(value).c_str()))
    automation::ThrowError(automation::errc::kOutOfMemory);
}

void DomNode::RemoveAttribute(std::u16string_view name) {
  RequireAttributeHost();
  pugi::xml_node node(node_);
  if (pugi::xml_attribute a = node.attribute(ToUtf8(name).c_str()))
    Store().DetachAttribute(node, a);
}

Ref<DomNode> DomNode::GetAttributeNode(std::u16string_view name) {
  if (!HoldsAttributes()) return {};
  pugi::xml_node node(node_);
  return Store().Wrap(node.attribute(ToUtf8(name).c_str()), node);
}

Ref<DomNode> DomNode::SetAttributeNode(DomNode& attribute) {
  RequireAttributeHost();
  if (!attribute.attribute_) ThrowDomError(DomFault::WrongNodeType, attribute.NodeTypeString());
  if (attribute.node_ == node_) return {};  // already this element's
  DomStore& from = attribute.Store();
  pugi::xml_node holder(attribute.node_);
  if (!from.IsHolder(holder)) ThrowDomError(DomFault::AttributeInUse);
  pugi::xml_node node(node_);
  pugi::xml_attribute moving(attribute.attribute_);
  pugi::xml_attribute existing = node.attribute(moving.name());
  Ref<DomNode> replaced = Store().Wrap(existing, node);
  Store().MoveAttribute(from, holder, moving, node, existing);
  return replaced;
}

Ref<DomNode> DomNode::RemoveAttributeNode(DomNode& attribute) {
  RequireAttributeHost();
  if (!attribute.attribute_ || attribute.node_ != node_) ThrowDomError(DomFault::NotAChild);
  Store().DetachAttribute(pugi::xml_node(node_), pugi::xml_attribute(attribute.attribute_));
  return Ref<DomNode>(&attribute);
}

Ref<DomNode> DomNode::SelectSingleNode(std::u16string_view expression) {
  pugi::xpath_query query = Compile(expression);
  pugi::xml_node node(node_);
  pugi::xpath_node context =
      attribute_ ? pugi::xpath_node(pugi::xml_attribute(attribute_), node) : pugi::xpath_node(node);
  DomStore& store = Store();
  try {
    if (store.InMainTree(node)) {
      pugi::xpath_node found = query.evaluate_node(context);
      return found.attribute() ? store.Wrap(found.attribute(), found.parent())
                               : store.Wrap(found.node());
    }
  } catch (const std::bad_alloc&) {
    automation::ThrowError(automation::errc::kOutOfMemory);
  }
  // Outside the main tree the search must keep to this node's own tree.
  Ref<DomNodeList> all = SelectNodes(expression);
  return all->Item(0);
}

Ref<DomNodeList> DomNode::SelectNodes(std::u16string_view expression) {
  pugi::xpath_query query = Compile(expression);
  pugi::xml_node node(node_);
  pugi::xpath_node context =
      attribute_ ? pugi::xpath_node(pugi::xml_attribute(attribute_), node) : pugi::xpath_node(node);
  DomStore& store = Store();
  std::vector<Ref<DomNode>> nodes;
  try {
    pugi::xpath_node_set found = query.evaluate_node_set(context);
    found.sort();
    // Nodes outside the main tree share one pugixml tree with other free nodes; an
    // expression such as "//x" from one of them must not find the others.
    bool ownTreeOnly = !store.InMainTree(node);
    pugi::xml_node top = ownTreeOnly ? TopOf(node) : pugi::xml_node();
    nodes.reserve(found.size());
    for (const pugi::xpath_node& match : found) {
      pugi::xml_node at = match.attribute() ? match.parent() : match.node();
      if (ownTreeOnly && TopOf(at) != top) continue;
      Ref<DomNode> wrapped = match.attribute() ? store.Wrap(match.attribute(), match.parent())
                                               : store.Wrap(match.node());
      if (wrapped) nodes.push_back(std::move(wrapped));
    }
  } catch (const std::bad_alloc&) {
    automation::ThrowError(automation::errc::kOutOfMemory);
  }
  return DomNodeList::Fixed(std::move(nodes), DomNodeList::Kind::Selection);
}

Ref<DomNodeList> DomNode::GetElementsByTagName(std::u16string_view name) {
  std::vector<Ref<DomNode>> nodes;
  if (!attribute_) {
    std::string wanted = ToUtf8(name);
    bool all = wanted == "*";
    pugi::xml_node top(node_);
    for (pugi::xml_node n = top.first_child(); n;) {
      if (n.type() == pugi::node_element && (all || wanted == n.name()))
        nodes.push_back(Store().Wrap(n));
      if (n.first_child()) {
        n = n.first_child();
        continue;
      }
      while (n != top && !n.next_sibling()) n = n.parent();
      n = n == top ? pugi::xml_node() : n.next_sibling();
    }
  }
  return DomNodeList::Fixed(std::move(nodes), DomNodeList::Kind::Search);
}

Ref<DomNode> DomNode::CloneNode(CloneDepth depth) {
  DomStore& store = Store();
  pugi::xml_node node(node_);
  switch (NodeType()) {
    case DomNodeType::Document:
      return Document().CloneDocument(depth);
    case DomNodeType::Attribute: {
      pugi::xml_attribute source(attribute_);
      auto [copy, holder] = store.NewFreeAttribute(source.name());
      if (!copy.set_value(source.value())) automation::ThrowError(automation::errc::kOutOfMemory);
      return store.Wrap(copy, holder);
    }
    default:
      break;
  }
  if (depth == CloneDepth::Deep) return store.Wrap(store.CopyToFree(node));
  // A shallow copy keeps the node's name, value and attributes, not its children.
  pugi::xml_node copy = store.NewFreeNode(node.type());
  bool ok = true;
  if (*node.name()) ok = copy.set_name(node.name());
  if (ok && *node.value()) ok = copy.set_value(node.value());
  for (pugi::xml_attribute a = node.first_attribute(); a && ok; a = a.next_attribute())
    ok = copy.append_copy(a);
  if (!ok) automation::ThrowError(automation::errc::kOutOfMemory);
  return store.Wrap(copy);
}

void DomNode::CheckInsert(const DomNode& child, const DomNode* before,
                          const DomNode* replacing) const {
  DomNodeType parentType = NodeType();
  if (parentType != DomNodeType::Element && parentType != DomNodeType::Document)
    ThrowDomError(DomFault::WrongNodeType, NodeTypeString());
  DomNodeType childType = child.NodeType();
  if (childType == DomNodeType::Attribute || childType == DomNodeType::Document)
    ThrowDomError(DomFault::NotAllowedHere, child.NodeTypeString());
  pugi::xml_node parent(node_);
  pugi::xml_node moving(child.node_);
  if (before && (before->attribute_ || pugi::xml_node(before->node_).parent() != parent))
    ThrowDomError(DomFault::NotAChild);
  if (moving.root() == parent.root()) {
    for (pugi::xml_node p = parent; p; p = p.parent()) {
      if (p == moving) ThrowDomError(DomFault::HierarchyRequest);
    }
  }
  bool declaration = moving.type() == pugi::node_declaration;
  pugi::xml_node replaced = replacing ? pugi::xml_node(replacing->node_) : pugi::xml_node();
  if (parentType == DomNodeType::Element) {
    if (declaration || childType == DomNodeType::DocumentType)
      ThrowDomError(DomFault::NotAllowedHere, child.NodeTypeString());
    return;
  }
  // The document: one element, no text, the declaration first, one document type.
  if (childType == DomNodeType::Text || childType == DomNodeType::CDataSection)
    ThrowDomError(DomFault::NotAllowedHere, child.NodeTypeString());
  pugi::xml_node beforeNode = before ? pugi::xml_node(before->node_) : pugi::xml_node();
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
    if (c == moving || c == replaced) continue;
    if (c.type() == moving.type() &&
        (childType == DomNodeType::Element || childType == DomNodeType::DocumentType))
      ThrowDomError(
          childType == DomNodeType::Element ? DomFault::OnlyOneRoot : DomFault::NotAllowedHere,
          child.NodeTypeString());
    if (declaration && c.type() == pugi::node_declaration)
      ThrowDomError(DomFault::DeclarationNotFirst);
  }
  if (declaration) {
    // Nothing may stay in front of it.
    for (pugi::xml_node c = parent.first_child(); c && c != beforeNode; c = c.next_sibling()) {
      if (c != moving && c != replaced) ThrowDomError(DomFault::DeclarationNotFirst);
    }
  } else if (beforeNode && beforeNode.type() == pugi::node_declaration && beforeNode != replaced) {
    ThrowDomError(DomFault::DeclarationNotFirst);
  }
}

Ref<DomNode> DomNode::AppendChild(DomNode& child) {
  return InsertBefore(child, nullptr);
}

Ref<DomNode> DomNode::InsertBefore(DomNode& child, DomNode* before) {
  CheckInsert(child, before, nullptr);
  if (before != &child) {
    Store().Move(child.Store(), pugi::xml_node(child.node_), pugi::xml_node(node_),
                 before ? pugi::xml_node(before->node_) : pugi::xml_node());
  }
  return Ref<DomNode>(&child);
}

Ref<DomNode> DomNode::RemoveChild(DomNode& child) {
  if (attribute_ || child.attribute_ ||
      pugi::xml_node(child.node_).parent() != pugi::xml_node(node_))
    ThrowDomError(DomFault::NotAChild);
  Store().Detach(pugi::xml_node(child.node_));
  return Ref<DomNode>(&child);
}

Ref<DomNode> DomNode::ReplaceChild(DomNode& newChild, DomNode& oldChild) {
  if (attribute_ || oldChild.attribute_ ||
      pugi::xml_node(oldChild.node_).parent() != pugi::xml_node(node_))
    ThrowDomError(DomFault::NotAChild);
  if (&newChild == &oldChild) return Ref<DomNode>(&oldChild);
  CheckInsert(newChild, &oldChild, &oldChild);
  Store().Move(newChild.Store(), pugi::xml_node(newChild.node_), pugi::xml_node(node_),
               pugi::xml_node(oldChild.node_));
  Store().Detach(pugi::xml_node(oldChild.node_));
  return Ref<DomNode>(&oldChild);
}

const automation::ClassInfo* DomNode::Info() const noexcept {
  static const std::array<automation::ClassInfo, kNodeKinds.size()> tables = [] {
    std::array<automation::ClassInfo, kNodeKinds.size()> built;
    for (std::size_t i = 0; i < kNodeKinds.size(); ++i) built[i] = BuildNodeClass(kNodeKinds[i]);
    return built;
  }();
  return &tables[static_cast<std::size_t>(NodeType()) - 1];
}

automation::DispId DomNode::GetIdOfName(std::u16string_view name) const {
  return Info()->IdOfName(name);
}

Variant DomNode::Invoke(automation::DispId id, automation::InvokeKind kind,
                        std::span<Variant> args) {
  return Info()->Invoke(*this, id, kind, args);
}

std::u16string_view DomNode::TypeName() const {
  return Info()->name;
}

}  // namespace telvinor::xmldom
