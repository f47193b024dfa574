#include "MessageForm.h"

#include "xmldom/DomDocument.h"
#include "xmldom/DomNamedNodeMap.h"

namespace telvinor::interpreter {

namespace {

constexpr std::u16string_view kFaxPrefix = u"FAX";
constexpr std::u16string_view kMessageElement = u"MSG";
constexpr std::u16string_view kFrontEndAttribute = u"EVT";
constexpr std::u16string_view kSoftPhoneAttribute = u"CMD";

MessageForm XmlForm(std::u16string_view message) {
  auto document = xmldom::DomDocument::Create();
  if (!document->LoadXml(message)) return MessageForm::kMalformed;
  // The first child taken literally: a declaration or comment in front of MSG counts.
  auto first = document->FirstChild();
  if (!first || first->NodeType() != xmldom::DomNodeType::Element ||
      first->BaseName() != kMessageElement)
    return MessageForm::kMalformed;
  // An element without attributes has no first attribute to name its form.
  auto attribute = first->Attributes()->Item(0);
  if (!attribute) return MessageForm::kMalformed;
  std::u16string name = attribute->NodeName();
  if (name == kFrontEndAttribute) return MessageForm::kFrontEndEvent;
  if (name == kSoftPhoneAttribute) return MessageForm::kSoftPhoneEvent;
  return MessageForm::kMalformed;
}

}  // namespace

ClassifiedMessage ClassifyMessage(std::u16string_view message) {
  if (message.starts_with(u'[')) return {MessageForm::kFaxFailure, {}};
  if (message.starts_with(kFaxPrefix)) {
    std::size_t end = message.find(u'$');
    if (end == std::u16string_view::npos) return {MessageForm::kFaxReportWithoutEnd, {}};
    return {MessageForm::kFaxReport, message.substr(0, end)};
  }
  return {XmlForm(message), {}};
}

}  // namespace telvinor::interpreter
