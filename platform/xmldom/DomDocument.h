#pragma once
// DomDocument: an XML document, the DOM's root object. Scripts create it by ProgID
// ("MSXML2.DOMDocument" and its aliases, once RegisterDomClasses() has run); C++ callers with
// DomDocument::Create().
//
//   Ref<DomDocument> doc = DomDocument::Create();
//   if (doc->Load(u"/srv/agent/State.xml")) {
//     Ref<DomNode> state = doc->SelectSingleNode(u"//*[@ID=\"17\"]");
//   } else {
//     Trace(doc->LastParseError().reason);
//   }
//
// Loading never raises: it returns true when the source was read and is a well-formed
// document, else false with the parse error filled in, and the previous content is gone
// either way. Files are read in the encoding their byte-order mark or declaration names
// (XmlEncoding.h); loadXML takes the text as it is. The document is built with comments,
// processing instructions and the declaration as nodes, so the declaration in front of the
// root element is the document's first child. Entities declared in a document type are not
// expanded: a reference to one fails the load (which also makes entity-expansion bombs
// harmless). Saving writes the encoding the declaration names (UTF-8 without one).

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/Variant.h"
#include "xmldom/DomErrors.h"
#include "xmldom/DomNode.h"
#include "xmldom/DomParseError.h"

namespace telvinor::xmldom {

class DomDocument final : public DomNode {
 public:
  [[nodiscard]] static Ref<DomDocument> Create();

  // A path, or a file: URL ("file:///srv/a.xml").
  bool Load(std::u16string_view pathOrUrl);
  bool LoadFile(const std::filesystem::path& path);
  // The bytes of a document file.
  bool LoadBytes(std::span<const std::uint8_t> bytes);
  bool LoadXml(std::u16string_view text);

  // The document as file bytes in its declared encoding; throws for an encoding the system
  // does not have.
  [[nodiscard]] std::string SaveToBytes() const;
  // Writes SaveToBytes() to a path or file: URL; throws when the file cannot be written.
  void Save(std::u16string_view pathOrUrl) const;

  [[nodiscard]] const ParseErrorInfo& LastParseError() const noexcept { return lastError_; }
  [[nodiscard]] Ref<DomParseError> ParseError() const;

  [[nodiscard]] Ref<DomNode> DocumentElement() const;
  void SetDocumentElement(DomNode& element);

  // New nodes belong to this document and stand outside its tree until inserted. Names must
  // be XML names; a processing instruction with the target "xml" is a declaration.
  [[nodiscard]] Ref<DomNode> CreateElement(std::u16string_view name);
  [[nodiscard]] Ref<DomNode> CreateAttribute(std::u16string_view name);
  [[nodiscard]] Ref<DomNode> CreateTextNode(std::u16string_view data);
  [[nodiscard]] Ref<DomNode> CreateComment(std::u16string_view data);
  [[nodiscard]] Ref<DomNode> CreateCDataSection(std::u16string_view data);
  [[nodiscard]] Ref<DomNode> CreateProcessingInstruction(std::u16string_view target,
                                                         std::u16string_view data);
  // Element, Attribute, Text, CDataSection, ProcessingInstruction or Comment.
  [[nodiscard]] Ref<DomNode> CreateNode(DomNodeType type, std::u16string_view name);

  // Settings scripts commonly set. Loading is always synchronous, so async only records the
  // value; white space only text is dropped unless PreserveWhiteSpace is set before loading.
  [[nodiscard]] bool Async() const noexcept { return async_; }
  void SetAsync(bool value) noexcept { async_ = value; }
  [[nodiscard]] bool PreserveWhiteSpace() const noexcept { return preserveWhiteSpace_; }
  void SetPreserveWhiteSpace(bool value) noexcept { preserveWhiteSpace_ = value; }
  [[nodiscard]] bool ValidateOnParse() const noexcept { return validateOnParse_; }
  void SetValidateOnParse(bool value) noexcept { validateOnParse_ = value; }
  [[nodiscard]] bool ResolveExternals() const noexcept { return resolveExternals_; }
  void SetResolveExternals(bool value) noexcept { resolveExternals_ = value; }
  [[nodiscard]] const std::u16string& Url() const noexcept { return url_; }
  // Named properties (SelectionLanguage, SelectionNamespaces, ...): recorded and given back;
  // selections always use XPath 1.0.
  void SetProperty(std::u16string_view name, const automation::Variant& value);
  [[nodiscard]] automation::Variant GetProperty(std::u16string_view name) const;

  [[nodiscard]] const automation::ClassInfo* Info() const noexcept override;
  [[nodiscard]] static const automation::ClassInfo& Class();

  [[nodiscard]] DomStore& Store() const noexcept { return *store_; }

 private:
  friend class DomNode;
  DomDocument();
  ~DomDocument() override;

  bool ReadFile(const std::filesystem::path& path);
  bool ParseBytes(std::span<const std::uint8_t> bytes);
  bool ParseText(std::string_view utf8);
  bool LoadSource(const automation::Variant& source);
  bool FailAt(ParseFault fault, std::u16string_view detail, std::string_view text,
              std::size_t offset);
  bool FailSource(ParseFault fault);
  [[nodiscard]] Ref<DomNode> CloneDocument(CloneDepth depth) const;

  std::unique_ptr<DomStore> store_;
  ParseErrorInfo lastError_;
  std::u16string url_;
  bool async_ = true;
  bool preserveWhiteSpace_ = false;
  bool validateOnParse_ = true;
  bool resolveExternals_ = false;
  std::vector<std::pair<std::u16string, automation::Variant>> properties_;
};

// The ProgIDs scripts create documents by, all of the one class.
inline constexpr std::u16string_view kDomDocumentProgIds[] = {
    u"MSXML2.DOMDocument", u"MSXML2.DOMDocument.3.0", u"Microsoft.XMLDOM", u"MSXML.DOMDocument"};
inline constexpr std::string_view kDomDocumentClassId = "{2933bf90-7b36-11d2-b20e-00c04f983e60}";

// Makes the document creatable by those ProgIDs in this process (CreateObject).
void RegisterDomClasses();

}  // namespace telvinor::xmldom
