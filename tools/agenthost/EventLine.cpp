#include "EventLine.h"

#include "automation/AutomationError.h"
#include "automation/Conversions.h"
#include "automation/Utf.h"

namespace telvinor::agenthost {

std::string EscapeField(std::u16string_view text) {
  std::string utf8 = automation::ToUtf8(text);
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string EventLine(std::u16string_view name, std::span<const automation::Variant> args) {
  std::string line = EscapeField(name);
  for (const automation::Variant& arg : args) {
    line += '\t';
    try {
      line += EscapeField(automation::ToString(arg));
    } catch (const automation::AutomationError&) {
      line += EscapeField(automation::FromUtf8(arg.DebugString()));  // not text (an object)
    }
  }
  line += '\n';
  return line;
}

}  // namespace telvinor::agenthost
