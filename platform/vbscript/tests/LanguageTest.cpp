// Conformance of the language: literals, operators with VB's type and Null rules, control
// flow, procedures, classes. Each row is a script and what it prints.

#include "ScriptHarness.h"

namespace telvinor::vbscript::testing {
namespace {

TEST(Language, LiteralsAndTheirTypes) {
  RunTable({
      {"integer", "Print 1, TypeName(1), TypeName(32767), TypeName(32768)",
       "1 Integer Integer Long\n"},
      {"long and double", "Print TypeName(2147483647), TypeName(2147483648), 2147483648",
       "Long Double 2147483648\n"},
      {"hex and octal", "Print &HFF, &HFFFF, &H8000, &H10000, &HFFFFFFFF, &O17, &17",
       "255 -1 -32768 65536 -1 15 15\n"},
      {"floats", "Print 1.5, .5, 1e3, 1.5E-3, TypeName(1.0)", "1.5 0.5 1000 0.0015 Double\n"},
      {"strings", "Print \"a\"\"b\", Len(\"\"), \"x\" & vbTab & \"y\"", "a\"b 0 x\ty\n"},
      {"date literal", "Print #1/2/2020#, TypeName(#1/2/2020 13:05:00#), Month(#12/25/2026#)",
       "2020/1/2 Date 12\n"},
      {"keywords as values", "Print IsEmpty(Empty), IsNull(Null), True, False, TypeName(Nothing)",
       "True True True False Nothing\n"},
      {"continuation and colons", "x = 1 + _\n  2 : Print x : Print _\n \"y\"", "3\ny\n"},
      {"comments", "Print 1 ' one\nRem a comment\nPrint 2: Rem two", "1\n2\n"},
      {"bracketed name", "[my var] = 5: Print [my var]", "5\n"},
  });
}

TEST(Language, ArithmeticFollowsVbTypesAndOverflow) {
  RunTable({
      {"integer overflow widens", "Print TypeName(32767 + 1), 32767 + 1, TypeName(2147483647 + 1)",
       "Long 32768 Double\n"},
      {"division is double", "Print 7 / 2, TypeName(4 / 2), 7 \\ 2, -7 \\ 2, 7 Mod 3, -7 Mod 3",
       "3.5 Double 3 -3 1 -1\n"},
      {"int division rounds operands half to even", "Print 7.5 \\ 2, 6.5 \\ 2, 5.5 Mod 3",
       "4 3 0\n"},
      {"power and unary minus", "Print -2 ^ 2, 2 ^ -1, 2 ^ 3 ^ 2, (-8) ^ (1 / 3) = 0", "", 5},
      {"power", "Print -2 ^ 2, 2 ^ -1, 2 ^ 3 ^ 2", "-4 0.5 64\n"},
      {"precedence", "Print 2 + 3 * 4, (2 + 3) * 4, 10 - 2 - 3, 2 * 3 Mod 4, 1 + 2 & 3",
       "14 20 5 2 33\n"},
      {"string plus number adds", "Print \"2\" + 3, TypeName(\"2\" + 3), \"2\" + \"3\", \"a\" & 1",
       "5 Double 23 a1\n"},
      {"empty is zero", "Print Empty + 1, TypeName(Empty + Empty), x + 0, \"\" & Empty & \"|\"",
       "1 Integer 0 |\n"},
      {"boolean arithmetic", "Print True + True, TypeName(True + 1), -True", "-2 Integer 1\n"},
      {"division by zero", "x = 1 / 0", "", 11, "Division by zero"},
      {"zero by zero overflows", "x = 0 / 0", "", 6, "Overflow"},
      {"integer divide by zero", "x = 5 \\ 0", "", 11},
      {"mod by zero", "x = 5 Mod 0", "", 11},
      {"string that is not a number", "x = \"abc\" * 2", "", 13, "Type mismatch"},
      {"dates add days", "Print #1/31/2026# + 1, TypeName(#1/1/2026# + 1), #1/3/2026# - #1/1/2026#",
       "2026/2/1 Date 2\n"},
  });
}

TEST(Language, NullPropagatesByTheLanguagesRules) {
  RunTable({
      {"arithmetic", "Print IsNull(Null + 1), IsNull(Null * 0), IsNull(-Null)", "True True True\n"},
      {"concatenation", "Print \"a\" & Null & \"b\", IsNull(Null & Null)", "ab True\n"},
      {"comparison", "Print IsNull(Null = Null), IsNull(1 < Null)", "True True\n"},
      {"logic decided by the other side",
       "Print Null And False, Null Or True, IsNull(Null And True), IsNull(Null Or False)",
       "False True True True\n"},
      {"imp", "Print False Imp Null, Null Imp True, IsNull(True Imp Null)", "True True True\n"},
      {"not", "Print IsNull(Not Null)", "True\n"},
      {"if treats null as false", "If Null Then Print 1 Else Print 2", "2\n"},
      {"conversion of null", "x = CStr(Null)", "", 94, "Invalid use of Null"},
  });
}

TEST(Language, ComparisonsOfMixedKinds) {
  RunTable({
      {"numbers", "Print 1 = 1.0, 2 > 1, 1 <> 2, 3 <= 3", "True True True True\n"},
      {"strings by code unit", "Print \"a\" < \"b\", \"B\" < \"a\", \"abc\" = \"ABC\"",
       "True True False\n"},
      {"variable text against a numeric literal", "s = \"10\": Print s = 10, s > 9", "True True\n"},
      {"variable number against a text literal", "n = 10: Print n = \"10\"", "True\n"},
      {"two variables: a number is less than text", "s = \"10\": n = 10: Print s = n, n < s",
       "False True\n"},
      {"empty against text and number", "Print x = \"\", x = 0, x < 1", "True True True\n"},
      {"is compares identity",
       "Set a = New RegExp: Set b = a: Set c = New RegExp: Print a Is b, a Is c, a Is Nothing",
       "True False False\n"},
      {"is needs objects", "Print 1 Is 2", "", 424},
  });
}

TEST(Language, LogicalOperatorsAreBitwiseOnNumbers) {
  RunTable({
      {"booleans",
       "Print True And False, True Or False, True Xor True, True Eqv False, False Imp False",
       "False True False False True\n"},
      {"numbers", "Print 12 And 10, 12 Or 3, 5 Xor 3, Not 0, Not 5, TypeName(Not 5)",
       "8 15 6 -1 -6 Integer\n"},
      {"not binds looser than comparison", "Print Not 1 = 2", "True\n"},
      {"no short circuit",
       "Function F(): Print \"called\": F = True: End Function\nx = False And F()", "called\n"},
  });
}

TEST(Language, ControlFlow) {
  RunTable({
      {"block if",
       "x = 5\nIf x > 3 Then\n Print \"big\"\nElseIf x > 1 Then\n Print \"mid\"\nElse\n Print "
       "\"small\"\nEnd If",
       "big\n"},
      {"single-line if with else",
       "x = 1: If x = 2 Then Print \"a\": Print \"b\" Else Print \"c\": Print \"d\"", "c\nd\n"},
      {"for with step", "For i = 10 To 1 Step -3: Print i: Next", "10\n7\n4\n1\n"},
      {"for counter after the loop", "For i = 1 To 3: Next: Print i, TypeName(i)", "4 Integer\n"},
      {"for with fractional step", "For x = 0 To 1 Step 0.25: s = s & x & \" \": Next: Print s",
       "0 0.25 0.5 0.75 1 \n"},
      {"for bounds evaluated once", "n = 3\nFor i = 1 To n: n = 1: c = c + 1: Next\nPrint c",
       "3\n"},
      {"exit for", "For i = 1 To 10\n If i = 3 Then Exit For\nNext\nPrint i", "3\n"},
      {"do while", "Do While i < 3: i = i + 1: Loop: Print i", "3\n"},
      {"do until post", "Do: i = i + 1: Loop Until i >= 5: Print i", "5\n"},
      {"do loop while false runs once", "Do: n = n + 1: Loop While False: Print n", "1\n"},
      {"exit do", "Do\n i = i + 1\n If i = 4 Then Exit Do\nLoop\nPrint i", "4\n"},
      {"while wend", "While i < 2: i = i + 1: Wend: Print i", "2\n"},
      {"select case lists",
       "For Each v In Array(1, 5, \"x\")\nSelect Case v\n Case 1, 2: Print \"low\"\n Case 5: Print "
       "\"five\"\n Case Else: Print \"else\"\nEnd Select\nNext",
       "low\nfive\nelse\n"},
      {"select on text", "Select Case \"b\": Case \"a\": Print 1: Case \"b\": Print 2: End Select",
       "2\n"},
      {"for each over array", "For Each e In Array(\"a\", \"b\"): s = s & e: Next: Print s",
       "ab\n"},
      {"nested exits", "For i = 1 To 3\n Do\n  Exit For\n Loop\nNext\nPrint i", "1\n"},
      {"with",
       "Set d = CreateObject(\"Scripting.Dictionary\")\nWith d\n .Add \"k\", 1\n Print .Count, "
       ".Item(\"k\")\nEnd With",
       "1 1\n"},
  });
}

TEST(Language, ProceduresAndArguments) {
  RunTable({
      {"byref by default", "Sub Inc(n): n = n + 1: End Sub\nx = 1: Inc x: Print x", "2\n"},
      {"byval", "Sub Inc(ByVal n): n = n + 1: End Sub\nx = 1: Inc x: Print x", "1\n"},
      {"parentheses pass by value", "Sub Inc(n): n = n + 1: End Sub\nx = 1: Inc (x): Print x",
       "1\n"},
      {"call keyword", "Sub Inc(n): n = n + 1: End Sub\nx = 1: Call Inc(x): Print x", "2\n"},
      {"array element byref",
       "Sub Inc(n): n = n + 1: End Sub\nDim a(1): a(0) = 5: Inc a(0): Print a(0)", "6\n"},
      {"function result and recursion",
       "Function F(n)\n If n < 2 Then F = n Else F = F(n - 1) + F(n - 2)\nEnd Function\nPrint "
       "F(15)",
       "610\n"},
      {"function name as variable",
       "Function J(a)\n For Each x In a: J = J & x: Next\nEnd Function\nPrint J(Array(1, 2, 3))",
       "123\n"},
      {"exit function", "Function G()\n G = 1\n Exit Function\n G = 2\nEnd Function\nPrint G()",
       "1\n"},
      {"implicit locals", "Sub S(): q = 5: End Sub\nS: Print IsEmpty(q)", "True\n"},
      {"globals from procedures", "Dim g\nSub S(): g = 7: End Sub\nS: Print g", "7\n"},
      {"procedures defined after use",
       "Print Later()\nFunction Later(): Later = \"ok\": End Function", "ok\n"},
      {"sub in expression is empty", "Sub S(): End Sub\nPrint IsEmpty(S)", "True\n"},
      {"foo (a), b passes the first by value",
       "Sub P(a, b): a = 9: Print a + b: End Sub\nx = 1: P (x), 2: Print x", "11\n1\n"},
      {"wrong argument count", "Sub S(a): End Sub\nS 1, 2", "", 450},
      {"undefined procedure", "Nope 1", "", 13, "Type mismatch: 'Nope'"},
      {"dim inside procedure shadows", "Dim v: v = 1\nSub S(): Dim v: v = 2: End Sub\nS: Print v",
       "1\n"},
      {"const", "Const A = 5, B = \"x\"\nConst C = -A\nPrint A, B, C", "5 x -5\n"},
      {"assign to const", "Const A = 1\nA = 2", "", 501},
  });
}

TEST(Language, ArraysAndReDim) {
  RunTable({
      {"fixed bounds", "Dim a(2, 3): Print UBound(a), UBound(a, 2), LBound(a)", "2 3 0\n"},
      {"out of range", "Dim a(2): a(3) = 1", "", 9, "Subscript out of range"},
      {"redim preserve keeps",
       "ReDim a(1): a(0) = \"x\": ReDim Preserve a(5): Print a(0), UBound(a)", "x 5\n"},
      {"redim clears", "ReDim a(1): a(0) = \"x\": ReDim a(2): Print IsEmpty(a(0))", "True\n"},
      {"fixed array cannot redim", "Dim a(2): ReDim a(5)", "", 10},
      {"arrays are values", "a = Array(1, 2): b = a: b(0) = 9: Print a(0), b(0)", "1 9\n"},
      {"erase", "Dim a(2): a(1) = 5: Erase a: Print IsEmpty(a(1)), UBound(a)", "True 2\n"},
      {"erase dynamic", "ReDim a(2): Erase a: Print UBound(a)", "", 9},
      {"two dimensions", "Dim m(1, 1): m(1, 0) = \"r\": Print m(1, 0) & m(0, 1) & \"|\"", "r|\n"},
      {"typename of arrays", "Print TypeName(Array()), VarType(Array(1)), TypeName(Split(\"a b\"))",
       "Variant() 8204 String()\n"},
      {"empty array", "a = Array(): Print UBound(a), LBound(a)", "-1 0\n"},
      {"ubound of non array", "Print UBound(5)", "", 13},
      {"an array too big for memory", "ReDim a(2000000000)", "", 7, "Out of memory"},
      {"too big in several dimensions", "Dim a(100000, 100000)", "", 7},
  });
}

TEST(Language, Classes) {
  RunTable({
      {"fields and methods",
       "Class C\n Public N\n Public Sub Bump(): N = N + 1: End Sub\nEnd Class\nSet o = New C: "
       "o.Bump: o.Bump: Print o.N",
       "2\n"},
      {"property get let set",
       "Class C\n Private v, o\n Property Get Value(): Value = v: End Property\n Property Let "
       "Value(x): v = x * 2: End Property\n"
       " Property Set Obj(x): Set o = x: End Property\n Property Get Obj(): Set Obj = o: End "
       "Property\nEnd Class\n"
       "Set k = New C: k.Value = 4: Print k.Value: Set k.Obj = k: Print k.Obj Is k",
       "8\nTrue\n"},
      {"initialize and terminate",
       "Class C\n Sub Class_Initialize(): Print \"init\": End Sub\n Sub Class_Terminate(): Print "
       "\"bye\": End Sub\nEnd Class\n"
       "Set o = New C: Set o = Nothing: Print \"after\"",
       "init\nbye\nafter\n"},
      {"private member from outside", "Class C\n Private p\nEnd Class\nSet o = New C: o.p = 1", "",
       438},
      {"default member",
       "Class C\n Public Default Function F(x): F = x * 3: End Function\nEnd Class\nSet o = New C: "
       "Print o(2)",
       "6\n"},
      {"me",
       "Class C\n Public N\n Function Self(): Set Self = Me: End Function\nEnd Class\nSet o = New "
       "C: o.N = 3: Print o.Self().N",
       "3\n"},
      {"let of an object without default", "Class C: End Class\nSet o = New C: x = o", "", 438},
      {"set of a non object", "Set x = 5", "", 424, "Object required"},
      {"missing member", "Set o = New RegExp: o.Nope", "", 438,
       "Object doesn't support this property or method: 'Nope'"},
      {"member of nothing", "Set o = Nothing: o.X = 1", "", 424},
      {"unknown class", "Set o = New Nope", "", 506, "Class not defined: 'Nope'"},
      {"typename and isobject",
       "Class Foo: End Class\nSet f = New Foo: Print TypeName(f), IsObject(f), VarType(f)",
       "Foo True 9\n"},
  });
}

TEST(Language, OptionExplicit) {
  RunTable({
      {"undeclared read", "Option Explicit\nDim a\na = b", "", 500, "Variable is undefined: 'b'"},
      {"undeclared write", "Option Explicit\nc = 1", "", 500},
      {"declared is fine", "Option Explicit\nDim a: a = 1: Print a", "1\n"},
      {"in a procedure", "Option Explicit\nSub S(): z = 1: End Sub\nS", "", 500},
  });
}

}  // namespace
}  // namespace telvinor::vbscript::testing
