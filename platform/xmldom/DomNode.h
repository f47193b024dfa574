#pragma once
// DomNode: one node of an XML document (element, attribute, text, CDATA section, comment,
// processing instruction, document type) as scripts and C++ callers see it.
//
// A node object is a handle onto the document's tree. The document hands out one object per
// tree node, so the same node reached twice is the same object (VB's `Is` compares true), and
// a node object keeps its document alive. A node taken out of the tree (removed, replaced, or
// created and not inserted yet) stays usable and can be inserted again, in this document or
// in another one.
//
// Text is UTF-16 here, as VB strings are. Failed DOM operations throw AutomationError with a
// description (DomErrors.h). Scripts reach the same members by name through Dispatch; each
// node type has its own member table (an attribute has `value`, an element `getAttribute`),
// as the node interfaces scripts know have.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/ClassInfo.h"
#include "automation/Dispatch.h"

namespace pugi {
struct xml_node_struct;
struct xml_attribute_struct;
}  // namespace pugi

namespace telvinor::xmldom {

using automation::Ref;

class DomDocument;
class DomNamedNodeMap;
class DomNodeList;
class DomStore;

// The node type numbers scripts compare nodeType with.
enum class DomNodeType : std::int32_t {
  Element = 1,
  Attribute = 2,
  Text = 3,
  CDataSection = 4,
  EntityReference = 5,
  Entity = 6,
  ProcessingInstruction = 7,  // the XML declaration too (nodeName "xml")
  Comment = 8,
  Document = 9,
  DocumentType = 10,
  DocumentFragment = 11,
  Notation = 12,
};

enum class CloneDepth : std::uint8_t { Shallow, Deep };

class DomNode : public automation::Dispatch {
 public:
  [[nodiscard]] DomNodeType NodeType() const noexcept;
  // "element", "attribute", "text", "processinginstruction", ...
  [[nodiscard]] std::u16string_view NodeTypeString() const noexcept;
  // The qualified name as written ("a:b"), the target of a processing instruction, "xml" for
  // the declaration, or "#text", "#comment", "#cdata-section", "#document".
  [[nodiscard]] std::u16string NodeName() const;
  // The name without its namespace prefix; "" for nodes without a name.
  [[nodiscard]] std::u16string BaseName() const;
  [[nodiscard]] std::u16string Prefix() const;
  // The namespace the prefix (or the default namespace) is bound to where the node stands.
  [[nodiscard]] std::u16string NamespaceUri() const;

  // The value of an attribute, text, CDATA section, comment or processing instruction (the
  // declaration's pseudo-attributes as written); nothing for other nodes (scripts see Null).
  [[nodiscard]] std::optional<std::u16string> NodeValue() const;
  void SetNodeValue(std::u16string_view value);
  // The text of an element or document: all its descendant text and CDATA joined, without
  // leading and trailing white space unless the document preserves white space. The value of
  // other nodes.
  [[nodiscard]] std::u16string Text() const;
  // On an element, replaces all children with one text node.
  void SetText(std::u16string_view text);
  // The node as XML text.
  [[nodiscard]] std::u16string Xml() const;

  // The attributes of an element (or the declaration); null for other nodes.
  [[nodiscard]] Ref<DomNamedNodeMap> Attributes();
  // The children, always current (an attribute has none).
  [[nodiscard]] Ref<DomNodeList> ChildNodes();
  [[nodiscard]] Ref<DomNode> FirstChild() const;
  [[nodiscard]] Ref<DomNode> LastChild() const;
  [[nodiscard]] Ref<DomNode> NextSibling() const;
  [[nodiscard]] Ref<DomNode> PreviousSibling() const;
  // Null for the document, attributes and nodes outside the tree.
  [[nodiscard]] Ref<DomNode> ParentNode() const;
  // Null for the document itself.
  [[nodiscard]] Ref<DomDocument> OwnerDocument() const;
  [[nodiscard]] bool HasChildNodes() const noexcept;

  // Attributes of an element. GetAttribute gives nothing when the attribute is absent.
  [[nodiscard]] std::optional<std::u16string> GetAttribute(std::u16string_view name) const;
  void SetAttribute(std::u16string_view name, std::u16string_view value);
  void RemoveAttribute(std::u16string_view name);
  [[nodiscard]] Ref<DomNode> GetAttributeNode(std::u16string_view name);
  // Adds the attribute node, replacing one of the same name in its place; returns the
  // replaced one (now outside the tree) or null.
  Ref<DomNode> SetAttributeNode(DomNode& attribute);
  Ref<DomNode> RemoveAttributeNode(DomNode& attribute);

  // XPath 1.0 from this node: the first match in document order (or null), or every match in
  // document order. An invalid expression, or one that gives no node-set, throws.
  [[nodiscard]] Ref<DomNode> SelectSingleNode(std::u16string_view expression);
  [[nodiscard]] Ref<DomNodeList> SelectNodes(std::u16string_view expression);
  // The descendant elements with this name ("*": all), in document order.
  [[nodiscard]] Ref<DomNodeList> GetElementsByTagName(std::u16string_view name);

  // A copy outside the tree (a document clones into a new document).
  [[nodiscard]] Ref<DomNode> CloneNode(CloneDepth depth);
  // Tree changes on an element or document; a node already in a tree moves. Each returns
  // the node inserted, or for RemoveChild / ReplaceChild the node taken out.
  Ref<DomNode> AppendChild(DomNode& child);
  Ref<DomNode> InsertBefore(DomNode& child, DomNode* before);
  Ref<DomNode> RemoveChild(DomNode& child);
  Ref<DomNode> ReplaceChild(DomNode& newChild, DomNode& oldChild);

  // Dispatch: the member table of this node's type.
  [[nodiscard]] automation::DispId GetIdOfName(std::u16string_view name) const override;
  automation::Variant Invoke(automation::DispId id, automation::InvokeKind kind,
                             std::span<automation::Variant> args) override;
  [[nodiscard]] std::u16string_view TypeName() const override;
  [[nodiscard]] const automation::ClassInfo* Info() const noexcept override;

 protected:
  DomNode(Ref<DomDocument> owner, pugi::xml_node_struct* node,
          pugi::xml_attribute_struct* attribute) noexcept;
  ~DomNode() override;

  [[nodiscard]] DomDocument& Document() const noexcept;

 private:
  friend class DomDocument;
  friend class DomNamedNodeMap;
  friend class DomNodeList;
  friend class DomStore;

  [[nodiscard]] const void* Key() const noexcept;
  [[nodiscard]] DomStore& Store() const noexcept;
  [[nodiscard]] bool HoldsAttributes() const noexcept;
  void RequireAttributeHost() const;
  void CheckInsert(const DomNode& child, const DomNode* before, const DomNode* replacing) const;

  Ref<DomDocument> owner_;  // null for the document itself, which owns the tree
  // The node; for an attribute, the element that carries it (a hidden holder element when
  // the attribute is outside the tree).
  pugi::xml_node_struct* node_;
  pugi::xml_attribute_struct* attribute_;  // set for attribute nodes
};

}  // namespace telvinor::xmldom
