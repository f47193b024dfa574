// The script host as the agent script interpreter uses it: modules by exact name, named
// objects with global members, ExecuteStatement and its errors, refusal of nested calls,
// Reset, Timeout, AllowUI, and host objects called from scripts.

#include <chrono>

#include "ScriptHarness.h"
#include "automation/ClassRegistry.h"
#include "automation/SafeArray.h"

namespace telvinor::vbscript::testing {
namespace {

using automation::AutomationError;
using automation::MakeRef;
using automation::Param;
using automation::Pass;
using automation::Ref;
using automation::VarType;

// A stand-in for the interpreter object the scripts call ("Engine").
class FakeEngine : public automation::AutomationObject<FakeEngine> {
 public:
  static const automation::ClassInfo& Class() {
    static const automation::ClassInfo info =
        automation::ClassBuilder<FakeEngine>(u"clsInterpretor")
            .Method(u"JumpToState", 0x6003001a, {Param(u"sid", VarType::String)},
                    [](FakeEngine& e, std::span<Variant> a) {
                      e.log += "jump:" + automation::ToUtf8(a[0].AsString()) + ";";
                    })
            .Method(u"Trace", 0x6003000d, {Param(u"msg", VarType::String)},
                    [](FakeEngine& e, std::span<Variant> a) {
                      e.log += "trace:" + automation::ToUtf8(a[0].AsString()) + ";";
                    })
            .Property(
                u"NextModuleName", 0x68030008, VarType::Variant,
                [](FakeEngine& e) { return e.next; },
                [](FakeEngine& e, const Variant& v) { e.next = v; })
            .Method(u"SetTimerEnabled", 0x60030015,
                    {Param(u"bEnabled", VarType::Boolean, Pass::ByRef)},
                    [](FakeEngine&, std::span<Variant> a) { a[0] = Variant(!a[0].AsBoolean()); })
            .Method(u"Fail", 1, {},
                    [](FakeEngine&, std::span<Variant>) -> Variant {
                      throw AutomationError(static_cast<std::int32_t>(0x800469a9u),
                                            u"Vessamor.cRegistry", u"key missing");
                    })
            .Method(u"Reenter", 2, {Param(u"statement", VarType::String)},
                    [](FakeEngine& e, std::span<Variant> a) {
                      try {
                        e.control->ExecuteStatement(u"Main", a[0].AsString());
                        e.log += "reentered;";
                      } catch (const AutomationError& error) {
                        e.log += "refused:" + automation::ToUtf8(error.Description()) + ";";
                      }
                    })
            .Method(u"Items", 3, {},
                    [](FakeEngine&, std::span<Variant>) {
                      return Variant(MakeRef<automation::ValueEnumerator>(
                          std::vector<Variant>{Variant(u"a"), Variant(u"b")}));
                    })
            .Method(u"_NewEnum", automation::kDispIdNewEnum, {},
                    [](FakeEngine&, std::span<Variant>) {
                      return Variant(MakeRef<automation::ValueEnumerator>(
                          std::vector<Variant>{Variant(1), Variant(2)}));
                    })
            .Method(u"CallBack", 4, {Param(u"target", VarType::Object)},
                    [](FakeEngine&, std::span<Variant> a) {
                      Variant arg(u"from host");
                      return automation::CallByName(*a[0].AsObject(), u"Hello",
                                                    automation::InvokeKind::Method,
                                                    std::span(&arg, 1));
                    })
            .Build();
    return info;
  }
  std::string log;
  Variant next;
  ScriptControl* control = nullptr;
};

struct Host {
  Ref<ScriptControl> control = MakeRef<ScriptControl>();
  Ref<FakeEngine> engine = MakeRef<FakeEngine>();
  Ref<Printer> printer = MakeRef<Printer>();

  Host() {
    engine->control = control.get();
    control->SetLanguage(u"VBScript");
    control->SetTimeout(-1);
    control->AddObject(u"Out", printer.get(), true);
  }
  ~Host() { control->Reset(); }
  void Load(const char16_t* name, const char16_t* code) {
    control->AddModule(name);
    control->AddCode(name, code);
  }
};

std::int32_t ErrorOf(const std::function<void()>& f, std::u16string* description = nullptr) {
  try {
    f();
  } catch (const AutomationError& e) {
    if (description) *description = e.Description();
    return e.Number();
  }
  return 0;
}

TEST(ScriptControl, ModulesHaveExactNamesAndTheirOwnProcedures) {
  Host h;
  h.Load(u"Main", u"Sub OnLoad(): Print \"main\": End Sub");
  h.Load(u"state", u"Sub OnLoad(): Print \"state\": End Sub");
  EXPECT_EQ(h.control->ModuleCount(), 3u);  // Global, Main, state
  h.control->ExecuteStatement(u"state", u"OnLoad");
  h.control->ExecuteStatement(u"Main", u"OnLoad");
  EXPECT_EQ(h.printer->out, "state\nmain\n");
  std::u16string text;
  EXPECT_NE(ErrorOf([&] { h.control->ExecuteStatement(u"State", u"OnLoad"); }, &text),
            0);  // not "state"
  EXPECT_EQ(text, u"Module not found: 'State'");
  EXPECT_EQ(ErrorOf([&] { h.control->AddModule(u"Main"); }), 457);
}

TEST(ScriptControl, GlobalModuleIsSeenFromEveryModuleButModulesAreSeparate) {
  Host h;
  h.control->AddCode(u"Dim shared: shared = 5\nFunction Helper(): Helper = \"help\": End Function");
  h.Load(u"Main", u"Dim mine: mine = 1\nSub Show(): Print shared, Helper(), mine: End Sub");
  h.Load(u"Jump", u"Sub Show(): Print IsEmpty(mine): End Sub");
  h.control->ExecuteStatement(u"Main", u"Show");
  h.control->ExecuteStatement(u"Jump", u"Show");
  EXPECT_EQ(h.printer->out, "5 help 1\nTrue\n");
}

TEST(ScriptControl, MissingProcedureAndScriptErrorsReachTheHost) {
  Host h;
  h.Load(u"Main", u"Sub Bad(): x = 1 / 0: End Sub");
  std::u16string text;
  EXPECT_EQ(ErrorOf([&] { h.control->ExecuteStatement(u"Main", u"OnLoad"); }, &text), 13);
  EXPECT_EQ(text, u"Type mismatch: 'OnLoad'");
  EXPECT_EQ(ErrorOf([&] { h.control->ExecuteStatement(u"Main", u"Bad"); }, &text), 11);
  EXPECT_EQ(text, u"Division by zero");
  EXPECT_EQ(h.control->Error().number, 11);
  EXPECT_EQ(h.control->Error().line, 1);
  EXPECT_EQ(h.control->Error().source, kRuntimeSource);
  // A compile error in AddCode, with its description.
  h.control->AddModule(u"Broken");
  EXPECT_EQ(ErrorOf([&] { h.control->AddCode(u"Broken", u"Sub X()\n"); }, &text), 1014);
  EXPECT_EQ(text, u"Expected 'End'");
  // The next call starts with a clear Error object.
  h.control->ExecuteStatement(u"Main", u"x = 1");
  EXPECT_EQ(h.control->Error().number, 0);
}

TEST(ScriptControl, NamedObjectMembersAreGlobalNamesInEveryModule) {
  Host h;
  h.control->AddObject(u"Engine", h.engine.get(), true);
  h.Load(u"Main",
         u"Sub OnLoad()\n JumpToState \"17\"\n Engine.JumpToState \"18\"\n Trace \"t\"\n "
         u"NextModuleName = \"Operation\"\nEnd Sub");
  h.Load(u"state", u"Sub OnLoad(): engine.Trace NextModuleName: End Sub");
  h.control->ExecuteStatement(u"Main", u"OnLoad");
  h.control->ExecuteStatement(u"state", u"OnLoad");
  EXPECT_EQ(h.engine->log, "jump:17;jump:18;trace:t;trace:Operation;");
}

TEST(ScriptControl, HostErrorsPassThroughWithTheirOwnNumberSourceAndText) {
  Host h;
  h.control->AddObject(u"Engine", h.engine.get(), true);
  try {
    h.control->ExecuteStatement(u"Engine.Fail");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), static_cast<std::int32_t>(0x800469a9u));
    EXPECT_EQ(e.Source(), u"Vessamor.cRegistry");
    EXPECT_EQ(e.Description(), u"key missing");
  }
  // Inside the script the same error is in Err.
  h.control->ExecuteStatement(
      u"On Error Resume Next: Fail: Print Err.Number = &H800469A9, Err.Source, Err.Description");
  EXPECT_EQ(h.printer->out, "True Vessamor.cRegistry key missing\n");
}

TEST(ScriptControl, ByRefArgumentsAndEnumerationOfHostObjects) {
  Host h;
  h.control->AddObject(u"Engine", h.engine.get(), true);
  h.control->ExecuteStatement(u"b = True: SetTimerEnabled b: Print b");
  h.control->ExecuteStatement(
      u"For Each x In Engine: s = s & x: Next: For Each y In Engine.Items: s = s & y: Next: Print "
      u"s");
  EXPECT_EQ(h.printer->out, "False\n12ab\n");
}

TEST(ScriptControl, HostCallsBackIntoScriptObjects) {
  Host h;
  h.control->AddObject(u"Engine", h.engine.get(), true);
  h.control->AddCode(
      u"Class Greeter\n Public Function Hello(who): Hello = \"hi \" & who: End Function\nEnd "
      u"Class");
  h.control->ExecuteStatement(u"Print Engine.CallBack(New Greeter)");
  EXPECT_EQ(h.printer->out, "hi from host\n");
}

TEST(ScriptControl, NestedCallsWhileAStatementRunsAreRefused) {
  Host h;
  h.control->AddObject(u"Engine", h.engine.get(), true);
  h.control->AddObject(u"sc", h.control.get(), true);
  h.Load(u"Main", u"Sub OnLoad(): Reenter \"Print 1\": End Sub");
  h.control->ExecuteStatement(u"Main", u"OnLoad");
  EXPECT_EQ(h.engine->log, "refused:Cannot call this method while the script is executing;");
  // The same through the control named in its own scripts.
  std::u16string text;
  EXPECT_NE(
      ErrorOf([&] { h.control->ExecuteStatement(u"Main", u"sc.ExecuteStatement \"Print 2\""); },
              &text),
      0);
  EXPECT_EQ(text, kExecutingText);
  // Outside a running statement the control works again, also through "sc".
  h.control->ExecuteStatement(u"Print sc.Modules.Count, sc.Modules(\"Main\").Name");
  EXPECT_EQ(h.printer->out, "2 Main\n");
}

TEST(ScriptControl, ResetDropsModulesCodeObjectsAndState) {
  Host h;
  h.control->AddObject(u"Engine", h.engine.get(), true);
  h.Load(u"Main",
         u"Dim counter: counter = 41\nSub OnLoad(): counter = counter + 1: Print counter: End Sub");
  h.control->ExecuteStatement(u"Main", u"OnLoad");
  h.control->Reset();
  EXPECT_EQ(h.control->ModuleCount(), 1u);
  EXPECT_FALSE(h.control->HasModule(u"Main"));
  EXPECT_NE(ErrorOf([&] { h.control->ExecuteStatement(u"Engine.Trace \"x\""); }),
            0);  // the object is gone
  // Loading again starts from a clean state.
  h.control->AddObject(u"Out", h.printer.get(), true);
  h.Load(u"Main", u"Dim counter\nSub OnLoad(): counter = counter + 1: Print counter: End Sub");
  h.control->ExecuteStatement(u"Main", u"OnLoad");
  EXPECT_EQ(h.printer->out, "42\n1\n");
}

TEST(ScriptControl, ObjectsThatOutliveAResetAreInertAndCyclesAreFreed) {
  Host h;
  h.control->AddCode(
      u"Class Node\n Public NextNode\n Sub Class_Terminate(): Print \"terminated\": End Sub\n"
      u" Public Function Ping(): Ping = \"pong\": End Function\nEnd Class\n"
      u"Set a = New Node: Set b = New Node: Set a.NextNode = b: Set b.NextNode = a\n"
      u"Set d = CreateObject(\"Scripting.Dictionary\"): d.Add \"self\", d\n");
  Variant kept = h.control->Eval(u"a");
  h.control->Reset();  // breaks the cycles; LeakSanitizer checks that nothing stays behind
  Variant arg;
  EXPECT_NE(ErrorOf([&] {
              automation::CallByName(*kept.AsObject(), u"Ping", automation::InvokeKind::Method, {});
            }),
            0);
  EXPECT_EQ(h.printer->out, "");  // no Class_Terminate once the code is gone
}

TEST(ScriptControl, ResetTerminatesObjectsHeldByVariables) {
  Host h;
  h.control->AddCode(
      u"Class PhoneCall\n Sub Class_Terminate(): Out.Print \"hung up\": End Sub\nEnd Class\nSet "
      u"current = New PhoneCall");
  h.control->Reset();
  EXPECT_EQ(h.printer->out, "hung up\n");
}

TEST(ScriptControl, TimeoutStopsARunawayStatement) {
  Host h;
  h.control->SetTimeout(200);
  auto start = std::chrono::steady_clock::now();
  std::u16string text;
  // On Error Resume Next cannot keep a runaway statement alive.
  EXPECT_EQ(
      ErrorOf([&] { h.control->ExecuteStatement(u"On Error Resume Next: Do: x = 1 / 0: Loop"); },
              &text),
      kTimedOut);
  EXPECT_EQ(text, kTimedOutText);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  // A statement within the limit runs normally afterwards.
  h.control->ExecuteStatement(u"Print \"fine\"");
  EXPECT_EQ(h.printer->out, "fine\n");
}

TEST(ScriptControl, AllowUiRoutesMessageBoxes) {
  Host h;
  std::u16string seen;
  h.control->SetUiHandler([&](const UiRequest& r) {
    seen = r.title + u":" + r.prompt;
    return Variant(std::int32_t{6});  // vbYes
  });
  h.control->ExecuteStatement(u"Print MsgBox(\"Proceed?\", vbYesNo, \"Agent\") = vbYes");
  EXPECT_EQ(seen, u"Agent:Proceed?");
  EXPECT_EQ(h.printer->out, "True\n");
  h.control->SetAllowUI(false);
  std::u16string text;
  EXPECT_EQ(ErrorOf([&] { h.control->ExecuteStatement(u"MsgBox \"no\""); }, &text), 70);
  EXPECT_EQ(text, u"Permission denied: 'MsgBox'");
  // Without a handler, the message goes to standard error.
  Host plain;
  ::testing::internal::CaptureStderr();
  plain.control->ExecuteStatement(u"MsgBox \"to stderr\"");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "to stderr\n");
}

TEST(ScriptControl, LanguageOtherThanVBScriptIsRefused) {
  EXPECT_EQ(MakeRef<ScriptControl>()->Timeout(), kDefaultTimeoutMs);
  Host h;
  EXPECT_EQ(ErrorOf([&] { h.control->SetLanguage(u"JScript"); }), 380);
  h.control->SetLanguage(u"vbscript");
  EXPECT_EQ(h.control->Language(), u"VBScript");
}

TEST(ScriptControl, EvalAndRun) {
  Host h;
  h.Load(u"Main", u"Function Add(a, b): Add = a + b: End Function");
  EXPECT_EQ(h.control->Eval(u"Main", u"Add(2, 3) * 2"), Variant(std::int16_t{10}));
  Variant args[] = {Variant(std::int32_t{40}), Variant(std::int16_t{2})};
  EXPECT_EQ(h.control->Run(u"Main", u"Add", args), Variant(42));
  EXPECT_EQ(ErrorOf([&] { h.control->Run(u"Main", u"Nope", {}); }), 35);
}

TEST(ScriptControl, CreatableByProgIdAndUsableThroughDispatch) {
  Ref<automation::Dispatch> sc = automation::CreateObject(u"MSScriptControl.ScriptControl");
  ASSERT_TRUE(sc);
  Variant language(u"VBScript");
  automation::CallByName(*sc, u"Language", automation::InvokeKind::PropertyPut,
                         std::span(&language, 1));
  Variant code(u"Function Sq(x): Sq = x * x: End Function");
  automation::CallByName(*sc, u"AddCode", automation::InvokeKind::Method, std::span(&code, 1));
  Variant expression(u"Sq(7)");
  EXPECT_EQ(automation::CallByName(*sc, u"Eval", automation::InvokeKind::Method,
                                   std::span(&expression, 1)),
            Variant(std::int16_t{49}));
  Variant modules =
      automation::CallByName(*sc, u"Modules", automation::InvokeKind::PropertyGet, {});
  Variant name(u"Main");
  automation::CallByName(*modules.AsObject(), u"Add", automation::InvokeKind::Method,
                         std::span(&name, 1));
  EXPECT_EQ(automation::CallByName(*modules.AsObject(), u"Count",
                                   automation::InvokeKind::PropertyGet, {}),
            Variant(2));
  Variant bad(u"Sub");
  EXPECT_EQ(ErrorOf([&] {
              automation::CallByName(*sc, u"AddCode", automation::InvokeKind::Method,
                                     std::span(&bad, 1));
            }),
            1010);
  Variant error = automation::CallByName(*sc, u"Error", automation::InvokeKind::PropertyGet, {});
  EXPECT_EQ(
      automation::CallByName(*error.AsObject(), u"Number", automation::InvokeKind::PropertyGet, {}),
      Variant(1010));
  ASSERT_TRUE(automation::CreateObject(u"Scripting.Dictionary"));
  ASSERT_TRUE(automation::CreateObject(u"VBScript.RegExp"));
}

}  // namespace
}  // namespace telvinor::vbscript::testing
