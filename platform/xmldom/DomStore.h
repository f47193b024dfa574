#pragma once
// DomStore (internal to the DOM library): where a document's nodes live, and the one node
// object per node.
//
// pugixml keeps one tree per xml_document, destroys a node as soon as it is removed, and
// cannot move a node between documents. The DOM needs nodes outside the tree (created and not
// yet inserted, removed, cloned) that stay usable, and nodes that move between documents. So a
// document keeps three kinds of pugixml trees:
// - the main tree: the document itself;
// - the free tree, whose top-level nodes are the nodes outside the main tree; an attribute
//   outside any element sits alone on a hidden holder element there, since pugixml keeps
//   attributes only on elements;
// - retired trees: earlier contents of a reloaded document that a node object still reaches.
// Within one tree a node moves with pugixml's move operations; between trees it is copied and
// the node objects inside are pointed at the copy, so identity survives. Free top-level nodes
// and retired trees that no node object reaches are dropped from time to time, the work
// amortised against the nodes made free.
//
// Node objects are found by the address of pugixml's record of the node (or attribute); a node
// object leaves the map when its last reference goes. No node object ever points at a record
// that pugixml has freed: everything that removes nodes goes through this class.

#include <pugixml.hpp>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "xmldom/DomNode.h"

namespace telvinor::xmldom {

class DomStore {
 public:
  explicit DomStore(DomDocument& owner);
  ~DomStore();
  DomStore(const DomStore&) = delete;
  DomStore& operator=(const DomStore&) = delete;

  [[nodiscard]] pugi::xml_node MainRoot() const noexcept { return *main_; }
  [[nodiscard]] pugi::xml_node FreeRoot() const noexcept { return free_; }
  [[nodiscard]] bool InMainTree(pugi::xml_node node) const noexcept {
    return node.root() == MainRoot();
  }
  [[nodiscard]] bool IsHolder(pugi::xml_node node) const noexcept;

  // The node object of a node (null for an empty handle, a hidden holder or the root of a
  // tree other than the main one; the document object for the main root).
  [[nodiscard]] Ref<DomNode> Wrap(pugi::xml_node node);
  [[nodiscard]] Ref<DomNode> Wrap(pugi::xml_attribute attribute, pugi::xml_node element);
  void Forget(const void* key) noexcept;

  // Makes `tree` the main tree; the old one is retired when a node object still reaches it.
  void InstallMain(std::unique_ptr<pugi::xml_document> tree);

  // New nodes outside the tree. Each throws AutomationError 7 when memory runs out.
  [[nodiscard]] pugi::xml_node NewFreeNode(pugi::xml_node_type type);
  [[nodiscard]] pugi::xml_node CopyToFree(pugi::xml_node node);
  [[nodiscard]] std::pair<pugi::xml_attribute, pugi::xml_node> NewFreeAttribute(const char* name);

  // Moves `node` (from this store or another document's) to `parent` (in this store) before
  // `before` (empty: last); returns the node's record here. Constraints are the caller's.
  pugi::xml_node Move(DomStore& from, pugi::xml_node node, pugi::xml_node parent,
                      pugi::xml_node before);
  // Takes a node out of its tree: into the free tree when a node object reaches it, else gone.
  void Detach(pugi::xml_node node);
  // Moves an attribute onto `to`, in the place of `replaced` (which is then taken out) or last.
  pugi::xml_attribute MoveAttribute(DomStore& from, pugi::xml_node fromElement,
                                    pugi::xml_attribute attribute, pugi::xml_node to,
                                    pugi::xml_attribute replaced);
  void DetachAttribute(pugi::xml_node element, pugi::xml_attribute attribute);

  // Changes whenever the shape of any tree of this document changes (live lists cache by it).
  [[nodiscard]] std::uint64_t Version() const noexcept { return version_; }
  void Touch() noexcept { ++version_; }

 private:
  [[nodiscard]] bool Reachable(pugi::xml_node subtree) const;
  void Adopt(DomStore& from, pugi::xml_node source, pugi::xml_node copy);
  void Repoint(DomStore& from, const void* oldKey, pugi::xml_node node,
               pugi::xml_attribute attribute);
  [[nodiscard]] pugi::xml_node NewHolder();
  void NoteFreed();
  void Sweep();

  DomDocument& owner_;
  std::unique_ptr<pugi::xml_document> main_;
  pugi::xml_document freeTree_;
  pugi::xml_node free_;
  std::vector<std::unique_ptr<pugi::xml_document>> retired_;
  std::unordered_map<const void*, DomNode*> wrappers_;
  std::uint64_t version_ = 0;
  std::size_t freedSinceSweep_ = 0;
  std::size_t sweepAfter_;
};

}  // namespace telvinor::xmldom
