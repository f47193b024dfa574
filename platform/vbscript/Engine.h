#pragma once
// Engine: the state of one script host: the global module and the named modules, the objects
// the host added, the Err object, the options (time limit, user interface), and the entry
// points that compile code into a module and run it. The ScriptControl facade is the public
// face; the interpreter (Interpreter.h) does the running.

#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "automation/Dispatch.h"
#include "automation/Variant.h"
#include "vbscript/Ast.h"
#include "vbscript/Module.h"

namespace telvinor::vbscript {

class Interpreter;
class ErrObject;

// What a script asks of the user: MsgBox and InputBox.
struct UiRequest {
  enum class Kind : std::uint8_t { MessageBox, InputBox } kind = Kind::MessageBox;
  std::u16string prompt, title, defaultText;
  std::int32_t buttons = 0;
};
// Returns MsgBox's button number (vbOK is 1) or InputBox's text.
using UiHandler = std::function<Variant(const UiRequest&)>;

// Objects that hold script values and may sit in reference cycles (script class instances,
// dictionaries): a reset empties them so that every cycle is broken and freed.
class ResetClearable {
 public:
  virtual void ClearForReset() noexcept = 0;
  [[nodiscard]] virtual automation::Dispatch* AsDispatch() noexcept = 0;

 protected:
  ~ResetClearable() = default;
};

// The engine a script object was made by, as long as it lives and has not been reset since.
struct EngineLink : automation::RefCounted {
  Interpreter* interpreter = nullptr;
};

struct NamedObject {
  std::u16string name, folded;
  automation::Ref<automation::Dispatch> object;  // null when held weakly (see `weak`)
  automation::Dispatch* raw = nullptr;
  bool globalMembers = false;
};

class Engine {
 public:
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // ---- modules; names are exact ("state" is not "State")
  [[nodiscard]] Module& GlobalModule() noexcept { return *modules_.front(); }
  [[nodiscard]] Module* FindModule(std::u16string_view name) noexcept;
  // Adds a module; an existing name is refused with error 457.
  Module& AddModule(std::u16string_view name);
  [[nodiscard]] const std::vector<std::unique_ptr<Module>>& Modules() const noexcept {
    return modules_;
  }

  // ---- named objects. `self` (the object that owns this engine, such as the script control)
  // is held without a reference so that adding it to its own scripts makes no cycle.
  void AddObject(std::u16string_view name, automation::Dispatch* object, bool globalMembers,
                 automation::Dispatch* self = nullptr);
  [[nodiscard]] const std::vector<NamedObject>& NamedObjects() const noexcept { return named_; }

  // ---- running code; errors are thrown as ScriptError with line and column
  void AddCode(Module& module, std::u16string_view code);
  void ExecuteStatement(Module& module, std::u16string_view code);
  [[nodiscard]] Variant Eval(Module& module, std::u16string_view expression);
  Variant Run(Module& module, std::u16string_view procedure, std::span<Variant> args);
  // Drops every module but an empty global one, every named object and all script state.
  void Reset();
  [[nodiscard]] bool IsRunning() const noexcept;

  // ---- options
  // A statement that runs longer than this is stopped; negative: no limit.
  void SetTimeout(std::int32_t milliseconds) noexcept { timeoutMs_ = milliseconds; }
  [[nodiscard]] std::int32_t Timeout() const noexcept { return timeoutMs_; }
  void SetAllowUI(bool allow) noexcept { allowUI_ = allow; }
  [[nodiscard]] bool AllowUI() const noexcept { return allowUI_; }
  void SetUiHandler(UiHandler handler) { ui_ = std::move(handler); }
  [[nodiscard]] const UiHandler& Ui() const noexcept { return ui_; }

  // ---- for the interpreter and the library
  [[nodiscard]] std::uint32_t Epoch() const noexcept { return epoch_; }
  void BumpEpoch() noexcept { ++epoch_; }
  // Looks a global name up as seen from `module`; false when nothing has that name.
  bool Resolve(Module& module, const std::u16string& folded, GlobalCache& into);
  [[nodiscard]] ErrObject& Err() noexcept { return *err_; }
  [[nodiscard]] automation::Ref<EngineLink> Link() const { return link_; }
  [[nodiscard]] Interpreter& Runner() noexcept { return *interpreter_; }
  // Compiles code into a module: declares its names, keeps the program; returns it to run.
  automation::Ref<Program> Compile(Module& module, std::u16string_view code, bool expression,
                                   const Procedure* enclosing, ClassDecl* enclosingClass);

  void Track(ResetClearable* object) { tracked_.insert(object); }
  void Untrack(ResetClearable* object) noexcept { tracked_.erase(object); }

  // The engine running on this thread (for objects created by scripts), or null.
  [[nodiscard]] static Engine* Current() noexcept;

 private:
  friend class Interpreter;
  void ClearAll();

  std::vector<std::unique_ptr<Module>> modules_;
  std::vector<NamedObject> named_;
  std::uint32_t epoch_ = 1;
  std::int32_t timeoutMs_ = -1;
  bool allowUI_ = true;
  UiHandler ui_;
  automation::Ref<ErrObject> err_;
  automation::Ref<EngineLink> link_;
  std::unique_ptr<Interpreter> interpreter_;
  std::unordered_set<ResetClearable*> tracked_;
};

// A container of script values made while an engine runs (a Dictionary): the engine empties
// it on reset, as it does script class instances.
class EngineTracked : public ResetClearable {
 protected:
  EngineTracked();
  ~EngineTracked();

 private:
  automation::Ref<EngineLink> link_;
};

// The default UI when the host installed none: the message on standard error.
Variant DefaultUi(const UiRequest& request);

}  // namespace telvinor::vbscript
