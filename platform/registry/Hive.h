#pragma once
// The whole registry in memory: the trees of HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and
// HKEY_USERS, reached through any of the four roots (KeyPath.h). Pure: files are HiveStore's.

#include <array>
#include <memory>
#include <span>
#include <string>

#include "registry/HiveKey.h"
#include "registry/KeyPath.h"

namespace telvinor::registry {

enum class DeleteMode : std::uint8_t { KeyWithoutSubkeys, Tree };
enum class DeleteResult : std::uint8_t { Deleted, NotFound, HasSubkeys, Protected };

class Hive {
 public:
  // A registry with the keys every installation has: HKEY_LOCAL_MACHINE\SOFTWARE\Classes,
  // behind HKEY_CLASSES_ROOT.
  Hive();

  [[nodiscard]] HiveKey& Tree(HiveTree tree) noexcept {
    return *trees_[static_cast<std::size_t>(tree)];
  }
  [[nodiscard]] const HiveKey& Tree(HiveTree tree) const noexcept {
    return *trees_[static_cast<std::size_t>(tree)];
  }

  // The key at these names below the root, or null.
  [[nodiscard]] HiveKey* Find(const RootInfo& root, std::span<const std::u16string> names) noexcept;
  [[nodiscard]] const HiveKey* Find(const RootInfo& root,
                                    std::span<const std::u16string> names) const noexcept;
  // The key, made with any missing keys above it; `created` tells whether it is new. Null
  // when it would lie deeper than kMaxKeyDepth below its tree's top.
  HiveKey* Create(const RootInfo& root, std::span<const std::u16string> names, bool& created);
  // A root and the keys every installation has (SOFTWARE, SOFTWARE\Classes) are Protected.
  DeleteResult Delete(const RootInfo& root, std::span<const std::u16string> names, DeleteMode mode);

  [[nodiscard]] bool SameContent(const Hive& other) const;

 private:
  // The names from the tree's top: the root's base, then `names`.
  [[nodiscard]] static std::vector<std::u16string> TreeNames(const RootInfo& root,
                                                             std::span<const std::u16string> names);

  std::array<std::unique_ptr<HiveKey>, kHiveTreeCount> trees_;
};

}  // namespace telvinor::registry
