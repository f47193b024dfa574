#include "xmldom/DomNodeList.h"

#include <pugixml.hpp>

#include "xmldom/DomMembers.h"
#include "xmldom/DomStore.h"
#include "xmldom/IndexEnumerator.h"

namespace telvinor::xmldom {

Ref<DomNodeList> DomNodeList::ChildrenOf(Ref<DomNode> parent) {
  return Ref<DomNodeList>(new DomNodeList(std::move(parent), {}, Kind::Children));
}

Ref<DomNodeList> DomNodeList::Fixed(std::vector<Ref<DomNode>> nodes, Kind kind) {
  return Ref<DomNodeList>(new DomNodeList(nullptr, std::move(nodes), kind));
}

bool DomNodeList::PositionValid() const noexcept {
  const DomStore& store = parent_->Store();
  return position_.store == &store && position_.version == store.Version() &&
         position_.parent == parent_->node_;
}

std::int32_t DomNodeList::Length() const {
  if (!parent_) return static_cast<std::int32_t>(nodes_.size());
  if (parent_->attribute_) return 0;
  if (PositionValid() && position_.length >= 0) return position_.length;
  std::int32_t count = 0;
  for (pugi::xml_node c = pugi::xml_node(parent_->node_).first_child(); c; c = c.next_sibling())
    ++count;
  const DomStore& store = parent_->Store();
  if (!PositionValid()) position_ = Position{&store, store.Version(), parent_->node_};
  position_.length = count;
  return count;
}

Ref<DomNode> DomNodeList::Item(std::int32_t index) const {
  if (index < 0) return {};
  if (!parent_)
    return static_cast<std::size_t>(index) < nodes_.size() ? nodes_[static_cast<std::size_t>(index)]
                                                           : nullptr;
  if (parent_->attribute_) return {};
  // Walking the children in order, each step starts where the last one ended.
  DomStore& store = parent_->Store();
  pugi::xml_node node;
  std::int32_t at = 0;
  if (PositionValid() && position_.index >= 0 && position_.index <= index) {
    node = pugi::xml_node(position_.node);
    at = position_.index;
  } else {
    if (!PositionValid()) position_ = Position{&store, store.Version(), parent_->node_};
    node = pugi::xml_node(parent_->node_).first_child();
  }
  for (; node && at < index; ++at) node = node.next_sibling();
  if (!node) return {};
  position_.index = at;
  position_.node = node.internal_object();
  return store.Wrap(node);
}

Ref<DomNode> DomNodeList::NextNode() {
  Ref<DomNode> node = Item(cursor_);
  if (node) ++cursor_;
  return node;
}

Ref<automation::Enumerator> DomNodeList::NewEnum() {
  return Ref<automation::Enumerator>(new IndexEnumerator<DomNodeList>(Ref<DomNodeList>(this)));
}

std::u16string_view DomNodeList::TypeName() const {
  return kind_ == Kind::Selection ? std::u16string_view(u"IXMLDOMSelection")
                                  : std::u16string_view(Class().name);
}

const automation::ClassInfo& DomNodeList::Class() {
  using automation::Param;
  using automation::Variant;
  using automation::VarType;
  using Args = std::span<Variant>;
  static const automation::ClassInfo info =
      automation::ClassBuilder<DomNodeList>(u"IXMLDOMNodeList")
          .IndexedGet(u"item", dispid::kItem, {Param(u"index", VarType::Long)}, VarType::Object,
                      [](DomNodeList& l, Args a) { return l.Item(a[0].AsLong()); })
          .Get(u"length", dispid::kLength, VarType::Long, [](DomNodeList& l) { return l.Length(); })
          .Method(u"nextNode", dispid::kNextNode, {},
                  [](DomNodeList& l, Args) { return l.NextNode(); })
          .Method(u"reset", dispid::kReset, {}, [](DomNodeList& l, Args) { l.Reset(); })
          .Get(u"_newEnum", dispid::kNewEnum, VarType::Object,
               [](DomNodeList& l) { return l.NewEnum(); })
          .Build();
  return info;
}

}  // namespace telvinor::xmldom
