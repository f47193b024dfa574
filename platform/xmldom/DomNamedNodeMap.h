#pragma once
// DomNamedNodeMap: the attributes of an element in document order, by index or by name, as
// scripts use `node.attributes`: `length`, `item(i)` (the default member), `getNamedItem`,
// `setNamedItem` (replace or add), `removeNamedItem`, For Each and `nextNode` / `reset`.
// Always current: it reads the element's attributes at each call.

#include <cstdint>
#include <string_view>

#include "automation/ClassInfo.h"
#include "xmldom/DomNode.h"

namespace telvinor::xmldom {

class DomNamedNodeMap final : public automation::AutomationObject<DomNamedNodeMap> {
 public:
  explicit DomNamedNodeMap(Ref<DomNode> element) : element_(std::move(element)) {}

  [[nodiscard]] std::int32_t Length() const;
  // The attribute at `index` in document order, or null.
  [[nodiscard]] Ref<DomNode> Item(std::int32_t index) const;
  [[nodiscard]] Ref<DomNode> GetNamedItem(std::u16string_view name) const;
  // Adds the attribute, replacing one of the same name in its place; returns it.
  Ref<DomNode> SetNamedItem(DomNode& attribute);
  // Takes the named attribute out and returns it (usable elsewhere), or null.
  Ref<DomNode> RemoveNamedItem(std::u16string_view name);
  Ref<DomNode> NextNode();
  void Reset() noexcept { cursor_ = 0; }
  [[nodiscard]] Ref<automation::Enumerator> NewEnum();

  [[nodiscard]] static const automation::ClassInfo& Class();

 private:
  Ref<DomNode> element_;
  std::int32_t cursor_ = 0;
};

}  // namespace telvinor::xmldom
