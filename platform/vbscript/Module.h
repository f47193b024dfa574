#pragma once
// Module: one namespace of script code (the global module, or one the host added by name):
// its variables, constants, procedures and classes, and the compiled code that owns them.

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vbscript/Ast.h"

namespace telvinor::vbscript {

class Engine;

struct Symbol {
  GlobalKind kind = GlobalKind::Variable;  // Variable, Constant, Procedure or Class
  Variant* var = nullptr;
  Procedure* proc = nullptr;
  ClassDecl* cls = nullptr;
};

class Module {
 public:
  Module(Engine& engine, std::u16string name) : engine_(engine), name_(std::move(name)) {}
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  [[nodiscard]] const std::u16string& Name() const noexcept { return name_; }
  [[nodiscard]] Engine& Owner() const noexcept { return engine_; }

  // Names are folded (lower-cased) keys.
  [[nodiscard]] const Symbol* Find(std::u16string_view folded) const;
  // The variable of that name, created (Empty) when missing; an existing constant or procedure
  // of that name is refused (Name redefined).
  Variant& DeclareVariable(const std::u16string& folded);
  void DeclareConstant(const std::u16string& folded, const Variant& value);
  // A later definition of a procedure or class replaces an earlier one, as adding code does.
  void DeclareProcedure(Procedure& proc);
  void DeclareClass(ClassDecl& cls);
  // Keeps compiled code alive as long as the module (procedures and classes point into it).
  void Keep(automation::Ref<Program> program) { programs_.push_back(std::move(program)); }

  [[nodiscard]] const std::unordered_map<std::u16string, Symbol>& Symbols() const noexcept {
    return symbols_;
  }
  // Sets every variable to Empty, releasing what they hold (Class_Terminate runs).
  void ClearVariables() noexcept;

  // Option Explicit applies to the module once any of its code has said it.
  bool optionExplicit = false;

 private:
  Engine& engine_;
  std::u16string name_;
  std::unordered_map<std::u16string, Symbol> symbols_;
  std::deque<Variant> variables_;  // a deque: variables never move, nodes cache their address
  std::vector<automation::Ref<Program>> programs_;
};

}  // namespace telvinor::vbscript
