// libFuzzer target of the XML DOM: any bytes, as a document file and as loadXML text.
//
// A load either succeeds or fails with the parse error filled in; a document that loads
// writes out text that loads again to the same text; selection and navigation over whatever
// loaded stay within bounds. Build with -DTELVINOR_XMLDOM_FUZZ=ON and clang (docs/xmldom.md).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "xmldom/DomDocument.h"
#include "xmldom/DomNamedNodeMap.h"
#include "xmldom/DomNodeList.h"

namespace {

using telvinor::xmldom::DomDocument;
using telvinor::xmldom::DomNode;

void Check(bool condition) {
  if (!condition) std::abort();
}

void Exercise(DomDocument& doc, bool loaded) {
  const auto& error = doc.LastParseError();
  if (!loaded) {
    Check(error.errorCode != 0 && !error.reason.empty() && doc.DocumentElement() == nullptr);
    return;
  }
  Check(error.errorCode == 0);
  std::u16string text = doc.Xml();
  auto again = DomDocument::Create();
  Check(again->LoadXml(text));
  Check(again->Xml() == text);
  // Walk every node once, touching what scripts read.
  auto all = doc.SelectNodes(u"//node() | //@*");
  for (std::int32_t i = 0; i < all->Length(); ++i) {
    auto node = all->Item(i);
    (void)node->NodeName();
    (void)node->BaseName();
    (void)node->NamespaceUri();
    (void)node->Text();
    if (auto attributes = node->Attributes()) (void)attributes->Item(0);
    (void)node->ParentNode();
  }
  // And take the tree apart and put it back.
  if (auto root = doc.DocumentElement()) {
    auto next = root->NextSibling();
    doc.RemoveChild(*root);
    doc.InsertBefore(*root, next.get());
    Check(doc.Xml() == text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto doc = DomDocument::Create();
  Exercise(*doc, doc->LoadBytes({data, size}));
  std::u16string text(size / 2, u'\0');
  if (!text.empty()) std::memcpy(text.data(), data, text.size() * 2);
  Exercise(*doc, doc->LoadXml(text));
  return 0;
}
