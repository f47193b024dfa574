#include "automation/AutomationError.h"

#include <algorithm>
#include <array>

#include "automation/Utf.h"

namespace telvinor::automation {
namespace {

struct ErrorText {
  std::int32_t number;
  std::u16string_view text;
};

// VB's run-time error texts, sorted by number.
constexpr std::array kErrorTexts{
    ErrorText{3, u"Return without GoSub"},
    ErrorText{5, u"Invalid procedure call or argument"},
    ErrorText{6, u"Overflow"},
    ErrorText{7, u"Out of memory"},
    ErrorText{9, u"Subscript out of range"},
    ErrorText{10, u"This array is fixed or temporarily locked"},
    ErrorText{11, u"Division by zero"},
    ErrorText{13, u"Type mismatch"},
    ErrorText{14, u"Out of string space"},
    ErrorText{17, u"Can't perform requested operation"},
    ErrorText{28, u"Out of stack space"},
    ErrorText{35, u"Sub or Function not defined"},
    ErrorText{48, u"Error in loading DLL"},
    ErrorText{51, u"Internal error"},
    ErrorText{52, u"Bad file name or number"},
    ErrorText{53, u"File not found"},
    ErrorText{54, u"Bad file mode"},
    ErrorText{55, u"File already open"},
    ErrorText{57, u"Device I/O error"},
    ErrorText{58, u"File already exists"},
    ErrorText{61, u"Disk full"},
    ErrorText{62, u"Input past end of file"},
    ErrorText{67, u"Too many files"},
    ErrorText{68, u"Device unavailable"},
    ErrorText{70, u"Permission denied"},
    ErrorText{71, u"Disk not ready"},
    ErrorText{74, u"Can't rename with different drive"},
    ErrorText{75, u"Path/File access error"},
    ErrorText{76, u"Path not found"},
    ErrorText{91, u"Object variable not set"},
    ErrorText{92, u"For loop not initialized"},
    ErrorText{94, u"Invalid use of Null"},
    ErrorText{322, u"Can't create necessary temporary file"},
    ErrorText{380, u"Invalid property value"},
    ErrorText{424, u"Object required"},
    ErrorText{429, u"ActiveX component can't create object"},
    ErrorText{430, u"Class doesn't support Automation"},
    ErrorText{432, u"File name or class name not found during Automation operation"},
    ErrorText{438, u"Object doesn't support this property or method"},
    ErrorText{440, u"Automation error"},
    ErrorText{445, u"Object doesn't support this action"},
    ErrorText{446, u"Object doesn't support named arguments"},
    ErrorText{447, u"Object doesn't support current locale setting"},
    ErrorText{448, u"Named argument not found"},
    ErrorText{449, u"Argument not optional"},
    ErrorText{450, u"Wrong number of arguments or invalid property assignment"},
    ErrorText{451, u"Object not a collection"},
    ErrorText{453, u"Specified DLL function not found"},
    ErrorText{457, u"This key is already associated with an element of this collection"},
    ErrorText{458, u"Variable uses an Automation type not supported in VBScript"},
    ErrorText{462, u"The remote server machine does not exist or is unavailable"},
    ErrorText{481, u"Invalid picture"},
    ErrorText{500, u"Variable is undefined"},
    ErrorText{501, u"Illegal assignment"},
    ErrorText{502, u"Object not safe for scripting"},
    ErrorText{503, u"Object not safe for initializing"},
    ErrorText{504, u"Object not safe for creating"},
    ErrorText{505, u"Invalid or unqualified reference"},
    ErrorText{506, u"Class not defined"},
    ErrorText{507, u"An exception occurred"},
};

static_assert(std::is_sorted(kErrorTexts.begin(), kErrorTexts.end(),
                             [](const ErrorText& a, const ErrorText& b) { return a.number < b.number; }));

std::string MakeWhat(std::int32_t number, std::u16string_view description) {
  return std::to_string(number) + ": " + ToUtf8(description);
}

}  // namespace

std::u16string_view StandardErrorText(std::int32_t number) noexcept {
  auto it = std::lower_bound(kErrorTexts.begin(), kErrorTexts.end(), number,
                             [](const ErrorText& e, std::int32_t n) { return e.number < n; });
  return it != kErrorTexts.end() && it->number == number ? it->text : std::u16string_view{};
}

AutomationError::AutomationError(std::int32_t number)
    : number_(number), description_(StandardErrorText(number)) {
  if (description_.empty()) description_ = kApplicationDefinedErrorText;
  what_ = MakeWhat(number_, description_);
}

AutomationError::AutomationError(std::int32_t number, std::u16string source, std::u16string description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {
  what_ = MakeWhat(number_, description_);
}

void ThrowError(std::int32_t number) { throw AutomationError(number); }

}  // namespace telvinor::automation
