// The DOM as scripts reach it: objects created by ProgID, members called by name through
// Dispatch, For Each through the enumerator, errors as automation errors.

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "DomTestSupport.h"
#include "automation/ClassRegistry.h"
#include "automation/Conversions.h"
#include "xmldom/DomDocument.h"

namespace telvinor::xmldom {
namespace {

using automation::AutomationError;
using automation::InvokeKind;
using automation::Variant;
using testing::ScratchDir;
using testing::U;

// obj.name(args...), as a script calls it when it cannot tell a method from a property.
Variant Call(const Variant& object, std::u16string_view name,
             std::initializer_list<Variant> args = {}) {
  std::vector<Variant> list(args);
  EXPECT_TRUE(object.IsObject() && object.AsObject())
      << "not an object calling " << automation::ToUtf8(name);
  return automation::CallByName(*object.AsObject(), name,
                                InvokeKind::Method | InvokeKind::PropertyGet, list);
}

// obj.name = value (or Set obj.name = value for an object).
void Put(const Variant& object, std::u16string_view name, const Variant& value) {
  Variant args[] = {value};
  automation::CallByName(*object.AsObject(), name,
                         value.IsObject() ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut,
                         args);
}

// obj(args...): the default member.
Variant Default(const Variant& object, std::initializer_list<Variant> args) {
  std::vector<Variant> list(args);
  return object.AsObject()->Invoke(automation::kDispIdValue,
                                   InvokeKind::Method | InvokeKind::PropertyGet, list);
}

std::u16string Str(const Variant& v) {
  return automation::ToString(v);
}

Variant NewDocument() {
  RegisterDomClasses();
  return Variant(automation::CreateObject(u"MSXML2.DOMDocument"));
}

TEST(DomDispatch, EveryProgIdCreatesADocument) {
  RegisterDomClasses();
  for (std::u16string_view progId : {u"MSXML2.DOMDocument", u"msxml2.domdocument.3.0",
                                     u"Microsoft.XMLDOM", u"MSXML.DOMDocument"}) {
    auto object = automation::CreateObject(progId);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->TypeName(), u"DOMDocument");
    EXPECT_NE(dynamic_cast<DomDocument*>(object.get()), nullptr);
  }
  EXPECT_EQ(automation::CreateObject(automation::Guid::FromString(kDomDocumentClassId))->TypeName(),
            u"DOMDocument");
}

TEST(DomDispatch, AMessageAsTheInterpreterReadsIt) {
  Variant doc = NewDocument();
  EXPECT_EQ(Call(doc, u"loadXML", {Variant(u"<MSG EVT=\"Ring\" Caller=\"100\"/>")}), Variant(true));
  Variant first = Default(Call(doc, u"childNodes"), {Variant(0)});
  EXPECT_EQ(first.AsObject()->TypeName(), u"IXMLDOMElement");
  EXPECT_EQ(Call(first, u"baseName"), Variant(u"MSG"));
  Variant attribute = Call(Call(first, u"attributes"), u"item", {Variant(0)});
  EXPECT_EQ(attribute.AsObject()->TypeName(), u"IXMLDOMAttribute");
  EXPECT_EQ(Call(attribute, u"nodeName"), Variant(u"EVT"));
  EXPECT_EQ(Call(attribute, u"Value"), Variant(u"Ring"));

  // A declaration in front makes it the first child.
  EXPECT_EQ(Call(doc, u"LoadXml", {Variant(u"<?xml version=\"1.0\"?><MSG EVT=\"1\"/>")}),
            Variant(true));
  first = Call(Call(doc, u"childNodes"), u"item", {Variant(0)});
  EXPECT_EQ(Call(first, u"nodeType"), Variant(7));
  EXPECT_EQ(Call(first, u"nodeName"), Variant(u"xml"));
  EXPECT_EQ(Call(first, u"nodeTypeString"), Variant(u"processinginstruction"));
  EXPECT_EQ(Call(Call(doc, u"childNodes"), u"length"), Variant(2));
  EXPECT_TRUE(Call(Call(doc, u"childNodes"), u"item", {Variant(2)}).IsNothing());
}

TEST(DomDispatch, LoadFailsWithoutRaisingAndParseErrorTellsWhy) {
  ScratchDir dir;
  Variant doc = NewDocument();
  Put(doc, u"async", Variant(false));
  EXPECT_EQ(Call(doc, u"async"), Variant(false));
  EXPECT_EQ(Call(doc, u"load", {Variant(U(dir.path() / "missing.xml"))}), Variant(false));
  Variant error = Call(doc, u"parseError");
  EXPECT_NE(automation::ToLong(Call(error, u"errorCode")), 0);
  EXPECT_EQ(automation::DefaultValue(error), Call(error, u"errorCode"));
  EXPECT_FALSE(Str(Call(error, u"reason")).empty());

  EXPECT_EQ(Call(doc, u"loadXML", {Variant(u"<a>\n<b></a>")}), Variant(false));
  error = Call(doc, u"parseError");
  EXPECT_EQ(Call(error, u"line"), Variant(2));
  EXPECT_EQ(Call(error, u"linepos"), Variant(6));
  EXPECT_EQ(Call(error, u"srcText"), Variant(u"<b></a>"));
  EXPECT_TRUE(Call(doc, u"documentElement").IsNothing());
  // Anything that is not a source fails the same way.
  EXPECT_EQ(Call(doc, u"load", {Variant::Null()}), Variant(false));
  EXPECT_EQ(Call(doc, u"load", {Variant(12)}), Variant(false));

  auto file = dir.Write("ok.xml", "<ok/>");
  EXPECT_EQ(Call(doc, u"load", {Variant(U(file))}), Variant(true));
  EXPECT_EQ(Call(Call(doc, u"parseError"), u"errorCode"), Variant(0));
  EXPECT_EQ(Call(doc, u"url"), Variant(U(file)));
  EXPECT_EQ(Call(doc, u"readyState"), Variant(4));
}

TEST(DomDispatch, AttributesByNameCreateAndReplace) {
  Variant doc = NewDocument();
  ASSERT_EQ(Call(doc, u"loadXML", {Variant(u"<Voice ID=\"7\" Name=\"hello\"/>")}), Variant(true));
  Variant voice = Call(doc, u"documentElement");
  Variant attributes = Call(voice, u"attributes");
  EXPECT_TRUE(Call(attributes, u"getNamedItem", {Variant(u"Type")}).IsNothing());
  Variant type = Call(doc, u"createAttribute", {Variant(u"Type")});
  Put(type, u"nodeValue", Variant(u"Play"));
  Call(attributes, u"setNamedItem", {type});
  Variant independent = Call(doc, u"createAttribute", {Variant(u"Independant")});
  Put(independent, u"nodeValue", Variant(u"False"));
  Call(attributes, u"setNamedItem", {independent});
  EXPECT_EQ(Call(Call(attributes, u"getNamedItem", {Variant(u"Type")}), u"nodeValue"),
            Variant(u"Play"));
  EXPECT_EQ(Call(attributes, u"length"), Variant(4));
  EXPECT_EQ(Call(voice, u"getAttribute", {Variant(u"ID")}), Variant(u"7"));
  EXPECT_TRUE(Call(voice, u"getAttribute", {Variant(u"none")}).IsNull());
  Call(voice, u"setAttribute", {Variant(u"ID"), Variant(8)});
  Call(voice, u"removeAttribute", {Variant(u"Name")});
  EXPECT_EQ(Call(voice, u"xml"), Variant(u"<Voice ID=\"8\" Type=\"Play\" Independant=\"False\"/>"));
  // The variable entry of a tree: "./@类型" first, then "./@Type".
  EXPECT_TRUE(Call(voice, u"selectSingleNode", {Variant(u"./@类型")}).IsNothing());
  EXPECT_EQ(Call(Call(voice, u"selectSingleNode", {Variant(u"./@Type")}), u"text"),
            Variant(u"Play"));
  // Node values of elements are Null, as scripts test with IsNull.
  EXPECT_TRUE(Call(voice, u"nodeValue").IsNull());
}

TEST(DomDispatch, ForEachWalksChildrenAttributesAndSelections) {
  Variant doc = NewDocument();
  ASSERT_EQ(
      Call(doc, u"loadXML",
           {Variant(u"<Flow><Service ID=\"0\"/><!--c--><Voice ID=\"1\" Name=\"v\"/></Flow>")}),
      Variant(true));
  auto collect = [](const Variant& collection, std::u16string_view member) {
    std::vector<std::u16string> names;
    auto e = automation::EnumeratorOf(*collection.AsObject());
    Variant item;
    while (e->Next(item)) names.push_back(Str(Call(item, member)));
    return names;
  };
  Variant root = Call(doc, u"documentElement");
  EXPECT_EQ(collect(Call(root, u"childNodes"), u"nodeName"),
            (std::vector<std::u16string>{u"Service", u"#comment", u"Voice"}));
  Variant voice = Call(root, u"lastChild");
  EXPECT_EQ(collect(Call(voice, u"attributes"), u"nodeName"),
            (std::vector<std::u16string>{u"ID", u"Name"}));
  Variant selection = Call(doc, u"selectNodes", {Variant(u"//*[@ID]")});
  EXPECT_EQ(selection.AsObject()->TypeName(), u"IXMLDOMSelection");
  EXPECT_EQ(collect(selection, u"baseName"), (std::vector<std::u16string>{u"Service", u"Voice"}));
  EXPECT_EQ(collect(Call(doc, u"getElementsByTagName", {Variant(u"Voice")}), u"nodeName"),
            (std::vector<std::u16string>{u"Voice"}));
  // nextNode walks a list once; reset starts again.
  Variant children = Call(root, u"childNodes");
  EXPECT_EQ(Call(Call(children, u"nextNode"), u"nodeName"), Variant(u"Service"));
  Call(children, u"reset");
  EXPECT_EQ(Call(Call(children, u"nextNode"), u"nodeName"), Variant(u"Service"));
}

TEST(DomDispatch, SameNodeSameObjectAndErrorsAsAutomationErrors) {
  Variant doc = NewDocument();
  ASSERT_EQ(Call(doc, u"loadXML", {Variant(u"<r><s ID=\"17\">t</s></r>")}), Variant(true));
  Variant a = Call(doc, u"selectSingleNode", {Variant(u"//*[@ID=\"17\"]")});
  Variant b = Call(Call(doc, u"documentElement"), u"firstChild");
  EXPECT_EQ(a.AsObject(), b.AsObject());  // VB's Is
  EXPECT_TRUE(Call(doc, u"selectSingleNode", {Variant(u"//*[@ID=\"18\"]")}).IsNothing());
  try {
    Call(doc, u"selectSingleNode", {Variant(u"//*[@ID=\"1\"7\"]")});
    ADD_FAILURE() << "an invalid expression selected";
  } catch (const AutomationError& e) {
    EXPECT_EQ(static_cast<std::uint32_t>(e.Number()), 0x80004005u);
    EXPECT_NE(e.Description().find(u"Invalid XPath expression"), std::u16string::npos);
  }
  // A text node has no getAttribute; an element has no data.
  Variant text = Call(a, u"firstChild");
  EXPECT_EQ(text.AsObject()->TypeName(), u"IXMLDOMText");
  EXPECT_EQ(Call(text, u"data"), Variant(u"t"));
  try {
    Call(text, u"getAttribute", {Variant(u"x")});
    ADD_FAILURE();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), automation::errc::kObjectDoesNotSupportMember);
  }
  try {
    Call(doc, u"appendChild", {Variant::Nothing()});
    ADD_FAILURE();
  } catch (const AutomationError& e) {
    EXPECT_EQ(static_cast<std::uint32_t>(e.Number()), 0x80070057u);
  }
}

TEST(DomDispatch, TreeChangesByName) {
  Variant doc = NewDocument();
  Variant root = Call(doc, u"createElement", {Variant(u"Msg")});
  Put(doc, u"documentElement", root);
  Variant pi =
      Call(doc, u"createProcessingInstruction", {Variant(u"xml"), Variant(u"version=\"1.0\"")});
  Call(doc, u"insertBefore", {pi, Call(doc, u"firstChild")});
  Variant child = Call(root, u"appendChild", {Call(doc, u"createElement", {Variant(u"Body")})});
  Put(child, u"text", Variant(u"hi"));
  Call(root, u"appendChild",
       {Call(doc, u"createNode", {Variant(1), Variant(u"Tail"), Variant(u"")})});
  EXPECT_EQ(Call(doc, u"xml"),
            Variant(u"<?xml version=\"1.0\"?>\r\n<Msg><Body>hi</Body><Tail/></Msg>\r\n"));
  Variant removed = Call(root, u"removeChild", {child});
  EXPECT_EQ(removed.AsObject(), child.AsObject());
  EXPECT_TRUE(Call(child, u"parentNode").IsNothing());
  EXPECT_EQ(Call(root, u"hasChildNodes"), Variant(true));
  Call(root, u"replaceChild", {child, Call(root, u"firstChild")});
  EXPECT_EQ(Call(root, u"xml"), Variant(u"<Msg><Body>hi</Body></Msg>"));
  Variant copy = Call(root, u"cloneNode", {Variant(true)});
  EXPECT_EQ(Call(copy, u"xml"), Call(root, u"xml"));
  // Save into another document copies it.
  Variant other = NewDocument();
  Call(doc, u"save", {other});
  EXPECT_EQ(Call(other, u"xml"), Call(doc, u"xml"));
  Call(doc, u"setProperty", {Variant(u"SelectionLanguage"), Variant(u"XPath")});
  EXPECT_EQ(Call(doc, u"getProperty", {Variant(u"selectionlanguage")}), Variant(u"XPath"));
}

}  // namespace
}  // namespace telvinor::xmldom
