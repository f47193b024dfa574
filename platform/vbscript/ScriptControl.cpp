#include "vbscript/ScriptControl.h"

#include "automation/ClassRegistry.h"
#include "automation/Conversions.h"
#include "automation/SafeArray.h"
#include "vbscript/Dictionary.h"
#include "vbscript/RegExpObject.h"
#include "vbscript/ScriptControlObjects.h"
#include "vbscript/ScriptError.h"

namespace telvinor::vbscript {

using automation::AutomationError;
using automation::ClassBuilder;
using automation::ClassInfo;
using automation::OptionalParam;
using automation::Param;
using automation::ParamArray;
using automation::Ref;
using automation::VarType;

namespace {
constexpr std::u16string_view kControlSource = u"ScriptControl";
}  // namespace

ScriptControl::ScriptControl()
    : engine_(std::make_unique<Engine>()), error_(automation::MakeRef<ScriptErrorInfo>()) {
  engine_->SetTimeout(kDefaultTimeoutMs);
}

ScriptControl::~ScriptControl() = default;

void ScriptControl::SetLanguage(std::u16string_view language) {
  if (!automation::EqualsIgnoringCase(language, u"VBScript"))
    throw AutomationError(err::kInvalidPropertyValue, std::u16string(kControlSource),
                          u"The language '" + std::u16string(language) + u"' is not supported");
  language_ = u"VBScript";
}

void ScriptControl::Reset() {
  if (engine_->IsRunning())
    throw AutomationError(kExecutingError, std::u16string(kControlSource),
                          std::u16string(kExecutingText));
  error_->Clear();
  engine_->Reset();
}

void ScriptControl::AddModule(std::u16string_view name) {
  if (name.empty()) throw AutomationError(err::kInvalidProcedureCall);
  engine_->AddModule(name);
}

bool ScriptControl::HasModule(std::u16string_view name) const noexcept {
  return engine_->FindModule(name) != nullptr;
}

void ScriptControl::AddObject(std::u16string_view name, automation::Dispatch* object,
                              bool addMembers) {
  if (name.empty() || !object) throw AutomationError(err::kInvalidProcedureCall);
  // The control added to its own scripts ("sc") is held without a reference: a script host
  // that holds itself would never be freed.
  engine_->AddObject(name, object, addMembers, this);
}

Module& ScriptControl::ModuleNamed(std::u16string_view name) {
  Module* m = engine_->FindModule(name);
  if (!m) {
    throw AutomationError(err::kSubscriptOutOfRange, std::u16string(kControlSource),
                          u"Module not found: '" + std::u16string(name) + u"'");
  }
  return *m;
}

template <class F>
auto ScriptControl::Running(std::u16string_view module, F&& body) {
  if (engine_->IsRunning())
    throw AutomationError(kExecutingError, std::u16string(kControlSource),
                          std::u16string(kExecutingText));
  Ref<ScriptControl> keepAlive(this);  // a script may drop the host's last reference to us
  error_->Clear();
  try {
    return body(ModuleNamed(module));
  } catch (const AutomationError& e) {
    error_->Set(e);
    throw;
  }
}

void ScriptControl::AddCode(std::u16string_view module, std::u16string_view code) {
  Running(module, [&](Module& m) { engine_->AddCode(m, code); });
}

void ScriptControl::ExecuteStatement(std::u16string_view module, std::u16string_view statement) {
  Running(module, [&](Module& m) { engine_->ExecuteStatement(m, statement); });
}

Variant ScriptControl::Eval(std::u16string_view module, std::u16string_view expression) {
  return Running(module, [&](Module& m) { return engine_->Eval(m, expression); });
}

Variant ScriptControl::Run(std::u16string_view module, std::u16string_view procedure,
                           std::span<Variant> args) {
  return Running(module, [&](Module& m) { return engine_->Run(m, procedure, args); });
}

// ---------------------------------------------------------------- Error

void ScriptErrorInfo::Clear() {
  number = 0;
  source.clear();
  description.clear();
  text.clear();
  helpFile.clear();
  line = column = helpContext = 0;
}

void ScriptErrorInfo::Set(const AutomationError& e) {
  Clear();
  number = e.Number();
  source = e.Source();
  description = e.Description();
  if (auto* s = dynamic_cast<const ScriptError*>(&e)) {
    line = static_cast<std::int32_t>(s->line);
    column = static_cast<std::int32_t>(s->column);
    text = s->lineText;
  }
}

const ClassInfo& ScriptErrorInfo::Class() {
  static const ClassInfo info =
      ClassBuilder<ScriptErrorInfo>(u"Error")
          .Get(u"Number", automation::kDispIdValue, VarType::Long,
               [](ScriptErrorInfo& e) { return e.number; })
          .Get(u"Source", 1, VarType::String, [](ScriptErrorInfo& e) { return Variant(e.source); })
          .Get(u"Description", 2, VarType::String,
               [](ScriptErrorInfo& e) { return Variant(e.description); })
          .Get(u"HelpFile", 3, VarType::String,
               [](ScriptErrorInfo& e) { return Variant(e.helpFile); })
          .Get(u"HelpContext", 4, VarType::Long, [](ScriptErrorInfo& e) { return e.helpContext; })
          .Get(u"Text", 5, VarType::String, [](ScriptErrorInfo& e) { return Variant(e.text); })
          .Get(u"Line", 6, VarType::Long, [](ScriptErrorInfo& e) { return e.line; })
          .Get(u"Column", 7, VarType::Long, [](ScriptErrorInfo& e) { return e.column; })
          .Method(u"Clear", 8, {}, [](ScriptErrorInfo& e, std::span<Variant>) { e.Clear(); })
          .Build();
  return info;
}

// ---------------------------------------------------------------- the automation class

const ClassInfo& ScriptControl::Class() {
  static const ClassInfo info =
      ClassBuilder<ScriptControl>(u"ScriptControl")
          .ProgId(std::u16string(kScriptControlProgId))
          .ClassId(kScriptControlClassId)
          .Property(
              u"Language", 1500, VarType::String,
              [](ScriptControl& c) { return Variant(c.language_); },
              [](ScriptControl& c, const Variant& v) { c.SetLanguage(v.AsString()); })
          .Property(
              u"Timeout", 1502, VarType::Long, [](ScriptControl& c) { return c.Timeout(); },
              [](ScriptControl& c, const Variant& v) { c.SetTimeout(v.AsLong()); })
          .Property(
              u"AllowUI", 1503, VarType::Boolean, [](ScriptControl& c) { return c.AllowUI(); },
              [](ScriptControl& c, const Variant& v) { c.SetAllowUI(v.AsBoolean()); })
          .Property(
              u"UseSafeSubset", 1504, VarType::Boolean,
              [](ScriptControl& c) { return c.useSafeSubset_; },
              [](ScriptControl& c, const Variant& v) { c.useSafeSubset_ = v.AsBoolean(); })
          .Get(u"Modules", 1505, VarType::Object,
               [](ScriptControl& c) {
                 return Variant(automation::MakeRef<ModulesObject>(Ref<ScriptControl>(&c)));
               })
          .Get(u"Error", 1506, VarType::Object, [](ScriptControl& c) { return Variant(c.error_); })
          .Method(u"Reset", 1509, {}, [](ScriptControl& c, std::span<Variant>) { c.Reset(); })
          .Method(u"AddObject", 2500,
                  {Param(u"Name", VarType::String), Param(u"Object", VarType::Object),
                   OptionalParam(u"AddMembers", VarType::Boolean, false)},
                  [](ScriptControl& c, std::span<Variant> a) {
                    c.AddObject(a[0].AsString(), a[1].AsObject(), a[2].AsBoolean());
                  })
          .Method(u"AddCode", 2000, {Param(u"Code", VarType::String)},
                  [](ScriptControl& c, std::span<Variant> a) { c.AddCode(a[0].AsString()); })
          .Method(u"Eval", 2001, {Param(u"Expression", VarType::String)},
                  [](ScriptControl& c, std::span<Variant> a) { return c.Eval(a[0].AsString()); })
          .Method(
              u"ExecuteStatement", 2002, {Param(u"Statement", VarType::String)},
              [](ScriptControl& c, std::span<Variant> a) { c.ExecuteStatement(a[0].AsString()); })
          .Method(u"Run", 2003,
                  {Param(u"ProcedureName", VarType::String), ParamArray(u"Parameters")},
                  [](ScriptControl& c, std::span<Variant> a) {
                    auto params = a[1].MutableArray().Elements();
                    return c.Run(kGlobalModule, a[0].AsString(), params);
                  })
          .Build();
  return info;
}

// ---------------------------------------------------------------- Modules and Module

const ClassInfo& ModulesObject::Class() {
  static const ClassInfo info =
      ClassBuilder<ModulesObject>(u"Modules")
          .IndexedGet(
              u"Item", automation::kDispIdValue, {Param(u"Index")}, VarType::Object,
              [](ModulesObject& m, std::span<Variant> a) -> Variant {
                ScriptControl& c = m.Control();
                const Variant& index = a[0].Deref();
                std::u16string name;
                if (index.IsString()) {
                  name = std::u16string(index.AsString());
                  if (!c.HasModule(name)) {
                    throw AutomationError(err::kSubscriptOutOfRange, std::u16string(kControlSource),
                                          u"Module not found: '" + name + u"'");
                  }
                } else {
                  std::int32_t i = automation::ToLong(index);
                  const auto& modules = c.ScriptEngine().Modules();
                  if (i < 1 || static_cast<std::size_t>(i) > modules.size())
                    throw AutomationError(err::kSubscriptOutOfRange);
                  name = modules[static_cast<std::size_t>(i - 1)]->Name();
                }
                return Variant(automation::MakeRef<ModuleObject>(Ref<ScriptControl>(&c), name));
              })
          .Get(
              u"Count", 1, VarType::Long,
              [](ModulesObject& m) { return static_cast<std::int32_t>(m.Control().ModuleCount()); })
          .Method(u"Add", 2,
                  {Param(u"Name", VarType::String), OptionalParam(u"Object", VarType::Variant)},
                  [](ModulesObject& m, std::span<Variant> a) {
                    m.Control().AddModule(a[0].AsString());
                    return Variant(automation::MakeRef<ModuleObject>(
                        Ref<ScriptControl>(&m.Control()), std::u16string(a[0].AsString())));
                  })
          .Method(
              u"_NewEnum", automation::kDispIdNewEnum, {},
              [](ModulesObject& m, std::span<Variant>) {
                std::vector<Variant> items;
                for (const auto& module : m.Control().ScriptEngine().Modules()) {
                  items.push_back(Variant(automation::MakeRef<ModuleObject>(
                      Ref<ScriptControl>(&m.Control()), module->Name())));
                }
                return Variant(automation::MakeRef<automation::ValueEnumerator>(std::move(items)));
              })
          .Build();
  return info;
}

const ClassInfo& ModuleObject::Class() {
  static const ClassInfo info =
      ClassBuilder<ModuleObject>(u"Module")
          .Get(u"Name", automation::kDispIdValue, VarType::String,
               [](ModuleObject& m) { return Variant(m.Name()); })
          .Method(u"AddCode", 2, {Param(u"Code", VarType::String)},
                  [](ModuleObject& m, std::span<Variant> a) {
                    m.Control().AddCode(m.Name(), a[0].AsString());
                  })
          .Method(u"ExecuteStatement", 3, {Param(u"Statement", VarType::String)},
                  [](ModuleObject& m, std::span<Variant> a) {
                    m.Control().ExecuteStatement(m.Name(), a[0].AsString());
                  })
          .Method(u"Eval", 4, {Param(u"Expression", VarType::String)},
                  [](ModuleObject& m, std::span<Variant> a) {
                    return m.Control().Eval(m.Name(), a[0].AsString());
                  })
          .Method(u"Run", 5, {Param(u"ProcedureName", VarType::String), ParamArray(u"Parameters")},
                  [](ModuleObject& m, std::span<Variant> a) {
                    auto params = a[1].MutableArray().Elements();
                    return m.Control().Run(m.Name(), a[0].AsString(), params);
                  })
          .Build();
  return info;
}

// ---------------------------------------------------------------- registration

void RegisterScriptClasses() {
  automation::RegisterClass(
      kScriptControlProgId, automation::Guid::FromString(kScriptControlClassId),
      [] { return Ref<automation::Dispatch>(automation::MakeRef<ScriptControl>()); });
  automation::RegisterClass(
      kDictionaryProgId, automation::Guid::FromString(kDictionaryClassId),
      [] { return Ref<automation::Dispatch>(automation::MakeRef<Dictionary>()); });
  automation::RegisterClass(kRegExpProgId, automation::Guid::FromString(kRegExpClassId), [] {
    return Ref<automation::Dispatch>(automation::MakeRef<RegExpObject>());
  });
}

namespace {
// Loading the library makes its classes creatable, as registering an in-process server would.
const bool registeredAtLoad = (RegisterScriptClasses(), true);
}  // namespace

}  // namespace telvinor::vbscript
