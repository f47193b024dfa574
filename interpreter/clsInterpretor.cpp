#include "clsInterpretor.h"

#include <exception>
#include <new>
#include <vector>

#include "EngineHandle.h"
#include "InterpreterSettings.h"
#include "MessageForm.h"
#include "ScriptFiles.h"
#include "StateLookup.h"
#include "TraceText.h"
#include "automation/Conversions.h"
#include "automation/Utf.h"
#include "frmFunc.h"
#include "msgloop/MessageLoop.h"
#include "vbscript/ScriptControl.h"
#include "xmldom/DomErrors.h"

namespace telvinor::interpreter {

using automation::AutomationError;
using automation::ClassBuilder;
using automation::ClassInfo;
using automation::Param;
using automation::Pass;
using automation::Variant;
using automation::VarType;

namespace {

// VB's Trim: blanks only.
std::u16string_view TrimBlanks(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

std::u16string ErrLine(std::u16string_view description) {
  return std::u16string(trace::kErrTag) + std::u16string(description);
}

std::u16string Concat(std::u16string_view a, std::u16string_view b) {
  std::u16string s(a);
  s += b;
  return s;
}

// The object of a Set assignment as the property's type: Nothing, or an object of that type
// (anything else is 13 "Type mismatch", as assigning to a typed object field is).
template <class T>
Ref<T> ObjectOf(const Variant& value) {
  if (value.IsNothing()) return nullptr;
  auto* object = dynamic_cast<T*>(value.AsObject());
  if (!object) automation::ThrowError(automation::errc::kTypeMismatch);
  return Ref<T>(object);
}

Ref<xmldom::DomDocument> MadeOnFirstUse(Ref<xmldom::DomDocument>& document) {
  if (!document) document = xmldom::DomDocument::Create();
  return document;
}

void RegisterScriptVisibleClasses() {
  // Scripts parse messages with CreateObject("MSXML2.DOMDocument").
  static const bool registered = (xmldom::RegisterDomClasses(), true);
  (void)registered;
}

}  // namespace

clsInterpretor::clsInterpretor() : engine_(automation::MakeRef<EngineHandle>(*this)) {
  RegisterScriptVisibleClasses();
}

clsInterpretor::~clsInterpretor() {
  engine_->Detach();
  CloseWindow();
  // Reset frees what the scripts made, cycles included. It is refused only while a statement
  // runs, and then the script host frees it all itself when that statement ends.
  if (scriptHost_) {
    try {
      scriptHost_->Reset();
    } catch (...) {
    }
  }
}

// ---------------------------------------------------------------- Load and the script host

void clsInterpretor::Load() {
  Ref<clsInterpretor> hold(this);
  InterpreterSettings settings = ReadInterpreterSettings();
  scriptRootDir_ = std::move(settings.binPath);
  agentRunPath_ = std::move(settings.agentRunPath);
  statePath_ = std::move(settings.statePath);

  CloseWindow();
  window_ = std::make_unique<frmFunc>(msgloop::MessageLoop::ForCurrentThread(), *this);
  traceHost_ = kTraceHost;
  tracePort_ = TracePortSetting();

  Trace(Concat(trace::kScriptRootDir, scriptRootDir_));
  Trace(Concat(trace::kMainAbs, agentRunPath_));
  Trace(Concat(trace::kStatePath, statePath_));
  if (receiver_) {
    if (std::error_code error = BindReceiver())
      Trace(ErrLine(automation::FromUtf8(error.message())));
  }

  if (xDoc()->LoadFile(OpenablePath(agentRunPath_))) {
    SetUpScriptHost();
  } else {
    Trace(trace::kAgentRunLoadError);
  }
}

void clsInterpretor::SetUpScriptHost() {
  try {
    isEnded_ = false;
    Ref<vbscript::ScriptControl> host(&ScriptHost());
    host->SetLanguage(u"VBScript");
    host->SetAllowUI(true);
    host->SetTimeout(-1);  // a workflow's statement may run as long as it needs
    host->Reset();
    for (const ScriptModuleFile& module : kScriptModules)
      LoadScriptModule(*host, Concat(scriptRootDir_, module.file), module.name);
    host->AddObject(u"Engine", engine_.get(), true);
    host->AddObject(u"sc", host.get(), true);
    nextModuleName_.clear();
    currentModuleName_ = kMainModule;
    Execute(u"OnLoad");
  } catch (const AutomationError& e) {
    Trace(ErrLine(e.Description()));
  } catch (const std::bad_alloc&) {
    Trace(ErrLine(automation::StandardErrorText(automation::errc::kOutOfMemory)));
  }
}

void clsInterpretor::LoadScriptModule(vbscript::ScriptControl& host, std::u16string_view path,
                                      std::u16string_view name) {
  // A file that cannot be read ends the set-up (the error goes to its handler).
  std::u16string code = ReadScriptFile(OpenablePath(path));
  try {
    host.AddModule(name);
    host.AddCode(name, code);
  } catch (const AutomationError&) {
    Trace(trace::kLoadScriptError);
  }
}

vbscript::ScriptControl& clsInterpretor::ScriptHost() {
  if (!scriptHost_) scriptHost_ = automation::MakeRef<vbscript::ScriptControl>();
  return *scriptHost_;
}

// ---------------------------------------------------------------- running statements

void clsInterpretor::Execute(std::u16string_view StateMent) {
  Ref<clsInterpretor> hold(this);
  const std::u16string statement(StateMent);
  try {
    RunStatement(statement);
    // A switch takes effect only once the statement that asked for it has completed; the new
    // module's OnLoad may ask for the next one.
    for (int switches = 0; !nextModuleName_.empty(); ++switches) {
      if (switches == kMaxModuleSwitches)
        automation::ThrowError(automation::errc::kOutOfStackSpace);
      currentModuleName_ = std::exchange(nextModuleName_, std::u16string());
      RunStatement(u"OnLoad");
    }
  } catch (const AutomationError& e) {
    // The script host refuses a statement while another one runs (a script calling back into
    // the interpreter); that is how nested jumps are meant to end, so it is not an error.
    if (TrimBlanks(e.Description()) == vbscript::kExecutingText) return;
    Trace(ErrLine(e.Description()));
  } catch (const std::bad_alloc&) {
    Trace(ErrLine(automation::StandardErrorText(automation::errc::kOutOfMemory)));
  }
}

void clsInterpretor::RunStatement(std::u16string_view statement) {
  Ref<vbscript::ScriptControl> host(&ScriptHost());
  const std::u16string module = currentModuleName_;  // the statement may switch modules
  host->ExecuteStatement(module, statement);
}

// ---------------------------------------------------------------- messages and jumps

void clsInterpretor::DataArrive(std::u16string_view msg) {
  Ref<clsInterpretor> hold(this);
  const std::u16string message(msg);
  currReceivedMsg_ = message;
  const ClassifiedMessage classified = ClassifyMessage(message);
  switch (classified.form) {
    case MessageForm::kFaxFailure:
      RaiseEvents(kFaxFailEvent, kFaxFailText);
      return;
    case MessageForm::kFaxReport:
      RaiseEvents(classified.faxEvent, u"");
      return;
    case MessageForm::kFaxReportWithoutEnd:
      automation::ThrowError(automation::errc::kInvalidProcedureCall);
    case MessageForm::kFrontEndEvent:
      Execute(u"OnFrontEndEvent");
      return;
    case MessageForm::kSoftPhoneEvent:
      Execute(u"OnSoftPhoneEvent");
      return;
    case MessageForm::kMalformed:
      Trace(Concat(trace::kMalformedMessage, message));
      return;
  }
}

void clsInterpretor::JumpToState(std::u16string_view sid) {
  Ref<clsInterpretor> hold(this);
  // The state is looked up by exact equality, but an id with a double quote stays an error,
  // as it has always been (it cannot be written in the lookup expression of the format).
  if (std::size_t quote = sid.find(u'"'); quote != std::u16string_view::npos) {
    constexpr std::u16string_view kQueryStart = u"//*[@ID=\"";
    std::u16string expression = Concat(kQueryStart, sid) + u"\"]";
    xmldom::ThrowDomError(xmldom::DomFault::InvalidXPath,
                          u"a double quote in the state id ends the string at position " +
                              automation::FromUtf8(std::to_string(kQueryStart.size() + quote + 1)) +
                              u" of \"" + expression + u"\"");
  }
  Ref<xmldom::DomNode> state = FindState(*xDoc(), sid);
  if (!state) return;
  currProcessNode_ = std::move(state);
  currentModuleName_ = kStateModule;
  nextModuleName_.clear();
  Execute(u"OnLoad");
}

// ---------------------------------------------------------------- transport and timer

void clsInterpretor::Trace(std::u16string_view msg) {
  if (window_) window_->SendTrace(traceHost_, tracePort_, msg);
}

void clsInterpretor::SendCmd(std::u16string_view msg) {
  DataArrive(msg);
}

void clsInterpretor::Timer_Out() {
  Execute(u"OnTimeOut");
}

void clsInterpretor::SetTimerEnabled(bool bEnabled) {
  if (!window_) automation::ThrowError(automation::errc::kObjectVariableNotSet);
  window_->m_Timer.SetEnabled(bEnabled ? msgloop::TimerState::kEnabled
                                       : msgloop::TimerState::kDisabled);
}

void clsInterpretor::SetTimerInterval(std::int16_t iInterval) {
  if (!window_) automation::ThrowError(automation::errc::kObjectVariableNotSet);
  window_->m_Timer.SetInterval(static_cast<std::int64_t>(iInterval) * 1000);
}

void clsInterpretor::SendMsg2FrontEnd() {
  const std::u16string message = currReceivedMsg_;  // a handler may change it
  Fire(kMsgSendToCtiServerArrived, {message});
}

void clsInterpretor::SendMsgToCtiServer(std::u16string_view msg) {
  Fire(kMsgSendToCtiServerArrived, {msg});
}

// Sending a fax from a script has no transport yet: the text is accepted and dropped.
void clsInterpretor::SendFax(std::u16string_view) {}

void clsInterpretor::RaiseStatus(std::u16string_view status) {
  Fire(kRaiseStatusEvent, {status});
}

void clsInterpretor::RaiseEvents(std::u16string_view events, std::u16string_view msg) {
  Fire(kRaiseEventsEvent, {events, msg});
}

void clsInterpretor::Fire(automation::DispId event,
                          std::initializer_list<std::u16string_view> args) {
  Ref<clsInterpretor> hold(this);  // a handler may release the host's last reference
  std::vector<Variant> values;
  values.reserve(args.size());
  for (std::u16string_view arg : args) values.emplace_back(arg);
  EventSource::Fire(event, values);
}

// ---------------------------------------------------------------- tear-down

void clsInterpretor::UnInit() {
  Ref<clsInterpretor> hold(this);
  CloseWindow();
  xDoc_ = nullptr;
  xDocFrontEnd_ = nullptr;
  xDocSoftPhone_ = nullptr;
  currProcessNode_ = nullptr;
  if (scriptHost_) {
    // Refused while a statement runs (a script calling UnInit): the host then goes when that
    // statement ends, and frees what the scripts made itself.
    try {
      scriptHost_->Reset();
    } catch (const AutomationError&) {
    }
    scriptHost_ = nullptr;
  }
}

void clsInterpretor::CloseWindow() noexcept {
  window_.reset();
}

// ---------------------------------------------------------------- receiving socket

std::error_code clsInterpretor::ListenForMessages(std::string_view address, std::uint16_t port) {
  receiver_ = ReceiverRequest{std::string(address), port};
  if (!window_) return {};
  std::error_code error = BindReceiver();
  if (error) receiver_.reset();
  return error;
}

std::optional<msgloop::Endpoint> clsInterpretor::MessageEndpoint() const {
  if (!window_ || !window_->wsReceive.IsOpen()) return std::nullopt;
  return window_->wsReceive.LocalEndpoint();
}

std::error_code clsInterpretor::BindReceiver() {
  window_->wsReceive.Close();
  return window_->wsReceive.Bind(receiver_->address, receiver_->port);
}

// ---------------------------------------------------------------- documents

Ref<xmldom::DomDocument> clsInterpretor::xDoc() {
  return MadeOnFirstUse(xDoc_);
}
Ref<xmldom::DomDocument> clsInterpretor::xDocFrontEnd() {
  return MadeOnFirstUse(xDocFrontEnd_);
}
Ref<xmldom::DomDocument> clsInterpretor::xDocSoftPhone() {
  return MadeOnFirstUse(xDocSoftPhone_);
}

// ---------------------------------------------------------------- the member table

const ClassInfo& clsInterpretor::Class() {
  using Self = clsInterpretor;
  using Args = std::span<Variant>;
  static const ClassInfo info =
      ClassBuilder<Self>(u"clsInterpretor")
          .ProgId(std::u16string(kProgId))
          .ClassId(kClassId)
          .InterfaceId(kInterfaceId)
          .EventInterfaceId(kEventInterfaceId)
          .TypeLibId(kTypeLibId)
          // 1
          .Property(
              u"m_StatePath", 0x4003000e, VarType::String,
              [](Self& i) { return Variant(i.statePath_); },
              [](Self& i, const Variant& v) { i.statePath_ = v.AsString(); })
          // 2, 3
          .Method(u"Load", 0x6003000a, {}, [](Self& i, Args) { i.Load(); })
          .Method(u"Trace", 0x6003000d, {Param(u"msg", VarType::String)},
                  [](Self& i, Args a) { i.Trace(a[0].AsString()); })
          // 4
          .Get(u"CurrProcessNode", 0x68030009, VarType::Variant,
               [](Self& i) { return Variant(i.currProcessNode_); })
          .Set(u"CurrProcessNode", 0x68030009,
               [](Self& i, const Variant& v) { i.currProcessNode_ = ObjectOf<xmldom::DomNode>(v); })
          // 5, 6
          .Get(u"NextModuleName", 0x68030008, VarType::Variant,
               [](Self& i) { return Variant(i.nextModuleName_); })
          .Let(u"NextModuleName", 0x68030008, VarType::String,
               [](Self& i, const Variant& v) { i.nextModuleName_ = v.AsString(); })
          .Get(u"bIsEnded", 0x68030007, VarType::Variant,
               [](Self& i) { return Variant(i.isEnded_); })
          .Let(u"bIsEnded", 0x68030007, VarType::Boolean,
               [](Self& i, const Variant& v) { i.isEnded_ = v.AsBoolean(); })
          // 7 to 15
          .Method(u"Execute", 0x6003000e, {Param(u"StateMent", VarType::String)},
                  [](Self& i, Args a) { i.Execute(a[0].AsString()); })
          .Method(u"RaiseStatus", 0x6003000f, {Param(u"status", VarType::String)},
                  [](Self& i, Args a) { i.RaiseStatus(a[0].AsString()); })
          .Method(u"RaiseEvents", 0x60030010,
                  {Param(u"events", VarType::String), Param(u"msg", VarType::String)},
                  [](Self& i, Args a) { i.RaiseEvents(a[0].AsString(), a[1].AsString()); })
          .Method(u"UnInit", 0x60030011, {}, [](Self& i, Args) { i.UnInit(); })
          .Method(u"DataArrive", 0x60030012, {Param(u"msg", VarType::String)},
                  [](Self& i, Args a) { i.DataArrive(a[0].AsString()); })
          .Method(u"SendCmd", 0x60030013, {Param(u"msg", VarType::String)},
                  [](Self& i, Args a) { i.SendCmd(a[0].AsString()); })
          .Method(u"Timer_Out", 0x60030014, {}, [](Self& i, Args) { i.Timer_Out(); })
          .Method(u"SetTimerEnabled", 0x60030015,
                  {Param(u"bEnabled", VarType::Boolean, Pass::ByRef)},
                  [](Self& i, Args a) { i.SetTimerEnabled(a[0].AsBoolean()); })
          .Method(u"SetTimerInterval", 0x60030016,
                  {Param(u"iInterval", VarType::Integer, Pass::ByRef)},
                  [](Self& i, Args a) { i.SetTimerInterval(a[0].AsInteger()); })
          // 16 to 19
          .Property(
              u"LastStateUuid", 0x68030006, VarType::String,
              [](Self& i) { return Variant(i.lastStateUuid_); },
              [](Self& i, const Variant& v) { i.lastStateUuid_ = v.AsString(); })
          .Get(u"xDoc", 0x68030005, VarType::Variant, [](Self& i) { return Variant(i.xDoc()); })
          .Set(u"xDoc", 0x68030005,
               [](Self& i, const Variant& v) { i.xDoc_ = ObjectOf<xmldom::DomDocument>(v); })
          .Get(u"xDocFrontEnd", 0x68030004, VarType::Variant,
               [](Self& i) { return Variant(i.xDocFrontEnd()); })
          .Set(
              u"xDocFrontEnd", 0x68030004,
              [](Self& i, const Variant& v) { i.xDocFrontEnd_ = ObjectOf<xmldom::DomDocument>(v); })
          .Get(u"xDocSoftPhone", 0x68030003, VarType::Variant,
               [](Self& i) { return Variant(i.xDocSoftPhone()); })
          .Set(u"xDocSoftPhone", 0x68030003,
               [](Self& i, const Variant& v) {
                 i.xDocSoftPhone_ = ObjectOf<xmldom::DomDocument>(v);
               })
          // 20 to 22
          .Method(u"SendMsg2FrontEnd", 0x60030017, {}, [](Self& i, Args) { i.SendMsg2FrontEnd(); })
          .Method(u"SendMsgToCtiServer", 0x60030018, {Param(u"msg", VarType::String)},
                  [](Self& i, Args a) { i.SendMsgToCtiServer(a[0].AsString()); })
          .Method(u"SendFax", 0x60030019, {Param(u"faxmsg", VarType::String)},
                  [](Self& i, Args a) { i.SendFax(a[0].AsString()); })
          // 23 to 26
          .Get(u"CurrReceivedMsg", 0x68030002, VarType::Variant,
               [](Self& i) { return Variant(i.currReceivedMsg_); })
          .Let(u"CurrReceivedMsg", 0x68030002, VarType::String,
               [](Self& i, const Variant& v) { i.currReceivedMsg_ = v.AsString(); })
          .Property(
              u"RunMod", 0x68030001, VarType::Long, [](Self& i) { return i.runMod_; },
              [](Self& i, const Variant& v) { i.runMod_ = v.AsLong(); })
          .Get(u"ScriptRootDir", 0x68030000, VarType::Variant,
               [](Self& i) { return Variant(i.scriptRootDir_); })
          .Let(u"ScriptRootDir", 0x68030000, VarType::String,
               [](Self& i, const Variant& v) { i.scriptRootDir_ = v.AsString(); })
          .Method(u"JumpToState", 0x6003001a, {Param(u"sid", VarType::String)},
                  [](Self& i, Args a) { i.JumpToState(a[0].AsString()); })
          .Event(u"BrowseNode", kBrowseNode, {Param(u"Node", VarType::String, Pass::ByRef)})
          .Event(u"sRaiseStatus", kRaiseStatusEvent, {Param(u"status", VarType::String)})
          .Event(u"sRaiseEvents", kRaiseEventsEvent,
                 {Param(u"events", VarType::String), Param(u"msg", VarType::String)})
          .Event(u"sMsgSendToCtiServerArrived", kMsgSendToCtiServerArrived,
                 {Param(u"msg", VarType::String)})
          .Build();
  return info;
}

}  // namespace telvinor::interpreter
