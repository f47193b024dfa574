#pragma once
// DomParseError: why the last load or loadXML of a document failed (errorCode 0 after a
// success), as the document's parseError object shows it to scripts.

#include <cstdint>
#include <string>

#include "automation/ClassInfo.h"

namespace telvinor::xmldom {

struct ParseErrorInfo {
  std::int32_t errorCode = 0;  // 0: no error
  std::u16string reason;
  std::int32_t line = 0;          // from 1; 0 when the fault has no position (a missing file)
  std::int32_t linePosition = 0;  // column from 1, in characters (UTF-16 units)
  std::int32_t filePosition = 0;  // characters before the fault
  std::u16string sourceText;      // the text of the faulty line
  std::u16string url;             // what was loaded ("" for loadXML)
};

class DomParseError final : public automation::AutomationObject<DomParseError> {
 public:
  explicit DomParseError(ParseErrorInfo info) : info_(std::move(info)) {}
  [[nodiscard]] const ParseErrorInfo& Details() const noexcept { return info_; }
  [[nodiscard]] static const automation::ClassInfo& Class();

 private:
  ParseErrorInfo info_;
};

}  // namespace telvinor::xmldom
