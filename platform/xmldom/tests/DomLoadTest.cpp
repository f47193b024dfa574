// Loading documents: the true / false contract, the parse error, encodings, hostile input and
// saving in the declared encoding.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "DomTestSupport.h"
#include "xmldom/DomDocument.h"
#include "xmldom/DomErrors.h"
#include "xmldom/DomNamedNodeMap.h"
#include "xmldom/DomNodeList.h"

namespace telvinor::xmldom {
namespace {

using testing::ScratchDir;
using testing::U;

TEST(DomLoad, LoadReportsTrueOrFalseAndNeverThrows) {
  ScratchDir dir;
  auto good =
      dir.Write("state.xml", "<?xml version=\"1.0\"?>\n<States><State ID=\"1\"/></States>\n");
  auto bad = dir.Write("bad.xml", "<States><State ID=\"1\"></States>");
  struct Case {
    const char* name;
    std::u16string source;
    bool loads;
    std::int32_t code;
  };
  const Case cases[] = {
      {"path", U(good), true, 0},
      {"file URL", U("file://" + good.string()), true, 0},
      {"file URL with localhost and escapes",
       U("file://localhost" + dir.path().string() + "/st%61te.xml"), true, 0},
      {"missing file", U(dir.path() / "none.xml"), false, ParseFaultCode(ParseFault::FileNotFound)},
      {"directory", U(dir.path()), false, ParseFaultCode(ParseFault::ReadFailed)},
      {"not well-formed", U(bad), false, ParseFaultCode(ParseFault::EndTagMismatch)},
      {"other URL scheme", u"http://127.0.0.1/state.xml", false,
       ParseFaultCode(ParseFault::UnsupportedSource)},
      {"empty path", u"", false, ParseFaultCode(ParseFault::FileNotFound)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto doc = DomDocument::Create();
    bool loaded = false;
    ASSERT_NO_THROW(loaded = doc->Load(c.source));
    EXPECT_EQ(loaded, c.loads);
    EXPECT_EQ(doc->LastParseError().errorCode, c.code);
    EXPECT_EQ(doc->LastParseError().url, c.source);
    EXPECT_EQ(doc->DocumentElement() != nullptr, c.loads);
    EXPECT_EQ(doc->LastParseError().reason.empty(), c.loads);
  }
}

TEST(DomLoad, AFailedLoadEmptiesTheDocument) {
  auto doc = DomDocument::Create();
  ASSERT_TRUE(doc->LoadXml(u"<a><b/></a>"));
  EXPECT_FALSE(doc->LoadXml(u"<a>"));
  EXPECT_EQ(doc->ChildNodes()->Length(), 0);
  EXPECT_TRUE(doc->LoadXml(u"<c/>"));
  EXPECT_EQ(doc->LastParseError().errorCode, 0);
  EXPECT_EQ(doc->DocumentElement()->NodeName(), u"c");
}

TEST(DomLoad, PrologNodesAreChildrenOfTheDocumentInOrder) {
  auto doc = DomDocument::Create();
  ASSERT_TRUE(
      doc->LoadXml(u"<?xml version=\"1.0\"?><!--note--><?app go?><MSG EVT=\"1\"/><!--after-->"));
  auto children = doc->ChildNodes();
  ASSERT_EQ(children->Length(), 5);
  auto declaration = children->Item(0);
  EXPECT_EQ(declaration->NodeType(), DomNodeType::ProcessingInstruction);
  EXPECT_EQ(declaration->NodeName(), u"xml");
  EXPECT_EQ(declaration->BaseName(), u"xml");
  EXPECT_EQ(declaration->NodeValue(), u"version=\"1.0\"");
  EXPECT_EQ(declaration->Attributes()->Item(0)->NodeName(), u"version");
  EXPECT_EQ(children->Item(1)->NodeType(), DomNodeType::Comment);
  EXPECT_EQ(children->Item(2)->NodeName(), u"app");
  EXPECT_EQ(children->Item(2)->NodeValue(), u"go");
  EXPECT_EQ(children->Item(3)->BaseName(), u"MSG");
  EXPECT_EQ(children->Item(4)->Text(), u"after");
  EXPECT_EQ(children->Item(5), nullptr);

  // Without a prolog the element is the first child.
  ASSERT_TRUE(doc->LoadXml(u"<m:MSG xmlns:m=\"urn:m\" CMD=\"x\"/>"));
  auto first = doc->ChildNodes()->Item(0);
  EXPECT_EQ(first->BaseName(), u"MSG");
  EXPECT_EQ(first->NodeName(), u"m:MSG");
  EXPECT_EQ(first->Attributes()->Item(0)->NodeName(), u"xmlns:m");
}

// One row per way a document can be malformed: the load fails cleanly with the fault, and
// the position of the fault.
TEST(DomLoad, MalformedDocumentsFailWithReasonAndPosition) {
  struct Case {
    const char* name;
    std::string text;
    ParseFault fault;
    std::int32_t line, column;
  };
  const Case cases[] = {
      {"empty", "", ParseFault::NoRootElement, 1, 1},
      {"only a comment", "<!-- c -->", ParseFault::NoRootElement, 1, 11},
      {"unclosed", "<a>\n<b>", ParseFault::UnclosedElement, 2, 4},
      {"wrong end tag", "<a>\n  <b></c>\n</a>", ParseFault::EndTagMismatch, 2, 8},
      {"two roots", "<a/>\n<b/>", ParseFault::MultipleRootElements, 2, 2},
      {"text before the root", "hello<a/>", ParseFault::TextAtTopLevel, 1, 1},
      {"declaration after space", " <?xml version=\"1.0\"?><a/>", ParseFault::MisplacedDeclaration,
       1, 4},
      {"declaration after a comment", "<!--c--><?xml version=\"1.0\"?><a/>",
       ParseFault::MisplacedDeclaration, 1, 11},
      {"document type after the root", "<a/><!DOCTYPE a>", ParseFault::MisplacedDocType, 1, 15},
      {"duplicate attribute", "<a>\n<b x=\"1\" x=\"2\"/></a>", ParseFault::DuplicateAttribute, 2,
       2},
      {"< in attribute", "<a x=\"<\"/>", ParseFault::LessThanInAttribute, 1, 2},
      {"]]> in text", "<a>x]]>y</a>", ParseFault::CDataEndInText, 1, 5},
      {"-- in comment", "<a><!-- x -- y --></a>", ParseFault::BadComment, 1, 8},
      {"undefined entity", "<a>\n&nbsp;</a>", ParseFault::UndefinedEntity, 2, 1},
      {"bare ampersand", "<a>fish & chips</a>", ParseFault::UndefinedEntity, 1, 9},
      {"reference to NUL", "<a>&#0;</a>", ParseFault::BadCharacterReference, 1, 4},
      {"reference past Unicode", "<a v=\"&#x110000;\"/>", ParseFault::BadCharacterReference, 1, 2},
      {"control character", "<a>\x01</a>", ParseFault::InvalidCharacter, 1, 4},
      {"NUL inside", std::string("<a>\0</a>", 8), ParseFault::InvalidCharacter, 1, 4},
      {"malformed UTF-8", "<a>\xC3\x28</a>", ParseFault::InvalidCharacter, 1, 4},
      {"truncated declaration", "<?xml version=", ParseFault::BadProcessingInstruction, 1, 14},
      {"bad start tag", "<1a/>", ParseFault::UnrecognizedMarkup, 1, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto doc = DomDocument::Create();
    EXPECT_FALSE(
        doc->LoadBytes({reinterpret_cast<const std::uint8_t*>(c.text.data()), c.text.size()}));
    const ParseErrorInfo& error = doc->LastParseError();
    EXPECT_EQ(error.errorCode, ParseFaultCode(c.fault));
    EXPECT_NE(error.errorCode, 0);
    EXPECT_FALSE(error.reason.empty());
    EXPECT_EQ(error.line, c.line);
    EXPECT_EQ(error.linePosition, c.column);
  }
}

TEST(DomLoad, ParseErrorNamesTheEntityAndShowsTheLine) {
  auto doc = DomDocument::Create();
  EXPECT_FALSE(doc->LoadXml(u"<a>\n  <b>&lol9;</b>\n</a>"));
  const ParseErrorInfo& error = doc->LastParseError();
  EXPECT_EQ(error.reason, u"Reference to undefined entity 'lol9'.");
  EXPECT_EQ(error.line, 2);
  EXPECT_EQ(error.linePosition, 6);
  EXPECT_EQ(error.sourceText, u"  <b>&lol9;</b>");
  EXPECT_EQ(error.filePosition, 9);
}

TEST(DomLoad, EntityBombsAreNotExpanded) {
  std::string doctype = "<!DOCTYPE lolz [<!ENTITY lol \"lol\">";
  for (int i = 1; i <= 9; ++i) {
    doctype += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k)
      doctype += "&lol" + (i == 1 ? std::string() : std::to_string(i - 1)) + ";";
    doctype += "\">";
  }
  doctype += "]>";
  auto doc = DomDocument::Create();
  // Declared but not referenced: the document is well-formed and the declarations are kept.
  ASSERT_TRUE(doc->LoadXml(U(doctype + "<lolz/>")));
  EXPECT_EQ(doc->ChildNodes()->Item(0)->NodeType(), DomNodeType::DocumentType);
  EXPECT_EQ(doc->ChildNodes()->Item(0)->NodeName(), u"lolz");
  // Referenced: refused, not expanded a billion times.
  EXPECT_FALSE(doc->LoadXml(U(doctype + "<lolz>&lol9;</lolz>")));
  EXPECT_EQ(doc->LastParseError().errorCode, ParseFaultCode(ParseFault::UndefinedEntity));
  EXPECT_FALSE(doc->LoadXml(U(doctype + "<lolz a=\"&lol9;\"/>")));
}

TEST(DomLoad, ReferencesAreReplacedInTextAndAttributes) {
  auto doc = DomDocument::Create();
  ASSERT_TRUE(doc->LoadXml(
      u"<a v=\"&lt;&amp;&#10;&quot;&#13;\">&#x4E2D;&#25991;&apos;&gt;&#13;<![CDATA[&amp;]]></a>"));
  auto a = doc->DocumentElement();
  EXPECT_EQ(a->GetAttribute(u"v"), u"<&\n\"\r");
  EXPECT_EQ(a->Text(), u"中文'>\r&amp;");
  // Written back so that they read the same, the carriage return in text included.
  EXPECT_EQ(a->Xml(), u"<a v=\"&lt;&amp;&#10;&quot;&#13;\">中文'&gt;&#13;<![CDATA[&amp;]]></a>");
  auto again = DomDocument::Create();
  ASSERT_TRUE(again->LoadXml(doc->Xml()));
  EXPECT_EQ(again->DocumentElement()->Text(), a->Text());
  EXPECT_EQ(again->DocumentElement()->GetAttribute(u"v"), a->GetAttribute(u"v"));
}

TEST(DomLoad, DeepNestingLoadsWithoutRecursion) {
  constexpr int kDepth = 100000;
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "<a>";
  text += "x";
  for (int i = 0; i < kDepth; ++i) text += "</a>";
  auto doc = DomDocument::Create();
  ASSERT_TRUE(doc->LoadXml(U(text)));
  EXPECT_EQ(doc->Text(), u"x");
  EXPECT_EQ(doc->GetElementsByTagName(u"a")->Length(), kDepth);
  EXPECT_EQ(doc->Xml().size(), text.size() + 2);
  // Unclosed at that depth: a clean failure.
  text.resize(kDepth * 3);
  EXPECT_FALSE(doc->LoadXml(U(text)));
  EXPECT_EQ(doc->LastParseError().errorCode, ParseFaultCode(ParseFault::UnclosedElement));
}

TEST(DomLoad, RandomAndMutatedBytesFailCleanly) {
  const std::string sample =
      "<?xml version=\"1.0\" encoding=\"GBK\"?><!DOCTYPE r><r a=\"1\" "
      "b='&amp;'><!--c--><x><![CDATA[d]]></x>"
      "<?p q?>t&#65;</r>";
  std::mt19937 random(20240521);
  auto doc = DomDocument::Create();
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    if (round % 2 == 0) {
      bytes.resize(random() % 64);
      for (auto& b : bytes) b = static_cast<char>(random());
    } else {
      bytes = sample;
      for (int edits = 1 + random() % 4; edits > 0; --edits) {
        std::size_t at = random() % bytes.size();
        switch (random() % 3) {
          case 0:
            bytes[at] = static_cast<char>(random());
            break;
          case 1:
            bytes.erase(at, 1 + random() % 8);
            break;
          default:
            bytes.insert(at, 1, "<>&;\"'/![]?-"[random() % 12]);
            break;
        }
        if (bytes.empty()) bytes = "<";
      }
    }
    bool loaded =
        doc->LoadBytes({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    const ParseErrorInfo& error = doc->LastParseError();
    if (loaded) {
      EXPECT_EQ(error.errorCode, 0);
      // What loads, saves and loads again to the same tree.
      auto again = DomDocument::Create();
      EXPECT_TRUE(again->LoadXml(doc->Xml())) << bytes;
      EXPECT_EQ(again->Xml(), doc->Xml()) << bytes;
    } else {
      EXPECT_NE(error.errorCode, 0) << bytes;
      EXPECT_FALSE(error.reason.empty()) << bytes;
      EXPECT_EQ(doc->DocumentElement(), nullptr);
    }
  }
}

TEST(DomLoad, OversizedFilesAreRefusedUnread) {
  ScratchDir dir;
  auto huge = dir.path() / "huge.xml";
  std::ofstream(huge).put('<');
  std::filesystem::resize_file(huge, std::uintmax_t{1} << 30);  // sparse: nothing is written
  auto doc = DomDocument::Create();
  EXPECT_FALSE(doc->LoadFile(huge));
  EXPECT_EQ(doc->LastParseError().errorCode, ParseFaultCode(ParseFault::TooLarge));
}

// GBK bytes of the texts the tests use.
constexpr std::string_view kGbkType = "\xC0\xE0\xD0\xCD";  // 类型
constexpr std::string_view kGbkDbConnection =
    "\xCA\xFD\xBE\xDD\xBF\xE2\xC1\xAC\xBD\xD3";  // 数据库连接

TEST(DomLoad, FilesAreReadInTheEncodingTheirDeclarationNames) {
  ScratchDir dir;
  for (std::string label : {"GBK", "gb2312", "GB18030"}) {
    SCOPED_TRACE(label);
    std::string bytes = "<?xml version=\"1.0\" encoding=\"" + label + "\"?>\r\n<Variables><DB " +
                        std::string(kGbkType) + "=\"" + std::string(kGbkDbConnection) +
                        "\" Type=\"VariantType\"/></Variables>";
    auto doc = DomDocument::Create();
    ASSERT_TRUE(doc->LoadFile(dir.Write("vars.xml", bytes)))
        << automation::ToUtf8(doc->LastParseError().reason);
    auto entry = doc->DocumentElement()->FirstChild();
    ASSERT_NE(entry->SelectSingleNode(u"./@类型"), nullptr);
    EXPECT_EQ(entry->SelectSingleNode(u"./@类型")->NodeValue(), u"数据库连接");
    EXPECT_EQ(entry->SelectSingleNode(u"./@Type")->NodeValue(), u"VariantType");
  }
}

TEST(DomLoad, EncodingsByByteOrderMarkAndTheirFaults) {
  auto bytesOf = [](std::string_view s) {
    return std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  };
  auto doc = DomDocument::Create();
  // UTF-16 little-endian with a mark, declaring itself UTF-16: "<a>中</a>".
  std::string utf16("\xFF\xFE<\0a\0>\0\x2D\x4E<\0/\0a\0>\0", 18);
  ASSERT_TRUE(doc->LoadBytes(bytesOf(utf16)));
  EXPECT_EQ(doc->DocumentElement()->Text(), u"中");
  // UTF-8 with a mark.
  ASSERT_TRUE(doc->LoadBytes(bytesOf("\xEF\xBB\xBF<a>\xE4\xB8\xAD</a>")));
  EXPECT_EQ(doc->DocumentElement()->Text(), u"中");
  // ISO-8859-1.
  ASSERT_TRUE(doc->LoadBytes(bytesOf("<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9</a>")));
  EXPECT_EQ(doc->DocumentElement()->Text(), u"café");
  // No declaration: UTF-8, so GBK bytes are invalid, reported where they stand.
  EXPECT_FALSE(doc->LoadBytes(bytesOf("<a>\n x" + std::string(kGbkType) + "</a>")));
  EXPECT_EQ(doc->LastParseError().errorCode, ParseFaultCode(ParseFault::InvalidCharacter));
  EXPECT_EQ(doc->LastParseError().line, 2);
  EXPECT_EQ(doc->LastParseError().linePosition, 3);
  // Bytes the declared encoding does not have.
  EXPECT_FALSE(doc->LoadBytes(bytesOf("<?xml version='1.0' encoding='GBK'?>\n<a>\x81</a>")));
  EXPECT_EQ(doc->LastParseError().errorCode, ParseFaultCode(ParseFault::InvalidCharacter));
  EXPECT_EQ(doc->LastParseError().line, 2);
  // An encoding nobody has, and UTF-16 claimed by single-byte text.
  EXPECT_FALSE(doc->LoadBytes(bytesOf("<?xml version='1.0' encoding='x-no-such'?><a/>")));
  EXPECT_EQ(doc->LastParseError().reason,
            u"System does not support the specified encoding: 'x-no-such'.");
  EXPECT_FALSE(doc->LoadBytes(bytesOf("<?xml version='1.0' encoding='UTF-16'?><a/>")));
  EXPECT_EQ(doc->LastParseError().errorCode, ParseFaultCode(ParseFault::UnsupportedEncoding));
  // loadXML takes its text as it is, whatever the declaration says.
  EXPECT_TRUE(doc->LoadXml(u"<?xml version=\"1.0\" encoding=\"GBK\"?><a>中</a>"));
  EXPECT_EQ(doc->DocumentElement()->Text(), u"中");
}

TEST(DomLoad, SaveWritesTheDeclaredEncoding) {
  ScratchDir dir;
  auto doc = DomDocument::Create();
  ASSERT_TRUE(doc->LoadXml(
      u"<?xml version=\"1.0\" encoding=\"GB2312\"?><v 类型=\"数据库连接\">水 €한</v>"));
  auto file = dir.path() / "out.xml";
  doc->Save(U(file));
  // Characters GB2312 lacks become references; the euro sign is in code page 936.
  EXPECT_EQ(ScratchDir::Read(file),
            "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<v " + std::string(kGbkType) + "=\"" +
                std::string(kGbkDbConnection) + "\">\xCB\xAE \x80&#54620;</v>\r\n");
  auto back = DomDocument::Create();
  ASSERT_TRUE(back->LoadFile(file));
  EXPECT_EQ(back->Xml(), doc->Xml());

  // Without a declaration: UTF-8; UTF-16 behind a byte-order mark.
  ASSERT_TRUE(doc->LoadXml(u"<a>中</a>"));
  EXPECT_EQ(doc->SaveToBytes(), "<a>\xE4\xB8\xAD</a>\r\n");
  ASSERT_TRUE(doc->LoadXml(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>"));
  EXPECT_EQ(doc->SaveToBytes().substr(0, 4), std::string("\xFF\xFE<\0", 4));

  // Write failures are errors.
  ASSERT_TRUE(doc->LoadXml(u"<a/>"));
  try {
    doc->Save(U(dir.path() / "no" / "such" / "dir.xml"));
    ADD_FAILURE() << "saved into a missing folder";
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.Number(), automation::errc::kPathNotFound);
  }
}

TEST(DomLoad, WhiteSpaceOnlyTextIsDroppedUnlessPreserved) {
  const std::u16string text = u"<a>\n  <b> x </b>\n</a>";
  auto doc = DomDocument::Create();
  ASSERT_TRUE(doc->LoadXml(text));
  EXPECT_EQ(doc->DocumentElement()->ChildNodes()->Length(), 1);
  EXPECT_EQ(doc->DocumentElement()->Text(), u"x");
  EXPECT_EQ(doc->DocumentElement()->FirstChild()->FirstChild()->NodeValue(), u" x ");
  doc->SetPreserveWhiteSpace(true);
  ASSERT_TRUE(doc->LoadXml(text));
  EXPECT_EQ(doc->DocumentElement()->ChildNodes()->Length(), 3);
  EXPECT_EQ(doc->DocumentElement()->Text(), u"\n   x \n");
  EXPECT_EQ(doc->Xml(), text + u"\r\n");
}

}  // namespace
}  // namespace telvinor::xmldom
