#pragma once
// clsInterpretor: the agent script interpreter, the one public class of the library Vessamor
// ("Vessamor.clsInterpretor").
//
// A host program on the agent's workstation creates it, calls Load, hands it messages with
// SendCmd, listens to its events and calls UnInit at the end. The workflow itself is not in
// the library: Load reads four VBScript modules and an XML state document from the agent's
// script directory (three paths in the settings key), and everything the workflow does
// happens in script procedures the interpreter runs by name:
//   OnLoad            at the end of Load (module "Main"), after a module switch (the new
//                     module), after a state jump (module "state")
//   OnFrontEndEvent   a front-end event arrived (<MSG EVT=...>)
//   OnSoftPhoneEvent  a soft-phone event arrived (<MSG CMD=...>)
//   OnTimeOut         the timer ticked
// Scripts reach the interpreter as "Engine" (its members are also global names) and the
// script host as "sc". The interpreter reports through trace datagrams to the trace listener
// (TraceText.h) and never raises from Execute: a script error is one "Err:" line.
//
// Everything runs on the host's thread: calls, socket arrivals and timer ticks (through the
// thread's message loop, msgloop::MessageLoop::ForCurrentThread()). A script that calls back
// into the interpreter runs the nested call at once; a nested Execute is refused by the script
// host, and that refusal is dropped without a trace line. So a JumpToState made from inside a
// script changes the state and the module but does not run OnLoad; a script that wants the new
// state's OnLoad sets NextModuleName = "state" after the jump.
//
// Lifetime: the interpreter owns its hidden window, script host and documents from Load to
// UnInit (or to the next Load). Nothing it owns holds it with a reference count, so a host
// that releases it without UnInit still frees everything.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ReceiverBinding.h"
#include "automation/ClassInfo.h"
#include "automation/EventSource.h"
#include "xmldom/DomDocument.h"

namespace telvinor::vbscript {
class ScriptControl;
}

namespace telvinor::interpreter {

class EngineHandle;
class frmFunc;

using automation::Ref;

class clsInterpretor final : public automation::AutomationObject<clsInterpretor>,
                             public automation::EventSource,
                             public ReceiverBinding {
 public:
  static constexpr std::u16string_view kProgId = u"Vessamor.clsInterpretor";
  static constexpr std::string_view kClassId = "{9f928b90-6389-496c-8388-f77874253dab}";
  static constexpr std::string_view kInterfaceId = "{fcae6354-d1ad-4d6b-8449-2b9b43687ce1}";
  static constexpr std::string_view kEventInterfaceId = "{7da97efb-3a5c-471e-8ddb-20e7111039f1}";
  static constexpr std::string_view kTypeLibId = "{aa58c06c-9efa-4972-b57e-bce0599fb6bb}";
  static constexpr std::u16string_view kTypeLibName = u"Vessamor";
  static constexpr int kTypeLibMajorVersion = 1, kTypeLibMinorVersion = 0;

  // The events of __clsInterpretor, by dispatch id.
  static constexpr automation::DispId kBrowseNode = 1;  // declared, never raised
  static constexpr automation::DispId kRaiseStatusEvent = 2;
  static constexpr automation::DispId kRaiseEventsEvent = 3;
  static constexpr automation::DispId kMsgSendToCtiServerArrived = 4;

  // A chain of module switches (each OnLoad setting NextModuleName again) ends after this
  // many with error 28 "Out of stack space", the error that ends runaway recursion in the
  // language; without the limit two modules naming each other would hang the host.
  static constexpr int kMaxModuleSwitches = 1000;

  static const automation::ClassInfo& Class();

  clsInterpretor();
  ~clsInterpretor() override;

  // ---- methods of _clsInterpretor
  void Load();
  void Trace(std::u16string_view msg);
  void Execute(std::u16string_view StateMent);
  void RaiseStatus(std::u16string_view status);
  void RaiseEvents(std::u16string_view events, std::u16string_view msg);
  void UnInit();
  // Raises 5 "Invalid procedure call or argument" for a "FAX" message without "$".
  void DataArrive(std::u16string_view msg);
  void SendCmd(std::u16string_view msg);
  void Timer_Out();
  // Raise 91 before Load and after UnInit (no window); the interval 380 outside 0 to 65.
  void SetTimerEnabled(bool bEnabled);
  void SetTimerInterval(std::int16_t iInterval);
  void SendMsg2FrontEnd();
  void SendMsgToCtiServer(std::u16string_view msg);
  void SendFax(std::u16string_view faxmsg);
  // Raises the document's invalid-expression error for an id holding a double quote.
  void JumpToState(std::u16string_view sid);

  // ---- properties of _clsInterpretor
  [[nodiscard]] const std::u16string& m_StatePath() const noexcept { return statePath_; }
  void SetStatePath(std::u16string value) { statePath_ = std::move(value); }
  [[nodiscard]] const Ref<xmldom::DomNode>& CurrProcessNode() const noexcept {
    return currProcessNode_;
  }
  void SetCurrProcessNode(Ref<xmldom::DomNode> node) { currProcessNode_ = std::move(node); }
  [[nodiscard]] const std::u16string& NextModuleName() const noexcept { return nextModuleName_; }
  void SetNextModuleName(std::u16string value) { nextModuleName_ = std::move(value); }
  [[nodiscard]] bool bIsEnded() const noexcept { return isEnded_; }
  void SetIsEnded(bool value) noexcept { isEnded_ = value; }
  [[nodiscard]] const std::u16string& LastStateUuid() const noexcept { return lastStateUuid_; }
  void SetLastStateUuid(std::u16string value) { lastStateUuid_ = std::move(value); }
  // The three documents are made on first use: reading one never gives Nothing.
  [[nodiscard]] Ref<xmldom::DomDocument> xDoc();
  [[nodiscard]] Ref<xmldom::DomDocument> xDocFrontEnd();
  [[nodiscard]] Ref<xmldom::DomDocument> xDocSoftPhone();
  void SetXDoc(Ref<xmldom::DomDocument> document) { xDoc_ = std::move(document); }
  void SetXDocFrontEnd(Ref<xmldom::DomDocument> document) { xDocFrontEnd_ = std::move(document); }
  void SetXDocSoftPhone(Ref<xmldom::DomDocument> document) { xDocSoftPhone_ = std::move(document); }
  [[nodiscard]] const std::u16string& CurrReceivedMsg() const noexcept { return currReceivedMsg_; }
  void SetCurrReceivedMsg(std::u16string value) { currReceivedMsg_ = std::move(value); }
  [[nodiscard]] std::int32_t RunMod() const noexcept { return runMod_; }
  void SetRunMod(std::int32_t value) noexcept { runMod_ = value; }
  [[nodiscard]] const std::u16string& ScriptRootDir() const noexcept { return scriptRootDir_; }
  void SetScriptRootDir(std::u16string value) { scriptRootDir_ = std::move(value); }

  // ---- for C++ hosts and tests; not automation members
  [[nodiscard]] const std::u16string& CurrentModuleName() const noexcept {
    return currentModuleName_;
  }
  [[nodiscard]] const std::u16string& AgentRunPath() const noexcept { return agentRunPath_; }
  [[nodiscard]] const std::u16string& TraceHost() const noexcept { return traceHost_; }
  [[nodiscard]] std::int32_t TracePort() const noexcept { return tracePort_; }
  // The hidden window, from Load to UnInit; null otherwise.
  [[nodiscard]] frmFunc* Window() const noexcept { return window_.get(); }
  // The script host (made on first use).
  [[nodiscard]] vbscript::ScriptControl& ScriptHost();

  // ReceiverBinding
  [[nodiscard]] std::error_code ListenForMessages(std::string_view address,
                                                  std::uint16_t port) override;
  [[nodiscard]] std::optional<msgloop::Endpoint> MessageEndpoint() const override;

 private:
  void SetUpScriptHost();
  void LoadScriptModule(vbscript::ScriptControl& host, std::u16string_view path,
                        std::u16string_view name);
  void RunStatement(std::u16string_view statement);
  void CloseWindow() noexcept;
  [[nodiscard]] std::error_code BindReceiver();
  void Fire(automation::DispId event, std::initializer_list<std::u16string_view> args);

  // Settings read by Load.
  std::u16string scriptRootDir_;
  std::u16string agentRunPath_;
  std::u16string statePath_;

  Ref<xmldom::DomDocument> xDoc_, xDocFrontEnd_, xDocSoftPhone_;
  Ref<xmldom::DomNode> currProcessNode_;
  std::u16string lastStateUuid_;
  std::u16string currReceivedMsg_;
  std::u16string nextModuleName_;
  std::u16string currentModuleName_;
  bool isEnded_ = false;
  std::int32_t runMod_ = 0;

  std::u16string traceHost_;
  std::int32_t tracePort_ = 0;

  Ref<vbscript::ScriptControl> scriptHost_;
  Ref<EngineHandle> engine_;  // what scripts hold as "Engine"
  std::unique_ptr<frmFunc> window_;

  // Where the host asked the receiving socket to listen (ReceiverBinding).
  struct ReceiverRequest {
    std::string address;
    std::uint16_t port = 0;
  };
  std::optional<ReceiverRequest> receiver_;
};

}  // namespace telvinor::interpreter
