// The tree through the C++ API: attributes, navigation, XPath selection, node identity, and
// nodes that leave the tree and come back.

#include <gtest/gtest.h>

#include "DomTestSupport.h"
#include "automation/AutomationError.h"
#include "xmldom/DomDocument.h"
#include "xmldom/DomErrors.h"
#include "xmldom/DomNamedNodeMap.h"
#include "xmldom/DomNodeList.h"

namespace telvinor::xmldom {
namespace {

using testing::U;

Ref<DomDocument> Parse(std::u16string_view text) {
  auto doc = DomDocument::Create();
  EXPECT_TRUE(doc->LoadXml(text)) << automation::ToUtf8(doc->LastParseError().reason);
  return doc;
}

// The description of the DOM error the call raises, or "" when it raises none.
template <class F>
std::u16string ErrorOf(F&& call) {
  try {
    call();
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.Source(), kDomErrorSource);
    return e.Description();
  }
  return {};
}

TEST(DomTree, AttributesInDocumentOrderByIndexAndName) {
  auto doc = Parse(u"<MSG EVT=\"Ring\" Caller=\"100\" Called=\"200\"/>");
  auto attributes = doc->DocumentElement()->Attributes();
  ASSERT_EQ(attributes->Length(), 3);
  EXPECT_EQ(attributes->Item(0)->NodeName(), u"EVT");
  EXPECT_EQ(attributes->Item(0)->NodeValue(), u"Ring");
  EXPECT_EQ(attributes->Item(2)->NodeName(), u"Called");
  EXPECT_EQ(attributes->Item(3), nullptr);
  EXPECT_EQ(attributes->Item(-1), nullptr);
  EXPECT_EQ(attributes->GetNamedItem(u"Caller")->NodeValue(), u"100");
  EXPECT_EQ(attributes->GetNamedItem(u"caller"), nullptr);  // names are case-sensitive

  // setNamedItem adds a new name at the end and replaces an existing one in its place.
  auto type = doc->CreateAttribute(u"Type");
  type->SetNodeValue(u"Play");
  EXPECT_EQ(attributes->SetNamedItem(*type), type);
  auto caller = doc->CreateAttribute(u"Caller");
  caller->SetNodeValue(u"300");
  auto old = attributes->GetNamedItem(u"Caller");
  attributes->SetNamedItem(*caller);
  EXPECT_EQ(doc->DocumentElement()->Xml(),
            u"<MSG EVT=\"Ring\" Caller=\"300\" Called=\"200\" Type=\"Play\"/>");
  // The replaced attribute is out of the element but keeps its name and value.
  EXPECT_EQ(old->NodeValue(), u"100");
  EXPECT_EQ(attributes->GetNamedItem(u"Caller"), caller);

  // nodeValue writes through to the element.
  type->SetNodeValue(u"Record");
  EXPECT_EQ(doc->DocumentElement()->GetAttribute(u"Type"), u"Record");
  EXPECT_EQ(attributes->RemoveNamedItem(u"EVT")->NodeValue(), u"Ring");
  EXPECT_EQ(attributes->RemoveNamedItem(u"EVT"), nullptr);
  EXPECT_EQ(attributes->Item(0), caller);
  EXPECT_EQ(doc->DocumentElement()->GetAttribute(u"EVT"), std::nullopt);
}

TEST(DomTree, AttributeOwnershipRules) {
  auto doc = Parse(u"<r><a x=\"1\"/><b/></r>");
  auto a = doc->SelectSingleNode(u"//a");
  auto b = doc->SelectSingleNode(u"//b");
  auto x = a->GetAttributeNode(u"x");
  // An attribute in use elsewhere must be removed or cloned first.
  EXPECT_FALSE(ErrorOf([&] { b->SetAttributeNode(*x); }).empty());
  b->SetAttributeNode(*x->CloneNode(CloneDepth::Deep));
  a->RemoveAttributeNode(*x);
  EXPECT_EQ(a->Attributes()->Length(), 0);
  b->SetAttributeNode(*x);  // now free, so it moves; setting it twice changes nothing
  EXPECT_EQ(b->SetAttributeNode(*x), nullptr);
  EXPECT_EQ(doc->Xml(), u"<r><a/><b x=\"1\"/></r>\r\n");
  EXPECT_EQ(b->GetAttributeNode(u"x"), x);
  EXPECT_FALSE(ErrorOf([&] { a->SetAttribute(u"1st", u"v"); }).empty());
  EXPECT_FALSE(ErrorOf([&] { (void)doc->CreateAttribute(u"a b"); }).empty());
  EXPECT_FALSE(ErrorOf([&] { doc->CreateTextNode(u"t")->SetAttribute(u"a", u"v"); }).empty());
}

TEST(DomTree, NavigationParentsAndChildren) {
  auto doc = Parse(u"<r><a>t<!--c--></a><b/></r>");
  auto r = doc->DocumentElement();
  auto a = r->FirstChild();
  EXPECT_EQ(a->NodeName(), u"a");
  EXPECT_EQ(a->ParentNode(), r);
  EXPECT_EQ(r->ParentNode().get(), doc.get());
  EXPECT_EQ(doc->ParentNode(), nullptr);
  EXPECT_EQ(a->NextSibling(), r->LastChild());
  EXPECT_EQ(r->LastChild()->PreviousSibling(), a);
  EXPECT_EQ(a->PreviousSibling(), nullptr);
  EXPECT_TRUE(a->HasChildNodes());
  EXPECT_FALSE(r->LastChild()->HasChildNodes());
  EXPECT_EQ(a->FirstChild()->NodeType(), DomNodeType::Text);
  EXPECT_EQ(a->LastChild()->NodeName(), u"#comment");
  EXPECT_EQ(a->OwnerDocument(), doc);
  EXPECT_EQ(doc->OwnerDocument(), nullptr);
  auto x = doc->CreateAttribute(u"x");
  EXPECT_EQ(x->ParentNode(), nullptr);
  EXPECT_FALSE(x->HasChildNodes());
  EXPECT_EQ(x->ChildNodes()->Length(), 0);
  EXPECT_EQ(doc->CreateTextNode(u"t")->Attributes(), nullptr);
}

TEST(DomTree, SelectSingleNodeGivesTheFirstMatchInDocumentOrder) {
  auto doc = Parse(
      u"<Flow><Service ID=\"0\"><Voice ID=\"17\" Name=\"inner\"/></Service>"
      u"<Voice ID=\"17\" Name=\"second\"/><Voice ID=\"18\" Type=\"Play\" "
      u"类型=\"数值变量\"/></Flow>");
  auto found = doc->SelectSingleNode(u"//*[@ID=\"17\"]");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->GetAttribute(u"Name"), u"inner");
  EXPECT_EQ(doc->SelectSingleNode(u"//*[@ID=\"99\"]"), nullptr);
  EXPECT_EQ(doc->SelectNodes(u"//*[@ID=\"17\"]")->Length(), 2);
  EXPECT_EQ(doc->SelectNodes(u"//*[@ID=\"17\"]")->Item(1)->GetAttribute(u"Name"), u"second");

  auto voice = doc->SelectSingleNode(u"/Flow/Voice[@ID='18']");
  EXPECT_EQ(voice->SelectSingleNode(u"./@Type")->NodeValue(), u"Play");
  EXPECT_EQ(voice->SelectSingleNode(u"./@类型")->NodeValue(), u"数值变量");
  EXPECT_EQ(voice->SelectSingleNode(u"./@类型"), voice->GetAttributeNode(u"类型"));
  EXPECT_EQ(found->SelectSingleNode(u"./@Type"), nullptr);
  EXPECT_EQ(found->SelectSingleNode(u".."), doc->DocumentElement()->FirstChild());
  EXPECT_EQ(found->SelectSingleNode(u"/").get(), doc.get());

  // A quote inside the id breaks the expression: an error with a description.
  std::u16string error = ErrorOf([&] { (void)doc->SelectSingleNode(u"//*[@ID=\"1\"7\"]"); });
  EXPECT_NE(error.find(u"Invalid XPath expression"), std::u16string::npos)
      << automation::ToUtf8(error);
  EXPECT_FALSE(ErrorOf([&] { (void)doc->SelectNodes(u"count(//*)"); }).empty());
  EXPECT_FALSE(ErrorOf([&] { (void)doc->SelectNodes(u""); }).empty());
}

TEST(DomTree, TheSameNodeIsTheSameObject) {
  auto doc = Parse(u"<r><a x=\"1\"/></r>");
  auto viaChild = doc->DocumentElement()->FirstChild();
  auto viaXPath = doc->SelectSingleNode(u"//a");
  auto viaList = doc->GetElementsByTagName(u"a")->Item(0);
  EXPECT_EQ(viaChild.get(), viaXPath.get());
  EXPECT_EQ(viaChild.get(), viaList.get());
  EXPECT_EQ(viaChild->GetAttributeNode(u"x").get(), doc->SelectSingleNode(u"//@x").get());
  EXPECT_EQ(doc->DocumentElement()->ParentNode().get(), doc.get());
  // Once released, a node gets a fresh object, still for the same node.
  DomNode* before = viaChild.get();
  viaChild = viaXPath = viaList = nullptr;
  EXPECT_EQ(doc->SelectSingleNode(u"//a")->GetAttribute(u"x"), u"1");
  (void)before;
}

TEST(DomTree, NodesKeepTheirDocumentAlive) {
  Ref<DomNode> a;
  {
    auto doc = Parse(u"<r><a>text</a></r>");
    a = doc->SelectSingleNode(u"//a");
  }
  EXPECT_EQ(a->Text(), u"text");
  EXPECT_EQ(a->OwnerDocument()->DocumentElement()->NodeName(), u"r");
}

TEST(DomTree, RemovedNodesStayUsableAndCanBeInsertedAgain) {
  auto doc = Parse(u"<r><a k=\"v\"><b>one</b><c/></a><d/></r>");
  auto r = doc->DocumentElement();
  auto a = doc->SelectSingleNode(u"//a");
  auto b = doc->SelectSingleNode(u"//b");
  auto k = a->GetAttributeNode(u"k");
  EXPECT_EQ(r->RemoveChild(*a), a);
  EXPECT_EQ(doc->Xml(), u"<r><d/></r>\r\n");
  EXPECT_EQ(a->ParentNode(), nullptr);
  EXPECT_EQ(a->NextSibling(), nullptr);
  EXPECT_EQ(b->ParentNode(), a);
  EXPECT_EQ(k->NodeValue(), u"v");
  EXPECT_EQ(a->Xml(), u"<a k=\"v\"><b>one</b><c/></a>");
  EXPECT_EQ(doc->SelectSingleNode(u"//b"), nullptr);
  // The removed subtree is searched on its own, not with other nodes outside the tree.
  auto other = doc->CreateElement(u"b");
  EXPECT_EQ(a->SelectNodes(u"//b")->Length(), 1);
  EXPECT_EQ(a->SelectSingleNode(u"//b"), b);
  EXPECT_EQ(other->SelectSingleNode(u"//c"), nullptr);
  EXPECT_FALSE(ErrorOf([&] { r->RemoveChild(*a); }).empty());

  // Back in, before d; the same objects all along.
  r->InsertBefore(*a, r->FirstChild().get());
  EXPECT_EQ(doc->Xml(), u"<r><a k=\"v\"><b>one</b><c/></a><d/></r>\r\n");
  EXPECT_EQ(doc->SelectSingleNode(u"//b"), b);
  EXPECT_EQ(doc->SelectSingleNode(u"//@k"), k);
  EXPECT_EQ(a->ParentNode(), r);

  // Moving within the tree, and replacing.
  r->AppendChild(*b);
  EXPECT_EQ(doc->Xml(), u"<r><a k=\"v\"><c/></a><d/><b>one</b></r>\r\n");
  auto d = r->ChildNodes()->Item(1);
  EXPECT_EQ(r->ReplaceChild(*doc->CreateElement(u"e"), *d), d);
  EXPECT_EQ(doc->Xml(), u"<r><a k=\"v\"><c/></a><e/><b>one</b></r>\r\n");
  r->AppendChild(*d);
  // Setting an element's text takes its children out; those still held remain usable.
  a->SetText(u"plain");
  EXPECT_EQ(a->Xml(), u"<a k=\"v\">plain</a>");
  EXPECT_EQ(r->LastChild(), d);
}

TEST(DomTree, OldNodesSurviveAReload) {
  auto doc = Parse(u"<?xml version=\"1.0\"?><old><kept/></old>");
  auto old = doc->DocumentElement();
  auto kept = old->FirstChild();
  ASSERT_TRUE(doc->LoadXml(u"<new/>"));
  EXPECT_EQ(old->NodeName(), u"old");
  EXPECT_EQ(kept->ParentNode(), old);
  EXPECT_EQ(old->ParentNode(), nullptr);
  EXPECT_EQ(old->PreviousSibling(), nullptr);
  EXPECT_EQ(doc->DocumentElement()->NodeName(), u"new");
  // And can join the new content.
  doc->DocumentElement()->AppendChild(*kept);
  EXPECT_EQ(doc->Xml(), u"<new><kept/></new>\r\n");
  EXPECT_EQ(old->Xml(), u"<old/>");
}

TEST(DomTree, NodesMoveBetweenDocuments) {
  auto from = Parse(u"<a><b x=\"1\"><c/></b></a>");
  auto to = Parse(u"<z/>");
  auto b = from->SelectSingleNode(u"//b");
  auto c = from->SelectSingleNode(u"//c");
  to->DocumentElement()->AppendChild(*b);
  EXPECT_EQ(from->Xml(), u"<a/>\r\n");
  EXPECT_EQ(to->Xml(), u"<z><b x=\"1\"><c/></b></z>\r\n");
  EXPECT_EQ(b->OwnerDocument(), to);
  EXPECT_EQ(c->OwnerDocument(), to);
  EXPECT_EQ(to->SelectSingleNode(u"//c"), c);
  from = nullptr;  // the source may go while its former nodes live on
  EXPECT_EQ(c->ParentNode(), b);
}

TEST(DomTree, InsertionsThatWouldBreakTheDocumentAreRefused) {
  auto doc = Parse(u"<?xml version=\"1.0\"?><r><a><b/></a></r>");
  auto r = doc->DocumentElement();
  auto a = r->FirstChild();
  auto b = a->FirstChild();
  struct Case {
    const char* name;
    std::function<void()> call;
  };
  const Case cases[] = {
      {"second root", [&] { doc->AppendChild(*doc->CreateElement(u"x")); }},
      {"text in the document", [&] { doc->AppendChild(*doc->CreateTextNode(u"t")); }},
      {"node into itself", [&] { a->AppendChild(*a); }},
      {"ancestor into descendant", [&] { b->AppendChild(*r); }},
      {"attribute as a child", [&] { a->AppendChild(*doc->CreateAttribute(u"x")); }},
      {"document as a child", [&] { a->AppendChild(*DomDocument::Create()); }},
      {"child of a text node",
       [&] { doc->CreateTextNode(u"t")->AppendChild(*doc->CreateElement(u"x")); }},
      {"before a node that is not a child",
       [&] { r->InsertBefore(*doc->CreateElement(u"x"), b.get()); }},
      {"before the declaration",
       [&] { doc->InsertBefore(*doc->CreateComment(u"c"), doc->FirstChild().get()); }},
      {"declaration not first",
       [&] { doc->AppendChild(*doc->CreateProcessingInstruction(u"xml", u"version=\"1.0\"")); }},
      {"declaration in an element",
       [&] { a->AppendChild(*doc->CreateProcessingInstruction(u"xml", u"version=\"1.0\"")); }},
      {"remove a grandchild", [&] { r->RemoveChild(*b); }},
      {"replace a non-child", [&] { r->ReplaceChild(*doc->CreateElement(u"x"), *b); }},
      {"bad element name", [&] { (void)doc->CreateElement(u"<x>"); }},
      {"bad declaration data", [&] { (void)doc->CreateProcessingInstruction(u"xml", u"version"); }},
      {"element nodeValue", [&] { a->SetNodeValue(u"v"); }},
  };
  std::u16string before = doc->Xml();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(ErrorOf(c.call).empty());
  }
  EXPECT_EQ(doc->Xml(), before);
  // Replacing the root, and the declaration, are fine.
  doc->ReplaceChild(*doc->CreateElement(u"s"), *r);
  doc->ReplaceChild(*doc->CreateProcessingInstruction(u"xml", u"version=\"1.0\" encoding=\"GBK\""),
                    *doc->FirstChild());
  EXPECT_EQ(doc->Xml(), u"<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<s/>\r\n");
}

TEST(DomTree, BuildingADocumentFromNothing) {
  auto doc = DomDocument::Create();
  auto root = doc->CreateElement(u"Msg");
  doc->SetDocumentElement(*root);
  doc->InsertBefore(*doc->CreateProcessingInstruction(u"xml", u"version='1.0' encoding='GBK'"),
                    root.get());
  root->SetAttribute(u"EVT", u"a<b&\"c\"");
  root->AppendChild(*doc->CreateTextNode(u"1 < 2"));
  root->AppendChild(*doc->CreateCDataSection(u"x]]>y"));
  root->AppendChild(*doc->CreateComment(u"note"));
  root->AppendChild(*doc->CreateProcessingInstruction(u"app", u"run"));
  EXPECT_EQ(doc->Xml(),
            u"<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n"
            u"<Msg EVT=\"a&lt;b&amp;&quot;c&quot;\">1 &lt; "
            u"2<![CDATA[x]]]]><![CDATA[>y]]><!--note--><?app run?></Msg>\r\n");
  EXPECT_EQ(root->GetAttributeNode(u"EVT")->Xml(), u"EVT=\"a&lt;b&amp;&quot;c&quot;\"");
  auto reread = Parse(doc->Xml());
  EXPECT_EQ(reread->DocumentElement()->GetAttribute(u"EVT"), u"a<b&\"c\"");
  EXPECT_EQ(reread->DocumentElement()->Text(), u"1 < 2x]]>y");
  EXPECT_EQ(reread->SaveToBytes().substr(0, 38), "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n");
}

TEST(DomTree, NamesPrefixesAndNamespaces) {
  auto doc = Parse(
      u"<f:Flow xmlns:f=\"urn:flow\" xmlns=\"urn:default\" xml:lang=\"zh\"><Voice f:Type=\"Play\" "
      u"Name=\"n\"/></f:Flow>");
  auto flow = doc->DocumentElement();
  EXPECT_EQ(flow->Prefix(), u"f");
  EXPECT_EQ(flow->BaseName(), u"Flow");
  EXPECT_EQ(flow->NamespaceUri(), u"urn:flow");
  auto voice = flow->FirstChild();
  EXPECT_EQ(voice->Prefix(), u"");
  EXPECT_EQ(voice->NamespaceUri(), u"urn:default");
  EXPECT_EQ(voice->GetAttributeNode(u"f:Type")->NamespaceUri(), u"urn:flow");
  EXPECT_EQ(voice->GetAttributeNode(u"f:Type")->BaseName(), u"Type");
  EXPECT_EQ(voice->GetAttributeNode(u"Name")->NamespaceUri(), u"");
  EXPECT_EQ(flow->GetAttributeNode(u"xml:lang")->NamespaceUri(),
            u"http://www.w3.org/XML/1998/namespace");
  EXPECT_EQ(flow->GetAttributeNode(u"xmlns:f")->NamespaceUri(), u"http://www.w3.org/2000/xmlns/");
  EXPECT_EQ(voice->FirstChild(), nullptr);
  EXPECT_EQ(doc->NodeName(), u"#document");
  EXPECT_EQ(doc->NodeTypeString(), u"document");
  EXPECT_EQ(doc->CreateTextNode(u"t")->BaseName(), u"");
}

TEST(DomTree, CloningCopiesOutsideTheTree) {
  auto doc = Parse(u"<r><a k=\"v\"><b/></a></r>");
  auto a = doc->SelectSingleNode(u"//a");
  auto deep = a->CloneNode(CloneDepth::Deep);
  auto shallow = a->CloneNode(CloneDepth::Shallow);
  EXPECT_EQ(deep->Xml(), u"<a k=\"v\"><b/></a>");
  EXPECT_EQ(shallow->Xml(), u"<a k=\"v\"/>");
  EXPECT_EQ(deep->ParentNode(), nullptr);
  EXPECT_NE(deep, a);
  auto copy = doc->CloneNode(CloneDepth::Deep);
  ASSERT_EQ(copy->NodeType(), DomNodeType::Document);
  EXPECT_EQ(copy->Xml(), doc->Xml());
  EXPECT_NE(copy->OwnerDocument(), doc);
  doc->DocumentElement()->AppendChild(*deep);
  EXPECT_EQ(doc->Xml(), u"<r><a k=\"v\"><b/></a><a k=\"v\"><b/></a></r>\r\n");
  EXPECT_EQ(copy->SelectNodes(u"//a")->Length(), 1);
}

TEST(DomTree, HeldFreeNodesSurviveTheSweepOfDroppedOnes) {
  auto doc = Parse(u"<r/>");
  auto kept = doc->CreateElement(u"kept");
  kept->AppendChild(*doc->CreateTextNode(u"inside"));
  auto keptAttribute = doc->CreateAttribute(u"a");
  keptAttribute->SetNodeValue(u"v");
  auto removed = doc->DocumentElement()->AppendChild(*doc->CreateElement(u"gone"));
  doc->DocumentElement()->RemoveChild(*removed);
  auto child = kept->FirstChild();
  // Many nodes made and dropped: the free tree is swept many times meanwhile.
  for (int i = 0; i < 20000; ++i) {
    auto dropped = doc->CreateElement(u"x");
    dropped->AppendChild(*doc->CreateElement(u"y"));
    dropped->SetAttributeNode(*doc->CreateAttribute(u"tmp"));
    if (i % 1000 == 0) (void)doc->LoadXml(u"<r/>");
  }
  EXPECT_EQ(kept->Xml(), u"<kept>inside</kept>");
  EXPECT_EQ(child->ParentNode(), kept);
  EXPECT_EQ(keptAttribute->NodeValue(), u"v");
  EXPECT_EQ(removed->NodeName(), u"gone");
  doc->DocumentElement()->AppendChild(*kept);
  doc->DocumentElement()->SetAttributeNode(*keptAttribute);
  EXPECT_EQ(doc->Xml(), u"<r a=\"v\"><kept>inside</kept></r>\r\n");
}

TEST(DomTree, ChildListsAreLive) {
  auto doc = Parse(u"<r><a/><b/><c/></r>");
  auto r = doc->DocumentElement();
  auto children = r->ChildNodes();
  EXPECT_EQ(children->Length(), 3);
  EXPECT_EQ(children->Item(1)->NodeName(), u"b");
  r->RemoveChild(*children->Item(0));
  EXPECT_EQ(children->Length(), 2);
  EXPECT_EQ(children->Item(1)->NodeName(), u"c");
  EXPECT_EQ(children->Item(0)->NodeName(), u"b");
  r->AppendChild(*doc->CreateElement(u"d"));
  EXPECT_EQ(children->Item(2)->NodeName(), u"d");
  EXPECT_EQ(children->NextNode()->NodeName(), u"b");
  EXPECT_EQ(children->NextNode()->NodeName(), u"c");
  children->Reset();
  EXPECT_EQ(children->NextNode()->NodeName(), u"b");
  // Selections are fixed when made.
  auto selected = doc->SelectNodes(u"/r/*");
  r->RemoveChild(*r->FirstChild());
  EXPECT_EQ(selected->Length(), 3);
  EXPECT_EQ(selected->Item(0)->ParentNode(), nullptr);
}

}  // namespace
}  // namespace telvinor::xmldom
