#pragma once
// Binder: the compiler pass between parser and interpreter. It gives every procedure its
// frame layout (result, parameters, Dim'd and implicit variables as numbered slots), binds
// each name to a slot, a field, a member procedure, a constant or a run-time global lookup,
// folds constants, and builds the member tables of classes. Errors are compile ScriptErrors.

#include "vbscript/Ast.h"

namespace telvinor::vbscript {

struct BindScope {
  // Code run by Execute or Eval inside a procedure sees that procedure's variables.
  const Procedure* enclosing = nullptr;
  ClassDecl* enclosingClass = nullptr;
};

void Bind(Program& program, Module& module, const BindScope& scope);

// A name's index among a class's members, or -1.
[[nodiscard]] int FindMember(const ClassDecl& cls, std::u16string_view folded);

}  // namespace telvinor::vbscript
