// The rest of the library: objects (CreateObject, GetObject, GetRef, Err), running code
// (Eval, Execute, ExecuteGlobal), the user interface (MsgBox, InputBox) and the engine's
// identity (ScriptEngine..., GetLocale, SetLocale, RGB).

#include "automation/ClassInfo.h"
#include "automation/ClassRegistry.h"
#include "automation/Conversions.h"
#include "vbscript/Builtins.h"
#include "vbscript/Engine.h"
#include "vbscript/ErrObject.h"
#include "vbscript/Module.h"
#include "vbscript/ScriptError.h"
#include "vbscript/ScriptObject.h"

namespace telvinor::vbscript {
namespace {

using namespace lib;

// The locale the library formats in: Chinese (PRC).
constexpr std::int32_t kLocaleId = 2052;

Variant CreateObjectFn(CallContext&, std::span<Variant> a) {
  automation::BString progId = TextArg(a[0]);
  try {
    return Variant(automation::CreateObject(progId.view()));
  } catch (const ScriptError&) {
    throw;
  } catch (const automation::AutomationError& e) {
    if (e.Number() == err::kCannotCreateObject)
      ThrowRuntime(err::kCannotCreateObject, progId.str());
    throw;
  }
}

Variant GetObjectFn(CallContext& ctx, std::span<Variant> a) {
  // Only the form that makes a new object (an empty path with a class) can be served; there
  // are no running objects or files bound to classes to find.
  if (Given(a, 1) && Given(a, 0) && TextArg(a[0]).empty())
    return CreateObjectFn(ctx, a.subspan(1, 1));
  ThrowRuntime(err::kCannotCreateObject);
}

Variant EvalFn(CallContext& ctx, std::span<Variant> a) {
  automation::BString code = TextArg(a[0]);
  return ctx.interpreter.EvalText(ctx, code.view());
}

Variant ExecuteFn(CallContext& ctx, std::span<Variant> a) {
  automation::BString code = TextArg(a[0]);
  ctx.interpreter.ExecuteText(ctx, code.view(), false);
  return Variant();
}

Variant ExecuteGlobalFn(CallContext& ctx, std::span<Variant> a) {
  automation::BString code = TextArg(a[0]);
  ctx.interpreter.ExecuteText(ctx, code.view(), true);
  return Variant();
}

Variant GetRefFn(CallContext& ctx, std::span<Variant> a) {
  automation::BString name = TextArg(a[0]);
  std::u16string folded = automation::FoldCase(name.view());
  Engine& engine = ctx.interpreter.Owner();
  Module& module = ctx.frame.module ? *ctx.frame.module : engine.GlobalModule();
  const Symbol* s = module.Find(folded);
  if ((!s || s->kind != GlobalKind::Procedure) && &module != &engine.GlobalModule())
    s = engine.GlobalModule().Find(folded);
  if (!s || s->kind != GlobalKind::Procedure) ThrowRuntime(err::kInvalidProcedureCall);
  return Variant(automation::MakeRef<ProcedureRef>(
      *s->proc, automation::Ref<Program>(s->proc->program), engine.Link()));
}

Variant ErrFn(CallContext& ctx, std::span<Variant>) {
  return Variant(static_cast<automation::Dispatch*>(&ctx.interpreter.Owner().Err()));
}

Variant AskUser(CallContext& ctx, const UiRequest& request, std::u16string_view name) {
  Engine& engine = ctx.interpreter.Owner();
  if (!engine.AllowUI()) ThrowRuntime(err::kPermissionDenied, std::u16string(name));
  return engine.Ui() ? engine.Ui()(request) : DefaultUi(request);
}

Variant MsgBoxFn(CallContext& ctx, std::span<Variant> a) {
  UiRequest r;
  r.kind = UiRequest::Kind::MessageBox;
  r.prompt = a[0].IsNull() ? u"" : TextArg(a[0]).str();
  r.buttons = LongArg(a, 1, 0);
  if (Given(a, 2)) r.title = TextArg(a[2]).str();
  Variant answer = AskUser(ctx, r, u"MsgBox");
  return Variant(static_cast<std::int16_t>(automation::ToLong(answer)));
}

Variant InputBoxFn(CallContext& ctx, std::span<Variant> a) {
  UiRequest r;
  r.kind = UiRequest::Kind::InputBox;
  r.prompt = TextArg(a[0]).str();
  if (Given(a, 1)) r.title = TextArg(a[1]).str();
  if (Given(a, 2)) r.defaultText = TextArg(a[2]).str();
  Variant answer = AskUser(ctx, r, u"InputBox");
  return Variant(automation::ToBString(answer));
}

Variant RgbFn(CallContext&, std::span<Variant> a) {
  std::int32_t c[3];
  for (int i = 0; i < 3; ++i) {
    c[i] = automation::ToLong(Value(a[static_cast<std::size_t>(i)]));
    if (c[i] < 0) ThrowRuntime(err::kInvalidProcedureCall);
    if (c[i] > 255) c[i] = 255;
  }
  return Variant(c[0] + c[1] * 256 + c[2] * 65536);
}

Variant ScriptEngineFn(CallContext&, std::span<Variant>) {
  return Variant(u"VBScript");
}
Variant MajorFn(CallContext&, std::span<Variant>) {
  return Variant(std::int32_t{5});
}
Variant MinorFn(CallContext&, std::span<Variant>) {
  return Variant(std::int32_t{8});
}
Variant BuildFn(CallContext&, std::span<Variant>) {
  return Variant(std::int32_t{16384});
}
Variant GetLocaleFn(CallContext&, std::span<Variant>) {
  return Variant(kLocaleId);
}
Variant SetLocaleFn(CallContext&, std::span<Variant>) {
  return Variant(kLocaleId);
}

constexpr Builtin kFunctions[] = {
    {u"CreateObject", CreateObjectFn, 1, 2},
    {u"GetObject", GetObjectFn, 0, 2},
    {u"Eval", EvalFn, 1, 1},
    {u"Execute", ExecuteFn, 1, 1},
    {u"ExecuteGlobal", ExecuteGlobalFn, 1, 1},
    {u"GetRef", GetRefFn, 1, 1},
    {u"Err", ErrFn, 0, 0},
    {u"MsgBox", MsgBoxFn, 1, 5},
    {u"InputBox", InputBoxFn, 1, 7},
    {u"RGB", RgbFn, 3, 3},
    {u"ScriptEngine", ScriptEngineFn, 0, 0},
    {u"ScriptEngineMajorVersion", MajorFn, 0, 0},
    {u"ScriptEngineMinorVersion", MinorFn, 0, 0},
    {u"ScriptEngineBuildVersion", BuildFn, 0, 0},
    {u"GetLocale", GetLocaleFn, 0, 0},
    {u"SetLocale", SetLocaleFn, 0, 1},
};

}  // namespace

std::span<const Builtin> GlobalFunctions() {
  return kFunctions;
}

}  // namespace telvinor::vbscript
