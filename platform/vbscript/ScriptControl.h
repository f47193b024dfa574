#pragma once
// ScriptControl: the script host a program embeds, as an automation class
// ("MSScriptControl.ScriptControl") and as a plain C++ API.
//
// The host chooses the language ("VBScript", the only one), whether scripts may show message
// boxes (AllowUI) and a time limit per call (Timeout, -1 for none); adds modules by exact
// name and code to them; adds named objects (with their members as global names if asked);
// and runs statements, expressions and procedures. Errors reach the host as AutomationError
// with the script error's number, source and description, and stay readable in Error with
// line, column and source text. A call that would run script while a statement of this
// control is already running (a script calling back into its own host) is refused.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "automation/ClassInfo.h"
#include "vbscript/Engine.h"

namespace telvinor::vbscript {

class ScriptErrorInfo;

inline constexpr std::u16string_view kScriptControlProgId = u"MSScriptControl.ScriptControl";
inline constexpr std::string_view kScriptControlClassId = "{0e59f1d5-1fbe-11d0-8ff2-00a0d10038bc}";
inline constexpr std::u16string_view kGlobalModule = u"Global";
inline constexpr std::u16string_view kExecutingText =
    u"Cannot call this method while the script is executing";
// The number of that refusal (E_UNEXPECTED) and of a language other than VBScript (380).
inline constexpr std::int32_t kExecutingError = static_cast<std::int32_t>(0x8000FFFFu);
// A new control stops a call after ten seconds until the host sets Timeout (-1: never).
inline constexpr std::int32_t kDefaultTimeoutMs = 10000;

class ScriptControl : public automation::AutomationObject<ScriptControl> {
 public:
  static const automation::ClassInfo& Class();
  ScriptControl();
  ~ScriptControl() override;

  // ---- settings
  void SetLanguage(std::u16string_view language);  // refuses all but "VBScript"
  [[nodiscard]] const std::u16string& Language() const noexcept { return language_; }
  void SetAllowUI(bool allow) noexcept { engine_->SetAllowUI(allow); }
  [[nodiscard]] bool AllowUI() const noexcept { return engine_->AllowUI(); }
  void SetTimeout(std::int32_t milliseconds) noexcept { engine_->SetTimeout(milliseconds); }
  [[nodiscard]] std::int32_t Timeout() const noexcept { return engine_->Timeout(); }
  // Where MsgBox and InputBox go; without a handler they are written to standard error.
  void SetUiHandler(UiHandler handler) { engine_->SetUiHandler(std::move(handler)); }

  // ---- modules and objects
  void Reset();
  void AddModule(std::u16string_view name);
  [[nodiscard]] bool HasModule(std::u16string_view name) const noexcept;
  [[nodiscard]] std::size_t ModuleCount() const noexcept { return engine_->Modules().size(); }
  void AddObject(std::u16string_view name, automation::Dispatch* object, bool addMembers);

  // ---- running code; `module` is a name given to AddModule, or "Global"
  void AddCode(std::u16string_view code) { AddCode(kGlobalModule, code); }
  void AddCode(std::u16string_view module, std::u16string_view code);
  void ExecuteStatement(std::u16string_view statement) {
    ExecuteStatement(kGlobalModule, statement);
  }
  void ExecuteStatement(std::u16string_view module, std::u16string_view statement);
  Variant Eval(std::u16string_view expression) { return Eval(kGlobalModule, expression); }
  Variant Eval(std::u16string_view module, std::u16string_view expression);
  Variant Run(std::u16string_view module, std::u16string_view procedure, std::span<Variant> args);

  // The last error (cleared by each call that runs code).
  [[nodiscard]] ScriptErrorInfo& Error() const noexcept { return *error_; }
  [[nodiscard]] Engine& ScriptEngine() noexcept { return *engine_; }

 private:
  template <class F>
  auto Running(std::u16string_view module, F&& body);
  Module& ModuleNamed(std::u16string_view name);

  std::unique_ptr<Engine> engine_;
  automation::Ref<ScriptErrorInfo> error_;
  std::u16string language_ = u"VBScript";
  bool useSafeSubset_ = false;
};

// The Error object: the last error of the control.
class ScriptErrorInfo : public automation::AutomationObject<ScriptErrorInfo> {
 public:
  static const automation::ClassInfo& Class();
  void Clear();
  void Set(const automation::AutomationError& e);

  std::int32_t number = 0;
  std::u16string source, description, text, helpFile;
  std::int32_t line = 0, column = 0, helpContext = 0;
};

// Makes "MSScriptControl.ScriptControl", "Scripting.Dictionary" and "VBScript.RegExp"
// creatable by name. Done when the library loads; calling it again is harmless.
void RegisterScriptClasses();

}  // namespace telvinor::vbscript
