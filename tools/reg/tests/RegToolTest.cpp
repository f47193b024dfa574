#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "RegCommand.h"
#include "RegTool.h"
#include "registry/HiveStore.h"
#include "registry/tests/ChildProcess.h"
#include "registry/tests/TempHive.h"

namespace telvinor::tools {
namespace {

using telvinor::testing::TempHive;

struct Result {
  int status;
  std::string out, err;
  std::vector<std::string> questions;
};

// Runs reg in this process; every question is answered with `answer`.
Result Reg(std::vector<std::string> words, bool answer = false) {
  std::ostringstream out, err;
  Result r;
  RegConsole console{out, err, [&](const std::string& q) {
                       r.questions.push_back(q);
                       return answer;
                     }};
  r.status = RunReg(words, console);
  r.out = out.str();
  r.err = err.str();
  return r;
}

// Runs the reg program as another process would.
Result RegProgram(const TempHive& hive, std::vector<std::string> words) {
  words.insert(words.begin(), TELVINOR_REG);
  auto run = telvinor::testing::RunProgram(words, hive.Folder());
  return Result{run.status, run.out, run.err, {}};
}

const std::string kKey = "HKLM\\Software\\Brenlow\\Ostrel\\Telvinor";
const std::string kDone = "The operation completed successfully.\n";

TEST(RegTool, AddThenQueryPrintsTheValueAsWindowsDoes) {
  TempHive hive;
  Result add = RegProgram(hive, {"add", kKey, "/v", "BinPath", "/d", "D:\\agent", "/f"});
  EXPECT_EQ(add.status, 0) << add.err;
  EXPECT_EQ(add.out, kDone);
  Result query = RegProgram(hive, {"query", kKey, "/v", "BinPath"});
  EXPECT_EQ(query.status, 0) << query.err;
  EXPECT_EQ(query.out,
            "\nHKEY_LOCAL_MACHINE\\Software\\Brenlow\\Ostrel\\Telvinor\n    BinPath    REG_SZ    "
            "D:\\agent\n\n");
  Result missing = RegProgram(hive, {"QUERY", kKey, "/V", "Nope"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err,
            "ERROR: The system was unable to find the specified registry key or value.\n");
}

TEST(RegTool, QueryListsValuesSubkeysAndWholeTrees) {
  TempHive hive;
  ASSERT_EQ(Reg({"add", kKey, "/v", "BinPath", "/d", "D:\\agent"}).status, 0);
  ASSERT_EQ(Reg({"add", kKey, "/v", "Count", "/t", "REG_DWORD", "/d", "31"}).status, 0);
  ASSERT_EQ(Reg({"add", kKey + "\\Sub", "/ve", "/d", "默认"}).status, 0);
  ASSERT_EQ(Reg({"add", "HKEY_LOCAL_MACHINE\\Software\\Brenlow\\Ostrel\\Telvinor\\Empty"}).status,
            0);
  EXPECT_EQ(Reg({"query", kKey}).out,
            "\nHKEY_LOCAL_MACHINE\\Software\\Brenlow\\Ostrel\\Telvinor\n"
            "    BinPath    REG_SZ    D:\\agent\n"
            "    Count    REG_DWORD    0x1f\n"
            "\n"
            "HKEY_LOCAL_MACHINE\\Software\\Brenlow\\Ostrel\\Telvinor\\Empty\n"
            "HKEY_LOCAL_MACHINE\\Software\\Brenlow\\Ostrel\\Telvinor\\Sub\n");
  EXPECT_EQ(Reg({"query", "hklm\\software\\brenlow", "/s"}).out,
            "\nHKEY_LOCAL_MACHINE\\software\\brenlow\n"
            "\nHKEY_LOCAL_MACHINE\\software\\brenlow\\Ostrel\n"
            "\nHKEY_LOCAL_MACHINE\\software\\brenlow\\Ostrel\\Telvinor\n"
            "    BinPath    REG_SZ    D:\\agent\n"
            "    Count    REG_DWORD    0x1f\n"
            "\nHKEY_LOCAL_MACHINE\\software\\brenlow\\Ostrel\\Telvinor\\Empty\n"
            "\nHKEY_LOCAL_MACHINE\\software\\brenlow\\Ostrel\\Telvinor\\Sub\n"
            "    (Default)    REG_SZ    默认\n");
  Result search = Reg({"query", "HKLM\\Software", "/v", "BinPath", "/s"});
  EXPECT_EQ(search.status, 0);
  EXPECT_NE(search.out.find("End of search: 1 match(es) found."), std::string::npos) << search.out;
  EXPECT_EQ(Reg({"query", kKey + "\\Empty", "/ve"}).out,
            "\nHKEY_LOCAL_MACHINE\\Software\\Brenlow\\Ostrel\\Telvinor\\Empty\n"
            "    (Default)    REG_SZ    (value not set)\n\n");
  EXPECT_EQ(Reg({"query", "HKLM\\Software\\Nowhere"}).status, 1);
}

TEST(RegTool, AddWritesEachTypeFromItsText) {
  TempHive hive;
  struct Case {
    std::vector<std::string> words;
    std::string line;
  };
  const Case cases[] = {
      {{"/t", "REG_DWORD", "/d", "0x1F"}, "    V    REG_DWORD    0x1f"},
      {{"/t", "reg_dword", "/d", "4294967295"}, "    V    REG_DWORD    0xffffffff"},
      {{"/t", "REG_QWORD", "/d", "0x100000000"}, "    V    REG_QWORD    0x100000000"},
      {{"/t", "REG_BINARY", "/d", "0102fF"}, "    V    REG_BINARY    0102FF"},
      {{"/t", "REG_NONE"}, "    V    REG_NONE    "},
      {{"/t", "REG_MULTI_SZ", "/d", "a\\0b"}, "    V    REG_MULTI_SZ    a\\0b"},
      {{"/t", "REG_MULTI_SZ", "/s", "#", "/d", "a#b#c"}, "    V    REG_MULTI_SZ    a\\0b\\0c"},
      {{"/t", "REG_EXPAND_SZ", "/d", "%TEMP%\\x"}, "    V    REG_EXPAND_SZ    %TEMP%\\x"},
      {{"/d", "plain"}, "    V    REG_SZ    plain"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words{"add", "HKCU\\Types", "/v", "V", "/f"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    Result r = Reg(words);
    ASSERT_EQ(r.status, 0) << c.line << r.err;
    EXPECT_EQ(Reg({"query", "HKCU\\Types", "/v", "V"}).out,
              "\nHKEY_CURRENT_USER\\Types\n" + c.line + "\n\n");
  }
  for (auto bad : {std::vector<std::string>{"/t", "REG_DWORD", "/d", "abc"},
                   std::vector<std::string>{"/t", "REG_DWORD", "/d", "4294967296"},
                   std::vector<std::string>{"/t", "REG_BINARY", "/d", "123"},
                   std::vector<std::string>{"/t", "REG_LINK", "/d", "x"},
                   std::vector<std::string>{"/t", "REG_TEXT"}}) {
    std::vector<std::string> words{"add", "HKCU\\Types", "/v", "Bad", "/f"};
    words.insert(words.end(), bad.begin(), bad.end());
    Result r = Reg(words);
    EXPECT_EQ(r.status, 1) << bad[1];
    EXPECT_EQ(r.err, "ERROR: Invalid syntax.\nType \"REG ADD /?\" for usage.\n");
  }
  EXPECT_EQ(Reg({"query", "HKCU\\Types", "/v", "Bad"}).status, 1) << "nothing was written";
}

TEST(RegTool, AsksBeforeOverwritingOrDeleting) {
  TempHive hive;
  ASSERT_EQ(Reg({"add", kKey, "/v", "AgentID", "/d", "Agent2"}).status, 0);
  Result no = Reg({"add", kKey, "/v", "AgentID", "/d", "Agent9"}, false);
  EXPECT_EQ(no.questions, std::vector<std::string>{"Value AgentID exists, overwrite(Yes/No)?"});
  EXPECT_EQ(no.status, 1);
  EXPECT_EQ(no.out, "The operation was cancelled by the user.\n");
  EXPECT_NE(Reg({"query", kKey, "/v", "AgentID"}).out.find("Agent2"), std::string::npos);
  EXPECT_EQ(Reg({"add", kKey, "/v", "AgentID", "/d", "Agent9"}, true).status, 0);
  EXPECT_NE(Reg({"query", kKey, "/v", "AgentID"}).out.find("Agent9"), std::string::npos);

  Result value = Reg({"delete", kKey, "/v", "agentid"}, true);
  EXPECT_EQ(value.questions,
            std::vector<std::string>{"Delete the registry value agentid (Yes/No)?"});
  EXPECT_EQ(value.out, kDone);
  EXPECT_EQ(Reg({"delete", kKey, "/v", "AgentID", "/f"}).err,
            "ERROR: The system was unable to find the specified registry key or value.\n");

  ASSERT_EQ(Reg({"add", kKey + "\\Child", "/v", "x", "/d", "1"}).status, 0);
  ASSERT_EQ(Reg({"add", kKey, "/v", "y", "/d", "2"}).status, 0);
  EXPECT_EQ(Reg({"delete", kKey, "/va", "/f"}).status, 0);
  EXPECT_EQ(Reg({"query", kKey}).out,
            "\nHKEY_LOCAL_MACHINE\\Software\\Brenlow\\Ostrel\\Telvinor\\Child\n");
  Result tree = Reg({"delete", "HKLM\\Software\\Brenlow"}, false);
  EXPECT_EQ(
      tree.questions,
      std::vector<std::string>{
          "Permanently delete the registry key HKEY_LOCAL_MACHINE\\Software\\Brenlow (Yes/No)?"});
  EXPECT_EQ(Reg({"query", kKey + "\\Child"}).status, 0) << "cancelled: nothing deleted";
  EXPECT_EQ(Reg({"delete", "HKLM\\Software\\Brenlow", "/f"}).status, 0);
  EXPECT_EQ(Reg({"query", "HKLM\\Software\\Brenlow"}).status, 1);
  EXPECT_EQ(Reg({"delete", "HKCR", "/f"}).err, "ERROR: Access is denied.\n");
}

TEST(RegTool, SyntaxErrorsNameTheOperation) {
  TempHive hive;
  struct Case {
    std::vector<std::string> words;
    std::string err;
  };
  const std::string addUsage = "ERROR: Invalid syntax.\nType \"REG ADD /?\" for usage.\n";
  const Case cases[] = {
      {{"frobnicate", "HKLM"}, "ERROR: Invalid syntax.\nType \"REG /?\" for usage.\n"},
      {{"add"}, addUsage},
      {{"add", "HKLM\\A", "/v"}, addUsage},
      {{"add", "HKLM\\A", "/v", "x", "/ve"}, addUsage},
      {{"add", "HKLM\\A", "/f", "/f"}, addUsage},
      {{"add", "HKLM\\A", "HKLM\\B"}, addUsage},
      {{"add", "HKLM\\A", "/va"}, addUsage},
      {{"delete", "HKLM\\A", "/v", "x", "/va"},
       "ERROR: Invalid syntax.\nType \"REG DELETE /?\" for usage.\n"},
      {{"export", "HKLM\\A"}, "ERROR: Invalid syntax.\nType \"REG EXPORT /?\" for usage.\n"},
      {{"query", "HKXX\\A"}, "ERROR: Invalid key name.\nType \"REG QUERY /?\" for usage.\n"},
      {{"query", "HKLM\\A\\\\B"}, "ERROR: Invalid key name.\nType \"REG QUERY /?\" for usage.\n"},
  };
  for (const auto& c : cases) {
    Result r = Reg(c.words);
    EXPECT_EQ(r.status, 1) << c.words[0];
    EXPECT_EQ(r.err, c.err) << c.words[0] << " " << (c.words.size() > 1 ? c.words[1] : "");
  }
  EXPECT_EQ(Reg({"/?"}).status, 0);
  EXPECT_EQ(Reg({"query", "/?"}).status, 0);
  EXPECT_EQ(Reg({}).status, 1);
  EXPECT_EQ(hive.Text(), "") << "no command wrote the hive";
}

TEST(RegTool, ExportThenImportIntoAnEmptyHiveReproducesTheKeys) {
  TempHive target;  // empty; the source hive below takes its place for a while
  const std::string exported = target.Folder() + "/export.reg";
  std::string before;
  {
    TempHive source;
    for (auto words : std::vector<std::vector<std::string>>{
             {"add", kKey, "/v", "BinPath", "/d", "D:\\agent", "/f"},
             {"add", kKey, "/v", "StatePath", "/t", "REG_EXPAND_SZ", "/d", "%AGENT%\\state.xml",
              "/f"},
             {"add", kKey, "/v", "Retries", "/t", "REG_DWORD", "/d", "3", "/f"},
             {"add", kKey, "/v", "Blob", "/t", "REG_BINARY", "/d", std::string(300, 'a'), "/f"},
             {"add", kKey + "\\坐席", "/ve", "/d", "say \"hi\"", "/f"},
             {"add", "HKCU\\Elsewhere", "/v", "x", "/d", "not exported", "/f"}}) {
      Result r = RegProgram(source, words);
      ASSERT_EQ(r.status, 0) << r.err;
    }
    Result r = RegProgram(source, {"export", "HKLM\\Software\\Brenlow", exported, "/y"});
    ASSERT_EQ(r.status, 0) << r.err;
    before = RegProgram(source, {"query", "HKLM\\Software\\Brenlow", "/s"}).out;
  }
  Result r = RegProgram(target, {"import", exported});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kDone);
  EXPECT_EQ(RegProgram(target, {"query", "HKLM\\Software\\Brenlow", "/s"}).out, before);
  EXPECT_EQ(RegProgram(target, {"query", "HKCU\\Elsewhere"}).status, 1);
}

TEST(RegTool, ImportRefusesADamagedFileAndChangesNothing) {
  TempHive hive;
  ASSERT_EQ(Reg({"add", "HKCU\\Keep", "/v", "x", "/d", "1"}).status, 0);
  std::string before = hive.Text();
  std::string file = hive.Folder() + "/bad.reg";
  std::ofstream(file) << "Windows Registry Editor Version "
                         "5.00\n\n[HKEY_CURRENT_USER\\New]\n\"a\"=\"1\"\n\"b\"=dword:xyz\n";
  Result r = Reg({"import", file});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ERROR: " + file + ":5: dword: must be followed by 1 to 8 hex digits\n");
  std::ofstream(file) << "Windows Registry Editor Version "
                         "5.00\n\n[HKEY_CURRENT_USER\\New]\n\"a\"=\"1\"\n[-HKEY_USERS]\n";
  r = Reg({"import", file});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(":5: "), std::string::npos) << r.err;
  EXPECT_EQ(hive.Text(), before);
  EXPECT_EQ(Reg({"query", "HKCU\\New"}).status, 1) << "a refused import applies nothing";
}

}  // namespace
}  // namespace telvinor::tools
