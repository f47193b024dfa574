#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>

#include "automation/ClassRegistry.h"
#include "automation/Conversions.h"
#include "automation/EventSource.h"
#include "registry/tests/ChildProcess.h"
#include "registry/tests/TempHive.h"

namespace telvinor::tools {
namespace {

using namespace telvinor::automation;
using telvinor::testing::ProgramResult;
using telvinor::testing::RunProgram;
using telvinor::testing::TempHive;

ProgramResult Regsvr(const TempHive& hive, std::vector<std::string> words) {
  words.insert(words.begin(), TELVINOR_REGSVR);
  return RunProgram(words, hive.Folder());
}

ProgramResult Objcall(const TempHive& hive, std::vector<std::string> words) {
  words.insert(words.begin(), TELVINOR_OBJCALL);
  return RunProgram(words, hive.Folder());
}

TEST(Regsvr, RegisteredServerIsCreatedByProgIdInAnyProcess) {
  TempHive hive;
  ProgramResult r = Regsvr(hive, {TELVINOR_SAMPLE_SERVER});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, std::string("DllRegisterServer in ") + TELVINOR_SAMPLE_SERVER + " succeeded.\n");
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(TELVINOR_SAMPLE_SERVER, resolved), nullptr);
  EXPECT_NE(hive.Text().find(std::string("@=\"") + resolved + "\""), std::string::npos)
      << hive.Text();

  // Another process: by name, by dispatch id, an event, a by-reference argument.
  r = Objcall(hive, {"TelvinorSample.Echo", "Echo", "agent 7"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "event Echoed(agent 7)\nHello, agent 7\n");
  r = Objcall(hive, {"{33b0df4f-a984-4530-ac31-3691314ee6c8}", "#0x60030001", "by id"});
  EXPECT_EQ(r.out, "event Echoed(by id)\nHello, by id\n");
  r = Objcall(hive, {"telvinorsample.echo", "Twice", "21"});
  EXPECT_EQ(r.out, "argument 1 is now 42\n");
  r = Objcall(hive, {"TelvinorSample.Echo", "Nope"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "objcall: 438: Object doesn't support this property or method\n");

  // This process, through CreateObject.
  Ref<Dispatch> echo = CreateObject(u"TelvinorSample.Echo");
  std::vector<std::u16string> events;
  EventSourceOf(*echo)->Advise(MakeRef<FunctionSink>(
      [&](DispId, std::span<Variant> a) { events.push_back(ToString(a[0])); }));
  Variant text[] = {Variant(u"x")};
  EXPECT_EQ(echo->Invoke(echo->GetIdOfName(u"Echo"), InvokeKind::Method, text),
            Variant(u"Hello, x"));
  EXPECT_EQ(events, std::vector<std::u16string>{u"x"});

  r = Regsvr(hive, {"/u", TELVINOR_SAMPLE_SERVER});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            std::string("DllUnregisterServer in ") + TELVINOR_SAMPLE_SERVER + " succeeded.\n");
  r = Objcall(hive, {"TelvinorSample.Echo", "Echo", "x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "objcall: 429: ActiveX component can't create object (no class is registered as "
            "TelvinorSample.Echo)\n");
}

TEST(Regsvr, FailuresHaveRegsvr32sExitStatuses) {
  TempHive hive;
  ProgramResult r = Regsvr(hive, {});
  EXPECT_EQ(r.status, 1);
  r = Regsvr(hive, {"/x", TELVINOR_SAMPLE_SERVER});
  EXPECT_EQ(r.status, 1);
  r = Regsvr(hive, {hive.Folder() + "/missing.so"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("failed to load"), std::string::npos);
  std::string notALibrary = hive.Folder() + "/text.so";
  std::ofstream(notALibrary) << "not a library";
  EXPECT_EQ(Regsvr(hive, {notALibrary}).status, 3);
  r = Regsvr(hive, {TELVINOR_NOT_A_SERVER});
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("the entry-point DllRegisterServer was not found"), std::string::npos)
      << r.err;
  // A damaged hive: the library's call fails and the hive is kept as it was.
  hive.Replace("not a registry file\n");
  r = Regsvr(hive, {"/s", TELVINOR_SAMPLE_SERVER});
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(hive.Text(), "not a registry file\n");
  r = Regsvr(hive, {TELVINOR_SAMPLE_SERVER});
  EXPECT_NE(r.err.find("failed with error code 0x800703f1."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(":1: the first line must be"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace telvinor::tools
