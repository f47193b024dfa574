// Load: the settings, the three "Info:" lines, the state document, the script host set-up.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "InterpreterTestSupport.h"
#include "vbscript/ScriptControl.h"

namespace telvinor::interpreter::testing {
namespace {

using automation::FromUtf8;
using ::testing::ElementsAre;

TEST_F(InterpreterTest, LoadTracesTheSettingsInTheAnsiCodePageAndRunsMainOnLoad) {
  // A script folder with a Chinese name: the settings and the trace lines carry it in the ANSI
  // code page (GBK), the file system in UTF-8.
  agentDir = std::filesystem::path(hive.Folder()) / "坐席";
  std::filesystem::create_directories(agentDir);
  Workflow w;
  w.main =
      u"Sub OnLoad()\n  Trace \"Info:振铃 \" & CurrentModule()\nEnd Sub\n"
      u"Function CurrentModule(): CurrentModule = \"Main\": End Function\n";
  Write(w);
  PointSettingsAtFolder();
  SetSetting("StatePath", u"D:\\脚本");
  interp->Load();

  const std::string folder = hive.Folder();
  std::vector<std::string> datagrams = traces.Datagrams();
  ASSERT_EQ(datagrams.size(), 4u);
  EXPECT_EQ(datagrams[0], "Info:ScriptRootDir is " + folder + "/\xd7\xf8\xcf\xaf");
  EXPECT_EQ(datagrams[1], "Info:MainAbs is " + folder + "/\xd7\xf8\xcf\xaf/AgentRun.xml");
  EXPECT_EQ(datagrams[2], "Info:StatePath is D:\\\xbd\xc5\xb1\xbe");
  EXPECT_EQ(datagrams[3], "Info:\xd5\xf1\xc1\xe5 Main");
  EXPECT_EQ(interp->CurrentModuleName(), u"Main");
  EXPECT_EQ(interp->ScriptRootDir(), FromUtf8(agentDir.string()));
  EXPECT_EQ(interp->m_StatePath(), u"D:\\脚本");
  EXPECT_FALSE(interp->bIsEnded());
}

TEST_F(InterpreterTest, TracesGoToTheListenerOnThisMachineAtPort33334) {
  ::unsetenv(kTracePortVariable);  // as an installation runs: no test listener named
  interp->Load();
  EXPECT_EQ(interp->TraceHost(), u"127.0.0.1");
  EXPECT_EQ(interp->TracePort(), 33334);
  ::setenv(kTracePortVariable, "not a port", 1);
  interp->Load();
  EXPECT_EQ(interp->TracePort(), 33334);
  ::setenv(kTracePortVariable, std::to_string(traces.Port()).c_str(), 1);
  interp->Load();
  EXPECT_EQ(interp->TracePort(), traces.Port());
}

TEST_F(InterpreterTest, TraceBeforeLoadAndAfterUnInitSendsNothing) {
  interp->Trace(u"Info:too early");
  EXPECT_TRUE(traces.Lines().empty());
  Load(Workflow{});
  interp->UnInit();
  interp->Trace(u"Info:too late");
  EXPECT_TRUE(traces.Lines().empty());
  EXPECT_EQ(interp->Window(), nullptr);
}

TEST_F(InterpreterTest, MissingSettingsAreEmptyTextAndNoScriptsLoad) {
  interp->Load();  // an empty hive
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:ScriptRootDir is ", "Info:MainAbs is ",
                                          "Info:StatePath is ", "Info:AgentRun 主脚本加载错误！"));
  // Loaded without scripts: a statement finds no module.
  interp->Execute(u"OnTimeOut");
  EXPECT_THAT(traces.Lines(), ElementsAre("Err:Module not found: ''"));
}

TEST_F(InterpreterTest, StateDocumentMissingOrNotWellFormedLoadsNoScripts) {
  Workflow w;
  w.main = u"Sub OnLoad(): Trace \"Info:main\": End Sub\n";
  w.states = u"<Workflow><State ID=\"Idle\"></Workflow>";
  EXPECT_THAT(LoadAndSkipSettings(w), ElementsAre("Info:AgentRun 主脚本加载错误！"));
  std::filesystem::remove(agentDir / "AgentRun.xml");
  interp->Load();
  Lines lines = traces.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "Info:AgentRun 主脚本加载错误！");
  EXPECT_FALSE(interp->ScriptHost().HasModule(u"Main"));
}

TEST_F(InterpreterTest, MissingModuleEndsTheSetUpWithOneErrLineAndNoOnLoad) {
  Workflow w;
  w.main = u"Sub OnLoad(): Trace \"Info:main\": End Sub\n";
  Write(w);
  std::filesystem::remove(agentDir / "State.bas");
  PointSettingsAtFolder();
  interp->Load();
  Lines lines = traces.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "Err:File not found");
  EXPECT_TRUE(interp->ScriptHost().HasModule(u"Operation"));
  EXPECT_FALSE(interp->ScriptHost().HasModule(u"Jump"));  // later modules are skipped
  EXPECT_TRUE(events.Take().empty());

  // The whole folder gone: "Path not found"; a folder where a module should be: a file error.
  SetSetting("BinPath", FromUtf8((agentDir / "gone").string()));
  interp->Load();
  EXPECT_EQ(traces.Lines().back(), "Err:Path not found");
  std::filesystem::create_directory(agentDir / "State.bas");
  PointSettingsAtFolder();
  interp->Load();
  EXPECT_EQ(traces.Lines().back(), "Err:Path/File access error");
}

TEST_F(InterpreterTest, ModuleThatDoesNotCompileIsReportedAndTheOthersStillLoad) {
  Workflow w;
  w.main = u"Sub OnLoad(): Trace \"Info:main\": End Sub\n";
  w.operation = u"Sub OnLoad(\n  If Then\n";
  w.jump = u"\xFEFF garbage )))";
  EXPECT_THAT(LoadAndSkipSettings(w),
              ElementsAre("Info:Load VBScipt Error", "Info:Load VBScipt Error", "Info:main"));
  EXPECT_TRUE(interp->ScriptHost().HasModule(u"state"));
}

TEST_F(InterpreterTest, TrailingBackslashDoublesItAndWindowsPathsOpenFromTheWorkingDirectory) {
  // An installation's settings as written on Windows: "D:\agent\" with a trailing backslash.
  // The texts stay as read; the files open at D:/agent//Main.bas below the working directory.
  std::filesystem::path drive = std::filesystem::path(hive.Folder()) / "D:";
  std::filesystem::create_directories(drive);
  std::filesystem::rename(agentDir, drive / "agent");
  agentDir = drive / "agent";
  Workflow w;
  w.main = u"Sub OnLoad(): Trace \"Info:main \" & ScriptRootDir & \"Main.bas\": End Sub\n";
  Write(w);
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(hive.Folder());
  SetSetting("BinPath", u"D:\\agent\\");
  SetSetting("AgentRunPath", u"D:\\agent\\AgentRun.xml");
  interp->Load();
  std::filesystem::current_path(previous);
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:ScriptRootDir is D:\\agent\\",
                                          "Info:MainAbs is D:\\agent\\AgentRun.xml",
                                          "Info:StatePath is ", "Info:main D:\\agent\\Main.bas"));
  EXPECT_EQ(interp->xDoc()->DocumentElement()->NodeName(), u"Workflow");
}

TEST_F(InterpreterTest, LoadTwiceGivesACleanScriptHost) {
  Workflow w;
  w.main =
      u"Dim loads\nSub OnLoad()\n  loads = loads + 1\n  Trace \"Info:loads \" & loads\nEnd Sub\n";
  w.state = u"Sub OnLoad(): End Sub\nSub OnTimeOut(): Trace \"Info:state\": End Sub\n";
  EXPECT_THAT(LoadAndSkipSettings(w), ElementsAre("Info:loads 1"));
  interp->JumpToState(u"Idle");
  interp->SetNextModuleName(u"Jump");  // a switch left pending by the first load
  interp->Load();
  // The modules were added again without a clash, the script state starts afresh, the old
  // window is gone and a new one traces.
  EXPECT_THAT(traces.Lines(), ElementsAre("Info:ScriptRootDir is " + agentDir.string(),
                                          "Info:MainAbs is " + (agentDir / "AgentRun.xml").string(),
                                          "Info:StatePath is %TEMP%\\agent", "Info:loads 1"));
  EXPECT_EQ(interp->CurrentModuleName(), u"Main");
  EXPECT_TRUE(interp->NextModuleName().empty());
  EXPECT_NE(interp->Window(), nullptr);
  EXPECT_EQ(interp->ScriptHost().ModuleCount(), 5u);  // Global and the four
}

TEST_F(InterpreterTest, ScriptFilesAreReadInTheAnsiCodePage) {
  Workflow w;
  w.main =
      u"Sub OnLoad()\n  ' 坐席主模块\n  Trace \"Info:\" & Len(\"坐席\") & \" \" & \"坐席\"\nEnd "
      u"Sub\n";
  EXPECT_THAT(LoadAndSkipSettings(w), ElementsAre("Info:2 坐席"));
}

TEST_F(InterpreterTest, ModuleFilesInAnyStateNeverTakeLoadDown) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    Workflow w;
    std::string bytes(random() % 3000, '\0');
    for (auto& b : bytes) b = static_cast<char>(random());
    w.operation = text::FromAnsi(bytes);
    w.states = round % 2 ? text::FromAnsi(bytes) : w.states;
    (void)Load(w);
  }
  Workflow empty;
  empty.main = u"";
  EXPECT_THAT(LoadAndSkipSettings(empty), ElementsAre("Err:Type mismatch: 'OnLoad'"));
}

}  // namespace
}  // namespace telvinor::interpreter::testing
