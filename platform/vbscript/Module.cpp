#include "vbscript/Module.h"

#include "vbscript/Engine.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {

const Symbol* Module::Find(std::u16string_view folded) const {
  auto it = symbols_.find(std::u16string(folded));
  return it == symbols_.end() ? nullptr : &it->second;
}

Variant& Module::DeclareVariable(const std::u16string& folded) {
  auto it = symbols_.find(folded);
  if (it != symbols_.end()) {
    if (it->second.kind == GlobalKind::Variable) return *it->second.var;
    ThrowRuntime(err::kNameRedefined, folded);
  }
  Variant& var = variables_.emplace_back();
  Symbol s;
  s.kind = GlobalKind::Variable;
  s.var = &var;
  symbols_.emplace(folded, s);
  engine_.BumpEpoch();
  return var;
}

void Module::ClearVariables() noexcept {
  for (auto& v : variables_) {
    Variant old;
    old.Swap(v);  // `old` releases its value after the slot is already Empty
  }
}

void Module::DeclareConstant(const std::u16string& folded, const Variant& value) {
  Symbol& s = symbols_[folded];
  if (!s.var) s.var = &variables_.emplace_back();
  *s.var = value;
  s.kind = GlobalKind::Constant;
  s.proc = nullptr;
  s.cls = nullptr;
  engine_.BumpEpoch();
}

void Module::DeclareProcedure(Procedure& proc) {
  Symbol& s = symbols_[proc.folded];
  s.kind = GlobalKind::Procedure;
  s.proc = &proc;
  s.cls = nullptr;
  engine_.BumpEpoch();
}

void Module::DeclareClass(ClassDecl& cls) {
  Symbol& s = symbols_[cls.folded];
  s.kind = GlobalKind::Class;
  s.cls = &cls;
  s.proc = nullptr;
  engine_.BumpEpoch();
}

}  // namespace telvinor::vbscript
