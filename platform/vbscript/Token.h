#pragma once
// The tokens of the language, listed once. Keywords carry their spelling; everything else
// (the keyword table, the token names in messages) is derived from these lists.

#include <cstdint>
#include <string_view>

namespace telvinor::vbscript {

// Reserved words: never an identifier except after "." (obj.Type, node.Text) and inside [ ].
// clang-format off
#define VBS_KEYWORDS(X) \
  X(And, "and") \
  X(As, "as") \
  X(ByRef, "byref") \
  X(ByVal, "byval") \
  X(Call, "call") \
  X(Case, "case") \
  X(Class, "class") \
  X(Const, "const") \
  X(Dim, "dim") \
  X(Do, "do") \
  X(Each, "each") \
  X(Else, "else") \
  X(ElseIf, "elseif") \
  X(Empty, "empty") \
  X(End, "end") \
  X(Eqv, "eqv") \
  X(Erase, "erase") \
  X(Exit, "exit") \
  X(False, "false") \
  X(For, "for") \
  X(Function, "function") \
  X(Get, "get") \
  X(GoTo, "goto") \
  X(If, "if") \
  X(Imp, "imp") \
  X(In, "in") \
  X(Is, "is") \
  X(Let, "let") \
  X(Loop, "loop") \
  X(Me, "me") \
  X(Mod, "mod") \
  X(New, "new") \
  X(Next, "next") \
  X(Not, "not") \
  X(Nothing, "nothing") \
  X(Null, "null") \
  X(On, "on") \
  X(Option, "option") \
  X(Or, "or") \
  X(Preserve, "preserve") \
  X(Private, "private") \
  X(Public, "public") \
  X(ReDim, "redim") \
  X(Resume, "resume") \
  X(Select, "select") \
  X(Set, "set") \
  X(Step, "step") \
  X(Stop, "stop") \
  X(Sub, "sub") \
  X(Then, "then") \
  X(To, "to") \
  X(True, "true") \
  X(Until, "until") \
  X(Wend, "wend") \
  X(While, "while") \
  X(With, "with") \
  X(Xor, "xor")

#define VBS_PUNCTUATION(X) \
  X(LParen, "(") \
  X(RParen, ")") \
  X(Comma, ",") \
  X(Dot, ".") \
  X(Equal, "=") \
  X(NotEqual, "<>") \
  X(Less, "<") \
  X(Greater, ">") \
  X(LessEqual, "<=") \
  X(GreaterEqual, ">=") \
  X(Plus, "+") \
  X(Minus, "-") \
  X(Star, "*") \
  X(Slash, "/") \
  X(Backslash, "\\") \
  X(Caret, "^") \
  X(Ampersand, "&")

#define VBS_OTHER_TOKENS(X) \
  X(EndOfFile, "end of script") \
  X(NewLine, "end of line") \
  X(Colon, ":") \
  X(Identifier, "identifier") \
  X(Integer, "integer") \
  X(Float, "number") \
  X(String, "string") \
  X(Date, "date")
// clang-format on

enum class Tok : std::uint8_t {
#define VBS_ENUM(name, text) name,
  VBS_OTHER_TOKENS(VBS_ENUM) VBS_PUNCTUATION(VBS_ENUM) FirstKeyword,
  VBS_KEYWORDS(VBS_ENUM)
#undef VBS_ENUM
      Count
};

// The spelling of a token ("and", "<>", "identifier") for messages.
[[nodiscard]] std::string_view TokenText(Tok t) noexcept;
// The keyword spelled by this word (any letter case), or Tok::Identifier.
[[nodiscard]] Tok KeywordOf(std::u16string_view word) noexcept;
[[nodiscard]] constexpr bool IsKeyword(Tok t) noexcept {
  return t > Tok::FirstKeyword && t < Tok::Count;
}

}  // namespace telvinor::vbscript
