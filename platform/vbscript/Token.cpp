#include "vbscript/Token.h"

#include <algorithm>
#include <array>

namespace telvinor::vbscript {
namespace {

struct Spelling {
  Tok token;
  std::string_view text;
};

constexpr std::array kSpellings{
#define VBS_SPELL(name, text) Spelling{Tok::name, text},
    VBS_OTHER_TOKENS(VBS_SPELL) VBS_PUNCTUATION(VBS_SPELL) VBS_KEYWORDS(VBS_SPELL)
#undef VBS_SPELL
};

constexpr std::array kKeywords{
#define VBS_KEYWORD(name, text) Spelling{Tok::name, text},
    VBS_KEYWORDS(VBS_KEYWORD)
#undef VBS_KEYWORD
};

}  // namespace

std::string_view TokenText(Tok t) noexcept {
  for (const auto& s : kSpellings) {
    if (s.token == t) return s.text;
  }
  return "?";
}

Tok KeywordOf(std::u16string_view word) noexcept {
  // Keywords are 2 to 8 ASCII letters; anything else is an identifier without looking further.
  if (word.size() < 2 || word.size() > 8) return Tok::Identifier;
  char lower[8];
  for (std::size_t i = 0; i < word.size(); ++i) {
    char16_t c = word[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c < u'a' || c > u'z') return Tok::Identifier;
    lower[i] = static_cast<char>(c);
  }
  std::string_view w(lower, word.size());
  for (const auto& k : kKeywords) {
    if (k.text == w) return k.token;
  }
  return Tok::Identifier;
}

}  // namespace telvinor::vbscript
