#pragma once
// Key paths and the predefined roots.
//
// The roots are listed once (kRoots): handle value, the full name that .reg files and the reg
// command print, the short name the reg command accepts, and where the root's keys live in
// the hive. HKEY_CLASSES_ROOT has no tree of its own: as on Windows it is a view of
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes, so a class written through either root is one key.
//
// Names are compared without regard to case and kept as first written (NameKey()).

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegTypes.h"

namespace telvinor::registry {

// The trees a hive file holds.
enum class HiveTree : std::uint8_t { LocalMachine, CurrentUser, Users };
inline constexpr std::size_t kHiveTreeCount = 3;

struct RootInfo {
  HKEY handle;
  std::u16string_view name;       // "HKEY_LOCAL_MACHINE"
  std::u16string_view shortName;  // "HKLM"
  HiveTree tree;
  std::u16string_view base;  // path inside the tree where the root's keys start
};

inline constexpr std::array<RootInfo, 4> kRoots{{
    {HKEY_CLASSES_ROOT, u"HKEY_CLASSES_ROOT", u"HKCR", HiveTree::LocalMachine,
     u"SOFTWARE\\Classes"},
    {HKEY_CURRENT_USER, u"HKEY_CURRENT_USER", u"HKCU", HiveTree::CurrentUser, u""},
    {HKEY_LOCAL_MACHINE, u"HKEY_LOCAL_MACHINE", u"HKLM", HiveTree::LocalMachine, u""},
    {HKEY_USERS, u"HKEY_USERS", u"HKU", HiveTree::Users, u""},
}};

[[nodiscard]] const RootInfo* RootByHandle(HKEY handle) noexcept;
// By full or short name, without regard to case.
[[nodiscard]] const RootInfo* RootByName(std::u16string_view name) noexcept;
// The root that is the tree itself (HKEY_LOCAL_MACHINE for its tree, not the classes view).
[[nodiscard]] const RootInfo& RootOfTree(HiveTree tree) noexcept;

// The form under which names are compared: upper case, as Windows compares key and value
// names (and orders subkeys). Letters of every script with case are folded, not only ASCII.
[[nodiscard]] std::u16string NameKey(std::u16string_view name);

// Why a key path was refused.
enum class PathError : std::uint8_t { None, Malformed, NameTooLong };

// Splits a path below a key ("Software\Brenlow\Ostrel") into its names. The empty path names
// the key itself; one trailing backslash is allowed. A leading backslash, an empty name
// between two backslashes, a control character or more than 512 names make the path
// Malformed; a name of more than 255 characters is NameTooLong.
struct SplitPath {
  std::vector<std::u16string> names;
  PathError error = PathError::None;
};
[[nodiscard]] SplitPath SplitKeyPath(std::u16string_view path);

// A full path: a root (full or short name) and the names below it, "HKLM\Software\X".
struct FullKeyPath {
  const RootInfo* root = nullptr;
  std::vector<std::u16string> names;
};
[[nodiscard]] std::optional<FullKeyPath> ParseFullKeyPath(std::u16string_view path);
// "HKEY_LOCAL_MACHINE\Software\X": the root's full name and the names.
[[nodiscard]] std::u16string FullKeyPathText(const RootInfo& root,
                                             std::span<const std::u16string> names);

}  // namespace telvinor::registry
