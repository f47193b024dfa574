// The automation class: its member table, property conversions, events and lifetime.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EngineHandle.h"
#include "InterpreterTestSupport.h"
#include "automation/ClassRegistry.h"
#include "automation/Conversions.h"
#include "msgloop/MessageLoop.h"
#include "vbscript/ScriptControl.h"

namespace telvinor::interpreter::testing {
namespace {

using automation::AutomationError;
using automation::DispId;
using automation::InvokeKind;
using automation::MemberKind;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(InterpretorClass, MembersInSlotOrderWithTheirDispatchIds) {
  struct Slot {
    const char16_t* name;
    std::uint32_t id;
  };
  const Slot slots[] = {
      {u"m_StatePath", 0x4003000e},
      {u"Load", 0x6003000a},
      {u"Trace", 0x6003000d},
      {u"CurrProcessNode", 0x68030009},
      {u"NextModuleName", 0x68030008},
      {u"bIsEnded", 0x68030007},
      {u"Execute", 0x6003000e},
      {u"RaiseStatus", 0x6003000f},
      {u"RaiseEvents", 0x60030010},
      {u"UnInit", 0x60030011},
      {u"DataArrive", 0x60030012},
      {u"SendCmd", 0x60030013},
      {u"Timer_Out", 0x60030014},
      {u"SetTimerEnabled", 0x60030015},
      {u"SetTimerInterval", 0x60030016},
      {u"LastStateUuid", 0x68030006},
      {u"xDoc", 0x68030005},
      {u"xDocFrontEnd", 0x68030004},
      {u"xDocSoftPhone", 0x68030003},
      {u"SendMsg2FrontEnd", 0x60030017},
      {u"SendMsgToCtiServer", 0x60030018},
      {u"SendFax", 0x60030019},
      {u"CurrReceivedMsg", 0x68030002},
      {u"RunMod", 0x68030001},
      {u"ScriptRootDir", 0x68030000},
      {u"JumpToState", 0x6003001a},
  };
  const automation::ClassInfo& info = clsInterpretor::Class();
  std::vector<std::u16string> order;
  for (const auto& m : info.members) {
    if (order.empty() || order.back() != m.name) order.push_back(m.name);
  }
  ASSERT_EQ(order.size(), std::size(slots));
  for (std::size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(order[i], slots[i].name) << i;
    EXPECT_EQ(info.IdOfName(slots[i].name), static_cast<DispId>(slots[i].id)) << i;
  }
  EXPECT_EQ(info.IdOfName(u"jumptostate"), static_cast<DispId>(0x6003001a));
  EXPECT_EQ(info.IdOfName(u"CurrentModuleName"), automation::kDispIdUnknown);  // not public

  ASSERT_EQ(info.events.size(), 4u);
  EXPECT_EQ(info.events[0].name, u"BrowseNode");
  EXPECT_EQ(info.events[0].params[0].pass, automation::Pass::ByRef);
  EXPECT_EQ(info.FindEvent(2)->name, u"sRaiseStatus");
  EXPECT_EQ(info.FindEvent(3)->params.size(), 2u);
  EXPECT_EQ(info.FindEvent(4)->name, u"sMsgSendToCtiServerArrived");

  EXPECT_EQ(info.progId, u"Vessamor.clsInterpretor");
  EXPECT_EQ(info.classId.ToString(), u"{9f928b90-6389-496c-8388-f77874253dab}");
  EXPECT_EQ(info.interfaceId.ToString(), u"{fcae6354-d1ad-4d6b-8449-2b9b43687ce1}");
  EXPECT_EQ(info.eventInterfaceId.ToString(), u"{7da97efb-3a5c-471e-8ddb-20e7111039f1}");
  EXPECT_EQ(info.typeLibId.ToString(), u"{aa58c06c-9efa-4972-b57e-bce0599fb6bb}");
}

// m_StatePath (0x4003000e) and Execute (0x6003000e) differ only in the high bits that mark a
// property and a method: calls by id reach the right one.
TEST_F(InterpreterTest, PropertyAndMethodThatShareTheLowBitsOfTheirIdsStayApart) {
  Workflow w;
  w.main = u"Sub OnLoad(): End Sub\nSub Hello(): Trace \"Info:hello \" & m_StatePath: End Sub\n";
  (void)Load(w);
  Variant put[] = {Variant(u"C:\\State")};
  interp->Invoke(0x4003000e, InvokeKind::PropertyPut, put);
  EXPECT_EQ(interp->Invoke(0x4003000e, InvokeKind::PropertyGet, {}), Variant(u"C:\\State"));
  EXPECT_EQ(interp->Invoke(0x4003000e, InvokeKind::Method | InvokeKind::PropertyGet, {}),
            Variant(u"C:\\State"));
  Variant statement[] = {Variant(u"Hello")};
  interp->Invoke(0x6003000e, InvokeKind::Method, statement);
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:hello C:\\State"));
  EXPECT_THROW(interp->Invoke(0x6003000e, InvokeKind::PropertyPut, put), AutomationError);
}

Variant Get(clsInterpretor& i, const char16_t* name) {
  return automation::CallByName(i, name, InvokeKind::PropertyGet, {});
}
void Put(clsInterpretor& i, const char16_t* name, Variant value,
         InvokeKind kind = InvokeKind::PropertyPut) {
  Variant args[] = {std::move(value)};
  automation::CallByName(i, name, kind, args);
}

TEST(InterpretorProperties, ConvertToTheFieldsTypes) {
  auto i = automation::MakeRef<clsInterpretor>();
  Put(*i, u"bIsEnded", Variant(u"True"));
  EXPECT_EQ(Get(*i, u"bIsEnded"), Variant(true));
  Put(*i, u"NextModuleName", Variant(std::int32_t{5}));
  EXPECT_EQ(Get(*i, u"NextModuleName"), Variant(u"5"));
  Put(*i, u"RunMod", Variant(u"12"));
  EXPECT_EQ(Get(*i, u"RunMod"), Variant(std::int32_t{12}));
  Put(*i, u"ScriptRootDir", Variant(2.5));
  EXPECT_EQ(Get(*i, u"ScriptRootDir"), Variant(u"2.5"));
  Put(*i, u"CurrReceivedMsg", Variant(true));
  EXPECT_EQ(Get(*i, u"CurrReceivedMsg"), Variant(u"True"));
  Put(*i, u"LastStateUuid", Variant(u"{uuid}"));
  EXPECT_EQ(Get(*i, u"LastStateUuid"), Variant(u"{uuid}"));
  EXPECT_THROW(Put(*i, u"RunMod", Variant(u"many")), AutomationError);
  EXPECT_THROW(Put(*i, u"bIsEnded", Variant::Null()), AutomationError);
  EXPECT_EQ(Get(*i, u"RunMod"), Variant(std::int32_t{12}));
}

TEST(InterpretorProperties, DocumentsAreMadeOnFirstReadAndTakeOnlyDocuments) {
  auto i = automation::MakeRef<clsInterpretor>();
  Variant doc = Get(*i, u"xDoc");
  ASSERT_TRUE(doc.IsObject());
  EXPECT_EQ(doc.AsObject()->TypeName(), u"DOMDocument");
  EXPECT_EQ(Get(*i, u"xDoc"), doc);  // the same document again
  EXPECT_FALSE(Get(*i, u"xDocFrontEnd") == doc);
  EXPECT_FALSE(Get(*i, u"xDocSoftPhone") == Get(*i, u"xDocFrontEnd"));
  EXPECT_TRUE(Get(*i, u"CurrProcessNode").IsNothing());

  Put(*i, u"xDoc", Variant::Nothing(), InvokeKind::PropertyPutRef);
  Variant fresh = Get(*i, u"xDoc");
  EXPECT_TRUE(fresh.IsObject() && !(fresh == doc));
  Put(*i, u"xDocSoftPhone", doc, InvokeKind::PropertyPutRef);
  EXPECT_EQ(Get(*i, u"xDocSoftPhone"), doc);

  Variant dictionary(automation::CreateObject(u"Scripting.Dictionary"));
  try {
    Put(*i, u"xDoc", dictionary, InvokeKind::PropertyPutRef);
    FAIL() << "a Dictionary taken as a document";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), 13);
  }
  EXPECT_THROW(Put(*i, u"CurrProcessNode", dictionary, InvokeKind::PropertyPutRef),
               AutomationError);
  auto state = xmldom::DomDocument::Create();
  ASSERT_TRUE(state->LoadXml(u"<State ID=\"Idle\"/>"));
  Variant element(state->DocumentElement());
  Put(*i, u"CurrProcessNode", element, InvokeKind::PropertyPutRef);
  EXPECT_EQ(Get(*i, u"CurrProcessNode"), element);
  Put(*i, u"CurrProcessNode", Variant::Nothing(), InvokeKind::PropertyPutRef);
  EXPECT_TRUE(Get(*i, u"CurrProcessNode").IsNothing());
}

TEST_F(InterpreterTest, EventsReachEveryConnectedSinkInOrder) {
  Workflow w;
  w.main =
      u"Sub OnLoad()\n  RaiseStatus \"空闲\"\n  Engine.RaiseEvents \"Popup\", \"13800138000\"\n"
      u"  SendMsgToCtiServer \"<MSG CMD=\"\"Answer\"\"/>\"\n  SendFax \"to 95555\"\nEnd Sub\n";
  EventLog second;
  const int cookie = interp->Advise(second.Sink());
  (void)Load(w);
  const std::vector<std::string> expected = {"sRaiseStatus|空闲", "sRaiseEvents|Popup|13800138000",
                                             "sMsgSendToCtiServerArrived|<MSG CMD=\"Answer\"/>"};
  EXPECT_EQ(events.Take(), expected);
  EXPECT_EQ(second.Take(), expected);
  interp->Unadvise(cookie);
  interp->RaiseStatus(u"only the first");
  EXPECT_THAT(events.Take(), ElementsAre("sRaiseStatus|only the first"));
  EXPECT_TRUE(second.Take().empty());
}

TEST_F(InterpreterTest, ErrorOfAnEventHandlerReachesTheScriptAsItsError) {
  Workflow w;
  w.main = u"Sub OnLoad(): RaiseStatus \"x\": Trace \"Info:not reached\": End Sub\n";
  events.onEvent = [](const std::string&) { throw AutomationError(5); };
  EXPECT_THAT(LoadAndSkipSettings(w), ElementsAre("Err:Invalid procedure call or argument"));
}

// ---------------------------------------------------------------- lifetime

// Scripts that keep "Engine" and make cycles of their own, a ticking timer and a listening
// socket: released without UnInit, the interpreter still goes with everything it owns.
TEST_F(InterpreterTest, ReleasedWithoutUnInitEverythingIsFreed) {
  Workflow w;
  w.main =
      u"Class Node\n  Public Other\nEnd Class\n"
      u"Dim keep, a, b, c\n"
      u"Sub OnLoad()\n  Set keep = Engine\n  Set a = New Node: Set b = New Node\n"
      u"  Set a.Other = b: Set b.Other = a\n  Set c = New Node: Set c.Other = xDoc\n"
      u"  SetTimerInterval 1\nEnd Sub\n";
  Write(w);
  PointSettingsAtFolder();
  auto sink = automation::MakeRef<automation::FunctionSink>([](DispId, std::span<Variant>) {});
  auto other = automation::MakeRef<clsInterpretor>();
  other->Advise(sink);
  other->Load();
  ASSERT_FALSE(other->ListenForMessages("127.0.0.1", 0));
  const std::uint16_t port = other->MessageEndpoint()->port;
  Ref<automation::Dispatch> engine(
      other->ScriptHost().Eval(u"Main", u"Engine").AsObject());  // what scripts hold
  EXPECT_EQ(engine->TypeName(), u"clsInterpretor");
  ASSERT_EQ(sink->RefCount(), 2u);

  other = nullptr;
  EXPECT_EQ(sink->RefCount(), 1u);  // the interpreter that held it is gone
  msgloop::DatagramSocket reuse(msgloop::MessageLoop::ForCurrentThread());
  EXPECT_FALSE(reuse.Bind("127.0.0.1", port));  // and its window closed the socket
  try {
    automation::CallByName(*engine, u"RunMod", InvokeKind::PropertyGet, {});
    FAIL() << "a call through a detached Engine";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), 424);
  }
}

TEST_F(InterpreterTest, HostMayReleaseTheInterpreterFromAnEventHandler) {
  Workflow w;
  w.main =
      u"Sub OnLoad(): End Sub\n"
      u"Sub OnFrontEndEvent()\n  RaiseStatus \"bye\"\n  Trace \"Info:after \" & CurrReceivedMsg\n"
      u"  NextModuleName = \"Operation\"\nEnd Sub\n";
  Write(w);
  PointSettingsAtFolder();
  auto other = automation::MakeRef<clsInterpretor>();
  auto sink = automation::MakeRef<automation::FunctionSink>(
      [&](DispId, std::span<Variant>) { other = nullptr; });
  other->Advise(sink);
  other->Load();
  (void)traces.Lines();
  clsInterpretor* raw = other.get();
  raw->SendCmd(u"<MSG EVT=\"x\"/>");
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(sink->RefCount(), 1u);
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:after <MSG EVT=\"x\"/>"));
}

TEST_F(InterpreterTest, ScriptCallingLoadOrUnInitOnItsOwnInterpreter) {
  Workflow w;
  w.main =
      u"Sub OnLoad(): End Sub\n"
      u"Sub OnTimeOut(): Load: Trace \"Info:after Load\": End Sub\n"
      u"Sub OnFrontEndEvent(): UnInit: Trace \"Info:after UnInit\": End Sub\n";
  (void)Load(w);
  interp->Timer_Out();
  Lines lines = traces.Lines();
  ASSERT_EQ(lines.size(), 5u);  // the settings, the refused reset, and the script goes on
  EXPECT_EQ(lines[3], "Err:Cannot call this method while the script is executing");
  EXPECT_EQ(lines[4], "Info:after Load");
  interp->SendCmd(u"<MSG EVT=\"x\"/>");
  EXPECT_THAT(traces.Lines(), IsEmpty());  // the window is gone, so is the trace
  EXPECT_EQ(interp->Window(), nullptr);
}

}  // namespace
}  // namespace telvinor::interpreter::testing
