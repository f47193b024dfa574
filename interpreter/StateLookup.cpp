#include "StateLookup.h"

namespace telvinor::interpreter {

using xmldom::DomNode;
using xmldom::DomNodeType;
using xmldom::Ref;

Ref<DomNode> FindState(xmldom::DomDocument& document, std::u16string_view id) {
  // Pre-order walk without recursion: a state document of any depth cannot exhaust the stack.
  Ref<DomNode> node = document.FirstChild();
  while (node) {
    if (node->NodeType() == DomNodeType::Element) {
      if (auto value = node->GetAttribute(kStateIdAttribute); value && *value == id) return node;
      if (Ref<DomNode> child = node->FirstChild()) {
        node = std::move(child);
        continue;
      }
    }
    // On to the next sibling, or to the next sibling of the nearest ancestor that has one.
    while (node) {
      if (Ref<DomNode> next = node->NextSibling()) {
        node = std::move(next);
        break;
      }
      node = node->ParentNode();
      if (node.get() == &document) node = nullptr;
    }
  }
  return nullptr;
}

}  // namespace telvinor::interpreter
