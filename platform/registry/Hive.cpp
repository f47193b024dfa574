#include "registry/Hive.h"

namespace telvinor::registry {
namespace {

// The keys Windows always has and never lets a program delete, as names below HKEY_LOCAL_MACHINE.
constexpr std::u16string_view kSoftware = u"SOFTWARE";
constexpr std::u16string_view kClasses = u"Classes";

}  // namespace

Hive::Hive() {
  for (std::size_t i = 0; i < kHiveTreeCount; ++i) {
    trees_[i] =
        std::make_unique<HiveKey>(std::u16string(RootOfTree(static_cast<HiveTree>(i)).name));
  }
  bool created = false;
  Tree(HiveTree::LocalMachine).CreateChild(kSoftware, created).CreateChild(kClasses, created);
}

std::vector<std::u16string> Hive::TreeNames(const RootInfo& root,
                                            std::span<const std::u16string> names) {
  std::vector<std::u16string> all = SplitKeyPath(root.base).names;
  all.insert(all.end(), names.begin(), names.end());
  return all;
}

HiveKey* Hive::Find(const RootInfo& root, std::span<const std::u16string> names) noexcept {
  return const_cast<HiveKey*>(static_cast<const Hive*>(this)->Find(root, names));
}

const HiveKey* Hive::Find(const RootInfo& root,
                          std::span<const std::u16string> names) const noexcept {
  const HiveKey* key = &Tree(root.tree);
  if (!root.base.empty()) {
    for (const auto& n : SplitKeyPath(root.base).names) {
      key = key->Child(n);
      if (!key) return nullptr;
    }
  }
  for (const auto& n : names) {
    key = key->Child(n);
    if (!key) return nullptr;
  }
  return key;
}

HiveKey* Hive::Create(const RootInfo& root, std::span<const std::u16string> names, bool& created) {
  created = false;
  std::vector<std::u16string> all = TreeNames(root, names);
  if (all.size() > kMaxKeyDepth) return nullptr;
  HiveKey* key = &Tree(root.tree);
  for (const auto& n : all) key = &key->CreateChild(n, created);
  return key;
}

DeleteResult Hive::Delete(const RootInfo& root, std::span<const std::u16string> names,
                          DeleteMode mode) {
  std::vector<std::u16string> all = TreeNames(root, names);
  if (all.empty()) return DeleteResult::Protected;
  if (root.tree == HiveTree::LocalMachine && all.size() <= 2 &&
      NameKey(all[0]) == NameKey(kSoftware) &&
      (all.size() == 1 || NameKey(all[1]) == NameKey(kClasses)))
    return DeleteResult::Protected;
  HiveKey* parent = &Tree(root.tree);
  for (std::size_t i = 0; i + 1 < all.size(); ++i) {
    parent = parent->Child(all[i]);
    if (!parent) return DeleteResult::NotFound;
  }
  const HiveKey* key = parent->Child(all.back());
  if (!key) return DeleteResult::NotFound;
  if (mode == DeleteMode::KeyWithoutSubkeys && !key->Children().empty())
    return DeleteResult::HasSubkeys;
  parent->RemoveChild(all.back());
  return DeleteResult::Deleted;
}

bool Hive::SameContent(const Hive& other) const {
  for (std::size_t i = 0; i < kHiveTreeCount; ++i) {
    if (!trees_[i]->SameContent(*other.trees_[i])) return false;
  }
  return true;
}

}  // namespace telvinor::registry
