#pragma once
// Interpreter: runs resolved syntax trees. Statements execute in frames (one per procedure
// call, holding its slots on the C++ stack); names reach their storage through the slot or
// the cached global lookup the binder prepared; host objects are called through cached
// dispatch ids. Run-time errors carry the line and column of the failing statement.
//
// Guards: a procedure call checks the real stack (error 28 well before it runs out) and a
// countdown checks the host's time limit, so no script can overflow the stack or run past it.

#include <chrono>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "automation/Dispatch.h"
#include "automation/Variant.h"
#include "vbscript/Ast.h"

namespace telvinor::vbscript {

class Engine;
class Module;
class ScriptObject;
struct Builtin;

// The indices of one array access: inline for up to four dimensions, so reading or writing
// an element allocates nothing.
class IndexList {
 public:
  void Add(std::int32_t index) {
    if (size_ < kInline)
      inline_[size_] = index;
    else {
      if (size_ == kInline) heap_.assign(inline_, inline_ + kInline);
      heap_.push_back(index);
    }
    ++size_;
  }
  [[nodiscard]] std::span<const std::int32_t> Span() const noexcept {
    return size_ <= kInline ? std::span<const std::int32_t>(inline_, size_)
                            : std::span<const std::int32_t>(heap_);
  }

 private:
  static constexpr std::size_t kInline = 4;
  std::int32_t inline_[kInline] = {};
  std::vector<std::int32_t> heap_;
  std::size_t size_ = 0;
};

struct Frame {
  Variant* locals = nullptr;
  const Procedure* proc = nullptr;  // null for a module's top-level code
  Module* module = nullptr;
  ScriptObject* me = nullptr;
  Variant with;  // the object of the innermost With
  bool resumeNext = false;
};

enum class Flow : std::uint8_t { Normal, ExitDo, ExitFor, ExitProcedure };

// What a library function sees of its caller.
struct CallContext {
  class Interpreter& interpreter;
  Frame& frame;
};

class Interpreter {
 public:
  explicit Interpreter(Engine& engine) : engine_(engine) {}

  [[nodiscard]] Engine& Owner() noexcept { return engine_; }

  // Runs a module's top-level statements.
  void RunTopLevel(Program& program, Module& module);
  // Evaluates an Eval program's expression in a module.
  Variant EvaluateTopLevel(Program& program, Module& module);
  // Calls a procedure with arguments given by a host (ByRef arguments are Variant::ByRef).
  Variant CallFromHost(Procedure& proc, ScriptObject* me, std::span<Variant> args);
  // A member of a script object called from outside (ScriptObject::Invoke).
  Variant InvokeScriptMember(ScriptObject& object, int member, automation::InvokeKind kind,
                             std::span<Variant> args);
  // Creates an instance of a script class and runs Class_Initialize.
  automation::Ref<automation::Dispatch> NewInstance(ClassDecl& cls);
  // Runs Class_Terminate; never throws.
  void Terminate(ScriptObject& object) noexcept;

  // Execute / ExecuteGlobal / Eval from a running script.
  void ExecuteText(CallContext& ctx, std::u16string_view code, bool global);
  Variant EvalText(CallContext& ctx, std::u16string_view code);

  // How deep the host's calls into scripts are nested; 0 when no script runs.
  [[nodiscard]] int Depth() const noexcept { return depth_; }

  // Entered once per call from a host: sets the stack limit and the deadline at depth 0.
  class Session {
   public:
    explicit Session(Interpreter& interpreter);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

   private:
    Interpreter& interpreter_;
    Engine* previousEngine_;
  };

 private:
  friend class Session;
  using Clock = std::chrono::steady_clock;

  // ---- statements
  Flow ExecBlock(const Block& block, Frame& f);
  Flow Exec(const Stmt& s, Frame& f);
  Flow ExecIf(const IfStmt& s, Frame& f);
  Flow ExecSelect(const SelectStmt& s, Frame& f);
  Flow ExecFor(const ForStmt& s, Frame& f);
  Flow ExecForEach(const ForEachStmt& s, Frame& f);
  Flow ExecDo(const DoStmt& s, Frame& f);
  Flow ExecWith(const WithStmt& s, Frame& f);
  void ExecAssign(const AssignStmt& s, Frame& f);
  bool TryAppend(const AssignStmt& s, Frame& f);
  void ExecDim(const DimStmt& s, Frame& f);
  void ExecReDim(const ReDimStmt& s, Frame& f);
  void ExecErase(const EraseStmt& s, Frame& f);

  // ---- expressions
  Variant Eval(Expr& e, Frame& f);
  Variant EvalName(NameExpr& n, Frame& f, bool statement);
  Variant EvalMember(MemberExpr& m, Frame& f, bool statement);
  Variant EvalIndex(IndexExpr& x, Frame& f);
  Variant EvalBinary(BinaryExpr& b, Frame& f);
  Variant Binary(const BinaryExpr& b, const Variant& l, const Variant& r);
  [[nodiscard]] const Variant* Peek(const Expr& e, const Frame& f) const;
  Variant EvalNew(NewExpr& n, Frame& f);
  Variant EvalCall(Expr& e, Frame& f, bool statement);

  // Applies arguments to a value: array element, default member of an object.
  Variant ApplyArgs(const Variant& value, ArgList& args, Frame& f, const std::u16string& name);
  Variant CallBuiltin(const Builtin& b, ArgList& args, Frame& f, const std::u16string& name);
  Variant CallScript(Procedure& proc, ScriptObject* me, ArgList* args, Frame& f,
                     const std::u16string& name, const Variant* assigned = nullptr);
  Variant Invoke(Procedure& proc, ScriptObject* me, std::span<Variant> args);
  // A member of any object by name, with the call site's cache.
  Variant CallObject(const Variant& object, std::u16string_view name, MemberCache* cache,
                     automation::InvokeKind kind, ArgList* args, Frame& f, const Variant* assigned,
                     const Expr* objectExpr);
  Variant CallScriptMember(ScriptObject& object, int member, automation::InvokeKind kind,
                           ArgList* args, Frame& f, const Variant* assigned,
                           std::u16string_view name);
  Variant CallDefault(const Variant& object, automation::InvokeKind kind, ArgList* args, Frame& f,
                      const Variant* assigned, const std::u16string& name);
  Variant CallDispatch(automation::Dispatch& object, automation::DispId id,
                       automation::InvokeKind kind, ArgList* args, Frame& f,
                       const Variant* assigned);

  // ---- names and storage
  GlobalCache& Resolve(NameExpr& n, Frame& f);
  // The variable a plain name stands for, or null (constants, procedures, objects' members).
  // With `create`, an undeclared name outside Option Explicit becomes a module variable.
  Variant* Storage(NameExpr& n, Frame& f, bool create);
  void Assign(Expr& target, Variant value, bool isSet, Frame& f);
  void StoreInto(Variant& storage, Variant value, bool isSet);
  IndexList Indices(ArgList& args, Frame& f);

  // ---- guards
  void Tick() {
    if (--ticks_ <= 0) SlowTick();
  }
  void SlowTick();
  void CheckStack();

  Engine& engine_;
  int depth_ = 0;
  int ticks_ = 1024;
  const char* stackLimit_ = nullptr;
  Clock::time_point deadline_{};
  bool hasDeadline_ = false;
};

}  // namespace telvinor::vbscript
