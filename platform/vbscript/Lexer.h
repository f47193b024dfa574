#pragma once
// Lexer: source text to a list of tokens. The whole text is scanned up front (scripts are
// small, and the parser backs up over tokens to tell `Foo (a), b` from `Foo(a)`).
//
// Line continuations ("_" at the end of a line) and comments (' and Rem) are consumed here;
// the parser sees NewLine and Colon tokens as statement separators. A lexical error throws a
// compile ScriptError with its line and column.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vbscript/Token.h"

namespace telvinor::vbscript {

struct Token {
  Tok tok = Tok::EndOfFile;
  bool spaceBefore = false;  // blank before the token: `Foo (a)` as against `Foo(a)`
  std::uint32_t line = 1, column = 1;
  std::u16string text;  // identifier (as written) or string value
  double number = 0;    // Integer, Float and Date values
};

// Identifiers longer than this are refused, as the language refuses them.
inline constexpr std::size_t kMaxIdentifierLength = 255;

[[nodiscard]] std::vector<Token> Tokenize(std::u16string_view source);

}  // namespace telvinor::vbscript
