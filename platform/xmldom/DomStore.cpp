#include "xmldom/DomStore.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "automation/AutomationError.h"
#include "xmldom/DomDocument.h"

namespace telvinor::xmldom {
namespace {

// The name of the hidden element that carries a free attribute. "#" cannot begin an element
// name, neither one the parser reads nor one createElement accepts, so no real element has it.
constexpr const char* kHolderName = "#attribute";

// Sweeping the free tree is not worth it for fewer free nodes than this.
constexpr std::size_t kMinSweepInterval = 64;

[[noreturn]] void OutOfMemory() {
  automation::ThrowError(automation::errc::kOutOfMemory);
}

// The next node after `node` in a pre-order walk of the subtree at `top`, or an empty handle.
pugi::xml_node NextInSubtree(pugi::xml_node node, pugi::xml_node top) {
  if (node.first_child()) return node.first_child();
  while (node != top) {
    if (node.next_sibling()) return node.next_sibling();
    node = node.parent();
  }
  return {};
}

}  // namespace

DomStore::DomStore(DomDocument& owner)
    : owner_(owner),
      main_(std::make_unique<pugi::xml_document>()),
      free_(freeTree_),
      sweepAfter_(kMinSweepInterval) {}

DomStore::~DomStore() = default;

bool DomStore::IsHolder(pugi::xml_node node) const noexcept {
  return node.type() == pugi::node_element && node.parent() == free_ &&
         std::strcmp(node.name(), kHolderName) == 0;
}

Ref<DomNode> DomStore::Wrap(pugi::xml_node node) {
  if (!node) return {};
  if (node == MainRoot()) return Ref<DomNode>(&owner_);
  if (node.type() == pugi::node_document || IsHolder(node)) return {};
  auto* key = node.internal_object();
  if (auto it = wrappers_.find(key); it != wrappers_.end()) return Ref<DomNode>(it->second);
  Ref<DomNode> made(new DomNode(Ref<DomDocument>(&owner_), key, nullptr));
  wrappers_.emplace(key, made.get());
  return made;
}

Ref<DomNode> DomStore::Wrap(pugi::xml_attribute attribute, pugi::xml_node element) {
  if (!attribute) return {};
  auto* key = attribute.internal_object();
  if (auto it = wrappers_.find(key); it != wrappers_.end()) return Ref<DomNode>(it->second);
  Ref<DomNode> made(new DomNode(Ref<DomDocument>(&owner_), element.internal_object(), key));
  wrappers_.emplace(key, made.get());
  return made;
}

void DomStore::Forget(const void* key) noexcept {
  wrappers_.erase(key);
}

void DomStore::InstallMain(std::unique_ptr<pugi::xml_document> tree) {
  bool reached = std::any_of(wrappers_.begin(), wrappers_.end(), [&](const auto& entry) {
    return InMainTree(pugi::xml_node(entry.second->node_));
  });
  if (reached) {
    NoteFreed();
    retired_.push_back(std::move(main_));
  }
  main_ = std::move(tree);
  owner_.node_ = main_->internal_object();
  ++version_;
}

pugi::xml_node DomStore::NewFreeNode(pugi::xml_node_type type) {
  NoteFreed();
  pugi::xml_node node = free_.append_child(type);
  if (!node) OutOfMemory();
  ++version_;
  return node;
}

pugi::xml_node DomStore::CopyToFree(pugi::xml_node node) {
  NoteFreed();
  pugi::xml_node copy = free_.append_copy(node);
  if (!copy) OutOfMemory();
  ++version_;
  return copy;
}

pugi::xml_node DomStore::NewHolder() {
  pugi::xml_node holder = NewFreeNode(pugi::node_element);
  if (!holder.set_name(kHolderName)) OutOfMemory();
  return holder;
}

std::pair<pugi::xml_attribute, pugi::xml_node> DomStore::NewFreeAttribute(const char* name) {
  pugi::xml_node holder = NewHolder();
  pugi::xml_attribute attribute = holder.append_attribute(name);
  if (!attribute) OutOfMemory();
  return {attribute, holder};
}

pugi::xml_node DomStore::Move(DomStore& from, pugi::xml_node node, pugi::xml_node parent,
                              pugi::xml_node before) {
  // Pointing node objects at this document may drop the last reference to the source.
  Ref<DomDocument> keepSource(&from.owner_);
  pugi::xml_node placed;
  if (node.root() == parent.root()) {
    placed = before ? parent.insert_move_before(node, before) : parent.append_move(node);
    if (!placed) OutOfMemory();
  } else {
    placed = before ? parent.insert_copy_before(node, before) : parent.append_copy(node);
    if (!placed) OutOfMemory();
    Adopt(from, node, placed);
    node.parent().remove_child(node);
    from.Touch();
  }
  if (parent == free_) ++freedSinceSweep_;
  ++version_;
  return placed;
}

void DomStore::Detach(pugi::xml_node node) {
  pugi::xml_node parent = node.parent();
  if (!parent || parent == free_) return;
  if (Reachable(node)) {
    Move(*this, node, free_, {});
  } else {
    parent.remove_child(node);
    ++version_;
  }
}

pugi::xml_attribute DomStore::MoveAttribute(DomStore& from, pugi::xml_node fromElement,
                                            pugi::xml_attribute attribute, pugi::xml_node to,
                                            pugi::xml_attribute replaced) {
  Ref<DomDocument> keepSource(&from.owner_);
  pugi::xml_attribute placed = replaced ? to.insert_attribute_after(attribute.name(), replaced)
                                        : to.append_attribute(attribute.name());
  if (!placed || !placed.set_value(attribute.value())) OutOfMemory();
  Repoint(from, attribute.internal_object(), to, placed);
  fromElement.remove_attribute(attribute);
  if (from.IsHolder(fromElement) && !fromElement.first_attribute())
    from.free_.remove_child(fromElement);
  from.Touch();
  if (replaced) DetachAttribute(to, replaced);
  ++version_;
  return placed;
}

void DomStore::DetachAttribute(pugi::xml_node element, pugi::xml_attribute attribute) {
  if (IsHolder(element)) return;
  if (wrappers_.count(attribute.internal_object())) {
    MoveAttribute(*this, element, attribute, NewHolder(), {});
  } else {
    element.remove_attribute(attribute);
    ++version_;
  }
}

bool DomStore::Reachable(pugi::xml_node subtree) const {
  if (wrappers_.empty()) return false;
  for (pugi::xml_node n = subtree; n; n = NextInSubtree(n, subtree)) {
    if (wrappers_.count(n.internal_object())) return true;
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
      if (wrappers_.count(a.internal_object())) return true;
    }
  }
  return false;
}

void DomStore::Adopt(DomStore& from, pugi::xml_node source, pugi::xml_node copy) {
  if (from.wrappers_.empty()) return;
  // pugixml copies a subtree node for node and attribute for attribute, so the two walks
  // stay in step.
  for (pugi::xml_node s = source, c = copy; s;
       s = NextInSubtree(s, source), c = NextInSubtree(c, copy)) {
    Repoint(from, s.internal_object(), c, {});
    for (pugi::xml_attribute sa = s.first_attribute(), ca = c.first_attribute(); sa;
         sa = sa.next_attribute(), ca = ca.next_attribute()) {
      Repoint(from, sa.internal_object(), c, ca);
    }
  }
}

void DomStore::Repoint(DomStore& from, const void* oldKey, pugi::xml_node node,
                       pugi::xml_attribute attribute) {
  auto it = from.wrappers_.find(oldKey);
  if (it == from.wrappers_.end()) return;
  DomNode* wrapper = it->second;
  from.wrappers_.erase(it);
  wrapper->node_ = node.internal_object();
  wrapper->attribute_ = attribute.internal_object();
  if (&from != this) wrapper->owner_ = Ref<DomDocument>(&owner_);
  const void* key = attribute ? static_cast<const void*>(attribute.internal_object())
                              : static_cast<const void*>(node.internal_object());
  wrappers_.emplace(key, wrapper);
}

void DomStore::NoteFreed() {
  if (++freedSinceSweep_ >= sweepAfter_) Sweep();
}

void DomStore::Sweep() {
  // Which free top-level nodes and retired trees a node object still reaches. The walk up
  // from each node object stops at a node already seen, so it costs at most one step per node
  // of the free tree.
  std::unordered_set<const void*> live;
  std::unordered_map<const void*, const void*> topOf;
  std::vector<pugi::xml_node> path;
  for (const auto& [key, wrapper] : wrappers_) {
    pugi::xml_node anchor(wrapper->node_);
    pugi::xml_node root = anchor.root();
    if (root == MainRoot()) continue;
    if (root != free_) {
      live.insert(root.internal_object());
      continue;
    }
    path.clear();
    pugi::xml_node n = anchor;
    const void* top = nullptr;
    while (true) {
      if (auto it = topOf.find(n.internal_object()); it != topOf.end()) {
        top = it->second;
        break;
      }
      path.push_back(n);
      if (n.parent() == free_) {
        top = n.internal_object();
        break;
      }
      n = n.parent();
    }
    for (auto& p : path) topOf.emplace(p.internal_object(), top);
    live.insert(top);
  }
  std::size_t kept = 0;
  for (pugi::xml_node child = free_.first_child(); child;) {
    pugi::xml_node next = child.next_sibling();
    if (live.count(child.internal_object())) {
      ++kept;
    } else {
      free_.remove_child(child);
    }
    child = next;
  }
  std::erase_if(retired_, [&](const auto& tree) { return !live.count(tree->internal_object()); });
  kept += retired_.size();
  freedSinceSweep_ = 0;
  sweepAfter_ = std::max({kMinSweepInterval, kept, wrappers_.size()});
  ++version_;
}

}  // namespace telvinor::xmldom
