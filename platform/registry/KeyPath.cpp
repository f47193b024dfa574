#include "registry/KeyPath.h"

#include <locale.h>
#include <wctype.h>

namespace telvinor::registry {
namespace {

// Full Unicode case mapping comes from the C library's UTF-8 locale data; without it (a
// stripped system) ASCII and Latin-1 still fold, which covers every name the toolkit writes.
locale_t CaseLocale() {
  static const locale_t locale =
      newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

char16_t Upper(char16_t c, locale_t locale) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;  // halves of a pair have no case
  if (locale) {
    auto u = towupper_l(static_cast<wint_t>(c), locale);
    return u <= 0xFFFF ? static_cast<char16_t>(u) : c;
  }
  return (c >= 0xE0 && c <= 0xFE && c != 0xF7) ? static_cast<char16_t>(c - 32) : c;
}

}  // namespace

const RootInfo* RootByHandle(HKEY handle) noexcept {
  for (const auto& r : kRoots) {
    if (r.handle == handle) return &r;
  }
  return nullptr;
}

const RootInfo* RootByName(std::u16string_view name) noexcept {
  std::u16string key = NameKey(name);
  for (const auto& r : kRoots) {
    if (key == NameKey(r.name) || key == NameKey(r.shortName)) return &r;
  }
  return nullptr;
}

const RootInfo& RootOfTree(HiveTree tree) noexcept {
  for (const auto& r : kRoots) {
    if (r.tree == tree && r.base.empty()) return r;
  }
  return kRoots[2];
}

std::u16string NameKey(std::u16string_view name) {
  locale_t locale = CaseLocale();
  std::u16string key(name);
  for (auto& c : key) c = Upper(c, locale);
  return key;
}

SplitPath SplitKeyPath(std::u16string_view path) {
  SplitPath result;
  if (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
  if (path.empty()) return result;
  std::size_t start = 0;
  while (true) {
    std::size_t end = path.find(u'\\', start);
    std::u16string_view name =
        path.substr(start, end == std::u16string_view::npos ? path.npos : end - start);
    if (name.empty()) {
      result.error = PathError::Malformed;
      return result;
    }
    for (char16_t c : name) {
      if (c < 0x20 || c == 0x7F) {
        result.error = PathError::Malformed;
        return result;
      }
    }
    if (name.size() > kMaxKeyNameLength) {
      result.error = PathError::NameTooLong;
      return result;
    }
    result.names.emplace_back(name);
    if (result.names.size() > kMaxKeyDepth) {
      result.error = PathError::Malformed;
      return result;
    }
    if (end == std::u16string_view::npos) break;
    start = end + 1;
  }
  return result;
}

std::optional<FullKeyPath> ParseFullKeyPath(std::u16string_view path) {
  std::size_t slash = path.find(u'\\');
  const RootInfo* root = RootByName(path.substr(0, slash));
  if (!root) return std::nullopt;
  SplitPath rest = SplitKeyPath(slash == std::u16string_view::npos ? std::u16string_view()
                                                                   : path.substr(slash + 1));
  if (rest.error != PathError::None) return std::nullopt;
  // "HKLM\" names the root itself, but "HKLM\\" (an empty name) does not.
  if (slash != std::u16string_view::npos && rest.names.empty() && path.size() > slash + 1)
    return std::nullopt;
  return FullKeyPath{root, std::move(rest.names)};
}

std::u16string FullKeyPathText(const RootInfo& root, std::span<const std::u16string> names) {
  std::u16string text(root.name);
  for (const auto& n : names) {
    text += u'\\';
    text += n;
  }
  return text;
}

}  // namespace telvinor::registry
