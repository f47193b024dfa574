#pragma once
// Parser: tokens to a syntax tree, one function per grammar rule (each begins with its rule),
// operator precedence in one table. Errors are compile ScriptErrors with line and column.
// Nesting (blocks, parentheses, unary operators) is capped so that no source text, however
// deep, can exhaust the stack.

#include <memory>
#include <string_view>

#include "vbscript/Ast.h"

namespace telvinor::vbscript {

enum class ParseMode : std::uint8_t {
  Code,        // a module's code: declarations and statements
  Statements,  // statements only (ExecuteStatement, Execute): no Class, Sub or Function... allowed
               // as in Code; the distinction is kept for the callers' messages
  Expression,  // Eval: one expression
};

// Deepest nesting of blocks and parenthesised expressions the parser accepts.
inline constexpr int kMaxNesting = 200;
// Longest run of binary operators in one expression, and of ".member" / "(args)" after one
// name: each link nests the tree one level deeper, which the interpreter walks recursively.
inline constexpr int kMaxChain = 1000;

[[nodiscard]] automation::Ref<Program> Parse(std::u16string_view source, ParseMode mode);

}  // namespace telvinor::vbscript
