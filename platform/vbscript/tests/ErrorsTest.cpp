// Errors: run-time errors with On Error, Err and positions; compile errors with their
// numbers, lines and columns; hostile source text; runaway recursion.

#include <random>

#include "ScriptHarness.h"

namespace telvinor::vbscript::testing {
namespace {

TEST(Errors, OnErrorAndErr) {
  RunTable({
      {"resume next records the error",
       "On Error Resume Next\nx = 1 / 0\nPrint Err.Number, Err.Description, Err.Source\nPrint "
       "\"went on\"",
       "11 Division by zero Microsoft VBScript runtime error\nwent on\n"},
      {"err is its number by default",
       "On Error Resume Next: x = CInt(\"a\"): If Err Then Print \"caught\", Err", "caught 13\n"},
      {"clear",
       "On Error Resume Next: x = 1 / 0: Err.Clear: Print Err.Number, Err.Description = \"\"",
       "0 True\n"},
      {"goto 0 clears and stops catching",
       "On Error Resume Next: x = 1 / 0: On Error GoTo 0: Print Err.Number: y = 1 / 0: Print "
       "\"no\"",
       "0\n", 11},
      {"raise with texts",
       "On Error Resume Next\nErr.Raise vbObjectError + 7, \"MySrc\", \"My text\"\nPrint "
       "Err.Number - vbObjectError, Err.Source, Err.Description",
       "7 MySrc My text\n"},
      {"raise standard number", "Err.Raise 9", "", 9, "Subscript out of range"},
      {"raise unknown number", "Err.Raise 1234", "", 1234, "Unknown runtime error"},
      {"error in callee caught by caller",
       "Sub S(): x = 1 / 0: Print \"not here\": End Sub\nOn Error Resume Next\nS\nPrint \"after\", "
       "Err.Number",
       "after 11\n"},
      {"callee handler is its own",
       "Sub S(): On Error Resume Next: x = 1 / 0: Print \"inside\", Err.Number: End Sub\nS\ny = 1 "
       "/ 0",
       "inside 11\n", 11},
      {"failing if condition enters the branch",
       "On Error Resume Next\nIf 1 / 0 Then\n Print \"then\"\nElse\n Print \"else\"\nEnd If",
       "then\n"},
      {"error inside a loop goes on with the next statement",
       "On Error Resume Next\nFor i = 1 To 3\n x = 1 / (i - 2)\n Print i\nNext", "1\n2\n3\n"},
  });
}

TEST(Errors, RunTimeErrorsCarryTheirPosition) {
  Outcome o = RunScript("x = 1\n\n  y = x / 0\n");
  EXPECT_EQ(o.number, 11);
  EXPECT_EQ(o.line, 3u);
  EXPECT_EQ(o.column, 3u);
  // An error in a procedure is reported where it happened, not at the call.
  o = RunScript("Sub S()\n  Err.Raise 5\nEnd Sub\nS\n");
  EXPECT_EQ(o.line, 2u);
}

struct CompileCase {
  const char* name;
  const char* script;
  std::int32_t number;
  const char* description;
  std::uint32_t line, column;
};

TEST(Errors, CompileErrorsHaveNumberTextLineAndColumn) {
  const CompileCase cases[] = {
      {"missing end if", "If x Then\n y = 1\n", 1014, "Expected 'End'", 3, 1},
      {"missing next", "For i = 1 To 2\n", 1020, "Expected 'Next'", 2, 1},
      {"missing loop", "Do\n x = 1\n", 1019, "Expected 'Loop'", 3, 1},
      {"missing then", "If x y\n", 1017, "Expected 'Then'", 1, 6},
      {"unterminated string", "x = \"abc\n", 1033, "Unterminated string constant", 1, 5},
      {"invalid character", "x = 1 ? 2", 1032, "Invalid character", 1, 7},
      {"expected expression", "x = \n", 1023, "Expected expression", 1, 5},
      {"expected end of statement", "x = 1 2", 1025, "Expected end of statement", 1, 7},
      {"parentheses on a sub call", "Foo(1, 2)", 1044, "Cannot use parentheses when calling a Sub",
       1, 1},
      {"loop without do", "Loop", 1038, "'loop' without 'do'", 1, 1},
      {"exit outside a loop", "Exit For", 1039, "Invalid 'exit' statement", 1, 1},
      {"name redefined", "Sub A(): End Sub\nSub A(): End Sub", 1041, "Name redefined", 2, 1},
      {"expected identifier", "Dim 5", 1010, "Expected identifier", 1, 5},
      {"missing end function", "Function F()\n", 1014, "Expected 'End'", 2, 1},
      {"wrong closer", "Sub S()\nEnd Function", 1016, "Expected 'Sub'", 2, 5},
      {"missing wend", "While True\n", 1018, "Expected 'Wend'", 2, 1},
      {"me outside class", "x = Me", 1037, "Invalid use of 'Me' keyword", 1, 5},
      {"const needs a literal", "Const A = B", 1045, "Expected literal constant", 1, 11},
      {"huge number", "x = 1e999", 1031, "Invalid number", 1, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = RunScript(c.script);
    EXPECT_EQ(o.number, c.number);
    EXPECT_EQ(o.description, c.description);
    EXPECT_EQ(o.line, c.line);
    EXPECT_EQ(o.column, c.column);
  }
}

TEST(Errors, CompileErrorsReachTheHostWithTheLineText) {
  auto control = automation::MakeRef<ScriptControl>();
  try {
    control->AddCode(u"x = 1\nIf x Then y = \"open\n");
    FAIL() << "no error";
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.Number(), 1033);
    EXPECT_EQ(e.Source(), kCompileSource);
  }
  EXPECT_EQ(control->Error().line, 2);
  EXPECT_EQ(control->Error().column, 15);
  EXPECT_EQ(control->Error().text, u"If x Then y = \"open");
}

TEST(Errors, HostileSourceGivesCompileErrorsNotCrashes) {
  // Deep nesting of every kind: parentheses, blocks, unary operators.
  std::string parens = "x = " + std::string(10000, '(') + "1" + std::string(10000, ')');
  std::string blocks;
  for (int i = 0; i < 10000; ++i) blocks += "If x Then\n";
  std::string unary = "x = " + std::string(10000, '-') + "1";
  std::string members = "x = a";
  for (int i = 0; i < 10000; ++i) members += "(1)";
  for (const std::string& source : {parens, blocks, unary}) {
    Outcome o = RunScript(source);
    EXPECT_EQ(o.number, 28) << o.description;
    EXPECT_GT(o.line, 0u);
    EXPECT_GT(o.column, 0u);
  }
  std::string sum = "x = 1";
  for (int i = 0; i < 100000; ++i) sum += " + 1";
  for (const std::string& source : {members, sum}) {
    Outcome o = RunScript(source);
    EXPECT_EQ(o.number, 28) << o.description;  // chains longer than the compiler takes
    EXPECT_EQ(o.line, 1u);
  }
  std::string longButFine = "x = 0";
  for (int i = 0; i < 500; ++i) longButFine += " + 1";
  EXPECT_EQ(RunScript(longButFine + ": Print x").output, "500\n");
  // A huge literal is just data.
  Outcome big = RunScript("x = \"" + std::string(1 << 20, 'a') + "\": Print Len(x)");
  EXPECT_EQ(big.output, "1048576\n");
  Outcome digits = RunScript("x = " + std::string(100000, '9'));
  EXPECT_EQ(digits.number, 1031);
  // Random bytes: whatever they are, the result is an error with a position or a clean run.
  std::mt19937 random(12345);
  for (int round = 0; round < 300; ++round) {
    std::string bytes(static_cast<std::size_t>(random() % 200), '\0');
    for (auto& b : bytes) b = static_cast<char>(random() % 128);
    Outcome o = RunScript(bytes);
    if (o.number >= 1000 && o.number < 1100) {
      EXPECT_GT(o.line, 0u) << bytes;
    }
  }
}

TEST(Errors, RunawayRecursionIsOutOfStackSpace) {
  RunTable({
      {"recursion", "Function R(n): R = R(n + 1): End Function\nx = R(0)", "", 28,
       "Out of stack space"},
      {"caught",
       "Function R(n): R = R(n + 1): End Function\nOn Error Resume Next\nx = R(0)\nPrint "
       "Err.Number",
       "28\n"},
      {"class recursion",
       "Class C\n Function F(): F = F(): End Function\nEnd Class\nSet o = New C: o.F", "", 28},
  });
}

TEST(Errors, ExecuteEvalAndGetRef) {
  RunTable({
      {"eval", "x = 4: Print Eval(\"x * 2 + 1\"), Eval(\"Len(\"\"abc\"\")\")", "9 3\n"},
      {"execute sees locals",
       "Sub S()\n Dim v: v = 1\n Execute \"v = v + 10\"\n Print v\nEnd Sub\nS", "11\n"},
      {"executeglobal defines", "ExecuteGlobal \"Function G(): G = 42: End Function\": Print G()",
       "42\n"},
      {"execute error has its number", "Execute \"x = 1 / 0\"", "", 11},
      {"execute syntax error", "Execute \"If\"", "", 1023},
      {"getref",
       "Function Twice(x): Twice = x * 2: End Function\nSet f = GetRef(\"Twice\"): Print f(21)",
       "42\n"},
      {"getref of nothing", "Set f = GetRef(\"Nope\")", "", 5},
  });
}

}  // namespace
}  // namespace telvinor::vbscript::testing
