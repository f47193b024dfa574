#include "xmldom/DomDocument.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>
#include <new>

#include "automation/ClassRegistry.h"
#include "automation/Utf.h"
#include "xmldom/DomMembers.h"
#include "xmldom/DomParser.h"
#include "xmldom/DomStore.h"
#include "xmldom/XmlEncoding.h"

namespace telvinor::xmldom {
namespace {

using automation::FromUtf8;
using automation::ToUtf8;
using automation::Variant;

// Larger files are refused before they are read: a state document or a message is a few
// kilobytes, and a parsed tree needs several times the size of its file.
constexpr std::uintmax_t kMaxDocumentBytes = 256u << 20;

constexpr std::int32_t kReadyStateCompleted = 4;

// createNode's type: a node type number, or its nodeTypeString ("element", "comment", ...).
DomNodeType NodeTypeArg(const Variant& value) {
  static constexpr std::pair<std::u16string_view, DomNodeType> kNames[] = {
      {u"element", DomNodeType::Element},
      {u"attribute", DomNodeType::Attribute},
      {u"text", DomNodeType::Text},
      {u"cdatasection", DomNodeType::CDataSection},
      {u"processinginstruction", DomNodeType::ProcessingInstruction},
      {u"comment", DomNodeType::Comment},
  };
  if (value.IsString()) {
    for (const auto& [name, type] : kNames) {
      if (automation::EqualsIgnoringCase(name, value.AsString())) return type;
    }
    automation::ThrowError(automation::errc::kInvalidProcedureCall);
  }
  return static_cast<DomNodeType>(automation::ToLong(value));
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The file a load or save source names: a path, or a file: URL (RFC 8089) on this machine.
// Other URLs are not fetched.
std::optional<std::filesystem::path> PathOf(std::u16string_view source) {
  std::string text = ToUtf8(source);
  std::size_t colon = text.find(':');
  bool hasScheme = colon != std::string::npos && colon >= 2 &&
                   std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(colon),
                               [](unsigned char c) {
                                 return std::isalnum(c) || c == '+' || c == '-' || c == '.';
                               });
  if (!hasScheme) return std::filesystem::path(text);
  if (!automation::EqualsIgnoringCase(source.substr(0, 5), u"file:")) return std::nullopt;
  std::string_view rest = std::string_view(text).substr(5);
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    std::size_t slash = rest.find('/');
    std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !automation::EqualsIgnoringCase(FromUtf8(host), u"localhost"))
      return std::nullopt;
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
  }
  return std::filesystem::path(PercentDecoded(rest));
}

[[noreturn]] void ThrowFileError(int error) {
  using namespace automation::errc;
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      automation::ThrowError(kPathNotFound);
    case EACCES:
    case EPERM:
    case EROFS:
      automation::ThrowError(kPermissionDenied);
    case ENOSPC:
      automation::ThrowError(61);  // Disk full
    default:
      automation::ThrowError(75);  // Path/File access error
  }
}

}  // namespace

DomDocument::DomDocument()
    : DomNode(nullptr, nullptr, nullptr), store_(std::make_unique<DomStore>(*this)) {
  node_ = store_->MainRoot().internal_object();
}

DomDocument::~DomDocument() = default;

Ref<DomDocument> DomDocument::Create() {
  return Ref<DomDocument>(new DomDocument());
}

bool DomDocument::Load(std::u16string_view pathOrUrl) {
  url_ = pathOrUrl;
  std::optional<std::filesystem::path> path = PathOf(pathOrUrl);
  if (!path) return FailSource(ParseFault::UnsupportedSource);
  return ReadFile(*path);
}

bool DomDocument::LoadFile(const std::filesystem::path& path) {
  url_ = FromUtf8(path.string());
  return ReadFile(path);
}

bool DomDocument::LoadBytes(std::span<const std::uint8_t> bytes) {
  url_.clear();
  return ParseBytes(bytes);
}

bool DomDocument::LoadXml(std::u16string_view text) {
  url_.clear();
  try {
    if (!text.empty() && text.front() == u'\uFEFF') text.remove_prefix(1);
    return ParseText(ToUtf8(text));
  } catch (const std::bad_alloc&) {
    return FailSource(ParseFault::OutOfMemory);
  }
}

bool DomDocument::ReadFile(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status)) return FailSource(ParseFault::FileNotFound);
  // Only regular files: a directory, a device or a pipe would fail or never end.
  if (!std::filesystem::is_regular_file(status)) return FailSource(ParseFault::ReadFailed);
  std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return FailSource(ParseFault::ReadFailed);
  if (size > kMaxDocumentBytes) return FailSource(ParseFault::TooLarge);
  try {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::ifstream in(path, std::ios::binary);
    if (!in ||
        !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
      return FailSource(ParseFault::ReadFailed);
    return ParseBytes(bytes);
  } catch (const std::bad_alloc&) {
    return FailSource(ParseFault::OutOfMemory);
  }
}

bool DomDocument::ParseBytes(std::span<const std::uint8_t> bytes) {
  try {
    DecodedXml decoded = DecodeXml(bytes);
    switch (decoded.problem) {
      case DecodeProblem::UnsupportedEncoding:
        return FailAt(ParseFault::UnsupportedEncoding, FromUtf8(decoded.encoding), {}, 0);
      case DecodeProblem::InvalidBytes:
        return FailAt(ParseFault::InvalidCharacter, {}, decoded.text, decoded.text.size());
      case DecodeProblem::None:
        break;
    }
    return ParseText(decoded.text);
  } catch (const std::bad_alloc&) {
    return FailSource(ParseFault::OutOfMemory);
  }
}

bool DomDocument::ParseText(std::string_view utf8) {
  auto tree = std::make_unique<pugi::xml_document>();
  ParseOutcome outcome =
      ParseXml(utf8, preserveWhiteSpace_ ? WhiteSpace::Preserve : WhiteSpace::Drop, *tree);
  if (outcome.fault != ParseFault::None)
    return FailAt(outcome.fault, outcome.detail, utf8, outcome.offset);
  store_->InstallMain(std::move(tree));
  lastError_ = ParseErrorInfo{};
  lastError_.url = url_;
  return true;
}

bool DomDocument::FailAt(ParseFault fault, std::u16string_view detail, std::string_view text,
                         std::size_t offset) {
  TextPosition at = PositionOf(text, offset);
  lastError_ =
      ParseErrorInfo{ParseFaultCode(fault), ParseFaultReason(fault, detail), at.line, at.column,
                     at.charOffset,         std::move(at.lineText),          url_};
  // A failed load leaves the document empty, as a successful one replaces its content.
  store_->InstallMain(std::make_unique<pugi::xml_document>());
  return false;
}

bool DomDocument::FailSource(ParseFault fault) {
  // The source could not be read at all: there is no line to point at.
  lastError_ = ParseErrorInfo{ParseFaultCode(fault), ParseFaultReason(fault), 0, 0, 0, {}, url_};
  store_->InstallMain(std::make_unique<pugi::xml_document>());
  return false;
}

std::string DomDocument::SaveToBytes() const {
  std::string text = ToUtf8(Xml());
  std::string label;
  pugi::xml_node first = store_->MainRoot().first_child();
  if (first.type() == pugi::node_declaration) label = first.attribute("encoding").value();
  std::optional<std::string> bytes = EncodeXml(text, label);
  if (!bytes) ThrowDomError(DomFault::UnsupportedEncoding, FromUtf8(label));
  return std::move(*bytes);
}

void DomDocument::Save(std::u16string_view pathOrUrl) const {
  std::optional<std::filesystem::path> path = PathOf(pathOrUrl);
  if (!path) ThrowDomError(DomFault::UnsupportedSource);
  std::string bytes = SaveToBytes();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path->c_str(), "wb"),
                                                       std::fclose);
  if (!file) ThrowFileError(errno);
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) ThrowFileError(errno);
  if (std::fclose(file.release()) != 0) ThrowFileError(errno);
}

Ref<DomParseError> DomDocument::ParseError() const {
  return Ref<DomParseError>(new DomParseError(lastError_));
}

Ref<DomNode> DomDocument::DocumentElement() const {
  for (pugi::xml_node child = store_->MainRoot().first_child(); child;
       child = child.next_sibling()) {
    if (child.type() == pugi::node_element) return store_->Wrap(child);
  }
  return {};
}

void DomDocument::SetDocumentElement(DomNode& element) {
  if (element.NodeType() != DomNodeType::Element)
    ThrowDomError(DomFault::WrongNodeType, element.NodeTypeString());
  if (Ref<DomNode> existing = DocumentElement()) {
    ReplaceChild(element, *existing);
  } else {
    AppendChild(element);
  }
}

Ref<DomNode> DomDocument::CreateElement(std::u16string_view name) {
  std::string key = CheckedName(name);
  pugi::xml_node node = store_->NewFreeNode(pugi::node_element);
  if (!node.set_name(key.c_str())) automation::ThrowError(automation::errc::kOutOfMemory);
  return store_->Wrap(node);
}

Ref<DomNode> DomDocument::CreateAttribute(std::u16string_view name) {
  std::string key = CheckedName(name);
  auto [attribute, holder] = store_->NewFreeAttribute(key.c_str());
  return store_->Wrap(attribute, holder);
}

namespace {

Ref<DomNode> NewValueNode(DomStore& store, pugi::xml_node_type type, std::u16string_view data) {
  pugi::xml_node node = store.NewFreeNode(type);
  if (!node.set_value(ToUtf8(data).c_str())) automation::ThrowError(automation::errc::kOutOfMemory);
  return store.Wrap(node);
}

}  // namespace

Ref<DomNode> DomDocument::CreateTextNode(std::u16string_view data) {
  return NewValueNode(*store_, pugi::node_pcdata, data);
}

Ref<DomNode> DomDocument::CreateComment(std::u16string_view data) {
  return NewValueNode(*store_, pugi::node_comment, data);
}

Ref<DomNode> DomDocument::CreateCDataSection(std::u16string_view data) {
  return NewValueNode(*store_, pugi::node_cdata, data);
}

Ref<DomNode> DomDocument::CreateProcessingInstruction(std::u16string_view target,
                                                      std::u16string_view data) {
  std::string name = CheckedName(target);
  if (name != "xml") {
    Ref<DomNode> node = NewValueNode(*store_, pugi::node_pi, data);
    if (!pugi::xml_node(node->node_).set_name(name.c_str()))
      automation::ThrowError(automation::errc::kOutOfMemory);
    return node;
  }
  // The declaration: scripts make one to give a document its encoding before saving it.
  auto pseudo = ParsePseudoAttributes(ToUtf8(data));
  if (!pseudo) ThrowDomError(DomFault::InvalidDeclaration);
  pugi::xml_node node = store_->NewFreeNode(pugi::node_declaration);
  for (const auto& [key, value] : *pseudo) {
    if (!node.append_attribute(key.c_str()).set_value(value.c_str()))
      automation::ThrowError(automation::errc::kOutOfMemory);
  }
  return store_->Wrap(node);
}

Ref<DomNode> DomDocument::CreateNode(DomNodeType type, std::u16string_view name) {
  switch (type) {
    case DomNodeType::Element:
      return CreateElement(name);
    case DomNodeType::Attribute:
      return CreateAttribute(name);
    case DomNodeType::Text:
      return CreateTextNode(u"");
    case DomNodeType::CDataSection:
      return CreateCDataSection(u"");
    case DomNodeType::ProcessingInstruction:
      return CreateProcessingInstruction(name, u"");
    case DomNodeType::Comment:
      return CreateComment(u"");
    default:
      automation::ThrowError(automation::errc::kInvalidProcedureCall);
  }
}

Ref<DomNode> DomDocument::CloneDocument(CloneDepth depth) const {
  Ref<DomDocument> copy = Create();
  copy->async_ = async_;
  copy->preserveWhiteSpace_ = preserveWhiteSpace_;
  copy->validateOnParse_ = validateOnParse_;
  copy->resolveExternals_ = resolveExternals_;
  copy->properties_ = properties_;
  if (depth == CloneDepth::Deep) {
    pugi::xml_node target = copy->store_->MainRoot();
    for (pugi::xml_node child = store_->MainRoot().first_child(); child;
         child = child.next_sibling()) {
      if (!target.append_copy(child)) automation::ThrowError(automation::errc::kOutOfMemory);
    }
    copy->store_->Touch();
  }
  return copy;
}

void DomDocument::SetProperty(std::u16string_view name, const Variant& value) {
  for (auto& [key, stored] : properties_) {
    if (automation::EqualsIgnoringCase(key, name)) {
      stored = value.Deref();
      return;
    }
  }
  properties_.emplace_back(std::u16string(name), value.Deref());
}

Variant DomDocument::GetProperty(std::u16string_view name) const {
  for (const auto& [key, stored] : properties_) {
    if (automation::EqualsIgnoringCase(key, name)) return stored;
  }
  if (automation::EqualsIgnoringCase(name, u"SelectionLanguage")) return Variant(u"XPath");
  return {};
}

const automation::ClassInfo* DomDocument::Info() const noexcept {
  return &Class();
}

const automation::ClassInfo& DomDocument::Class() {
  using automation::OptionalParam;
  using automation::Param;
  using automation::VarType;
  using D = DomDocument;
  using Args = std::span<Variant>;
  static const automation::ClassInfo info = [] {
    automation::ClassBuilder<D> b(u"DOMDocument");
    b.ProgId(std::u16string(kDomDocumentProgIds[0])).ClassId(kDomDocumentClassId);
    AddNodeMembers(b);
    b.Get(u"doctype", dispid::kDoctype, VarType::Object,
          [](D& d) {
            for (pugi::xml_node c = d.store_->MainRoot().first_child(); c; c = c.next_sibling()) {
              if (c.type() == pugi::node_doctype) return d.store_->Wrap(c);
            }
            return Ref<DomNode>();
          })
        .Get(u"documentElement", dispid::kDocumentElement, VarType::Object,
             [](D& d) { return d.DocumentElement(); })
        .Set(u"documentElement", dispid::kDocumentElement,
             [](D& d, const Variant& v) { d.SetDocumentElement(NodeArg(v)); })
        .Method(u"createElement", dispid::kCreateElement, {Param(u"tagName", VarType::String)},
                [](D& d, Args a) { return d.CreateElement(a[0].AsString()); })
        .Method(u"createTextNode", dispid::kCreateTextNode, {Param(u"data", VarType::String)},
                [](D& d, Args a) { return d.CreateTextNode(a[0].AsString()); })
        .Method(u"createComment", dispid::kCreateComment, {Param(u"data", VarType::String)},
                [](D& d, Args a) { return d.CreateComment(a[0].AsString()); })
        .Method(u"createCDATASection", dispid::kCreateCDataSection,
                {Param(u"data", VarType::String)},
                [](D& d, Args a) { return d.CreateCDataSection(a[0].AsString()); })
        .Method(u"createProcessingInstruction", dispid::kCreateProcessingInstruction,
                {Param(u"target", VarType::String), Param(u"data", VarType::String)},
                [](D& d, Args a) {
                  return d.CreateProcessingInstruction(a[0].AsString(), a[1].AsString());
                })
        .Method(u"createAttribute", dispid::kCreateAttribute, {Param(u"name", VarType::String)},
                [](D& d, Args a) { return d.CreateAttribute(a[0].AsString()); })
        .Method(u"getElementsByTagName", dispid::kDocumentGetElementsByTagName,
                {Param(u"tagName", VarType::String)},
                [](D& d, Args a) { return d.GetElementsByTagName(a[0].AsString()); })
        .Method(u"createNode", dispid::kCreateNode,
                {Param(u"type"), Param(u"name", VarType::String),
                 OptionalParam(u"namespaceURI", VarType::String, u"")},
                [](D& d, Args a) { return d.CreateNode(NodeTypeArg(a[0]), a[1].AsString()); })
        .Method(
            u"load", dispid::kLoad, {Param(u"xmlSource")},
            [](D& d, Args a) { return d.LoadSource(a[0]); }, VarType::Boolean)
        .Get(u"readyState", dispid::kReadyState, VarType::Long,
             [](D&) { return kReadyStateCompleted; })
        .Get(u"parseError", dispid::kParseError, VarType::Object,
             [](D& d) { return d.ParseError(); })
        .Get(u"url", dispid::kUrl, VarType::String, [](D& d) { return d.url_; })
        .Property(
            u"async", dispid::kAsync, VarType::Boolean, [](D& d) { return d.async_; },
            [](D& d, const Variant& v) { d.async_ = v.AsBoolean(); })
        .Method(u"abort", dispid::kAbort, {}, [](D&, Args) {})
        .Method(
            u"loadXML", dispid::kLoadXml, {Param(u"bstrXML", VarType::String)},
            [](D& d, Args a) { return d.LoadXml(a[0].AsString()); }, VarType::Boolean)
        .Method(u"save", dispid::kSave, {Param(u"destination")},
                [](D& d, Args a) {
                  if (auto* target =
                          a[0].IsObject() ? dynamic_cast<DomDocument*>(a[0].AsObject()) : nullptr) {
                    target->LoadXml(d.Xml());
                  } else {
                    d.Save(automation::ToString(a[0]));
                  }
                })
        .Property(
            u"validateOnParse", dispid::kValidateOnParse, VarType::Boolean,
            [](D& d) { return d.validateOnParse_; },
            [](D& d, const Variant& v) { d.validateOnParse_ = v.AsBoolean(); })
        .Property(
            u"resolveExternals", dispid::kResolveExternals, VarType::Boolean,
            [](D& d) { return d.resolveExternals_; },
            [](D& d, const Variant& v) { d.resolveExternals_ = v.AsBoolean(); })
        .Property(
            u"preserveWhiteSpace", dispid::kPreserveWhiteSpace, VarType::Boolean,
            [](D& d) { return d.preserveWhiteSpace_; },
            [](D& d, const Variant& v) { d.preserveWhiteSpace_ = v.AsBoolean(); })
        .Method(u"setProperty", dispid::kSetProperty,
                {Param(u"name", VarType::String), Param(u"value")},
                [](D& d, Args a) { d.SetProperty(a[0].AsString(), a[1]); })
        .Method(u"getProperty", dispid::kGetProperty, {Param(u"name", VarType::String)},
                [](D& d, Args a) { return d.GetProperty(a[0].AsString()); });
    return b.Build();
  }();
  return info;
}

bool DomDocument::LoadSource(const Variant& source) {
  // A document object loads as a copy of that document; text names a file. Anything else
  // fails as a load does, with the reason in the parse error and no error raised.
  if (source.IsObject()) {
    if (auto* other = dynamic_cast<DomDocument*>(source.AsObject())) {
      std::u16string text = other->Xml();
      url_ = other->url_;
      return ParseText(ToUtf8(text));
    }
  } else if (source.IsString()) {
    return Load(source.AsString());
  }
  url_.clear();
  return FailSource(ParseFault::UnsupportedSource);
}

void RegisterDomClasses() {
  automation::Guid classId = automation::Guid::FromString(kDomDocumentClassId);
  for (std::u16string_view progId : kDomDocumentProgIds) {
    automation::RegisterClass(progId, classId,
                              [] { return Ref<automation::Dispatch>(DomDocument::Create()); });
  }
}

}  // namespace telvinor::xmldom
