// Conformance of the function library, Scripting.Dictionary and VBScript.RegExp.

#include "ScriptHarness.h"

namespace telvinor::vbscript::testing {
namespace {

TEST(Library, Strings) {
  RunTable({
      {"len left right mid",
       "s = \"Hello\": Print Len(s), Left(s, 2), Right(s, 3), Mid(s, 2), Mid(s, 2, 2), Mid(s, 9) & "
       "\"|\"",
       "5 He llo ello el |\n"},
      {"len of number", "Print Len(123), Len(12.5), IsNull(Len(Null))", "3 4 True\n"},
      {"bad lengths", "x = Left(\"a\", -1)", "", 5, "Invalid procedure call or argument"},
      {"mid from zero", "x = Mid(\"a\", 0)", "", 5},
      {"instr",
       "Print InStr(\"abcabc\", \"c\"), InStr(4, \"abcabc\", \"c\"), InStr(\"abc\", \"x\"), "
       "InStr(1, \"ABC\", \"b\", 1), InStr(2, \"abc\", \"\")",
       "3 6 0 2 2\n"},
      {"instrrev",
       "Print InStrRev(\"abcabc\", \"b\"), InStrRev(\"abcabc\", \"b\", 4), InStrRev(\"abc\", "
       "\"x\")",
       "5 2 0\n"},
      {"replace",
       "Print Replace(\"a-b-c\", \"-\", \"+\"), Replace(\"a-b-c\", \"-\", \"\", 1, 1), "
       "Replace(\"aXbxc\", \"x\", \"_\", 1, -1, 1), Replace(\"abcd\", \"b\", \"B\", 2)",
       "a+b+c ab-c a_b_c Bcd\n"},
      {"split and join",
       "a = Split(\"a,b,,c\", \",\"): Print UBound(a), a(3), Join(a, \"|\"), UBound(Split(\"\")), "
       "Join(Split(\"x y\"))",
       "3 c a|b||c -1 x y\n"},
      {"split with limit", "a = Split(\"1,2,3,4\", \",\", 2): Print UBound(a), a(1)", "1 2,3,4\n"},
      {"filter",
       "Print Join(Filter(Array(\"apple\", \"pear\", \"grape\"), \"ap\"), \",\"), "
       "Join(Filter(Array(\"a\", \"b\"), \"a\", False))",
       "apple,grape b\n"},
      {"case and trim",
       "Print UCase(\"abc\"), LCase(\"ÀBC\"), \"[\" & Trim(\"  x  \") & \"]\", \"[\" & LTrim(\" x "
       "\") & \"]\", \"[\" & RTrim(\" x \") & \"]\"",
       "ABC àbc [x] [x ] [ x]\n"},
      {"space string strreverse",
       "Print \"[\" & Space(3) & \"]\", String(3, \"ab\"), String(2, 65), StrReverse(\"abc\")",
       "[   ] aaa AA cba\n"},
      {"strcomp",
       "Print StrComp(\"a\", \"b\"), StrComp(\"b\", \"a\"), StrComp(\"A\", \"a\"), StrComp(\"A\", "
       "\"a\", 1), IsNull(StrComp(Null, \"a\"))",
       "-1 1 -1 0 True\n"},
      {"chr asc", "Print Chr(65), Asc(\"A\"), ChrW(20013), AscW(\"中\"), Asc(\"中\")",
       "A 65 中 20013 -10544\n"},
      {"asc of empty", "x = Asc(\"\")", "", 5},
      {"hex oct", "Print Hex(255), Hex(-1), Hex(&HFFFF), Hex(65536), Oct(8), Hex(CLng(-1))",
       "FF FFFF FFFF 10000 10 FFFFFFFF\n"},
      {"escape", "Print Escape(\"a b&中\"), Unescape(\"a%20b%26%u4E2D\")",
       "a%20b%26%u4E2D a b&中\n"},
  });
}

TEST(Library, ConversionsAndTests) {
  RunTable({
      {"cint rounds half to even",
       "Print CInt(2.5), CInt(3.5), CInt(-2.5), CLng(\"12\"), CInt(\" 7 \")", "2 4 -2 12 7\n"},
      {"overflow", "x = CInt(40000)", "", 6, "Overflow"},
      {"cbyte range", "x = CByte(256)", "", 6},
      {"cstr of numbers",
       "Print CStr(1.5), CStr(1E+20), CStr(123456789012345), CStr(0.1 + 0.2), CStr(1 / 3)",
       "1.5 1E+20 123456789012345 0.3 0.333333333333333\n"},
      {"cbool", "Print CBool(\"true\"), CBool(\"False\"), CBool(5), CBool(\"0\"), CBool(Empty)",
       "True False True False False\n"},
      {"cbool of text", "x = CBool(\"yes\")", "", 13},
      {"cdbl of text", "Print CDbl(\"1,234.5\"), CDbl(\"1e3\"), CDbl(\"&H10\"), CDbl(\" -2 \")",
       "1234.5 1000 16 -2\n"},
      {"cdbl of junk", "x = CDbl(\"12a\")", "", 13},
      {"ccur", "Print CCur(1.23456), TypeName(CCur(1)), CCur(\"2.5\") * 2", "1.2346 Currency 5\n"},
      {"csng", "Print CSng(1.1), TypeName(CSng(1))", "1.1 Single\n"},
      {"cdate",
       "Print CDate(\"2026-12-11\"), CDate(\"12/11/2026 13:05\"), CDate(0), TypeName(CDate(1))",
       "2026/12/11 2026/12/11 13:05:00 1899/12/30 Date\n"},
      {"isnumeric",
       "Print IsNumeric(\"12\"), IsNumeric(\"1e5\"), IsNumeric(\"abc\"), IsNumeric(\"\"), "
       "IsNumeric(Empty), IsNumeric(Null), IsNumeric(\"&HFF\")",
       "True True False False True False True\n"},
      {"isdate",
       "Print IsDate(\"2026/1/31\"), IsDate(\"2026/2/30\"), IsDate(5), IsDate(#1/1/2000#)",
       "True False False True\n"},
      {"typename vartype",
       "Print TypeName(Empty), TypeName(Null), VarType(\"x\"), VarType(1.5), VarType(True), "
       "TypeName(CByte(1))",
       "Empty Null 8 5 11 Byte\n"},
  });
}

TEST(Library, Maths) {
  RunTable({
      {"abs int fix",
       "Print Abs(-3), TypeName(Abs(-3)), Int(-2.5), Fix(-2.5), Int(2.7), TypeName(Int(2.7))",
       "3 Integer -3 -2 2 Double\n"},
      {"round half to even",
       "Print Round(2.5), Round(3.5), Round(-2.5), Round(2.567, 2), Round(0.125, 2), Round(1.005, "
       "2)",
       "2 4 -2 2.57 0.12 1\n"},
      {"sgn sqr exp log", "Print Sgn(-5), Sgn(0), Sqr(16), Exp(0), Log(1), Round(Atn(1) * 4, 5)",
       "-1 0 4 1 0 3.14159\n"},
      {"sqr of negative", "x = Sqr(-1)", "", 5},
      {"log of zero", "x = Log(0)", "", 5},
      {"rnd is repeatable with a negative argument",
       "a = Rnd(-1): b = Rnd: x = Rnd(-1): y = Rnd: Print a = x, b = y, b >= 0 And b < 1",
       "True True True\n"},
      {"rnd zero repeats", "a = Rnd: Print Rnd(0) = a", "True\n"},
  });
}

TEST(Library, Dates) {
  RunTable({
      {"parts",
       "d = #12/11/2026 13:05:09#: Print Year(d), Month(d), Day(d), Hour(d), Minute(d), Second(d), "
       "Weekday(d)",
       "2026 12 11 13 5 9 6\n"},
      {"dateserial carries",
       "Print DateSerial(2026, 13, 1), DateSerial(2026, 3, 0), DateSerial(26, 1, 1)",
       "2027/1/1 2026/2/28 2026/1/1\n"},
      {"timeserial", "Print TimeSerial(13, 5, 0), TimeSerial(0, 90, 0)", "13:05:00 1:30:00\n"},
      {"dateadd",
       "Print DateAdd(\"m\", 1, #1/31/2026#), DateAdd(\"d\", -1, #3/1/2026#), DateAdd(\"yyyy\", 1, "
       "#2/29/2024#), DateAdd(\"h\", 25, #1/1/2026#)",
       "2026/2/28 2026/2/28 2025/2/28 2026/1/2 1:00:00\n"},
      {"datediff",
       "Print DateDiff(\"d\", #1/1/2026#, #3/1/2026#), DateDiff(\"m\", #1/31/2026#, #2/1/2026#), "
       "DateDiff(\"yyyy\", #12/31/2025#, #1/1/2026#), DateDiff(\"n\", #1/1/2026 10:00#, #1/1/2026 "
       "11:30#)",
       "59 1 1 90\n"},
      {"datepart",
       "Print DatePart(\"q\", #5/1/2026#), DatePart(\"y\", #2/1/2026#), DatePart(\"w\", "
       "#12/11/2026#)",
       "2 32 6\n"},
      {"datevalue timevalue",
       "Print DateValue(\"2026/12/11 13:00\"), TimeValue(\"2026/12/11 13:00\")",
       "2026/12/11 13:00:00\n"},
      {"formatdatetime",
       "d = #12/11/2026 13:05:09#: Print FormatDateTime(d, 1), FormatDateTime(d, 2), "
       "FormatDateTime(d, 3), FormatDateTime(d, 4)",
       "2026年12月11日 2026/12/11 13:05:09 13:05\n"},
      {"names", "Print MonthName(12), MonthName(1, True), WeekdayName(1), WeekdayName(2, True)",
       "十二月 1月 星期日 周一\n"},
      {"bad interval", "x = DateAdd(\"zz\", 1, Now)", "", 5},
      {"now is a date", "Print TypeName(Now), TypeName(Date), Int(Now) = Date, Timer >= 0",
       "Date Date True True\n"},
  });
}

TEST(Library, Formatting) {
  RunTable({
      {"formatnumber",
       "Print FormatNumber(1234567.891), FormatNumber(-0.5, 0), FormatNumber(0.5, 2, 0), "
       "FormatNumber(-3, 1, , -1), FormatNumber(1234, 0, , , 0)",
       "1,234,567.89 -1 .50 (3.0) 1234\n"},
      {"formatpercent currency",
       "Print FormatPercent(0.125), FormatCurrency(1234.5), FormatCurrency(-2)",
       "12.50% ¥1,234.50 ¥-2.00\n"},
  });
}

TEST(Library, ArraysAndMisc) {
  RunTable({
      {"array lbound ubound",
       "a = Array(1, \"b\", 3.5): Print UBound(a), LBound(a), a(1), IsArray(a)", "2 0 b True\n"},
      {"rgb and engine", "Print RGB(255, 0, 1), ScriptEngine, ScriptEngineMajorVersion",
       "65791 VBScript 5\n"},
      {"builtin constants", "Print Len(vbCrLf), vbTextCompare, vbObjectError, vbSunday",
       "2 1 -2147221504 1\n"},
      {"create object failure", "Set x = CreateObject(\"No.Such\")", "", 429,
       "ActiveX component can't create object: 'No.Such'"},
  });
}

TEST(Library, Dictionary) {
  RunTable({
      {"add item count keys",
       "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"b\", 1: d.Add \"a\", 2: d(\"c\") = "
       "3\nPrint d.Count, Join(d.Keys, \",\"), Join(d.Items, \",\"), TypeName(d)",
       "3 b,a,c 1,2,3 Dictionary\n"},
      {"reading adds the key",
       "Set d = CreateObject(\"Scripting.Dictionary\"): x = d(\"k\"): Print d.Count, "
       "d.Exists(\"k\"), IsEmpty(x)",
       "1 True True\n"},
      {"duplicate", "Set d = CreateObject(\"Scripting.Dictionary\"): d.Add 1, 1: d.Add 1, 2", "",
       457},
      {"remove missing", "Set d = CreateObject(\"Scripting.Dictionary\"): d.Remove \"x\"", "",
       32811, "Element not found"},
      {"numbers are one key",
       "Set d = CreateObject(\"Scripting.Dictionary\"): d.Add 1, \"one\": Print d(1.0), "
       "d.Exists(\"1\")",
       "one False\n"},
      {"text compare",
       "Set d = CreateObject(\"Scripting.Dictionary\"): d.CompareMode = 1: d.Add \"Key\", 1: Print "
       "d.Exists(\"KEY\")",
       "True\n"},
      {"rename and remove",
       "Set d = CreateObject(\"Scripting.Dictionary\"): d.Add \"a\", 1: d.Key(\"a\") = \"z\": "
       "d.Add \"b\", 2: d.Remove \"z\": Print Join(d.Keys), d(\"b\")",
       "b 2\n"},
      {"for each gives keys",
       "Set d = CreateObject(\"Scripting.Dictionary\"): d.Add \"x\", 1: d.Add \"y\", 2\nFor Each k "
       "In d: s = s & k & d(k): Next: Print s",
       "x1y2\n"},
      {"objects as items",
       "Set d = CreateObject(\"Scripting.Dictionary\"): Set d(\"me\") = d: Print d(\"me\") Is d: "
       "d.RemoveAll: Print d.Count",
       "True\n0\n"},
  });
}

TEST(Library, RegExp) {
  RunTable({
      {"test",
       "Set r = New RegExp: r.Pattern = \"^\\d{3}-\\d{4}$\": Print r.Test(\"555-1234\"), "
       "r.Test(\"55-1234\")",
       "True False\n"},
      {"ignore case",
       "Set r = New RegExp: r.Pattern = \"abc\": Print r.Test(\"ABC\"): r.IgnoreCase = True: Print "
       "r.Test(\"ABC\")",
       "False\nTrue\n"},
      {"execute global",
       "Set r = New RegExp: r.Pattern = \"\\w+\": r.Global = True\nSet ms = r.Execute(\"one two  "
       "three\")\nPrint ms.Count, ms(1).Value, ms(2).FirstIndex, ms(2).Length",
       "3 two 9 5\n"},
      {"not global finds one",
       "Set r = New RegExp: r.Pattern = \"a\": Print r.Execute(\"aaa\").Count", "1\n"},
      {"submatches",
       "Set r = CreateObject(\"VBScript.RegExp\"): r.Pattern = \"(\\w+)@(\\w+)\\.com\"\nSet m = "
       "r.Execute(\"mail joe@example.com now\")(0)\nPrint m.SubMatches.Count, m.SubMatches(0), "
       "m.SubMatches(1), m",
       "2 joe example joe@example.com\n"},
      {"replace with groups",
       "Set r = New RegExp: r.Pattern = \"(\\d+)/(\\d+)\": r.Global = True: Print r.Replace(\"1/2 "
       "and 3/4\", \"$2-$1 [$&]\")",
       "2-1 [1/2] and 4-3 [3/4]\n"},
      {"replace empty matches",
       "Set r = New RegExp: r.Pattern = \"x*\": r.Global = True: Print r.Replace(\"abc\", \"-\")",
       "-a-b-c-\n"},
      {"classes alternation lazy",
       "Set r = New RegExp: r.Pattern = \"<(.+?)>|[^<>\\s]+\": r.Global = True\nFor Each m In "
       "r.Execute(\"<a> b <cc>\"): s = s & \"[\" & m & \"]\": Next: Print s",
       "[<a>][b][<cc>]\n"},
      {"backreference and lookahead",
       "Set r = New RegExp: r.Pattern = \"(\\w)\\1(?=z)\": Print r.Execute(\"aab bbz\")(0).Value",
       "bb\n"},
      {"multiline anchors",
       "Set r = New RegExp: r.Pattern = \"^b$\": r.Multiline = True: Print r.Test(\"a\" & vbLf & "
       "\"b\")",
       "True\n"},
      {"unmatched group is empty",
       "Set r = New RegExp: r.Pattern = \"(a)|(b)\": Print "
       "IsEmpty(r.Execute(\"b\")(0).SubMatches(0))",
       "True\n"},
      {"syntax error", "Set r = New RegExp: r.Pattern = \"(a\": x = r.Test(\"a\")", "", 5020},
      {"bad range", "Set r = New RegExp: r.Pattern = \"[z-a]\": x = r.Test(\"a\")", "", 5021},
      {"nothing to repeat", "Set r = New RegExp: r.Pattern = \"*a\": x = r.Test(\"a\")", "", 5018},
      {"runaway backtracking stops",
       "Set r = New RegExp: r.Pattern = \"(a+)+b\": x = r.Test(String(40, \"a\"))", "", 28},
      {"long subject does not overflow",
       "Set r = New RegExp: r.Pattern = \"(a|b)*c\": Print r.Test(String(200000, \"a\") & \"c\")",
       "True\n"},
  });
}

}  // namespace
}  // namespace telvinor::vbscript::testing
