#pragma once
// DomNodeList: a list of nodes, indexed from 0, as scripts use it: `list.length`,
// `list.item(i)` or just `list(i)` (item is the default member), For Each (dispatch id -4),
// and the cursor of `nextNode` / `reset`.
//
// The children of a node (childNodes) are a live list: each call sees the tree as it is, and
// walking it in order costs one step per item. Selections (selectNodes) and searches
// (getElementsByTagName) are fixed when made.

#include <cstdint>
#include <vector>

#include "automation/ClassInfo.h"
#include "xmldom/DomNode.h"

namespace telvinor::xmldom {

class DomNodeList final : public automation::AutomationObject<DomNodeList> {
 public:
  enum class Kind : std::uint8_t { Children, Selection, Search };

  [[nodiscard]] static Ref<DomNodeList> ChildrenOf(Ref<DomNode> parent);
  [[nodiscard]] static Ref<DomNodeList> Fixed(std::vector<Ref<DomNode>> nodes, Kind kind);

  [[nodiscard]] std::int32_t Length() const;
  // The node at `index`, or null when the index is out of range.
  [[nodiscard]] Ref<DomNode> Item(std::int32_t index) const;
  // The node at the cursor (then the cursor moves on), or null at the end.
  Ref<DomNode> NextNode();
  void Reset() noexcept { cursor_ = 0; }
  [[nodiscard]] Ref<automation::Enumerator> NewEnum();

  [[nodiscard]] static const automation::ClassInfo& Class();
  [[nodiscard]] std::u16string_view TypeName() const override;

 private:
  DomNodeList(Ref<DomNode> parent, std::vector<Ref<DomNode>> nodes, Kind kind)
      : parent_(std::move(parent)), nodes_(std::move(nodes)), kind_(kind) {}

  // Where the last lookup of a live list ended, valid while the document is unchanged.
  struct Position {
    const DomStore* store = nullptr;
    std::uint64_t version = 0;
    const pugi::xml_node_struct* parent = nullptr;
    std::int32_t index = -1;
    pugi::xml_node_struct* node = nullptr;
    std::int32_t length = -1;
  };
  [[nodiscard]] bool PositionValid() const noexcept;

  Ref<DomNode> parent_;              // a live list: the node whose children these are
  std::vector<Ref<DomNode>> nodes_;  // a fixed list
  Kind kind_;
  std::int32_t cursor_ = 0;
  mutable Position position_;
};

}  // namespace telvinor::xmldom
