// The message forms DataArrive tells apart, as a table of named cases.

#include <gtest/gtest.h>

#include <random>

#include "MessageForm.h"

namespace telvinor::interpreter {
namespace {

struct FormCase {
  const char* name;
  std::u16string_view message;
  MessageForm form;
  std::u16string_view faxEvent = {};
};

std::ostream& operator<<(std::ostream& out, const FormCase& c) {
  return out << c.name;
}

class MessageFormTable : public ::testing::TestWithParam<FormCase> {};

TEST_P(MessageFormTable, Classifies) {
  const FormCase& c = GetParam();
  ClassifiedMessage got = ClassifyMessage(c.message);
  EXPECT_EQ(got.form, c.form);
  EXPECT_EQ(got.faxEvent, c.faxEvent);
}

INSTANTIATE_TEST_SUITE_P(
    FormsInOrder, MessageFormTable,
    ::testing::Values(
        FormCase{"FaxFailure", u"[fax 12 failed", MessageForm::kFaxFailure},
        FormCase{"BracketBeforeXmlIsStillFaxFailure", u"[<MSG EVT=\"RING\"/>",
                 MessageForm::kFaxFailure},
        FormCase{"FaxReportCutAtFirstDollar", u"FAXOK$a$b", MessageForm::kFaxReport, u"FAXOK"},
        FormCase{"FaxReportFiveCharactersBeforeDollar", u"FAXAB$file.tif", MessageForm::kFaxReport,
                 u"FAXAB"},
        FormCase{"FaxReportOfJustFax", u"FAX$", MessageForm::kFaxReport, u"FAX"},
        FormCase{"FaxReportWithoutDollar", u"FAXOK", MessageForm::kFaxReportWithoutEnd},
        FormCase{"FaxInOtherCaseIsNotAReport", u"Fax$x", MessageForm::kMalformed},
        FormCase{"FrontEndEvent", u"<MSG EVT=\"Answer\"/>", MessageForm::kFrontEndEvent},
        FormCase{"SoftPhoneEvent", u"<MSG CMD=\"Ringing\" ANI=\"1\"/>",
                 MessageForm::kSoftPhoneEvent},
        FormCase{"OnlyTheFirstAttributeCounts", u"<MSG CMD=\"a\" EVT=\"b\"/>",
                 MessageForm::kSoftPhoneEvent},
        FormCase{"AttributeNameIsCaseExact", u"<MSG evt=\"a\"/>", MessageForm::kMalformed},
        FormCase{"ElementNameIsCaseExact", u"<msg EVT=\"a\"/>", MessageForm::kMalformed},
        FormCase{"OtherFirstAttribute", u"<MSG ID=\"1\" EVT=\"a\"/>", MessageForm::kMalformed},
        FormCase{"ElementWithoutAttributes", u"<MSG/>", MessageForm::kMalformed},
        FormCase{"ElementWithChildrenStillCounts", u"<MSG EVT=\"a\"><Data x=\"1\"/></MSG>",
                 MessageForm::kFrontEndEvent},
        FormCase{"DeclarationInFrontMakesItMalformed", u"<?xml version=\"1.0\"?><MSG EVT=\"a\"/>",
                 MessageForm::kMalformed},
        FormCase{"CommentInFrontMakesItMalformed", u"<!-- x --><MSG EVT=\"a\"/>",
                 MessageForm::kMalformed},
        FormCase{"ElementComparedWithoutItsPrefix", u"<p:MSG EVT=\"a\" xmlns:p=\"urn:x\"/>",
                 MessageForm::kFrontEndEvent},
        FormCase{"AttributeComparedWithItsPrefix", u"<MSG p:EVT=\"a\" xmlns:p=\"urn:x\"/>",
                 MessageForm::kMalformed},
        FormCase{"NamespaceDeclarationFirstIsAnAttributeToo",
                 u"<p:MSG xmlns:p=\"urn:x\" EVT=\"a\"/>", MessageForm::kMalformed},
        FormCase{"Empty", u"", MessageForm::kMalformed},
        FormCase{"NotWellFormed", u"<MSG EVT=\"a\">", MessageForm::kMalformed},
        FormCase{"PlainText", u"hello", MessageForm::kMalformed},
        FormCase{"NulCharacters", std::u16string_view(u"<MSG EVT=\"a\0\"/>", 15),
                 MessageForm::kMalformed},
        FormCase{"ValueIsNotExamined", u"<MSG EVT=\"\xD800\"/>", MessageForm::kFrontEndEvent}),
    [](const auto& info) { return std::string(info.param.name); });

// No message, whatever its size or content, takes the classifier down.
TEST(MessageForm, AnyBytesAreClassifiedWithoutHarm) {
  std::mt19937 random(20240501);
  for (int round = 0; round < 300; ++round) {
    std::u16string message(random() % 200, u'\0');
    for (auto& c : message) c = static_cast<char16_t>(random() % 0x10000);
    if (round % 3 == 0) message.insert(0, u"<MSG EVT=\"");
    (void)ClassifyMessage(message);
  }
  std::u16string deep;
  for (int i = 0; i < 100000; ++i) deep += u"<MSG EVT=\"a\">";
  EXPECT_EQ(ClassifyMessage(deep).form, MessageForm::kMalformed);
  std::u16string big = u"<MSG EVT=\"" + std::u16string(4'000'000, u'x') + u"\"/>";
  EXPECT_EQ(ClassifyMessage(big).form, MessageForm::kFrontEndEvent);
}

}  // namespace
}  // namespace telvinor::interpreter
