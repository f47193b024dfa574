// The library as an in-process server: registered by regsvr, created by ProgID.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "InterpreterTestSupport.h"
#include "automation/ClassRegistry.h"
#include "registry/tests/ChildProcess.h"

namespace telvinor::interpreter::testing {
namespace {

using automation::InvokeKind;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST_F(InterpreterTest, RegisteredByRegsvrAndCreatedByProgId) {
  telvinor::testing::ProgramResult r =
      telvinor::testing::RunProgram({TELVINOR_REGSVR, TELVINOR_VESSAMOR}, hive.Folder());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string hiveText = hive.Text();
  EXPECT_THAT(hiveText,
              HasSubstr("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Vessamor.clsInterpretor\\CLSID]\n"
                        "@=\"{9f928b90-6389-496c-8388-f77874253dab}\""));
  EXPECT_THAT(hiveText, HasSubstr("\\InprocServer32]"));

  Workflow w;
  w.main = u"Sub OnLoad(): RaiseStatus \"loaded from \" & TypeName(Engine): End Sub\n";
  Write(w);
  PointSettingsAtFolder();
  Ref<automation::Dispatch> object = automation::CreateObject(u"Vessamor.clsInterpretor");
  ASSERT_TRUE(object);
  EXPECT_EQ(object->TypeName(), u"clsInterpretor");
  Ref<automation::Dispatch> byClassId = automation::CreateObject(
      automation::Guid::FromString("{9f928b90-6389-496c-8388-f77874253dab}"));
  EXPECT_EQ(byClassId->TypeName(), u"clsInterpretor");

  EventLog log;
  automation::EventSource* source = automation::EventSourceOf(*object);
  ASSERT_NE(source, nullptr);
  source->Advise(log.Sink());
  automation::CallByName(*object, u"Load", InvokeKind::Method, {});
  EXPECT_THAT(log.Take(), ElementsAre("sRaiseStatus|loaded from clsInterpretor"));
  EXPECT_EQ(traces.Lines().size(), 3u);
  automation::CallByName(*object, u"UnInit", InvokeKind::Method, {});

  r = telvinor::testing::RunProgram({TELVINOR_REGSVR, "/u", TELVINOR_VESSAMOR}, hive.Folder());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(hive.Text(), ::testing::Not(HasSubstr("Vessamor.clsInterpretor")));
}

}  // namespace
}  // namespace telvinor::interpreter::testing
