#include "vbscript/Binder.h"

#include <algorithm>
#include <unordered_map>

#include "automation/ClassInfo.h"
#include "vbscript/Builtins.h"
#include "vbscript/Module.h"
#include "vbscript/ScriptError.h"
#include "vbscript/VariantOps.h"

namespace telvinor::vbscript {
namespace {

[[noreturn]] void CompileError(std::int32_t number, std::uint32_t line, std::uint32_t column) {
  ScriptError e(ErrorKind::Compile, number);
  e.line = line;
  e.column = column;
  throw e;
}

class Binder {
 public:
  Binder(Program& program, Module& module, const BindScope& scope)
      : program_(program), module_(module), scope_(scope) {}

  void Run() {
    for (auto& c : program_.constants) {
      c.value = Fold(*c.expr, nullptr);
      programConstants_[c.folded] = c.value;
    }
    for (auto& cls : program_.classes) BuildClass(*cls);
    CollectModuleDims(program_.statements);
    for (auto& proc : program_.procedures) {
      proc->module = &module_;
      proc->program = &program_;
      proc->optionExplicit = program_.optionExplicit;
      BindProcedure(*proc, nullptr);
    }
    for (auto& cls : program_.classes) {
      for (auto& proc : cls->procedures) BindProcedure(*proc, cls.get());
    }
    // Top-level statements: module variables, or the enclosing procedure's for Execute.
    current_ = nullptr;
    currentClass_ = scope_.enclosingClass;
    BindBlock(program_.statements);
    if (program_.expression) BindExpr(*program_.expression);
  }

 private:
  // ---- classes
  void BuildClass(ClassDecl& cls) {
    cls.module = &module_;
    cls.program = &program_;
    auto add = [&](const std::u16string& name, const std::u16string& folded, bool isPublic,
                   std::uint32_t line, std::uint32_t column) -> ClassMember& {
      (void)line;
      (void)column;
      int i = FindMember(cls, folded);
      if (i >= 0) return cls.members[static_cast<std::size_t>(i)];
      ClassMember m;
      m.name = name;
      m.folded = folded;
      m.isPublic = isPublic;
      cls.members.push_back(std::move(m));
      return cls.members.back();
    };
    for (std::size_t i = 0; i < cls.fields.size(); ++i) {
      const FieldDecl& f = cls.fields[i];
      if (FindMember(cls, f.folded) >= 0) CompileError(err::kNameRedefined, cls.line, cls.column);
      add(f.name, f.folded, f.isPublic, cls.line, cls.column).field = static_cast<std::int32_t>(i);
    }
    for (auto& proc : cls.procedures) {
      proc->module = &module_;
      proc->program = &program_;
      proc->optionExplicit = program_.optionExplicit;
      proc->owner = &cls;
      if (proc->folded == u"class_initialize" || proc->folded == u"class_terminate") {
        if (!proc->params.empty()) CompileError(err::kInitTerminateArgs, proc->line, proc->column);
        (proc->folded == u"class_initialize" ? cls.initialize : cls.terminate) = proc.get();
      }
      ClassMember& m = add(proc->name, proc->folded, proc->isPublic, proc->line, proc->column);
      Procedure** slot = nullptr;
      switch (proc->kind) {
        case ProcKind::Sub:
        case ProcKind::Function:
          slot = &m.method;
          break;
        case ProcKind::PropertyGet:
          slot = &m.get;
          break;
        case ProcKind::PropertyLet:
          slot = &m.let;
          break;
        case ProcKind::PropertySet:
          slot = &m.set;
          break;
      }
      bool clash = *slot != nullptr || m.field >= 0 ||
                   (slot == &m.method && (m.get || m.let || m.set)) ||
                   (slot != &m.method && m.method);
      if (clash) CompileError(err::kNameRedefined, proc->line, proc->column);
      *slot = proc.get();
      if (proc->isPublic) m.isPublic = true;
      if (proc->isDefault) {
        int index = FindMember(cls, proc->folded);
        if (cls.defaultMember >= 0 && cls.defaultMember != index)
          CompileError(err::kMultipleDefaults, proc->line, proc->column);
        cls.defaultMember = index;
      }
    }
  }

  // ---- procedures
  void BindProcedure(Procedure& proc, ClassDecl* cls) {
    current_ = &proc;
    currentClass_ = cls;
    locals_.clear();
    implicit_.clear();
    localConstants_.clear();
    proc.localNames.clear();
    AddLocal(u"");  // slot 0: the result of a Function or Property Get
    for (const auto& p : proc.params) {
      std::u16string folded = automation::FoldCase(p.name);
      if (locals_.count(folded)) CompileError(err::kNameRedefined, proc.line, proc.column);
      AddLocal(folded);
    }
    for (auto& c : proc.constants) {
      c.value = Fold(*c.expr, &proc);
      localConstants_[c.folded] = c.value;
    }
    CollectLocalDims(proc.body);
    BindBlock(proc.body);
    proc.slotCount = static_cast<std::int32_t>(proc.localNames.size());
    current_ = nullptr;
  }

  std::int32_t AddLocal(const std::u16string& folded) {
    auto slot = static_cast<std::int32_t>(current_->localNames.size());
    current_->localNames.push_back(folded);
    if (!folded.empty()) locals_[folded] = slot;
    return slot;
  }

  void CollectLocalDims(const Block& block) {
    ForEachDim(block, [&](NameExpr& n, bool isReDim) {
      if (locals_.count(n.folded)) {
        if (!isReDim && n.folded != u"") {
          // Dim of a parameter or of a name Dim'd before is a redefinition.
          auto slot = locals_[n.folded];
          if (slot <= static_cast<std::int32_t>(current_->params.size()))
            CompileError(err::kNameRedefined, n.line, n.column);
        }
        return;
      }
      if (isReDim) {
        // ReDim of a name not Dim'd here: a module array when one exists, else a new local.
        if (module_.Find(n.folded) ||
            std::find(program_.declaredVariables.begin(), program_.declaredVariables.end(),
                      n.folded) != program_.declaredVariables.end())
          return;
      }
      AddLocal(n.folded);
    });
  }

  void CollectModuleDims(const Block& block) {
    ForEachDim(block, [&](NameExpr& n, bool isReDim) {
      if (scope_.enclosing) return;  // Execute inside a procedure: its Dims become module variables
      (void)isReDim;
      if (std::find(program_.declaredVariables.begin(), program_.declaredVariables.end(),
                    n.folded) == program_.declaredVariables.end())
        program_.declaredVariables.push_back(n.folded);
    });
  }

  template <class F>
  void ForEachDim(const Block& block, F&& f) {
    for (const auto& s : block) {
      switch (s->kind) {
        case StmtKind::Dim:
          for (auto& v : static_cast<DimStmt&>(*s).vars) f(*v.target, false);
          break;
        case StmtKind::ReDim:
          for (auto& v : static_cast<ReDimStmt&>(*s).vars) f(*v.target, true);
          break;
        case StmtKind::If: {
          auto& i = static_cast<IfStmt&>(*s);
          for (auto& b : i.branches) ForEachDim(b.second, f);
          ForEachDim(i.elseBlock, f);
          break;
        }
        case StmtKind::Select: {
          auto& sel = static_cast<SelectStmt&>(*s);
          for (auto& c : sel.cases) ForEachDim(c.body, f);
          ForEachDim(sel.elseBlock, f);
          break;
        }
        case StmtKind::For:
          ForEachDim(static_cast<ForStmt&>(*s).body, f);
          break;
        case StmtKind::ForEach:
          ForEachDim(static_cast<ForEachStmt&>(*s).body, f);
          break;
        case StmtKind::Do:
          ForEachDim(static_cast<DoStmt&>(*s).body, f);
          break;
        case StmtKind::With:
          ForEachDim(static_cast<WithStmt&>(*s).body, f);
          break;
        default:
          break;
      }
    }
  }

  // ---- constants
  Variant Fold(Expr& e, const Procedure* proc) {
    switch (e.kind) {
      case ExprKind::Literal:
        return static_cast<LiteralExpr&>(e).value;
      case ExprKind::Unary: {
        auto& u = static_cast<UnaryExpr&>(e);
        Variant v = Fold(*u.operand, proc);
        if (u.op == UnaryOp::Negate) return OpNegate(v);
        if (u.op == UnaryOp::Not) return OpNot(v);
        return v;
      }
      case ExprKind::Binary: {
        auto& b = static_cast<BinaryExpr&>(e);
        if (b.op == BinaryOp::Is) break;
        return ApplyBinary(b.op, Fold(*b.left, proc), Fold(*b.right, proc));
      }
      case ExprKind::Name: {
        auto& n = static_cast<NameExpr&>(e);
        if (n.args.present) break;
        if (proc) {
          auto it = localConstants_.find(n.folded);
          if (it != localConstants_.end()) return it->second;
        }
        auto it = programConstants_.find(n.folded);
        if (it != programConstants_.end()) return it->second;
        if (const Symbol* s = module_.Find(n.folded); s && s->kind == GlobalKind::Constant)
          return *s->var;
        if (const Variant* c = FindBuiltinConstant(n.folded)) return *c;
        break;
      }
      default:
        break;
    }
    CompileError(err::kExpectedLiteral, e.line, e.column);
  }

  // ---- statements and expressions
  void BindBlock(Block& block) {
    for (auto& s : block) BindStmt(*s);
  }

  void BindStmt(Stmt& s) {
    switch (s.kind) {
      case StmtKind::Call:
        BindExpr(*static_cast<CallStmt&>(s).call);
        break;
      case StmtKind::Assign: {
        auto& a = static_cast<AssignStmt&>(s);
        BindExpr(*a.target);
        BindExpr(*a.value);
        if (!a.isSet && a.target->kind == ExprKind::Name && a.value->kind == ExprKind::Binary) {
          // s = s & x & y ...: the leftmost operand of the chain of "&" is the target itself.
          auto& t = static_cast<NameExpr&>(*a.target);
          Expr* leftmost = a.value.get();
          while (leftmost->kind == ExprKind::Binary &&
                 static_cast<BinaryExpr*>(leftmost)->op == BinaryOp::Concat)
            leftmost = static_cast<BinaryExpr*>(leftmost)->left.get();
          if (leftmost != a.value.get() && leftmost->kind == ExprKind::Name) {
            auto& l = static_cast<NameExpr&>(*leftmost);
            a.appendsToTarget =
                !l.args.present && !t.args.present && l.folded == t.folded &&
                t.binding == l.binding &&
                (t.binding == NameBinding::Local || t.binding == NameBinding::Global ||
                 t.binding == NameBinding::Field);
          }
        }
        break;
      }
      case StmtKind::Dim:
        for (auto& v : static_cast<DimStmt&>(s).vars) {
          BindExpr(*v.target);
          for (auto& b : v.bounds) BindExpr(*b);
        }
        break;
      case StmtKind::ReDim:
        for (auto& v : static_cast<ReDimStmt&>(s).vars) {
          BindExpr(*v.target);
          for (auto& b : v.bounds) BindExpr(*b);
        }
        break;
      case StmtKind::Erase:
        BindExpr(*static_cast<EraseStmt&>(s).target);
        break;
      case StmtKind::If: {
        auto& i = static_cast<IfStmt&>(s);
        for (auto& b : i.branches) {
          BindExpr(*b.first);
          BindBlock(b.second);
        }
        BindBlock(i.elseBlock);
        break;
      }
      case StmtKind::Select: {
        auto& sel = static_cast<SelectStmt&>(s);
        BindExpr(*sel.subject);
        for (auto& c : sel.cases) {
          for (auto& v : c.values) BindExpr(*v);
          BindBlock(c.body);
        }
        BindBlock(sel.elseBlock);
        break;
      }
      case StmtKind::For: {
        auto& f = static_cast<ForStmt&>(s);
        BindExpr(*f.counter);
        BindExpr(*f.from);
        BindExpr(*f.to);
        if (f.step) BindExpr(*f.step);
        BindBlock(f.body);
        break;
      }
      case StmtKind::ForEach: {
        auto& f = static_cast<ForEachStmt&>(s);
        BindExpr(*f.element);
        BindExpr(*f.group);
        BindBlock(f.body);
        break;
      }
      case StmtKind::Do: {
        auto& d = static_cast<DoStmt&>(s);
        if (d.condition) BindExpr(*d.condition);
        BindBlock(d.body);
        break;
      }
      case StmtKind::With: {
        auto& w = static_cast<WithStmt&>(s);
        BindExpr(*w.object);
        BindBlock(w.body);
        break;
      }
      default:
        break;
    }
  }

  void BindArgs(ArgList& args) {
    for (auto& a : args.items) {
      if (a) BindExpr(*a);
    }
  }

  void BindExpr(Expr& e) {
    switch (e.kind) {
      case ExprKind::Literal:
        break;
      case ExprKind::Name: {
        auto& n = static_cast<NameExpr&>(e);
        BindArgs(n.args);
        BindName(n);
        break;
      }
      case ExprKind::Member: {
        auto& m = static_cast<MemberExpr&>(e);
        if (m.object) BindExpr(*m.object);
        BindArgs(m.args);
        break;
      }
      case ExprKind::Index: {
        auto& i = static_cast<IndexExpr&>(e);
        BindExpr(*i.target);
        BindArgs(i.args);
        break;
      }
      case ExprKind::Unary:
        BindExpr(*static_cast<UnaryExpr&>(e).operand);
        break;
      case ExprKind::Binary: {
        auto& b = static_cast<BinaryExpr&>(e);
        BindExpr(*b.left);
        BindExpr(*b.right);
        break;
      }
      case ExprKind::New:
        break;
      case ExprKind::Me:
        if (!currentClass_) CompileError(err::kInvalidUseOfMe, e.line, e.column);
        break;
    }
  }

  void BindName(NameExpr& n) {
    const Procedure* proc = current_ ? current_ : scope_.enclosing;
    bool ownFrame = current_ != nullptr;
    if (proc) {
      if (proc->ReturnsValue() && n.folded == proc->folded && !n.args.present) {
        n.binding = NameBinding::Local;
        n.slot = 0;
        n.isResultOfFunction = true;
        return;
      }
      if (ownFrame) {
        auto c = localConstants_.find(n.folded);
        if (c != localConstants_.end()) {
          n.binding = NameBinding::Constant;
          n.constant = c->second;
          return;
        }
        auto it = locals_.find(n.folded);
        if (it != locals_.end()) {
          n.binding = NameBinding::Local;
          n.slot = it->second;
          return;
        }
      } else {
        for (std::size_t i = 1; i < proc->localNames.size(); ++i) {
          if (proc->localNames[i] == n.folded) {
            n.binding = NameBinding::Local;
            n.slot = static_cast<std::int32_t>(i);
            return;
          }
        }
        for (const auto& c : proc->constants) {
          if (c.folded == n.folded) {
            n.binding = NameBinding::Constant;
            n.constant = c.value;
            return;
          }
        }
      }
    }
    if (currentClass_) {
      int m = FindMember(*currentClass_, n.folded);
      if (m >= 0) {
        const ClassMember& member = currentClass_->members[static_cast<std::size_t>(m)];
        if (member.field >= 0) {
          n.binding = NameBinding::Field;
          n.slot = member.field;
        } else {
          n.binding = NameBinding::Method;
          n.slot = m;
        }
        return;
      }
    }
    auto c = programConstants_.find(n.folded);
    if (c != programConstants_.end()) {
      n.binding = NameBinding::Constant;
      n.constant = c->second;
      return;
    }
    n.binding = NameBinding::Global;
    // Not declared anywhere the compiler can see: if nothing global has the name when the
    // code runs, it is the procedure's own implicit variable (one slot per name).
    if (ownFrame && !current_->optionExplicit) {
      auto it = implicit_.find(n.folded);
      if (it != implicit_.end()) {
        n.slot = it->second;
      } else {
        // Not in locals_: a later mention of the name must also look globals up first.
        n.slot = static_cast<std::int32_t>(current_->localNames.size());
        current_->localNames.push_back(n.folded);
        implicit_[n.folded] = n.slot;
      }
      current_->slotCount = static_cast<std::int32_t>(current_->localNames.size());
    }
  }

  Program& program_;
  Module& module_;
  const BindScope& scope_;
  Procedure* current_ = nullptr;
  ClassDecl* currentClass_ = nullptr;
  std::unordered_map<std::u16string, std::int32_t> locals_;
  std::unordered_map<std::u16string, std::int32_t> implicit_;
  std::unordered_map<std::u16string, Variant> localConstants_;
  std::unordered_map<std::u16string, Variant> programConstants_;
};

}  // namespace

int FindMember(const ClassDecl& cls, std::u16string_view folded) {
  for (std::size_t i = 0; i < cls.members.size(); ++i) {
    if (cls.members[i].folded == folded) return static_cast<int>(i);
  }
  return -1;
}

int ClassDecl::FindMember(std::u16string_view folded) const {
  return vbscript::FindMember(*this, folded);
}

void Bind(Program& program, Module& module, const BindScope& scope) {
  Binder(program, module, scope).Run();
}

}  // namespace telvinor::vbscript
