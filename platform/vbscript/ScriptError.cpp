#include "vbscript/ScriptError.h"

#include <algorithm>
#include <array>

namespace telvinor::vbscript {
namespace {

struct Text {
  std::int32_t number;
  std::u16string_view text;
};

// The engine's own texts, sorted by number. VB's standard run-time texts come from
// automation::StandardErrorText.
constexpr std::array kTexts{
    Text{1001, u"Out of memory"},
    Text{1002, u"Syntax error"},
    Text{1003, u"Expected ':'"},
    Text{1005, u"Expected '('"},
    Text{1006, u"Expected ')'"},
    Text{1007, u"Expected ']'"},
    Text{1010, u"Expected identifier"},
    Text{1011, u"Expected '='"},
    Text{1012, u"Expected 'If'"},
    Text{1013, u"Expected 'To'"},
    Text{1014, u"Expected 'End'"},
    Text{1015, u"Expected 'Function'"},
    Text{1016, u"Expected 'Sub'"},
    Text{1017, u"Expected 'Then'"},
    Text{1018, u"Expected 'Wend'"},
    Text{1019, u"Expected 'Loop'"},
    Text{1020, u"Expected 'Next'"},
    Text{1021, u"Expected 'Case'"},
    Text{1022, u"Expected 'Select'"},
    Text{1023, u"Expected expression"},
    Text{1024, u"Expected statement"},
    Text{1025, u"Expected end of statement"},
    Text{1026, u"Expected integer constant"},
    Text{1027, u"Expected 'While' or 'Until'"},
    Text{1028, u"Expected 'While', 'Until' or end of statement"},
    Text{1029, u"Expected 'With'"},
    Text{1030, u"Identifier too long"},
    Text{1031, u"Invalid number"},
    Text{1032, u"Invalid character"},
    Text{1033, u"Unterminated string constant"},
    Text{1037, u"Invalid use of 'Me' keyword"},
    Text{1038, u"'loop' without 'do'"},
    Text{1039, u"Invalid 'exit' statement"},
    Text{1040, u"Invalid 'for' loop control variable"},
    Text{1041, u"Name redefined"},
    Text{1042, u"Must be first statement on the line"},
    Text{1044, u"Cannot use parentheses when calling a Sub"},
    Text{1045, u"Expected literal constant"},
    Text{1046, u"Expected 'In'"},
    Text{1047, u"Expected 'Class'"},
    Text{1048, u"Must be defined inside a Class"},
    Text{1049, u"Expected Let or Set or Get in property declaration"},
    Text{1050, u"Expected 'Property'"},
    Text{1051, u"Number of arguments must be consistent across properties specification"},
    Text{1052, u"Cannot have multiple default property/method in a Class"},
    Text{1053, u"Class initialize or terminate do not have arguments"},
    Text{1054, u"Property set or let must have at least one argument"},
    Text{1055, u"Unexpected 'Next'"},
    Text{1056, u"'Default' can be specified only on 'Property' or 'Function' or 'Sub'"},
    Text{1057, u"'Default' specification must also specify 'Public'"},
    Text{1058, u"'Default' specification can only be on Property Get"},
    Text{5017, u"Syntax error in regular expression"},
    Text{5018, u"Unexpected quantifier"},
    Text{5019, u"Expected ']' in regular expression"},
    Text{5020, u"Expected ')' in regular expression"},
    Text{5021, u"Invalid range in character set"},
    Text{32811, u"Element not found"},
};

static_assert(std::is_sorted(kTexts.begin(), kTexts.end(),
                             [](const Text& a, const Text& b) { return a.number < b.number; }));

std::u16string WithName(std::u16string_view text, std::u16string_view name) {
  std::u16string s(text);
  if (!name.empty()) {
    s += u": '";
    s += name;
    s += u"'";
  }
  return s;
}

}  // namespace

std::u16string_view ErrorText(std::int32_t number) noexcept {
  auto it = std::lower_bound(kTexts.begin(), kTexts.end(), number,
                             [](const Text& t, std::int32_t n) { return t.number < n; });
  if (it != kTexts.end() && it->number == number) return it->text;
  std::u16string_view standard = automation::StandardErrorText(number);
  return standard.empty() ? std::u16string_view(u"Unknown runtime error") : standard;
}

ScriptError::ScriptError(ErrorKind kind, std::int32_t number, std::u16string name)
    : AutomationError(number,
                      std::u16string(kind == ErrorKind::Compile ? kCompileSource : kRuntimeSource),
                      WithName(ErrorText(number), name)),
      kind_(kind),
      scriptDescription_(ErrorText(number)) {}

ScriptError::ScriptError(ErrorKind kind, std::int32_t number, std::u16string source,
                         std::u16string description)
    : AutomationError(number, std::move(source), description),
      kind_(kind),
      scriptDescription_(std::move(description)) {}

ScriptError FromHostError(const automation::AutomationError& e) {
  if (auto* s = dynamic_cast<const ScriptError*>(&e)) return *s;
  std::u16string description = e.Description();
  if (description.empty()) description = std::u16string(ErrorText(e.Number()));
  return ScriptError(ErrorKind::Host, e.Number(), e.Source(), std::move(description));
}

void ThrowRuntime(std::int32_t number, std::u16string name) {
  throw ScriptError(ErrorKind::Runtime, number, std::move(name));
}

}  // namespace telvinor::vbscript
