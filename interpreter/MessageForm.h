#pragma once
// How DataArrive tells the messages of the workflow apart, by their first characters or by
// the outermost shape of their XML. A pure function over the text: it parses the message
// into a throw-away document and reads nothing but the first child and its first attribute.
//
// The forms, tested in this order, all case-exact:
//   "[..."                         a fax the fax service could not send
//   "FAX...$..."                   a fax report; the event is the text before the first "$"
//   <MSG EVT="..." .../>           a front-end event (first attribute named EVT)
//   <MSG CMD="..." .../>           a soft-phone event (first attribute named CMD)
//   anything else                  rejected
// The element must be the document's very first child: an XML declaration, a processing
// instruction or a comment in front of it makes the message malformed. The element name is
// compared without its namespace prefix, the attribute name as written.

#include <cstdint>
#include <string_view>

namespace telvinor::interpreter {

enum class MessageForm : std::uint8_t {
  kFaxFailure,
  kFaxReport,
  kFaxReportWithoutEnd,  // "FAX" with no "$": the report cannot be cut out
  kFrontEndEvent,
  kSoftPhoneEvent,
  kMalformed,
};

struct ClassifiedMessage {
  MessageForm form = MessageForm::kMalformed;
  std::u16string_view faxEvent;  // kFaxReport: the text before the first "$", inside the message
};

// The event and text a fax failure notice raises.
inline constexpr std::u16string_view kFaxFailEvent = u"FAXFAIL";
inline constexpr std::u16string_view kFaxFailText = u"发送传真失败,请稍后重试";

[[nodiscard]] ClassifiedMessage ClassifyMessage(std::u16string_view message);

}  // namespace telvinor::interpreter
