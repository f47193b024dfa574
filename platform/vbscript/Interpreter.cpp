#include "vbscript/Interpreter.h"

#include <pthread.h>

#include <cmath>
#include <new>

#include "automation/ClassInfo.h"
#include "automation/ClassRegistry.h"
#include "automation/Conversions.h"
#include "automation/SafeArray.h"
#include "vbscript/Binder.h"
#include "vbscript/Builtins.h"
#include "vbscript/Engine.h"
#include "vbscript/ErrObject.h"
#include "vbscript/Module.h"
#include "vbscript/Parser.h"
#include "vbscript/ScriptError.h"
#include "vbscript/ScriptObject.h"
#include "vbscript/SmallVariants.h"
#include "vbscript/VariantOps.h"

namespace telvinor::vbscript {

using automation::Dispatch;
using automation::DispId;
using automation::InvokeKind;
using automation::Ref;
using automation::SafeArray;
using automation::VarType;

namespace {

thread_local Engine* currentEngine = nullptr;

// The stack the engine leaves unused, for the host, the library and error unwinding.
constexpr std::size_t kStackReserve = 256 * 1024;

const char* MeasureStackLimit() {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return nullptr;
  void* base = nullptr;
  std::size_t size = 0;
  pthread_attr_getstack(&attr, &base, &size);
  pthread_attr_destroy(&attr);
  if (!base || size == 0) return nullptr;
  std::size_t reserve = size / 4 < kStackReserve ? size / 4 : kStackReserve;
  return static_cast<const char*>(base) + reserve;
}

// For the main thread pthread_getattr_np reads /proc/self/maps, which costs far more than a
// host's typical statement (a hundred microseconds against a few); a thread's stack does not
// move, so it is measured once per thread.
const char* StackLimitOfThisThread() {
  thread_local const char* const limit = MeasureStackLimit();
  return limit;
}

ScriptError ToScriptError(const automation::AutomationError& e) {
  if (auto* s = dynamic_cast<const ScriptError*>(&e)) return *s;
  if (e.Source().empty()) {
    // A bare number from the automation core (conversions, arrays, argument checks) or from
    // an object that gave no source: a run-time error of the language.
    std::u16string description = e.Description();
    if (description.empty() || description == automation::kApplicationDefinedErrorText)
      description = std::u16string(ErrorText(e.Number()));
    return ScriptError(ErrorKind::Runtime, e.Number(), std::u16string(kRuntimeSource),
                       std::move(description));
  }
  return FromHostError(e);
}

void Locate(ScriptError& e, const Stmt& s, const Frame& f) {
  if (e.line != 0) return;
  e.line = s.line;
  e.column = s.column;
  if (f.module) e.moduleName = f.module->Name();
}

Variant LetValue(Variant value) {
  // Let of an object stores its default value (a node's text, a Dictionary item...).
  if (value.IsObject()) {
    Variant v = automation::DefaultValue(value);
    if (v.IsObject()) ThrowRuntime(err::kObjectDoesNotSupportMember);
    return v;
  }
  return value;
}

ScriptObject* AsScriptObject(Dispatch* d) {
  if (!d || d->Info()) return nullptr;
  return dynamic_cast<ScriptObject*>(d);
}

const std::u16string& NameOf(const Expr* e) {
  static const std::u16string empty;
  if (e && e->kind == ExprKind::Name) return static_cast<const NameExpr*>(e)->name;
  if (e && e->kind == ExprKind::Member) return static_cast<const MemberExpr*>(e)->name;
  return empty;
}

}  // namespace

// ---------------------------------------------------------------- sessions and guards

Interpreter::Session::Session(Interpreter& interpreter)
    : interpreter_(interpreter), previousEngine_(currentEngine) {
  currentEngine = &interpreter.engine_;
  if (interpreter_.depth_ == 0) {
    interpreter_.stackLimit_ = StackLimitOfThisThread();
    std::int32_t timeout = interpreter_.engine_.Timeout();
    interpreter_.hasDeadline_ = timeout >= 0;
    if (timeout >= 0) interpreter_.deadline_ = Clock::now() + std::chrono::milliseconds(timeout);
    interpreter_.ticks_ = 1024;
  }
  ++interpreter_.depth_;
}

Interpreter::Session::~Session() {
  --interpreter_.depth_;
  currentEngine = previousEngine_;
}

Engine* Engine::Current() noexcept {
  return currentEngine;
}

void Interpreter::SlowTick() {
  ticks_ = 1024;
  if (hasDeadline_ && Clock::now() > deadline_) throw ScriptTimeout{};
}

void Interpreter::CheckStack() {
  const char* here = static_cast<const char*>(__builtin_frame_address(0));
  if (stackLimit_ && here < stackLimit_) ThrowRuntime(err::kOutOfStackSpace);
  Tick();
}

// ---------------------------------------------------------------- entry points

void Interpreter::RunTopLevel(Program& program, Module& module) {
  Frame f;
  f.module = &module;
  ExecBlock(program.statements, f);
}

Variant Interpreter::EvaluateTopLevel(Program& program, Module& module) {
  Frame f;
  f.module = &module;
  return Eval(*program.expression, f);
}

Variant Interpreter::CallFromHost(Procedure& proc, ScriptObject* me, std::span<Variant> args) {
  if (args.size() != proc.params.size()) ThrowRuntime(err::kWrongNumberOfArguments, proc.name);
  return Invoke(proc, me, args);
}

void Interpreter::ExecuteText(CallContext& ctx, std::u16string_view code, bool global) {
  CheckStack();
  Frame& caller = ctx.frame;
  Module& module = caller.module ? *caller.module : engine_.GlobalModule();
  if (global || !caller.proc) {
    Ref<Program> program = engine_.Compile(module, code, false, nullptr, nullptr);
    RunTopLevel(*program, module);
    return;
  }
  // Execute inside a procedure: the code sees and changes the procedure's variables.
  Ref<Program> program =
      engine_.Compile(module, code, false, caller.proc, caller.me ? &caller.me->Class() : nullptr);
  ExecBlock(program->statements, caller);
}

Variant Interpreter::EvalText(CallContext& ctx, std::u16string_view code) {
  CheckStack();
  Frame& caller = ctx.frame;
  Module& module = caller.module ? *caller.module : engine_.GlobalModule();
  Ref<Program> program =
      engine_.Compile(module, code, true, caller.proc, caller.me ? &caller.me->Class() : nullptr);
  if (!program->expression) ThrowRuntime(err::kSyntaxError);
  return Eval(*program->expression, caller);
}

// ---------------------------------------------------------------- statements

Flow Interpreter::ExecBlock(const Block& block, Frame& f) {
  for (const auto& sp : block) {
    const Stmt& s = *sp;
    try {
      Flow r = Exec(s, f);
      if (r != Flow::Normal) return r;
    } catch (ScriptError& e) {
      Locate(e, s, f);
      if (!f.resumeNext) throw;
      engine_.Err().Set(e);
    } catch (const automation::AutomationError& e) {
      ScriptError se = ToScriptError(e);
      Locate(se, s, f);
      if (!f.resumeNext) throw se;
      engine_.Err().Set(se);
    } catch (const std::bad_alloc&) {
      ScriptError se(ErrorKind::Runtime, err::kOutOfMemory);
      Locate(se, s, f);
      if (!f.resumeNext) throw se;
      engine_.Err().Set(se);
    } catch (const std::length_error&) {
      ScriptError se(ErrorKind::Runtime, err::kOutOfMemory);
      Locate(se, s, f);
      if (!f.resumeNext) throw se;
      engine_.Err().Set(se);
    }
  }
  return Flow::Normal;
}

Flow Interpreter::Exec(const Stmt& s, Frame& f) {
  switch (s.kind) {
    case StmtKind::Call:
      EvalCall(*static_cast<const CallStmt&>(s).call, f, true);
      return Flow::Normal;
    case StmtKind::Assign:
      ExecAssign(static_cast<const AssignStmt&>(s), f);
      return Flow::Normal;
    case StmtKind::If:
      return ExecIf(static_cast<const IfStmt&>(s), f);
    case StmtKind::For:
      return ExecFor(static_cast<const ForStmt&>(s), f);
    case StmtKind::Do:
      return ExecDo(static_cast<const DoStmt&>(s), f);
    case StmtKind::ForEach:
      return ExecForEach(static_cast<const ForEachStmt&>(s), f);
    case StmtKind::Select:
      return ExecSelect(static_cast<const SelectStmt&>(s), f);
    case StmtKind::With:
      return ExecWith(static_cast<const WithStmt&>(s), f);
    case StmtKind::Dim:
      ExecDim(static_cast<const DimStmt&>(s), f);
      return Flow::Normal;
    case StmtKind::ReDim:
      ExecReDim(static_cast<const ReDimStmt&>(s), f);
      return Flow::Normal;
    case StmtKind::Erase:
      ExecErase(static_cast<const EraseStmt&>(s), f);
      return Flow::Normal;
    case StmtKind::Exit: {
      switch (static_cast<const ExitStmt&>(s).what) {
        case ExitKind::Do:
          return Flow::ExitDo;
        case ExitKind::For:
          return Flow::ExitFor;
        default:
          return Flow::ExitProcedure;
      }
    }
    case StmtKind::OnError:
      f.resumeNext = static_cast<const OnErrorStmt&>(s).resumeNext;
      engine_.Err().Clear();
      return Flow::Normal;
    case StmtKind::Nop:
      return Flow::Normal;
  }
  return Flow::Normal;
}

Flow Interpreter::ExecIf(const IfStmt& s, Frame& f) {
  for (const auto& [cond, body] : s.branches) {
    bool taken;
    try {
      taken = IsTrue(Eval(*cond, f));
    } catch (const automation::AutomationError& e) {
      if (!f.resumeNext) throw;
      // With On Error Resume Next a failing condition goes on with the next statement,
      // which is the first one of the branch.
      ScriptError se = ToScriptError(e);
      Locate(se, s, f);
      engine_.Err().Set(se);
      taken = true;
    }
    if (taken) return ExecBlock(body, f);
  }
  return ExecBlock(s.elseBlock, f);
}

Flow Interpreter::ExecSelect(const SelectStmt& s, Frame& f) {
  Variant subject = Eval(*s.subject, f);
  bool subjectLiteral = s.subject->kind == ExprKind::Literal;
  for (const auto& c : s.cases) {
    for (const auto& v : c.values) {
      Variant value = Eval(*v, f);
      if (IsTrue(OpCompare(BinaryOp::Equal, subject, value, subjectLiteral,
                           v->kind == ExprKind::Literal)))
        return ExecBlock(c.body, f);
    }
  }
  return ExecBlock(s.elseBlock, f);
}

Flow Interpreter::ExecFor(const ForStmt& s, Frame& f) {
  auto& counterName = static_cast<NameExpr&>(*s.counter);
  Variant from = Eval(*s.from, f);
  Variant to = Eval(*s.to, f);
  Variant step = s.step ? Eval(*s.step, f) : Variant(std::int16_t{1});
  auto integral = [](const Variant& v) {
    VarType t = v.Type();
    return t == VarType::Integer || t == VarType::Long || t == VarType::Byte;
  };
  Variant* counter = Storage(counterName, f, true);
  if (!counter) ThrowRuntime(err::kInvalidForVariable);
  if (integral(from) && integral(to) && integral(step)) {
    // Whole numbers: the counter stays an Integer while it fits (as VB's does), a Long after.
    std::int64_t end = automation::ToLong(to), inc = automation::ToLong(step);
    std::int64_t i = automation::ToLong(from);
    bool small =
        from.Type() != VarType::Long && to.Type() != VarType::Long && step.Type() != VarType::Long;
    while (true) {
      // The counter takes each value before the test, so after the loop it holds the first
      // value past the end, as VB leaves it.
      if (small && i >= -32768 && i <= 32767)
        *counter = Variant(static_cast<std::int16_t>(i));
      else if (i >= INT32_MIN && i <= INT32_MAX)
        *counter = Variant(static_cast<std::int32_t>(i));
      else
        ThrowRuntime(err::kOverflow);
      if (inc >= 0 ? i > end : i < end) break;
      Flow r = ExecBlock(s.body, f);
      if (r == Flow::ExitFor) break;
      if (r != Flow::Normal) return r;
      Tick();
      counter = Storage(counterName, f, true);
      // The body may have changed the counter; the next value follows from what it holds.
      const Variant& now = counter->Deref();
      if (now.Type() == VarType::Integer)
        i = now.AsInteger();
      else if (now.Type() == VarType::Long)
        i = now.AsLong();
      else
        i = automation::ToLong(now);
      i += inc;
    }
    return Flow::Normal;
  }
  double end = automation::ToDouble(to), inc = automation::ToDouble(step);
  Variant value = OpAdd(from, Variant(std::int16_t{0}));
  if (from.IsString()) value = Variant(automation::ToDouble(from));
  while (true) {
    double i = automation::ToDouble(value);
    *counter = value;
    if (inc >= 0 ? i > end : i < end) break;
    Flow r = ExecBlock(s.body, f);
    if (r == Flow::ExitFor) break;
    if (r != Flow::Normal) return r;
    Tick();
    counter = Storage(counterName, f, true);
    value = OpAdd(counter->Deref(), step);
  }
  return Flow::Normal;
}

Flow Interpreter::ExecForEach(const ForEachStmt& s, Frame& f) {
  Variant group = Eval(*s.group, f);
  if (group.IsArray()) {
    // The loop walks the array as it was when the loop began.
    Variant snapshot = group;
    auto elements = snapshot.AsArray().Elements();
    for (const auto& e : elements) {
      Assign(*s.element, e, e.IsObject(), f);
      Flow r = ExecBlock(s.body, f);
      if (r == Flow::ExitFor) break;
      if (r != Flow::Normal) return r;
      Tick();
    }
    return Flow::Normal;
  }
  if (!group.IsObject()) ThrowRuntime(err::kObjectNotACollection);
  Dispatch* object = group.AsObject();
  if (!object) ThrowRuntime(err::kObjectRequired, NameOf(s.group.get()));
  Ref<automation::Enumerator> enumerator;
  try {
    // An enumerator itself is walked as it is; anything else is asked for one (dispatch id -4).
    if (auto* e = dynamic_cast<automation::Enumerator*>(object))
      enumerator = Ref<automation::Enumerator>(e);
    else
      enumerator = automation::EnumeratorOf(*object);
  } catch (const ScriptError&) {
    throw;
  } catch (const automation::AutomationError& e) {
    throw ToScriptError(e);
  }
  Variant item;
  while (enumerator->Next(item)) {
    Assign(*s.element, item, item.IsObject(), f);
    Flow r = ExecBlock(s.body, f);
    if (r == Flow::ExitFor) break;
    if (r != Flow::Normal) return r;
    Tick();
  }
  return Flow::Normal;
}

Flow Interpreter::ExecDo(const DoStmt& s, Frame& f) {
  while (true) {
    if (s.test == LoopTest::PreWhile && !IsTrue(Eval(*s.condition, f))) break;
    if (s.test == LoopTest::PreUntil && IsTrue(Eval(*s.condition, f))) break;
    Flow r = ExecBlock(s.body, f);
    if (r == Flow::ExitDo) break;
    if (r != Flow::Normal) return r;
    if (s.test == LoopTest::PostWhile && !IsTrue(Eval(*s.condition, f))) break;
    if (s.test == LoopTest::PostUntil && IsTrue(Eval(*s.condition, f))) break;
    Tick();
  }
  return Flow::Normal;
}

Flow Interpreter::ExecWith(const WithStmt& s, Frame& f) {
  Variant object = Eval(*s.object, f);
  struct Restore {
    Frame& f;
    Variant saved;
    ~Restore() { f.with = std::move(saved); }
  } restore{f, std::move(f.with)};
  f.with = std::move(object);
  return ExecBlock(s.body, f);
}

void Interpreter::ExecAssign(const AssignStmt& s, Frame& f) {
  if (s.appendsToTarget && TryAppend(s, f)) return;
  Variant value = Eval(*s.value, f);
  if (!s.isSet && s.target->kind == ExprKind::Name && !value.IsObject()) {
    // The common case, a plain local: straight into its slot.
    auto& n = static_cast<NameExpr&>(*s.target);
    if (n.binding == NameBinding::Local && !n.args.present) {
      f.locals[n.slot].Deref() = std::move(value);
      return;
    }
  }
  Assign(*s.target, std::move(value), s.isSet, f);
}

// s = s & a & b: appends to the variable's own text, in place when nobody else holds it, so
// building a string in a loop costs linear time. Falls back (false) when the variable does not
// hold text.
bool Interpreter::TryAppend(const AssignStmt& s, Frame& f) {
  auto& target = static_cast<NameExpr&>(*s.target);
  Variant* storage = Storage(target, f, true);
  if (!storage || !storage->Deref().IsString()) return false;
  const char16_t* before = storage->Deref().AsString().data();
  std::size_t length = storage->Deref().AsString().size();
  // The right operands of the chain, innermost first.
  std::vector<Expr*> operands;
  for (Expr* e = s.value.get();
       e->kind == ExprKind::Binary && static_cast<BinaryExpr*>(e)->op == BinaryOp::Concat;
       e = static_cast<BinaryExpr*>(e)->left.get())
    operands.push_back(static_cast<BinaryExpr*>(e)->right.get());
  std::vector<Variant> values;
  values.reserve(operands.size());
  for (auto it = operands.rbegin(); it != operands.rend(); ++it) values.push_back(Eval(**it, f));
  storage = Storage(target, f, true);
  const Variant& now = storage->Deref();
  if (!now.IsString() || now.AsString().data() != before || now.AsString().size() != length) {
    // An operand changed the variable itself (a function with a side effect): join to what
    // it holds now, without evaluating the operands twice.
    Variant joined = now;
    for (const Variant& v : values) joined = OpConcat(joined, v);
    Assign(*s.target, std::move(joined), false, f);
    return true;
  }
  for (const Variant& v : values) {
    if (v.IsString())
      storage->AppendText(v.AsString());
    else if (!v.IsNull())
      storage->AppendText(automation::ToBString(LetValue(v)).view());
  }
  return true;
}

namespace {
// The most elements one array may have (a gigabyte of variants). Beyond it an allocation may
// "succeed" on an overcommitting system and then take the whole process down when filled.
constexpr std::uint64_t kMaxArrayElements = std::uint64_t{1} << 26;

std::vector<SafeArray::Bound> BoundsOf(const std::vector<Variant>& uppers) {
  std::vector<SafeArray::Bound> bounds;
  std::uint64_t total = 1;
  for (const auto& u : uppers) {
    std::int32_t upper = automation::ToLong(u);
    if (upper < -1) ThrowRuntime(err::kSubscriptOutOfRange);
    bounds.push_back(SafeArray::Bound{0, upper});
    total *= static_cast<std::uint64_t>(upper) + 1;
    if (total > kMaxArrayElements) ThrowRuntime(err::kOutOfMemory);
  }
  return bounds;
}
}  // namespace

void Interpreter::ExecDim(const DimStmt& s, Frame& f) {
  for (const auto& v : s.vars) {
    Variant* storage = Storage(*v.target, f, true);
    if (!storage) ThrowRuntime(err::kNameRedefined, v.target->name);
    if (!v.isArray) continue;
    // Dim is a declaration: running it again (in a loop) does not reset the array.
    if (storage->Deref().IsArray()) continue;
    std::vector<Variant> uppers;
    for (const auto& b : v.bounds) uppers.push_back(Eval(*b, f));
    auto array = automation::MakeRef<SafeArray>(VarType::Variant, BoundsOf(uppers));
    array->SetFixed(!v.bounds.empty());
    storage->Deref() = Variant(array);
  }
}

void Interpreter::ExecReDim(const ReDimStmt& s, Frame& f) {
  for (const auto& v : s.vars) {
    std::vector<Variant> uppers;
    for (const auto& b : v.bounds) uppers.push_back(Eval(*b, f));
    auto bounds = BoundsOf(uppers);
    Variant* storage = Storage(*v.target, f, true);
    if (!storage) ThrowRuntime(err::kTypeMismatch, v.target->name);
    Variant& var = storage->Deref();
    if (var.IsArray()) {
      if (var.AsArray().IsFixed()) ThrowRuntime(err::kArrayFixedOrLocked);
      if (s.preserve) {
        if (var.AsArray().Dimensions() == 0) {
          var = Variant(automation::MakeRef<SafeArray>(VarType::Variant, std::move(bounds)));
        } else {
          var.MutableArray().Redim(std::move(bounds), true);
        }
        continue;
      }
    } else if (s.preserve && !var.IsEmpty()) {
      ThrowRuntime(err::kTypeMismatch, v.target->name);
    }
    var = Variant(automation::MakeRef<SafeArray>(VarType::Variant, std::move(bounds)));
  }
}

void Interpreter::ExecErase(const EraseStmt& s, Frame& f) {
  Variant* storage = Storage(static_cast<NameExpr&>(*s.target), f, false);
  if (!storage || !storage->Deref().IsArray())
    ThrowRuntime(err::kTypeMismatch, NameOf(s.target.get()));
  Variant& var = storage->Deref();
  if (var.AsArray().IsFixed()) {
    var.MutableArray().Clear();
  } else {
    var =
        Variant(automation::MakeRef<SafeArray>(VarType::Variant, std::vector<SafeArray::Bound>{}));
  }
}

// ---------------------------------------------------------------- expressions

Variant Interpreter::Eval(Expr& e, Frame& f) {
  switch (e.kind) {
    case ExprKind::Literal:
      return static_cast<LiteralExpr&>(e).value;
    case ExprKind::Name: {
      auto& n = static_cast<NameExpr&>(e);
      if (n.binding == NameBinding::Local && !n.args.present) return f.locals[n.slot].Deref();
      return EvalName(n, f, false);
    }
    case ExprKind::Binary:
      return EvalBinary(static_cast<BinaryExpr&>(e), f);
    case ExprKind::Member:
      return EvalMember(static_cast<MemberExpr&>(e), f, false);
    case ExprKind::Index:
      return EvalIndex(static_cast<IndexExpr&>(e), f);
    case ExprKind::Unary: {
      auto& u = static_cast<UnaryExpr&>(e);
      switch (u.op) {
        case UnaryOp::Paren: {
          Variant v = Eval(*u.operand, f);
          return v;
        }
        case UnaryOp::Negate: {
          Variant v = Eval(*u.operand, f);
          if (v.Type() == VarType::Double) return Variant(-v.AsDouble());
          return OpNegate(v);
        }
        case UnaryOp::Not:
          return OpNot(Eval(*u.operand, f));
        case UnaryOp::Plus: {
          Variant v = Eval(*u.operand, f);
          if (v.IsObject()) return LetValue(v);
          return v;
        }
      }
      return Variant();
    }
    case ExprKind::New:
      return EvalNew(static_cast<NewExpr&>(e), f);
    case ExprKind::Me:
      if (!f.me) ThrowRuntime(err::kObjectRequired, u"Me");
      return Variant(static_cast<Dispatch*>(f.me));
  }
  return Variant();
}

// The value of an operand that needs no evaluation (a literal, constant or plain variable),
// read in place without a copy; null for anything else.
const Variant* Interpreter::Peek(const Expr& e, const Frame& f) const {
  if (e.kind == ExprKind::Literal) return &static_cast<const LiteralExpr&>(e).value;
  if (e.kind != ExprKind::Name) return nullptr;
  const auto& n = static_cast<const NameExpr&>(e);
  if (n.args.present) return nullptr;
  switch (n.binding) {
    case NameBinding::Local:
      return &f.locals[n.slot].Deref();
    case NameBinding::Constant:
      return &n.constant;
    case NameBinding::Global:
      if (n.cache.epoch == engine_.Epoch() &&
          (n.cache.kind == GlobalKind::Variable || n.cache.kind == GlobalKind::Constant))
        return n.cache.var;
      return nullptr;
    default:
      return nullptr;
  }
}

Variant Interpreter::EvalBinary(BinaryExpr& b, Frame& f) {
  // Operands are read in place when that cannot change the order of evaluation: the right
  // one needs no evaluation, so nothing runs between reading the left and the right.
  Variant lv, rv;
  const Variant* rp = Peek(*b.right, f);
  const Variant* lp = rp ? Peek(*b.left, f) : nullptr;
  if (!lp) {
    lv = Eval(*b.left, f);
    lp = &lv;
  }
  if (!rp) {
    rv = Eval(*b.right, f);
    rp = &rv;
  }
  return Binary(b, *lp, *rp);
}

Variant Interpreter::Binary(const BinaryExpr& b, const Variant& l, const Variant& r) {
  VarType lt = l.Type(), rt = r.Type();
  // Fast paths for the common cases; everything else follows VariantOps' full rules.
  if ((lt == VarType::Long || lt == VarType::Integer) &&
      (rt == VarType::Long || rt == VarType::Integer)) {
    std::int64_t x = lt == VarType::Long ? l.AsLong() : l.AsInteger();
    std::int64_t y = rt == VarType::Long ? r.AsLong() : r.AsInteger();
    bool small = lt == VarType::Integer && rt == VarType::Integer;
    auto result = [&](std::int64_t v) -> Variant {
      if (small && v >= -32768 && v <= 32767) return Variant(static_cast<std::int16_t>(v));
      if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<std::int32_t>(v));
      return Variant(static_cast<double>(v));
    };
    switch (b.op) {
      case BinaryOp::Add:
        return result(x + y);
      case BinaryOp::Subtract:
        return result(x - y);
      case BinaryOp::Multiply:
        return result(x * y);
      case BinaryOp::Equal:
        return Variant(x == y);
      case BinaryOp::NotEqual:
        return Variant(x != y);
      case BinaryOp::Less:
        return Variant(x < y);
      case BinaryOp::Greater:
        return Variant(x > y);
      case BinaryOp::LessEqual:
        return Variant(x <= y);
      case BinaryOp::GreaterEqual:
        return Variant(x >= y);
      case BinaryOp::Mod:
        if (y == 0) ThrowRuntime(err::kDivisionByZero);
        return result(x % y);
      case BinaryOp::IntDivide:
        if (y == 0) ThrowRuntime(err::kDivisionByZero);
        return result(x / y);
      case BinaryOp::Divide:
        if (y == 0) ThrowRuntime(x == 0 ? err::kOverflow : err::kDivisionByZero);
        return Variant(static_cast<double>(x) / static_cast<double>(y));
      default:
        break;
    }
  } else if (lt == VarType::Double && rt == VarType::Double) {
    double x = l.AsDouble(), y = r.AsDouble();
    switch (b.op) {
      case BinaryOp::Add:
      case BinaryOp::Subtract:
      case BinaryOp::Multiply: {
        double v = b.op == BinaryOp::Add ? x + y : b.op == BinaryOp::Subtract ? x - y : x * y;
        if (!std::isfinite(v)) ThrowRuntime(err::kOverflow);
        return Variant(v);
      }
      case BinaryOp::Less:
        return Variant(x < y);
      case BinaryOp::Greater:
        return Variant(x > y);
      case BinaryOp::LessEqual:
        return Variant(x <= y);
      case BinaryOp::GreaterEqual:
        return Variant(x >= y);
      case BinaryOp::Equal:
        return Variant(x == y);
      case BinaryOp::NotEqual:
        return Variant(x != y);
      default:
        break;
    }
  } else if (lt == VarType::String && rt == VarType::String) {
    switch (b.op) {
      case BinaryOp::Concat:
      case BinaryOp::Add:
        return Variant(automation::BString::Concat(l.AsString(), r.AsString()));
      case BinaryOp::Equal:
        return Variant(l.AsString() == r.AsString());
      case BinaryOp::NotEqual:
        return Variant(l.AsString() != r.AsString());
      default:
        break;
    }
  }
  switch (b.op) {
    case BinaryOp::Equal:
    case BinaryOp::NotEqual:
    case BinaryOp::Less:
    case BinaryOp::Greater:
    case BinaryOp::LessEqual:
    case BinaryOp::GreaterEqual:
      return OpCompare(b.op, l, r, b.leftLiteral, b.rightLiteral);
    default:
      return ApplyBinary(b.op, l, r);
  }
}

Variant Interpreter::EvalCall(Expr& e, Frame& f, bool statement) {
  switch (e.kind) {
    case ExprKind::Name:
      return EvalName(static_cast<NameExpr&>(e), f, statement);
    case ExprKind::Member:
      return EvalMember(static_cast<MemberExpr&>(e), f, statement);
    case ExprKind::Index:
      return EvalIndex(static_cast<IndexExpr&>(e), f);
    default:
      return Eval(e, f);
  }
}

GlobalCache& Interpreter::Resolve(NameExpr& n, Frame& f) {
  if (n.cache.epoch != engine_.Epoch()) {
    GlobalCache c;
    Module& module = f.module ? *f.module : engine_.GlobalModule();
    if (!engine_.Resolve(module, n.folded, c)) {
      c.kind = (n.slot >= 0 && f.locals) ? GlobalKind::ImplicitLocal : GlobalKind::Undefined;
    }
    c.epoch = engine_.Epoch();
    n.cache = c;
  }
  return n.cache;
}

namespace {
bool ExplicitIn(const Frame& f) {
  if (f.proc) return f.proc->optionExplicit;
  return f.module && f.module->optionExplicit;
}
}  // namespace

Variant Interpreter::EvalName(NameExpr& n, Frame& f, bool statement) {
  switch (n.binding) {
    case NameBinding::Local: {
      const Variant& v = f.locals[n.slot].Deref();
      if (!n.args.present) {
        if (statement && !n.isResultOfFunction) ThrowRuntime(err::kTypeMismatch, n.name);
        return v;
      }
      return ApplyArgs(v, n.args, f, n.name);
    }
    case NameBinding::Field: {
      if (!f.me) ThrowRuntime(err::kObjectRequired, u"Me");
      const Variant& v = f.me->fields[static_cast<std::size_t>(n.slot)];
      if (!n.args.present) return v;
      return ApplyArgs(v, n.args, f, n.name);
    }
    case NameBinding::Constant:
      if (n.args.present) ThrowRuntime(err::kTypeMismatch, n.name);
      return n.constant;
    case NameBinding::Method:
      if (!f.me) ThrowRuntime(err::kObjectRequired, u"Me");
      return CallScriptMember(
          *f.me, n.slot,
          statement ? InvokeKind::Method : InvokeKind::Method | InvokeKind::PropertyGet, &n.args, f,
          nullptr, n.name);
    case NameBinding::Global:
    case NameBinding::Unbound:
      break;
  }
  GlobalCache& c = Resolve(n, f);
  switch (c.kind) {
    case GlobalKind::Variable:
    case GlobalKind::Constant:
      if (!n.args.present) {
        if (statement) ThrowRuntime(err::kTypeMismatch, n.name);
        return *c.var;
      }
      return ApplyArgs(*c.var, n.args, f, n.name);
    case GlobalKind::Procedure:
      return CallScript(*c.proc, nullptr, &n.args, f, n.name);
    case GlobalKind::Builtin:
      return CallBuiltin(*c.builtin, n.args, f, n.name);
    case GlobalKind::NamedObject: {
      Variant object(c.object);
      if (!n.args.present) return object;
      return ApplyArgs(object, n.args, f, n.name);
    }
    case GlobalKind::GlobalMember:
      return CallDispatch(
          *c.object, c.id,
          statement ? InvokeKind::Method : InvokeKind::Method | InvokeKind::PropertyGet, &n.args, f,
          nullptr);
    case GlobalKind::ImplicitLocal:
      if (statement || n.args.present) ThrowRuntime(err::kTypeMismatch, n.name);
      return f.locals[n.slot].Deref();
    case GlobalKind::Class:
      ThrowRuntime(err::kTypeMismatch, n.name);
    case GlobalKind::Undefined:
    case GlobalKind::Unresolved:
      if (ExplicitIn(f)) ThrowRuntime(err::kVariableUndefined, n.name);
      if (statement || n.args.present) ThrowRuntime(err::kTypeMismatch, n.name);
      // Reading a new name at module level declares it.
      return *Storage(n, f, true);
  }
  return Variant();
}

Variant Interpreter::ApplyArgs(const Variant& value, ArgList& args, Frame& f,
                               const std::u16string& name) {
  const Variant& v = value.Deref();
  if (v.IsArray()) {
    IndexList indices = Indices(args, f);
    return v.AsArray().At(indices.Span());
  }
  if (v.IsObject()) {
    Dispatch* object = v.AsObject();
    if (!object) ThrowRuntime(err::kObjectRequired, name);
    Variant hold = v;  // the call may replace the variable that holds the object
    return CallDefault(hold, InvokeKind::Method | InvokeKind::PropertyGet, &args, f, nullptr, name);
  }
  if (args.items.empty()) return v;  // "x()" of a plain value
  ThrowRuntime(err::kTypeMismatch, name);
}

Variant Interpreter::CallDefault(const Variant& objectValue, InvokeKind kind, ArgList* args,
                                 Frame& f, const Variant* assigned, const std::u16string& name) {
  Dispatch* object = objectValue.Deref().AsObject();
  if (!object) ThrowRuntime(err::kObjectRequired, name);
  if (ScriptObject* so = AsScriptObject(object)) {
    if (so->Class().defaultMember < 0) ThrowRuntime(err::kObjectDoesNotSupportMember, name);
    return CallScriptMember(*so, so->Class().defaultMember, kind, args, f, assigned, name);
  }
  return CallDispatch(*object, automation::kDispIdValue, kind, args, f, assigned);
}

IndexList Interpreter::Indices(ArgList& args, Frame& f) {
  IndexList indices;
  for (auto& a : args.items) {
    if (!a) ThrowRuntime(err::kSubscriptOutOfRange);
    const Variant* p = Peek(*a, f);
    if (p && p->Type() == VarType::Long)
      indices.Add(p->AsLong());
    else if (p && p->Type() == VarType::Integer)
      indices.Add(p->AsInteger());
    else if (p)
      indices.Add(automation::ToLong(*p));
    else
      indices.Add(automation::ToLong(Eval(*a, f)));
  }
  return indices;
}

Variant Interpreter::EvalIndex(IndexExpr& x, Frame& f) {
  Variant target = EvalCall(*x.target, f, false);
  return ApplyArgs(target, x.args, f, NameOf(x.target.get()));
}

Variant Interpreter::EvalMember(MemberExpr& m, Frame& f, bool statement) {
  Variant object = m.object ? Eval(*m.object, f) : f.with;
  InvokeKind kind = statement ? InvokeKind::Method : InvokeKind::Method | InvokeKind::PropertyGet;
  return CallObject(object, m.name, &m.cache, kind, &m.args, f, nullptr, m.object.get());
}

Variant Interpreter::CallObject(const Variant& objectValue, std::u16string_view name,
                                MemberCache* cache, InvokeKind kind, ArgList* args, Frame& f,
                                const Variant* assigned, const Expr* objectExpr) {
  const Variant& v = objectValue.Deref();
  if (!v.IsObject() || !v.AsObject()) ThrowRuntime(err::kObjectRequired, NameOf(objectExpr));
  Dispatch* object = v.AsObject();
  if (ScriptObject* so = AsScriptObject(object)) {
    int member;
    if (cache && cache->classKey == &so->Class()) {
      member = cache->member;
    } else {
      member = FindMember(so->Class(), automation::FoldCase(name));
      if (cache) {
        cache->classKey = &so->Class();
        cache->member = member;
      }
    }
    if (member < 0) ThrowRuntime(err::kObjectDoesNotSupportMember, std::u16string(name));
    if (!so->Class().members[static_cast<std::size_t>(member)].isPublic && so != f.me)
      ThrowRuntime(err::kObjectDoesNotSupportMember, std::u16string(name));
    return CallScriptMember(*so, member, kind, args, f, assigned, name);
  }
  DispId id;
  const automation::ClassInfo* info = object->Info();
  if (cache && info && cache->classKey == info) {
    id = cache->id;
  } else {
    try {
      id = object->GetIdOfName(name);
    } catch (const automation::AutomationError& e) {
      throw ToScriptError(e);
    }
    if (cache && info) {
      cache->classKey = info;
      cache->id = id;
    }
  }
  if (id == automation::kDispIdUnknown)
    ThrowRuntime(err::kObjectDoesNotSupportMember, std::u16string(name));
  return CallDispatch(*object, id, kind, args, f, assigned);
}

Variant Interpreter::CallDispatch(Dispatch& object, DispId id, InvokeKind kind, ArgList* args,
                                  Frame& f, const Variant* assigned) {
  std::size_t count = (args ? args->items.size() : 0) + (assigned ? 1 : 0);
  SmallVariants<8> argv(count);
  if (args) {
    for (std::size_t i = 0; i < args->items.size(); ++i) {
      Expr* a = args->items[i].get();
      if (!a) {
        argv[i] = Variant::Missing();
        continue;
      }
      // A plain variable goes by reference, so the host can write back into it.
      if (a->kind == ExprKind::Name && !static_cast<NameExpr*>(a)->args.present) {
        if (Variant* storage = Storage(*static_cast<NameExpr*>(a), f, false)) {
          argv[i] = Variant::ByRef(*storage);
          continue;
        }
      }
      argv[i] = Eval(*a, f);
    }
  }
  if (assigned) argv[count - 1] = *assigned;
  Ref<Dispatch> hold(&object);
  try {
    return object.Invoke(id, kind, argv.span());
  } catch (const ScriptError&) {
    throw;
  } catch (const automation::AutomationError& e) {
    throw ToScriptError(e);
  }
}

Variant Interpreter::CallScriptMember(ScriptObject& object, int memberIndex, InvokeKind kind,
                                      ArgList* args, Frame& f, const Variant* assigned,
                                      std::u16string_view name) {
  if (!object.Alive()) ThrowRuntime(err::kObjectRequired, std::u16string(name));
  Ref<Dispatch> hold(&object);
  const ClassMember& m = object.Class().members[static_cast<std::size_t>(memberIndex)];
  bool put = automation::Has(kind, InvokeKind::PropertyPut) ||
             automation::Has(kind, InvokeKind::PropertyPutRef);
  if (m.field >= 0) {
    Variant& field = object.fields[static_cast<std::size_t>(m.field)];
    if (!put) {
      if (!args || !args->present) return field;
      return ApplyArgs(field, *args, f, m.name);
    }
    bool isSet = automation::Has(kind, InvokeKind::PropertyPutRef);
    if (args && args->present && !args->items.empty()) {
      if (field.IsArray()) {
        IndexList indices = Indices(*args, f);
        field.MutableArray().Store(indices.Span(), isSet ? *assigned : LetValue(*assigned));
        return Variant();
      }
      ThrowRuntime(err::kTypeMismatch, m.name);
    }
    StoreInto(field, *assigned, isSet);
    return Variant();
  }
  if (put) {
    Procedure* p = automation::Has(kind, InvokeKind::PropertyPutRef) ? m.set : m.let;
    if (!p) p = m.let ? m.let : m.set;
    if (!p) ThrowRuntime(err::kObjectDoesNotSupportMember, m.name);
    return CallScript(*p, &object, args, f, m.name, assigned);
  }
  Procedure* p = m.method ? m.method : m.get;
  if (!p) ThrowRuntime(err::kObjectDoesNotSupportMember, m.name);
  if (!m.method && m.get && args && args->present && args->items.size() > p->params.size()) {
    // obj.Items(1) where Items takes no index: the index applies to the value.
    ArgList none;
    Variant value = CallScript(*p, &object, &none, f, m.name);
    return ApplyArgs(value, *args, f, m.name);
  }
  return CallScript(*p, &object, args, f, m.name);
}

Variant Interpreter::CallScript(Procedure& proc, ScriptObject* me, ArgList* args, Frame& f,
                                const std::u16string& name, const Variant* assigned) {
  std::size_t given = args ? args->items.size() : 0;
  std::size_t count = given + (assigned ? 1 : 0);
  if (count != proc.params.size()) ThrowRuntime(err::kWrongNumberOfArguments, name);
  SmallVariants<8> argv(count);
  // Array elements passed by reference are copied in and written back after the call.
  struct WriteBack {
    Variant* array;
    IndexList indices;
    std::size_t arg;
  };
  std::vector<WriteBack> writeBacks;
  for (std::size_t i = 0; i < given; ++i) {
    Expr* a = args->items[i].get();
    if (!a) {
      argv[i] = Variant::Missing();
      continue;
    }
    if (!proc.params[i].byVal && a->kind == ExprKind::Name) {
      auto* n = static_cast<NameExpr*>(a);
      if (!n->args.present) {
        if (Variant* storage = Storage(*n, f, false)) {
          argv[i] = Variant::ByRef(*storage);
          continue;
        }
      } else if (Variant* storage = Storage(*n, f, false); storage && storage->Deref().IsArray()) {
        IndexList indices = Indices(n->args, f);
        argv[i] = storage->Deref().AsArray().At(indices.Span());
        writeBacks.push_back(WriteBack{storage, std::move(indices), i});
        continue;
      }
    }
    argv[i] = Eval(*a, f);
  }
  if (assigned) argv[count - 1] = *assigned;
  if (writeBacks.empty()) return Invoke(proc, me, argv.span());
  // Pass the copies by reference so the callee's changes land in them.
  SmallVariants<8> refs(count);
  for (std::size_t i = 0; i < count; ++i) refs[i] = argv[i];
  for (auto& w : writeBacks) refs[w.arg] = Variant::ByRef(argv[w.arg]);
  Variant result = Invoke(proc, me, refs.span());
  for (auto& w : writeBacks) {
    Variant& array = w.array->Deref();
    if (!array.IsArray()) continue;
    try {
      array.MutableArray().Store(w.indices.Span(), argv[w.arg]);
    } catch (const automation::AutomationError&) {
      // The array changed shape during the call; the element no longer exists.
    }
  }
  return result;
}

Variant Interpreter::Invoke(Procedure& proc, ScriptObject* me, std::span<Variant> args) {
  CheckStack();
  SmallVariants<16> locals(static_cast<std::size_t>(proc.slotCount > 0 ? proc.slotCount : 1));
  for (std::size_t i = 0; i < args.size() && i < proc.params.size(); ++i) {
    Variant& a = args[i];
    if (proc.params[i].byVal || !a.IsByRef()) {
      locals[i + 1] = a.Deref();
      if (locals[i + 1].IsMissing()) locals[i + 1] = Variant();
    } else {
      locals[i + 1] = a;
    }
  }
  Frame f;
  f.locals = locals.data();
  f.proc = &proc;
  f.module = proc.module;
  f.me = me;
  Ref<Dispatch> hold(me);
  ExecBlock(proc.body, f);
  return std::move(locals[0]);
}

Variant Interpreter::CallBuiltin(const Builtin& b, ArgList& args, Frame& f,
                                 const std::u16string& name) {
  if (b.isConstant) {
    if (args.present && !args.items.empty()) ThrowRuntime(err::kTypeMismatch, name);
    return *b.constant;
  }
  std::size_t n = args.items.size();
  if (n < b.minArgs || n > b.maxArgs) ThrowRuntime(err::kWrongNumberOfArguments, name);
  SmallVariants<8> argv(n);
  for (std::size_t i = 0; i < n; ++i) {
    Expr* a = args.items[i].get();
    argv[i] = a ? Eval(*a, f) : Variant::Missing();
  }
  CallContext ctx{*this, f};
  return b.fn(ctx, argv.span());
}

Variant Interpreter::EvalNew(NewExpr& n, Frame& f) {
  if (n.cache.epoch != engine_.Epoch()) {
    GlobalCache c;
    Module& module = f.module ? *f.module : engine_.GlobalModule();
    if (!engine_.Resolve(module, n.folded, c)) c.kind = GlobalKind::Undefined;
    c.epoch = engine_.Epoch();
    n.cache = c;
  }
  if (n.cache.kind == GlobalKind::Class) return Variant(NewInstance(*n.cache.cls));
  if (n.folded == u"regexp") {
    try {
      return Variant(automation::CreateObject(u"VBScript.RegExp"));
    } catch (const automation::AutomationError& e) {
      throw ToScriptError(e);
    }
  }
  ThrowRuntime(err::kClassNotDefined, n.className);
}

Ref<Dispatch> Interpreter::NewInstance(ClassDecl& cls) {
  auto object = automation::MakeRef<ScriptObject>(cls, Ref<Program>(cls.program), engine_.Link());
  engine_.Track(object.get());
  for (std::size_t i = 0; i < cls.fields.size(); ++i) {
    const FieldDecl& fd = cls.fields[i];
    if (!fd.isArray) continue;
    std::vector<SafeArray::Bound> bounds;
    for (auto b : fd.bounds) bounds.push_back(SafeArray::Bound{0, b});
    auto array = automation::MakeRef<SafeArray>(VarType::Variant, std::move(bounds));
    array->SetFixed(!fd.bounds.empty());
    object->fields[i] = Variant(array);
  }
  if (cls.initialize) Invoke(*cls.initialize, object.get(), {});
  return Ref<Dispatch>(object.get());
}

void Interpreter::Terminate(ScriptObject& object) noexcept {
  if (!object.Class().terminate) return;
  try {
    Session session(*this);
    Invoke(*object.Class().terminate, &object, {});
  } catch (...) {
    // An error in Class_Terminate is dropped: the object is going away regardless.
  }
}

Variant Interpreter::InvokeScriptMember(ScriptObject& object, int member, InvokeKind kind,
                                        std::span<Variant> args) {
  Session session(*this);
  const ClassMember& m = object.Class().members[static_cast<std::size_t>(member)];
  bool put = automation::Has(kind, InvokeKind::PropertyPut) ||
             automation::Has(kind, InvokeKind::PropertyPutRef);
  try {
    if (m.field >= 0) {
      Variant& field = object.fields[static_cast<std::size_t>(m.field)];
      if (put) {
        if (args.empty()) ThrowRuntime(err::kWrongNumberOfArguments, m.name);
        StoreInto(field, args.back().Deref(), automation::Has(kind, InvokeKind::PropertyPutRef));
        return Variant();
      }
      if (args.empty()) return field;
      if (!field.IsArray()) ThrowRuntime(err::kTypeMismatch, m.name);
      std::vector<std::int32_t> indices;
      for (auto& a : args) indices.push_back(automation::ToLong(a));
      return field.AsArray().At(indices);
    }
    Procedure* p =
        put ? (automation::Has(kind, InvokeKind::PropertyPutRef) && m.set ? m.set
                                                                          : (m.let ? m.let : m.set))
            : (m.method ? m.method : m.get);
    if (!p) ThrowRuntime(err::kObjectDoesNotSupportMember, m.name);
    return CallFromHost(*p, &object, args);
  } catch (ScriptError&) {
    throw;
  } catch (const automation::AutomationError& e) {
    throw ToScriptError(e);
  }
}

// ---------------------------------------------------------------- storage and assignment

Variant* Interpreter::Storage(NameExpr& n, Frame& f, bool create) {
  switch (n.binding) {
    case NameBinding::Local:
      return &f.locals[n.slot].Deref();
    case NameBinding::Field:
      return f.me ? &f.me->fields[static_cast<std::size_t>(n.slot)] : nullptr;
    case NameBinding::Constant:
    case NameBinding::Method:
      return nullptr;
    case NameBinding::Global:
    case NameBinding::Unbound:
      break;
  }
  GlobalCache& c = Resolve(n, f);
  switch (c.kind) {
    case GlobalKind::Variable:
      return c.var;
    case GlobalKind::ImplicitLocal:
      return &f.locals[n.slot].Deref();
    case GlobalKind::Undefined:
    case GlobalKind::Unresolved: {
      if (!create) return nullptr;
      if (ExplicitIn(f)) ThrowRuntime(err::kVariableUndefined, n.name);
      Module& module = f.module ? *f.module : engine_.GlobalModule();
      Variant* var = &module.DeclareVariable(n.folded);
      Resolve(n, f);
      return var;
    }
    default:
      return nullptr;
  }
}

void Interpreter::StoreInto(Variant& storage, Variant value, bool isSet) {
  Variant& target = storage.Deref();
  if (isSet) {
    if (!value.IsObject()) ThrowRuntime(err::kObjectRequired);
    target = std::move(value);
    return;
  }
  target = LetValue(std::move(value));
}

void Interpreter::Assign(Expr& target, Variant value, bool isSet, Frame& f) {
  if (target.kind == ExprKind::Member) {
    auto& m = static_cast<MemberExpr&>(target);
    Variant object = m.object ? Eval(*m.object, f) : f.with;
    if (!isSet)
      value = LetValue(std::move(value));
    else if (!value.IsObject())
      ThrowRuntime(err::kObjectRequired);
    CallObject(object, m.name, &m.cache,
               isSet ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut, &m.args, f, &value,
               m.object.get());
    return;
  }
  if (target.kind == ExprKind::Index) {
    auto& x = static_cast<IndexExpr&>(target);
    Variant object = EvalCall(*x.target, f, false);
    if (!object.IsObject() || !object.AsObject()) ThrowRuntime(err::kTypeMismatch);
    if (!isSet) value = LetValue(std::move(value));
    CallDispatch(*object.AsObject(), automation::kDispIdValue,
                 isSet ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut, &x.args, f, &value);
    return;
  }
  if (target.kind != ExprKind::Name) ThrowRuntime(err::kIllegalAssignment);
  auto& n = static_cast<NameExpr&>(target);
  if ((n.binding == NameBinding::Method || n.binding == NameBinding::Field) && !f.me)
    ThrowRuntime(err::kObjectRequired, u"Me");
  if (!n.args.present || n.args.items.empty()) {
    if (Variant* storage = Storage(n, f, true)) {
      if (storage->IsByRef()) storage = &storage->Deref();
      StoreInto(*storage, std::move(value), isSet);
      return;
    }
    if (n.binding == NameBinding::Method) {
      CallScriptMember(*f.me, n.slot, isSet ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut,
                       nullptr, f, &value, n.name);
      return;
    }
    if (n.binding == NameBinding::Global && n.cache.kind == GlobalKind::GlobalMember) {
      if (!isSet) value = LetValue(std::move(value));
      CallDispatch(*n.cache.object, n.cache.id,
                   isSet ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut, nullptr, f,
                   &value);
      return;
    }
    ThrowRuntime(err::kIllegalAssignment, n.name);
  }
  // name(args) = value: an array element, or an indexed property.
  if (n.binding == NameBinding::Method) {
    CallScriptMember(*f.me, n.slot, isSet ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut,
                     &n.args, f, &value, n.name);
    return;
  }
  Variant* storage = Storage(n, f, false);
  if (!storage) {
    if (n.binding == NameBinding::Global && n.cache.kind == GlobalKind::GlobalMember) {
      if (!isSet) value = LetValue(std::move(value));
      CallDispatch(*n.cache.object, n.cache.id,
                   isSet ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut, &n.args, f,
                   &value);
      return;
    }
    if (n.binding == NameBinding::Global && n.cache.kind == GlobalKind::NamedObject) {
      if (!isSet) value = LetValue(std::move(value));
      CallDispatch(*n.cache.object, automation::kDispIdValue,
                   isSet ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut, &n.args, f,
                   &value);
      return;
    }
    if (ExplicitIn(f) &&
        (n.binding == NameBinding::Global && (n.cache.kind == GlobalKind::Undefined)))
      ThrowRuntime(err::kVariableUndefined, n.name);
    ThrowRuntime(err::kTypeMismatch, n.name);
  }
  Variant& var = storage->Deref();
  if (var.IsArray()) {
    IndexList indices = Indices(n.args, f);
    if (isSet && !value.IsObject()) ThrowRuntime(err::kObjectRequired);
    Variant stored = isSet ? std::move(value) : LetValue(std::move(value));
    Variant& array = storage->Deref();  // re-read: evaluating the indices may have changed it
    if (!array.IsArray()) ThrowRuntime(err::kTypeMismatch, n.name);
    array.MutableArray().Store(indices.Span(), stored);
    return;
  }
  if (var.IsObject() && var.AsObject()) {
    if (!isSet) value = LetValue(std::move(value));
    Variant object = var;
    CallDefault(object, isSet ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut, &n.args, f,
                &value, n.name);
    return;
  }
  ThrowRuntime(err::kTypeMismatch, n.name);
}

}  // namespace telvinor::vbscript
