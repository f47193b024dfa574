#pragma once
// The errors of the script engine: every number with its English text listed once, and the
// exception that carries one through the engine to the host.
//
// Run-time errors use VB's numbers and texts (AutomationError.h) plus the engine's own
// (regular expressions, dictionaries); compile errors are numbered from 1001 as the language
// numbers them. An error raised by a host object keeps the host's number, source and text.

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/AutomationError.h"

namespace telvinor::vbscript {

// Numbers the engine raises besides VB's standard ones (automation::errc).
namespace err {
using namespace automation::errc;
inline constexpr std::int32_t kIllegalAssignment = 501;
inline constexpr std::int32_t kClassNotDefined = 506;
inline constexpr std::int32_t kRegExpSyntax = 5017;
inline constexpr std::int32_t kRegExpUnexpectedQuantifier = 5018;
inline constexpr std::int32_t kRegExpExpectedBracket = 5019;
inline constexpr std::int32_t kRegExpExpectedParen = 5020;
inline constexpr std::int32_t kRegExpInvalidRange = 5021;
inline constexpr std::int32_t kElementNotFound = 32811;

// Compile errors.
inline constexpr std::int32_t kSyntaxError = 1002;
inline constexpr std::int32_t kExpectedColon = 1003;
inline constexpr std::int32_t kExpectedLParen = 1005;
inline constexpr std::int32_t kExpectedRParen = 1006;
inline constexpr std::int32_t kExpectedRBracket = 1007;
inline constexpr std::int32_t kExpectedIdentifier = 1010;
inline constexpr std::int32_t kExpectedEqual = 1011;
inline constexpr std::int32_t kExpectedIf = 1012;
inline constexpr std::int32_t kExpectedTo = 1013;
inline constexpr std::int32_t kExpectedEnd = 1014;
inline constexpr std::int32_t kExpectedFunction = 1015;
inline constexpr std::int32_t kExpectedSub = 1016;
inline constexpr std::int32_t kExpectedThen = 1017;
inline constexpr std::int32_t kExpectedWend = 1018;
inline constexpr std::int32_t kExpectedLoop = 1019;
inline constexpr std::int32_t kExpectedNext = 1020;
inline constexpr std::int32_t kExpectedCase = 1021;
inline constexpr std::int32_t kExpectedSelect = 1022;
inline constexpr std::int32_t kExpectedExpression = 1023;
inline constexpr std::int32_t kExpectedStatement = 1024;
inline constexpr std::int32_t kExpectedEndOfStatement = 1025;
inline constexpr std::int32_t kExpectedInteger = 1026;
inline constexpr std::int32_t kExpectedWhileOrUntil = 1027;
inline constexpr std::int32_t kExpectedWhileUntilOrEnd = 1028;
inline constexpr std::int32_t kExpectedWith = 1029;
inline constexpr std::int32_t kIdentifierTooLong = 1030;
inline constexpr std::int32_t kInvalidNumber = 1031;
inline constexpr std::int32_t kInvalidCharacter = 1032;
inline constexpr std::int32_t kUnterminatedString = 1033;
inline constexpr std::int32_t kInvalidUseOfMe = 1037;
inline constexpr std::int32_t kLoopWithoutDo = 1038;
inline constexpr std::int32_t kInvalidExit = 1039;
inline constexpr std::int32_t kInvalidForVariable = 1040;
inline constexpr std::int32_t kNameRedefined = 1041;
inline constexpr std::int32_t kMustBeFirstStatement = 1042;
inline constexpr std::int32_t kCannotUseParentheses = 1044;
inline constexpr std::int32_t kExpectedLiteral = 1045;
inline constexpr std::int32_t kExpectedIn = 1046;
inline constexpr std::int32_t kExpectedClass = 1047;
inline constexpr std::int32_t kMustBeInsideClass = 1048;
inline constexpr std::int32_t kExpectedLetSetGet = 1049;
inline constexpr std::int32_t kExpectedProperty = 1050;
inline constexpr std::int32_t kInconsistentPropertyArgs = 1051;
inline constexpr std::int32_t kMultipleDefaults = 1052;
inline constexpr std::int32_t kInitTerminateArgs = 1053;
inline constexpr std::int32_t kPropertyLetSetArgs = 1054;
inline constexpr std::int32_t kUnexpectedNext = 1055;
inline constexpr std::int32_t kDefaultOnlyOnProperty = 1056;
inline constexpr std::int32_t kDefaultMustBePublic = 1057;
inline constexpr std::int32_t kDefaultOnlyOnGet = 1058;
// Nesting past the compiler's limit (not a number the language defines; reported as
// "Out of memory", which is what a compiler that runs out of room says).
inline constexpr std::int32_t kCompilerOutOfMemory = 1001;
}  // namespace err

enum class ErrorKind : std::uint8_t { Runtime, Compile, Host };

inline constexpr std::u16string_view kRuntimeSource = u"Microsoft VBScript runtime error";
inline constexpr std::u16string_view kCompileSource = u"Microsoft VBScript compilation error";

// The English text of an engine or VB error number; "Unknown runtime error" for a number
// without one.
[[nodiscard]] std::u16string_view ErrorText(std::int32_t number) noexcept;

// An error inside the engine: the automation error the host finally sees, plus where in the
// script it happened.
class ScriptError : public automation::AutomationError {
 public:
  // A run-time or compile error with its standard text; `name` (a variable or procedure the
  // error is about) is appended to the text the host sees: "Type mismatch: 'Foo'".
  ScriptError(ErrorKind kind, std::int32_t number, std::u16string name = {});
  ScriptError(ErrorKind kind, std::int32_t number, std::u16string source,
              std::u16string description);

  [[nodiscard]] ErrorKind Kind() const noexcept { return kind_; }
  // The text Err.Description shows inside the script (without the name).
  [[nodiscard]] const std::u16string& ScriptDescription() const noexcept {
    return scriptDescription_;
  }

  // Position, 1-based; 0 while unknown. The engine fills it where the error is caught.
  std::uint32_t line = 0, column = 0;
  std::u16string lineText;  // the source line, for compile errors
  std::u16string moduleName;

 private:
  ErrorKind kind_;
  std::u16string scriptDescription_;
};

// An automation error from a host object turned into a script error that keeps its number,
// source and description.
[[nodiscard]] ScriptError FromHostError(const automation::AutomationError& e);

// A statement that ran past the host's time limit. It is not a run-time error the script can
// catch with On Error; the engine turns it into kTimedOut at the call the host made.
struct ScriptTimeout {};
inline constexpr std::int32_t kTimedOut = static_cast<std::int32_t>(0x80004004u);  // E_ABORT
inline constexpr std::u16string_view kTimedOutText = u"This script has timed out";

// Ends the whole script at once (the runner's WScript.Quit); passes through every error
// handler and reaches whoever started the script.
struct ScriptQuit {
  int exitCode = 0;
};

[[noreturn]] void ThrowRuntime(std::int32_t number, std::u16string name = {});

}  // namespace telvinor::vbscript
