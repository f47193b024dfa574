#include "xmldom/DomNamedNodeMap.h"

#include <pugixml.hpp>

#include "xmldom/DomMembers.h"
#include "xmldom/DomStore.h"
#include "xmldom/IndexEnumerator.h"

namespace telvinor::xmldom {

std::int32_t DomNamedNodeMap::Length() const {
  std::int32_t count = 0;
  for (pugi::xml_attribute a = pugi::xml_node(element_->node_).first_attribute(); a;
       a = a.next_attribute())
    ++count;
  return count;
}

Ref<DomNode> DomNamedNodeMap::Item(std::int32_t index) const {
  if (index < 0) return {};
  pugi::xml_node element(element_->node_);
  pugi::xml_attribute a = element.first_attribute();
  for (std::int32_t at = 0; a && at < index; ++at) a = a.next_attribute();
  return element_->Store().Wrap(a, element);
}

Ref<DomNode> DomNamedNodeMap::GetNamedItem(std::u16string_view name) const {
  return element_->GetAttributeNode(name);
}

Ref<DomNode> DomNamedNodeMap::SetNamedItem(DomNode& attribute) {
  element_->SetAttributeNode(attribute);
  return Ref<DomNode>(&attribute);
}

Ref<DomNode> DomNamedNodeMap::RemoveNamedItem(std::u16string_view name) {
  Ref<DomNode> attribute = element_->GetAttributeNode(name);
  if (attribute) element_->RemoveAttributeNode(*attribute);
  return attribute;
}

Ref<DomNode> DomNamedNodeMap::NextNode() {
  Ref<DomNode> node = Item(cursor_);
  if (node) ++cursor_;
  return node;
}

Ref<automation::Enumerator> DomNamedNodeMap::NewEnum() {
  return Ref<automation::Enumerator>(
      new IndexEnumerator<DomNamedNodeMap>(Ref<DomNamedNodeMap>(this)));
}

const automation::ClassInfo& DomNamedNodeMap::Class() {
  using automation::Param;
  using automation::Variant;
  using automation::VarType;
  using Args = std::span<Variant>;
  static const automation::ClassInfo info =
      automation::ClassBuilder<DomNamedNodeMap>(u"IXMLDOMNamedNodeMap")
          .IndexedGet(u"item", dispid::kItem, {Param(u"index", VarType::Long)}, VarType::Object,
                      [](DomNamedNodeMap& m, Args a) { return m.Item(a[0].AsLong()); })
          .Get(u"length", dispid::kLength, VarType::Long,
               [](DomNamedNodeMap& m) { return m.Length(); })
          .Method(u"getNamedItem", dispid::kGetNamedItem, {Param(u"name", VarType::String)},
                  [](DomNamedNodeMap& m, Args a) { return m.GetNamedItem(a[0].AsString()); })
          .Method(u"setNamedItem", dispid::kSetNamedItem, {Param(u"newItem")},
                  [](DomNamedNodeMap& m, Args a) { return m.SetNamedItem(NodeArg(a[0])); })
          .Method(u"removeNamedItem", dispid::kRemoveNamedItem, {Param(u"name", VarType::String)},
                  [](DomNamedNodeMap& m, Args a) { return m.RemoveNamedItem(a[0].AsString()); })
          .Method(u"nextNode", dispid::kNextNode, {},
                  [](DomNamedNodeMap& m, Args) { return m.NextNode(); })
          .Method(u"reset", dispid::kReset, {}, [](DomNamedNodeMap& m, Args) { m.Reset(); })
          .Get(u"_newEnum", dispid::kNewEnum, VarType::Object,
               [](DomNamedNodeMap& m) { return m.NewEnum(); })
          .Build();
  return info;
}

}  // namespace telvinor::xmldom
