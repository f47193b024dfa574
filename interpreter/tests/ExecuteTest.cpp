// Execute and module switches, message dispatch into the scripts, state jumps.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "InterpreterTestSupport.h"
#include "automation/AutomationError.h"

namespace telvinor::interpreter::testing {
namespace {

using automation::AutomationError;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// ---------------------------------------------------------------- module switches

TEST_F(InterpreterTest, NextModuleNameSwitchesAfterTheStatementAndRunsTheNewOnLoad) {
  Workflow w;
  w.main =
      u"Sub OnLoad()\n  NextModuleName = \"Operation\"\n  Trace \"Info:Main, next \" & "
      u"NextModuleName\nEnd Sub\n";
  w.operation =
      u"Sub OnLoad()\n  Trace \"Info:Operation\"\n  Engine.NextModuleName = \"Jump\"\nEnd Sub\n";
  w.jump = u"Sub OnLoad(): Trace \"Info:Jump\": End Sub\n";
  EXPECT_THAT(LoadAndSkipSettings(w),
              ElementsAre("Info:Main, next Operation", "Info:Operation", "Info:Jump"));
  EXPECT_EQ(interp->CurrentModuleName(), u"Jump");
  EXPECT_EQ(interp->NextModuleName(), u"");
}

TEST_F(InterpreterTest, UnknownModuleNameFailsEveryStatementUntilAJump) {
  Workflow w;
  w.main = u"Sub OnLoad(): NextModuleName = \"Nowhere\": End Sub\n";
  w.state = u"Sub OnLoad(): Trace \"Info:state\": End Sub\n";
  EXPECT_THAT(LoadAndSkipSettings(w), ElementsAre("Err:Module not found: 'Nowhere'"));
  EXPECT_EQ(interp->CurrentModuleName(), u"Nowhere");
  interp->Timer_Out();
  EXPECT_THAT(traces.Lines(), ElementsAre("Err:Module not found: 'Nowhere'"));
  interp->JumpToState(u"Idle");
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:state"));
}

TEST_F(InterpreterTest, FailedStatementLeavesTheSwitchPendingUntilTheNextOneCompletes) {
  Workflow w;
  w.state =
      u"Sub OnLoad(): End Sub\n"
      u"Sub OnFrontEndEvent()\n  NextModuleName = \"Jump\"\n  x = 1 / 0\nEnd Sub\n"
      u"Sub OnTimeOut(): Trace \"Info:tick in state\": End Sub\n";
  w.jump = u"Sub OnLoad(): Trace \"Info:Jump\": End Sub\n";
  (void)Load(w);
  interp->JumpToState(u"Idle");
  interp->SendCmd(u"<MSG EVT=\"x\"/>");
  EXPECT_THAT(traces.Lines(), ElementsAre("Err:Division by zero"));
  EXPECT_EQ(interp->CurrentModuleName(), u"state");
  EXPECT_EQ(interp->NextModuleName(), u"Jump");
  interp->Timer_Out();
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:tick in state", "Info:Jump"));
  EXPECT_EQ(interp->CurrentModuleName(), u"Jump");
}

TEST_F(InterpreterTest, ModulesThatSwitchToEachOtherForeverEndWithOutOfStackSpace) {
  Workflow w;
  w.main = u"Sub OnLoad(): NextModuleName = \"Operation\": End Sub\n";
  w.operation = u"Sub OnLoad(): NextModuleName = \"Main\": End Sub\n";
  EXPECT_THAT(LoadAndSkipSettings(w), ElementsAre("Err:Out of stack space"));
  EXPECT_FALSE(interp->NextModuleName().empty());  // pending, as after any failed statement
}

TEST_F(InterpreterTest, ExecuteReportsScriptErrorsAndNeverRaises) {
  Workflow w;
  w.main =
      u"Sub OnLoad(): End Sub\nSub Fail(): Err.Raise 1234, \"agent\", \"  custom failure  \": End "
      u"Sub\n";
  (void)Load(w);
  interp->Execute(u"Fail");
  interp->Execute(u"NoSuchProcedure");
  interp->Execute(u"If Then");
  EXPECT_THAT(traces.Lines(),
              ElementsAre("Err:  custom failure  ", "Err:Type mismatch: 'NoSuchProcedure'",
                          "Err:Expected expression"));
}

// ---------------------------------------------------------------- the scripts' view

TEST_F(InterpreterTest, ScriptsSeeEngineAndScAsNamedObjectsWithGlobalMembers) {
  Workflow w;
  w.main =
      u"Sub OnLoad()\n"
      u"  RunMod = 7\n"
      u"  Trace \"Info:\" & TypeName(Engine) & \" \" & TypeName(sc) & \" \" & sc.Modules.Count & "
      u"\" \" & Engine.RunMod & \" \" & Modules(\"state\").Name\n"
      u"  Trace \"Info:\" & TypeName(xDoc) & \" \" & xDoc.documentElement.nodeName & \" \" & (xDoc "
      u"Is Engine.xDoc)\n"
      u"  Set d = CreateObject(\"MSXML2.DOMDocument\")\n"
      u"  Trace \"Info:\" & d.loadXML(\"<MSG EVT='x'/>\") & \" \" & bIsEnded\n"
      u"End Sub\n";
  EXPECT_THAT(LoadAndSkipSettings(w),
              ElementsAre("Info:clsInterpretor ScriptControl 5 7 state",
                          "Info:DOMDocument Workflow True", "Info:True False"));
  EXPECT_EQ(interp->RunMod(), 7);
}

// ---------------------------------------------------------------- message dispatch

struct DispatchCase {
  const char* name;
  std::u16string message;
  std::vector<std::string> events;
  std::vector<std::string> traces;
};

std::ostream& operator<<(std::ostream& out, const DispatchCase& c) {
  return out << c.name;
}

class DispatchTest : public InterpreterTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(DispatchTest, EachFormGoesWhereItBelongs) {
  Workflow w;
  w.state =
      u"Sub OnLoad(): End Sub\n"
      u"Sub OnFrontEndEvent(): Trace \"Info:front-end \" & CurrReceivedMsg: End Sub\n"
      u"Sub OnSoftPhoneEvent(): Trace \"Info:soft-phone \" & CurrReceivedMsg: End Sub\n";
  (void)Load(w);
  interp->JumpToState(u"Idle");
  (void)traces.Lines();
  const DispatchCase& c = GetParam();
  interp->SendCmd(c.message);
  EXPECT_EQ(interp->CurrReceivedMsg(), c.message);
  EXPECT_EQ(events.Take(), c.events);
  EXPECT_EQ(traces.Lines(), c.traces);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DispatchTest,
    ::testing::Values(
        DispatchCase{"FaxFailure",
                     u"[<MSG EVT=\"x\"/>",
                     {"sRaiseEvents|FAXFAIL|发送传真失败,请稍后重试"},
                     {}},
        DispatchCase{"FaxReport", u"FAXAB$report.tif$2", {"sRaiseEvents|FAXAB|"}, {}},
        DispatchCase{
            "FrontEnd", u"<MSG EVT=\"Answer\"/>", {}, {"Info:front-end <MSG EVT=\"Answer\"/>"}},
        DispatchCase{"SoftPhone",
                     u"<MSG CMD=\"Ringing\" EVT=\"x\"/>",
                     {},
                     {"Info:soft-phone <MSG CMD=\"Ringing\" EVT=\"x\"/>"}},
        DispatchCase{"FaxInOtherCase", u"Fax$1", {}, {"Inf:收到非正确格式消息：Fax$1"}},
        DispatchCase{"Declaration",
                     u"<?xml version=\"1.0\"?><MSG EVT=\"a\"/>",
                     {},
                     {"Inf:收到非正确格式消息：<?xml version=\"1.0\"?><MSG EVT=\"a\"/>"}},
        DispatchCase{"Empty", u"", {}, {"Inf:收到非正确格式消息："}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InterpreterTest, FaxReportWithoutDollarRaisesInvalidArgumentToTheCaller) {
  (void)Load(Workflow{});
  try {
    interp->SendCmd(u"FAXOK");
    FAIL() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), 5);
    EXPECT_EQ(e.Description(), u"Invalid procedure call or argument");
  }
  EXPECT_EQ(interp->CurrReceivedMsg(), u"FAXOK");
  EXPECT_THAT(events.Take(), IsEmpty());
  EXPECT_THAT(traces.Lines(), IsEmpty());
}

TEST_F(InterpreterTest, MessagesOfAnySizeAndContentAreHandled) {
  Workflow w;
  w.state =
      u"Sub OnLoad(): End Sub\n"
      u"Sub OnFrontEndEvent(): Trace \"Info:\" & Len(CurrReceivedMsg): End Sub\n";
  (void)Load(w);
  interp->JumpToState(u"Idle");
  (void)traces.Lines();
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::u16string message(random() % 100, u'\0');
    for (auto& c : message) c = static_cast<char16_t>(random() % 0x10000);
    if (round % 4 == 0) message = u"<MSG EVT=\"" + message;
    if (round % 4 == 1) message = u"FAX" + message + u"$";
    interp->SendCmd(message);
  }
  (void)traces.Lines();
  (void)events.Take();

  // A long event reaches the script whole; a long rejected message is traced as far as one
  // datagram holds, cut at a character.
  interp->SendCmd(u"<MSG EVT=\"" + std::u16string(1'000'000, u'x') + u"\"/>");
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:1000013"));
  interp->SendCmd(std::u16string(100'000, u'坐'));
  std::vector<std::string> datagrams = traces.Datagrams();
  ASSERT_EQ(datagrams.size(), 1u);
  // "Inf:", the 20 bytes of the tag's text, then as many whole two-byte characters as fit.
  EXPECT_LE(datagrams[0].size(), 65507u);
  EXPECT_GE(datagrams[0].size(), 65000u);
  EXPECT_EQ(datagrams[0].size() % 2, 0u);
  EXPECT_EQ(datagrams[0].substr(0, 24),
            "Inf:\xca\xd5\xb5\xbd\xb7\xc7\xd5\xfd\xc8\xb7\xb8\xf1\xca\xbd\xcf\xfb\xcf\xa2\xa3\xba");
  EXPECT_EQ(datagrams[0].substr(datagrams[0].size() - 2), "\xd7\xf8");
}

TEST_F(InterpreterTest, SendMsg2FrontEndRaisesTheLastMessageForTheCtiServer) {
  (void)Load(Workflow{});
  interp->SendCmd(u"<MSG CMD=\"Ringing\" ANI=\"13800138000\"/>");
  interp->SendMsg2FrontEnd();
  interp->SendCmd(u"FAXOK$1");
  interp->SendMsg2FrontEnd();
  EXPECT_THAT(events.Take(),
              ElementsAre("sMsgSendToCtiServerArrived|<MSG CMD=\"Ringing\" ANI=\"13800138000\"/>",
                          "sRaiseEvents|FAXOK|", "sMsgSendToCtiServerArrived|FAXOK$1"));
}

// ---------------------------------------------------------------- jumps

const char16_t kStates[] =
    u"<Workflow>"
    u"<Group><State ID=\"Idle\" Name=\"first idle\"/></Group>"
    u"<State ID=\"Idle\" Name=\"second idle\"/>"
    u"<State ID=\"Busy\" Name=\"busy\"/>"
    u"<State ID=\"x' or '1'='1\" Name=\"apostrophes\"/>"
    u"</Workflow>";
const char16_t kStateModule[] =
    u"Sub OnLoad(): Trace \"Info:enter \" & CurrProcessNode.getAttribute(\"Name\"): End Sub\n";

TEST_F(InterpreterTest, JumpSelectsTheFirstEqualIdSwitchesToStateAndRunsOnLoad) {
  Workflow w;
  w.states = kStates;
  w.state = kStateModule;
  (void)Load(w);
  interp->SetNextModuleName(u"Jump");
  interp->JumpToState(u"Idle");
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:enter first idle"));
  EXPECT_EQ(interp->CurrentModuleName(), u"state");
  EXPECT_EQ(interp->NextModuleName(), u"");  // a pending switch is dropped
  EXPECT_EQ(interp->CurrProcessNode()->GetAttribute(u"Name"), u"first idle");
  interp->JumpToState(u"x' or '1'='1");
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:enter apostrophes"));
}

TEST_F(InterpreterTest, JumpToAMissingIdChangesNothing) {
  Workflow w;
  w.states = kStates;
  w.state = kStateModule;
  (void)Load(w);
  interp->JumpToState(u"Busy");
  (void)traces.Lines();
  interp->SetNextModuleName(u"Jump");
  for (const char16_t* id : {u"busy", u"Busy ", u"", u"Ringing"}) interp->JumpToState(id);
  EXPECT_THAT(traces.Lines(), IsEmpty());
  EXPECT_EQ(interp->CurrProcessNode()->GetAttribute(u"Name"), u"busy");
  EXPECT_EQ(interp->NextModuleName(), u"Jump");
}

TEST_F(InterpreterTest, JumpWithAQuoteInTheIdRaisesTheDocumentsErrorAndNeverSelectsAnything) {
  Workflow w;
  w.states = kStates;
  w.state = kStateModule;
  w.main = u"Sub OnLoad(): End Sub\nSub Quoted(): JumpToState \"Busy\"\"\": End Sub\n";
  (void)Load(w);
  interp->JumpToState(u"Busy");
  (void)traces.Lines();
  // Built into a path expression unescaped, this id would select every state.
  for (const char16_t* id : {u"x\" or \"1\"=\"1", u"\"", u"Idle\""}) {
    try {
      interp->JumpToState(id);
      FAIL() << "no error";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.Number(), static_cast<std::int32_t>(0x80004005u));
      EXPECT_EQ(e.Source(), u"XMLDOM");
      EXPECT_TRUE(e.Description().starts_with(u"Invalid XPath expression: ")) << e.what();
    }
  }
  EXPECT_THAT(traces.Lines(), IsEmpty());
  EXPECT_EQ(interp->CurrProcessNode()->GetAttribute(u"Name"), u"busy");
  // From a script the error is the script's, and Execute traces it.
  interp->SetNextModuleName(u"Main");
  interp->Execute(u"OnLoad");  // completes, so the switch to Main happens
  (void)traces.Lines();
  interp->Execute(u"Quoted");
  Lines lines = traces.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].starts_with("Err:Invalid XPath expression: ")) << lines[0];
}

TEST_F(InterpreterTest, JumpFromInsideAScriptSwitchesQuietlyAndNextModuleNameRunsTheState) {
  Workflow w;
  w.states = kStates;
  w.state =
      std::u16string(kStateModule) +
      u"Sub OnFrontEndEvent()\n  JumpToState \"Busy\"\n  Trace \"Info:jumped to \" & "
      u"CurrProcessNode.getAttribute(\"Name\")\nEnd Sub\n"
      u"Sub OnSoftPhoneEvent()\n  JumpToState \"Idle\"\n  NextModuleName = \"state\"\nEnd Sub\n";
  w.operation = u"Sub OnLoad(): End Sub\nSub OnTimeOut(): JumpToState \"Busy\": End Sub\n";
  (void)Load(w);
  interp->JumpToState(u"Idle");
  (void)traces.Lines();
  // The nested OnLoad is refused by the script host and the refusal is dropped: no trace.
  interp->SendCmd(u"<MSG EVT=\"Go\"/>");
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:jumped to busy"));
  EXPECT_EQ(interp->CurrentModuleName(), u"state");
  interp->SendCmd(u"<MSG CMD=\"Back\"/>");
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:enter first idle"));
  // Whatever module was current, a jump makes it "state".
  interp->SetNextModuleName(u"Operation");
  interp->Execute(u"OnLoad");
  interp->Timer_Out();
  EXPECT_EQ(interp->CurrentModuleName(), u"state");
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:enter first idle"));
}

TEST_F(InterpreterTest, StateDocumentsOfAnyContentNeverTakeJumpsDown) {
  std::mt19937 random(3);
  for (int round = 0; round < 30; ++round) {
    Workflow w;
    std::u16string text(random() % 500, u'\0');
    for (auto& c : text) c = static_cast<char16_t>(u' ' + random() % 96);
    w.states =
        round % 2 ? u"<Workflow><State ID=\"" + text + u"\"/>" + text + u"</Workflow>" : text;
    (void)Load(w);
    interp->JumpToState(text.substr(0, text.find(u'"')));
    interp->JumpToState(u"Idle");
  }
}

}  // namespace
}  // namespace telvinor::interpreter::testing
