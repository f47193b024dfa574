#pragma once
// IndexEnumerator (internal to the DOM library): For Each over a DOM list by index, asking the
// list for item 0, 1, 2, ... until it gives null. A live list therefore shows the tree as it
// is at each step, as scripts that change the tree inside the loop expect.

#include <cstdint>

#include "automation/Dispatch.h"
#include "automation/Variant.h"

namespace telvinor::xmldom {

template <class List>
class IndexEnumerator final : public automation::Enumerator {
 public:
  explicit IndexEnumerator(Ref<List> list) : list_(std::move(list)) {}

  bool Next(automation::Variant& item) override {
    auto node = list_->Item(next_);
    if (!node) return false;
    ++next_;
    item = automation::Variant(node);
    return true;
  }
  void Reset() override { next_ = 0; }

 private:
  Ref<List> list_;
  std::int32_t next_ = 0;
};

}  // namespace telvinor::xmldom
