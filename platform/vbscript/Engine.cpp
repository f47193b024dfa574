#include "vbscript/Engine.h"

#include <cstdio>
#include <new>

#include "automation/Utf.h"
#include "vbscript/Binder.h"
#include "vbscript/Builtins.h"
#include "vbscript/ErrObject.h"
#include "vbscript/Interpreter.h"
#include "vbscript/Parser.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {

using automation::Ref;

namespace {

constexpr std::u16string_view kGlobalModuleName = u"Global";

std::u16string LineOf(std::u16string_view code, std::uint32_t line) {
  std::uint32_t current = 1;
  std::size_t start = 0;
  for (std::size_t i = 0; i < code.size() && current < line; ++i) {
    if (code[i] == u'\n' || (code[i] == u'\r' && !(i + 1 < code.size() && code[i + 1] == u'\n'))) {
      ++current;
      start = i + 1;
    }
  }
  std::size_t end = start;
  while (end < code.size() && code[end] != u'\n' && code[end] != u'\r') ++end;
  return std::u16string(code.substr(start, end - start));
}

ScriptError Converted(const automation::AutomationError& e) {
  if (auto* s = dynamic_cast<const ScriptError*>(&e)) return *s;
  if (e.Source().empty()) {
    return ScriptError(ErrorKind::Runtime, e.Number(), std::u16string(kRuntimeSource),
                       std::u16string(ErrorText(e.Number())));
  }
  return FromHostError(e);
}

// Runs `body` as one call from the host: a session for the guards, and the errors the host
// sees. A time-out is turned into an error only at the outermost call, so no script handler
// can swallow it.
template <class F>
auto Guarded(Interpreter& interpreter, F&& body) {
  Interpreter::Session session(interpreter);
  try {
    return body();
  } catch (const ScriptTimeout&) {
    if (interpreter.Depth() > 1) throw;
    throw ScriptError(ErrorKind::Runtime, kTimedOut, std::u16string(kRuntimeSource),
                      std::u16string(kTimedOutText));
  } catch (ScriptError&) {
    throw;
  } catch (const automation::AutomationError& e) {
    throw Converted(e);
  } catch (const std::bad_alloc&) {
    throw ScriptError(ErrorKind::Runtime, err::kOutOfMemory);
  } catch (const std::length_error&) {
    throw ScriptError(ErrorKind::Runtime, err::kOutOfMemory);
  }
}

}  // namespace

Engine::Engine()
    : err_(automation::MakeRef<ErrObject>()), interpreter_(std::make_unique<Interpreter>(*this)) {
  link_ = automation::MakeRef<EngineLink>();
  link_->interpreter = interpreter_.get();
  modules_.push_back(std::make_unique<Module>(*this, std::u16string(kGlobalModuleName)));
}

Engine::~Engine() {
  ClearAll();
  link_->interpreter = nullptr;
}

void Engine::ClearAll() {
  // Objects made by the old code outlive it only as empty shells: their class is gone.
  link_->interpreter = nullptr;
  std::vector<std::pair<Ref<automation::Dispatch>, ResetClearable*>> live;
  live.reserve(tracked_.size());
  for (ResetClearable* t : tracked_)
    live.emplace_back(Ref<automation::Dispatch>(t->AsDispatch()), t);
  tracked_.clear();
  for (auto& [ref, object] : live) object->ClearForReset();
  live.clear();
  named_.clear();
  modules_.clear();
  err_->Clear();
  ++epoch_;
  link_ = automation::MakeRef<EngineLink>();
  link_->interpreter = interpreter_.get();
}

void Engine::Reset() {
  // Dropping the variables first lets objects they hold run Class_Terminate while their code
  // is still there, as closing the language's engine does; objects kept alive only by cycles
  // are emptied afterwards without it.
  {
    Interpreter::Session session(*interpreter_);
    for (auto& m : modules_) m->ClearVariables();
  }
  ClearAll();
  modules_.push_back(std::make_unique<Module>(*this, std::u16string(kGlobalModuleName)));
}

bool Engine::IsRunning() const noexcept {
  return interpreter_->Depth() > 0;
}

Module* Engine::FindModule(std::u16string_view name) noexcept {
  for (auto& m : modules_) {
    if (m->Name() == name) return m.get();
  }
  return nullptr;
}

Module& Engine::AddModule(std::u16string_view name) {
  if (FindModule(name)) ThrowRuntime(err::kDuplicateKey, std::u16string(name));
  modules_.push_back(std::make_unique<Module>(*this, std::u16string(name)));
  return *modules_.back();
}

void Engine::AddObject(std::u16string_view name, automation::Dispatch* object, bool globalMembers,
                       automation::Dispatch* self) {
  if (!object) ThrowRuntime(err::kInvalidProcedureCall);
  std::u16string folded = automation::FoldCase(name);
  for (const auto& n : named_) {
    if (n.folded == folded) ThrowRuntime(err::kDuplicateKey, std::u16string(name));
  }
  NamedObject n;
  n.name = std::u16string(name);
  n.folded = std::move(folded);
  if (object != self) n.object = Ref<automation::Dispatch>(object);
  n.raw = object;
  n.globalMembers = globalMembers;
  named_.push_back(std::move(n));
  ++epoch_;
}

bool Engine::Resolve(Module& module, const std::u16string& folded, GlobalCache& into) {
  auto fill = [&](const Symbol& s) {
    into.kind = s.kind;
    into.var = s.var;
    into.proc = s.proc;
    into.cls = s.cls;
    return true;
  };
  if (const Symbol* s = module.Find(folded)) return fill(*s);
  if (&module != &GlobalModule()) {
    if (const Symbol* s = GlobalModule().Find(folded)) return fill(*s);
  }
  for (const auto& n : named_) {
    if (n.folded == folded) {
      into.kind = GlobalKind::NamedObject;
      into.object = n.raw;
      return true;
    }
  }
  if (const Builtin* b = FindBuiltin(folded)) {
    into.kind = GlobalKind::Builtin;
    into.builtin = b;
    return true;
  }
  for (const auto& n : named_) {
    if (!n.globalMembers) continue;
    automation::DispId id = automation::kDispIdUnknown;
    try {
      id = n.raw->GetIdOfName(folded);
    } catch (const automation::AutomationError&) {
      continue;
    }
    if (id != automation::kDispIdUnknown) {
      into.kind = GlobalKind::GlobalMember;
      into.object = n.raw;
      into.id = id;
      return true;
    }
  }
  return false;
}

Ref<Program> Engine::Compile(Module& module, std::u16string_view code, bool expression,
                             const Procedure* enclosing, ClassDecl* enclosingClass) {
  Ref<Program> program;
  try {
    program = Parse(code, expression ? ParseMode::Expression : ParseMode::Code);
    Bind(*program, module, BindScope{enclosing, enclosingClass});
    // One piece of code may not define a name twice.
    std::vector<const std::u16string*> names;
    auto check = [&](const std::u16string& folded, std::uint32_t line, std::uint32_t column) {
      for (const auto* n : names) {
        if (*n == folded) {
          ScriptError e(ErrorKind::Compile, err::kNameRedefined);
          e.line = line;
          e.column = column;
          throw e;
        }
      }
      names.push_back(&folded);
    };
    for (const auto& p : program->procedures) check(p->folded, p->line, p->column);
    for (const auto& c : program->classes) check(c->folded, c->line, c->column);
    for (const auto& c : program->constants) check(c.folded, c.line, c.column);
  } catch (ScriptError& e) {
    if (e.line) e.lineText = LineOf(code, e.line);
    e.moduleName = module.Name();
    throw;
  }
  for (const auto& c : program->constants) module.DeclareConstant(c.folded, c.value);
  for (const auto& p : program->procedures) module.DeclareProcedure(*p);
  for (const auto& c : program->classes) module.DeclareClass(*c);
  for (const auto& v : program->declaredVariables) {
    const Symbol* s = module.Find(v);
    if (!s || s->kind != GlobalKind::Variable) module.DeclareVariable(v);
  }
  if (program->optionExplicit) module.optionExplicit = true;
  // Code that defines procedures or classes stays as long as the module; a statement run once
  // (the host's ExecuteStatement for every message, Execute in a loop) is dropped after it ran.
  if (!program->procedures.empty() || !program->classes.empty()) module.Keep(program);
  return program;
}

void Engine::AddCode(Module& module, std::u16string_view code) {
  Guarded(*interpreter_, [&] {
    Ref<Program> program = Compile(module, code, false, nullptr, nullptr);
    interpreter_->RunTopLevel(*program, module);
  });
}

void Engine::ExecuteStatement(Module& module, std::u16string_view code) {
  AddCode(module, code);
}

Variant Engine::Eval(Module& module, std::u16string_view expression) {
  return Guarded(*interpreter_, [&] {
    Ref<Program> program = Compile(module, expression, true, nullptr, nullptr);
    return interpreter_->EvaluateTopLevel(*program, module);
  });
}

Variant Engine::Run(Module& module, std::u16string_view procedure, std::span<Variant> args) {
  return Guarded(*interpreter_, [&]() -> Variant {
    std::u16string folded = automation::FoldCase(procedure);
    const Symbol* s = module.Find(folded);
    if ((!s || s->kind != GlobalKind::Procedure) && &module != &GlobalModule())
      s = GlobalModule().Find(folded);
    if (!s || s->kind != GlobalKind::Procedure)
      ThrowRuntime(err::kSubOrFunctionNotDefined, std::u16string(procedure));
    return interpreter_->CallFromHost(*s->proc, nullptr, args);
  });
}

EngineTracked::EngineTracked() {
  if (Engine* e = Engine::Current()) {
    link_ = e->Link();
    e->Track(this);
  }
}

EngineTracked::~EngineTracked() {
  if (link_ && link_->interpreter) link_->interpreter->Owner().Untrack(this);
}

Variant DefaultUi(const UiRequest& request) {
  std::string text = automation::ToUtf8(request.prompt);
  if (!request.title.empty()) text = automation::ToUtf8(request.title) + ": " + text;
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  if (request.kind == UiRequest::Kind::InputBox) return Variant(request.defaultText);
  return Variant(std::int32_t{1});  // vbOK
}

}  // namespace telvinor::vbscript
