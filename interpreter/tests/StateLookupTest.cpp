// Looking states up in the state document by exact equality of their ID attribute.

#include <gtest/gtest.h>

#include "StateLookup.h"
#include "automation/Utf.h"

namespace telvinor::interpreter {
namespace {

using automation::ToUtf8;

xmldom::Ref<xmldom::DomDocument> Parse(std::u16string_view xml) {
  auto document = xmldom::DomDocument::Create();
  EXPECT_TRUE(document->LoadXml(xml)) << ToUtf8(xml);
  return document;
}

// The Name attribute of the element found, or "none".
std::string Found(xmldom::DomDocument& document, std::u16string_view id) {
  auto node = FindState(document, id);
  if (!node) return "none";
  return ToUtf8(node->GetAttribute(u"Name").value_or(u"?"));
}

TEST(StateLookup, FindsTheFirstMatchInDocumentOrderByExactEquality) {
  auto doc = Parse(
      u"<?xml version=\"1.0\"?><!-- states --><Workflow>"
      u"<Group><State ID=\"Idle\" Name=\"nested first\"/></Group>"
      u"<State ID=\"Idle\" Name=\"second\"/>"
      u"<State ID=\"idle\" Name=\"lower case\"/>"
      u"<State ID=\" Idle\" Name=\"blank\"/>"
      u"<State ID=\"x' or '1'='1\" Name=\"apostrophes\"/>"
      u"<State ID=\"a]b\" Name=\"bracket\"/>"
      u"<State ID=\"\" Name=\"empty\"/>"
      u"<State id=\"Lower\" Name=\"attribute name in lower case\"/>"
      u"<Note>ID</Note></Workflow>");
  EXPECT_EQ(Found(*doc, u"Idle"), "nested first");
  EXPECT_EQ(Found(*doc, u"idle"), "lower case");
  EXPECT_EQ(Found(*doc, u" Idle"), "blank");
  EXPECT_EQ(Found(*doc, u"x' or '1'='1"), "apostrophes");
  EXPECT_EQ(Found(*doc, u"a]b"), "bracket");
  EXPECT_EQ(Found(*doc, u""), "empty");
  EXPECT_EQ(Found(*doc, u"Lower"), "none");
  EXPECT_EQ(Found(*doc, u"ID"), "none");
  EXPECT_EQ(Found(*doc, u"Busy"), "none");
}

TEST(StateLookup, RootItselfAndEmptyDocuments) {
  auto doc = Parse(u"<State ID=\"Root\" Name=\"root\"><State ID=\"Root\" Name=\"child\"/></State>");
  EXPECT_EQ(Found(*doc, u"Root"), "root");
  auto empty = xmldom::DomDocument::Create();
  EXPECT_EQ(Found(*empty, u"Root"), "none");
}

// A document nested far deeper than any stack could follow by recursion.
TEST(StateLookup, DeepDocumentIsWalkedWithoutRecursion) {
  constexpr int kDepth = 200000;
  std::u16string xml;
  for (int i = 0; i < kDepth; ++i) xml += u"<a>";
  xml += u"<State ID=\"deep\" Name=\"bottom\"/>";
  for (int i = 0; i < kDepth; ++i) xml += u"</a>";
  auto doc = xmldom::DomDocument::Create();
  ASSERT_TRUE(doc->LoadXml(xml));
  EXPECT_EQ(Found(*doc, u"deep"), "bottom");
  EXPECT_EQ(Found(*doc, u"missing"), "none");
}

}  // namespace
}  // namespace telvinor::interpreter
