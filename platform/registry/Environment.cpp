#include "registry/Environment.h"

#include <cstdlib>
#include <cstring>

#include "registry/KeyPath.h"
#include "registry/RegFile.h"
#include "text/AnsiText.h"
#include "text/Utf8.h"

extern char** environ;

namespace telvinor::registry {

std::u16string ExpandEnvironmentText(std::u16string_view text, const EnvironmentLookup& lookup) {
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t open = text.find(u'%', i);
    if (open == std::u16string_view::npos) break;
    std::size_t close = text.find(u'%', open + 1);
    if (close == std::u16string_view::npos) break;
    out.append(text.substr(i, open - i));
    std::u16string_view name = text.substr(open + 1, close - open - 1);
    std::optional<std::u16string> value = name.empty() ? std::nullopt : lookup(name);
    if (value) {
      out += *value;
      i = close + 1;
    } else {
      out.append(text.substr(open, close - open));
      i = close;
    }
  }
  out.append(text.substr(i));
  return out;
}

std::optional<std::u16string> ProcessEnvironmentVariable(std::u16string_view name) {
  std::string narrow = text::ToUtf8(name);
  if (const char* v = std::getenv(narrow.c_str())) return text::FromUtf8(v);
  std::u16string key = NameKey(name);
  for (char** e = environ; e && *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (!eq) continue;
    if (NameKey(text::FromUtf8(std::string_view(*e, static_cast<std::size_t>(eq - *e)))) == key)
      return text::FromUtf8(eq + 1);
  }
  return std::nullopt;
}

DWORD ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, DWORD nSize) {
  if (!lpSrc) return 0;
  std::string expanded =
      text::ToAnsi(ExpandEnvironmentText(text::FromAnsi(lpSrc), ProcessEnvironmentVariable));
  auto needed = static_cast<DWORD>(expanded.size() + 1);
  if (lpDst && nSize >= needed) std::memcpy(lpDst, expanded.c_str(), needed);
  return needed;
}

}  // namespace telvinor::registry
